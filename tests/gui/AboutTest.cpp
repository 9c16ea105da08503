// The about box: texts, the link's pointer, click and keys, placement, closing.
#include <QAccessible>
#include <QMouseEvent>
#include <QObject>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "TestRegistry.h"
#include "Version.h"
#include "gui/about/AboutDialog.h"

using namespace grize;
using namespace grize::test;

namespace {

void moveOver(QWidget* control) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), control->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(control, &move);
}

QLabel* label(const QWidget& about, const char* name) {
    return control<QLabel>(about, name);
}

QPushButton* okButton(const QWidget& about) {
    return control<QPushButton>(about, "cmdok");
}

const QString kHomepage = QStringLiteral(GRIZE_HOMEPAGE);

// The owner at `where` (its frame's top left); the readme linked, present or not.
struct AboutFixture {
    explicit AboutFixture(bool readmePresent = true, QPoint where = {100, 100}) : services(log) {
        if (readmePresent) {
            writeFile(readme.toStdString(), "read me\n");
        }
        owner.setGeometry(QRect(where, QSize(200, 100)));
        owner.show();
        about = std::make_unique<AboutDialog>(services, &owner, QStringList{readme});
        about->show();
        about->activateWindow();
        if (!QTest::qWaitForWindowActive(about.get())) {
            qWarning("about box did not become active");
        }
    }
    std::string target() const { return (kHomepage.isEmpty() ? readme : kHomepage).toStdString(); }

    QTemporaryDir dir;
    const QString readme = dir.filePath("readme.txt");
    CallLog log;
    RecordingServices services;
    QWidget owner;
    std::unique_ptr<AboutDialog> about;
};

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT

  private slots:
    void texts() {
        AboutFixture f;
        const AboutDialog& a = *f.about;
        QCOMPARE(a.windowTitle(), QString("About"));
        QCOMPARE(label(a, "lblprogtitle")->text(), QString("Grize"));
        QCOMPARE(label(a, "lblversion")->text(), QString("Version ") + version::kText);
        QCOMPARE(label(a, "lblcopyright")->text(), QString::fromUtf8("\xc2\xa9 2031"));
        QCOMPARE(label(a, "lblcopyright2")->text(), QString("Ashgrove"));
        QCOMPARE(label(a, "lbltext3")->text(), QString("Play and enjoy!"));
        QCOMPARE(label(a, "lbltext4")->text(), QString("For updates and other freeware,"));
        QCOMPARE(label(a, "lbltext5")->text(),
                 QString(kHomepage.isEmpty() ? "Read more in" : "Visit my homepage at"));
        const QString linkText = kHomepage.isEmpty() ? QString("readme.txt") : kHomepage;
        QCOMPARE(label(a, "lblurl")->text(), linkText);
        QCOMPARE(okButton(a)->text(), QString("&Ok"));
        // Labels that grow to fit show their whole text.
        for (const char* name : {"lblcopyright", "lbltext3", "lbltext4", "lbltext5", "lblurl"}) {
            const QLabel* shown = label(a, name);
            QVERIFY2(shown->width() >= shown->fontMetrics().horizontalAdvance(shown->text()), name);
        }
        QAccessibleInterface* link = QAccessible::queryAccessibleInterface(label(a, "lblurl"));
        QCOMPARE(link->role(), QAccessible::Link);
        QCOMPARE(link->text(QAccessible::Name), linkText);
    }

    void okHasTheFocusAndClosesWithoutSideEffects() {
        AboutFixture f;
        QCOMPARE(QApplication::focusWidget(), okButton(*f.about));
        QTest::mouseClick(okButton(*f.about), Qt::LeftButton);
        QVERIFY(!f.about->isVisible());
        QCOMPARE(f.about->result(), int(QDialog::Accepted));
        QVERIFY(f.services.opened.empty());
        QVERIFY(!(f.owner.windowState() & Qt::WindowMinimized));
    }

    void linkShowsHandOnlyAfterPointerMoved() {
        AboutFixture f;
        QVERIFY(!label(*f.about, "lblurl")->testAttribute(Qt::WA_SetCursor));
        moveOver(label(*f.about, "lblurl"));
        QCOMPARE(label(*f.about, "lblurl")->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(label(*f.about, "lblurl")->cursor().pixmap().size(), QSize(32, 32));
    }

    // Minimise, open, close; a failure brings the main window back for its
    // box. No keys: a click on the link.
    void link_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("fault");
        QTest::newRow("click") << QList<int>{} << "";
        QTest::newRow("click, no program") << QList<int>{} << "no program";
        if (kHomepage.isEmpty()) {
            QTest::newRow("click, no readme") << QList<int>{} << "no readme";
        }
        QTest::newRow("Esc closes like Ok") << QList<int>{Qt::Key_Escape} << "";
        QTest::newRow("Tab, Enter") << QList<int>{Qt::Key_Tab, Qt::Key_Return} << "";
        QTest::newRow("Tab, Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << "no program";
        QTest::newRow("Tab twice is Ok")
            << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return} << "";
    }

    void link() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, fault);
        AboutFixture f(fault != "no readme");
        f.services.opens = fault != "no program";
        bool ownerShownUnderBox = false;
        f.services.whileOpen = [&](const Message&) {
            ownerShownUnderBox = !(f.owner.windowState() & Qt::WindowMinimized);
        };
        if (keys.isEmpty()) {
            QTest::mouseClick(label(*f.about, "lblurl"), Qt::LeftButton);
        }
        for (int key : keys) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        }
        // Tab goes from Ok to the link and back.
        const bool activated = keys.isEmpty() || keys.count(Qt::Key_Tab) % 2 == 1;
        QVERIFY(!f.about->isVisible());
        QCOMPARE(f.about->result(), int(QDialog::Accepted));
        QCOMPARE(f.services.opened, activated && fault != "no readme"
                                        ? std::vector<std::string>{f.target()}
                                        : std::vector<std::string>{});
        QCOMPARE(bool(f.owner.windowState() & Qt::WindowMinimized), activated && fault.isEmpty());
        if (fault.isEmpty()) {
            QVERIFY(f.services.boxes.empty());
            return;
        }
        QCOMPARE(f.services.boxes.size(), size_t(1));
        const Message& shown = f.services.boxes.front();
        const QString name = QDir::toNativeSeparators(QString::fromStdString(f.target()));
        const char* why =
            fault == "no readme" ? "the file is missing" : "no program to show it was found";
        QCOMPARE(QString::fromStdString(shown.text),
                 "Grize could not open " + name + ": " + why + ".");
        QCOMPARE(shown.icon, MsgIcon::Warning);
        QCOMPARE(shown.title, std::string());  // "Grize"
        QVERIFY(ownerShownUnderBox);
    }

    // Centred on the main window, and on the screen with the window in a corner.
    void placement_data() {
        QTest::addColumn<QPointF>("at");  // the owner's place across the screen, 0 to 1
        QTest::newRow("middle") << QPointF(0.5, 0.5);
        QTest::newRow("top left") << QPointF(0, 0);
        QTest::newRow("top right") << QPointF(1, 0);
        QTest::newRow("bottom left") << QPointF(0, 1);
        QTest::newRow("bottom right") << QPointF(1, 1);
    }

    void placement() {
        QFETCH(QPointF, at);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize room = area.size() - QSize(200, 100);
        AboutFixture f(true,
                       area.topLeft() + QPoint(room.width() * at.x(), room.height() * at.y()));
        QTRY_VERIFY(area.contains(f.about->frameGeometry()));
        if (at == QPointF(0.5, 0.5)) {
            QTRY_VERIFY((f.about->frameGeometry().center() - f.owner.frameGeometry().center())
                            .manhattanLength() <= 3);
        }
    }

    void mainWindowShowsItModally() {
        QTemporaryDir dir;
        const std::string target = path(dir, "notes.txt");
        writeFile(target, "text");
        Session s(target);
        QVERIFY(s.start());
        // The box is gone once showAbout returns: look while it is open.
        bool aboutWasModal = false;
        QWidget* parent = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* about = qobject_cast<AboutDialog*>(modal)) {
                aboutWasModal = true;
                parent = about->parentWidget();
                okButton(*about)->click();
            } else if (modal != nullptr) {
                modal->close();
            }
        });
        cmdAbout(*s.window)->click();
        QVERIFY(aboutWasModal);
        QCOMPARE(parent, s.window.get());
        QVERIFY(s.window->isVisible());
        QVERIFY(s.services.boxes.empty());
    }
};

GRIZE_APP_TEST(AboutTest);

#include "AboutTest.moc"
