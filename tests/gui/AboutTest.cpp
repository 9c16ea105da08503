// The about box: its texts, the link's pointer and click, and how it closes.
#include <QMouseEvent>
#include <QObject>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "TestRegistry.h"
#include "gui/about/frmabout.h"

using namespace grize;
using namespace grize::test;

namespace {

void moveOver(QWidget* control) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), control->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(control, &move);
}

struct AboutFixture {
    AboutFixture() : services(log) {
        owner.resize(200, 100);
        owner.show();
        about = std::make_unique<frmabout>(services, &owner);
        about->show();
        about->activateWindow();
        if (!QTest::qWaitForWindowActive(about.get())) {
            qWarning("about box did not become active");
        }
    }
    CallLog log;
    RecordingServices services;
    QWidget owner;
    std::unique_ptr<frmabout> about;
};

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT

  private slots:
    void texts() {
        AboutFixture f;
        const frmabout& a = *f.about;
        QCOMPARE(a.windowTitle(), QString("About"));
        QCOMPARE(a.lblprogtitle->text(), QString("Grize"));
        QCOMPARE(a.lblversion->text(), QString("Version " GRIZE_TEST_VERSION));
        QCOMPARE(a.lblcopyright->text(), QString::fromUtf8("\xc2\xa9 2031"));
        QCOMPARE(a.lblcopyright2->text(), QString("Ashgrove"));
        QCOMPARE(a.lbltext3->text(), QString("Play and enjoy!"));
        QCOMPARE(a.lbltext4->text(), QString("For updates and other freeware,"));
        QCOMPARE(a.lbltext5->text(), QString("Visit my homepage at"));
        QCOMPARE(a.lblurl->text(), QString(GRIZE_HOMEPAGE));
        QCOMPARE(a.cmdok->text(), QString("&Ok"));
        // Labels that grow to fit show their whole text.
        for (const QLabel* label : {a.lblcopyright, a.lbltext3, a.lbltext4, a.lbltext5, a.lblurl}) {
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                     qPrintable(label->objectName()));
        }
    }

    void okHasTheFocusAndClosesWithoutSideEffects() {
        AboutFixture f;
        QCOMPARE(QApplication::focusWidget(), f.about->cmdok);
        QTest::keyClick(f.about->cmdok, Qt::Key_Escape);
        QVERIFY(f.about->isVisible());
        QTest::mouseClick(f.about->cmdok, Qt::LeftButton);
        QVERIFY(!f.about->isVisible());
        QCOMPARE(f.about->result(), int(QDialog::Accepted));
        QVERIFY(f.services.opened.empty());
        QVERIFY(!(f.owner.windowState() & Qt::WindowMinimized));
    }

    void linkShowsHandOnlyAfterPointerMoved() {
        AboutFixture f;
        QVERIFY(!f.about->lblurl->testAttribute(Qt::WA_SetCursor));
        moveOver(f.about->lblurl);
        QCOMPARE(f.about->lblurl->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(f.about->lblurl->cursor().pixmap().size(), QSize(32, 32));
    }

    void linkClickMinimisesOwnerOpensAddressAndCloses() {
        AboutFixture f;
        QTest::mouseClick(f.about->lblurl, Qt::LeftButton);
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
        // The box is gone once cmdAbout_Click returns: look while it is open.
        bool aboutWasModal = false;
        QWidget* parent = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* about = qobject_cast<frmabout*>(modal)) {
                aboutWasModal = true;
                parent = about->parentWidget();
                about->cmdok->click();
            } else if (modal != nullptr) {
                modal->close();
            }
        });
        s.window->cmdAbout->click();
        QVERIFY(aboutWasModal);
        QCOMPARE(parent, s.window.get());
        QVERIFY(s.window->isVisible());
        QVERIFY(s.services.boxes.empty());
    }
};

GRIZE_APP_TEST(AboutTest);

#include "AboutTest.moc"
