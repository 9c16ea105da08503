// The about box: its texts, the link's pointer and click, and how it closes.
#include <QMouseEvent>
#include <QObject>
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

struct AboutFixture {
    AboutFixture() : services(log) {
        owner.resize(200, 100);
        owner.show();
        about = std::make_unique<AboutDialog>(services, &owner);
        about->show();
        about->activateWindow();
        if (!QTest::qWaitForWindowActive(about.get())) {
            qWarning("about box did not become active");
        }
    }
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
        QCOMPARE(label(a, "lbltext5")->text(), QString("Visit my homepage at"));
        QCOMPARE(label(a, "lblurl")->text(), QString(GRIZE_HOMEPAGE));
        QCOMPARE(okButton(a)->text(), QString("&Ok"));
        // Labels that grow to fit show their whole text.
        for (const char* name : {"lblcopyright", "lbltext3", "lbltext4", "lbltext5", "lblurl"}) {
            const QLabel* shown = label(a, name);
            QVERIFY2(shown->width() >= shown->fontMetrics().horizontalAdvance(shown->text()), name);
        }
    }

    void okHasTheFocusAndClosesWithoutSideEffects() {
        AboutFixture f;
        QCOMPARE(QApplication::focusWidget(), okButton(*f.about));
        QTest::keyClick(okButton(*f.about), Qt::Key_Escape);
        QVERIFY(f.about->isVisible());
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

    void linkClickMinimisesOwnerOpensAddressAndCloses() {
        AboutFixture f;
        QTest::mouseClick(label(*f.about, "lblurl"), Qt::LeftButton);
        QVERIFY(f.owner.windowState() & Qt::WindowMinimized);
        QCOMPARE(f.services.opened, std::vector<std::string>{GRIZE_HOMEPAGE});
        QVERIFY(!f.about->isVisible());
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
