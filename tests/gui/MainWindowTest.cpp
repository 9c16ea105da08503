// The main window's own behaviour: focus and label colours, keys, tooltips,
// selection, closing and the stored settings.
#include <QAccessible>
#include <QDir>
#include <QMouseEvent>
#include <QObject>
#include <QStyle>
#include <QTest>

#include "AppTestSupport.h"
#include "TestRegistry.h"
#include "gui/Padlocks.h"

using namespace grize;
using namespace grize::test;

namespace {

const QColor kDarkBlue(0, 0, 192);
const char* const kAccessDenied = "The operating system denied Grize access to your file.";

QColor normalColour(const MainWindow& w) {
    return w.palette().color(QPalette::ButtonText);
}

// A session on a plain text file (encrypt mode) or on an encrypted one.
struct Fixture {
    explicit Fixture(bool encrypted = false)
        : target(path(dir, encrypted ? "notes.gri" : "notes.txt")), s(target) {
        if (encrypted) {
            makeEncrypted(target, U"right", "secret text");
        } else {
            writeFile(target, "plain text");
        }
    }
    QTemporaryDir dir;
    std::string target;
    Session s;
};

void moveOver(QWidget* control) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), control->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(control, &move);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void focusStartsInFirstBoxAndLabelColoursFollowIt() {
        Fixture f;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        QCOMPARE(QApplication::focusWidget(), txtPassword1(w));
        QCOMPARE(foreColor(lblPassword1(w)), kDarkBlue);
        QCOMPARE(foreColor(lblPassword2(w)), normalColour(w));

        QTest::keyClick(txtPassword1(w), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), txtPassword2(w));
        QCOMPARE(foreColor(lblPassword1(w)), normalColour(w));
        QCOMPARE(foreColor(lblPassword2(w)), kDarkBlue);

        QTest::keyClick(txtPassword2(w), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), cmdEncrypt(w));
        QCOMPARE(foreColor(lblPassword2(w)), normalColour(w));
        QVERIFY(normalColour(w) != kDarkBlue);
    }

    void tabOrder_data() {
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("encrypt mode")
            << false << QStringList{"txtPassword2", "cmdEncrypt", "cmdCancel",   "cmdAbout",
                                    "Check1",       "chkStrong",  "txtPassword1"};
        // The disabled box and button are skipped.
        QTest::newRow("decrypt mode")
            << true << QStringList{"cmdDecrypt", "cmdCancel", "cmdAbout", "Check1", "txtPassword1"};
    }

    void tabOrder() {
        QFETCH(bool, encrypted);
        QFETCH(QStringList, order);
        Fixture f(encrypted);
        QVERIFY(f.s.start());
        for (const QString& next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
    }

    void passwordBoxesShowStars() {
        Fixture f;
        QVERIFY(f.s.start());
        for (QLineEdit* box : {txtPassword1(*f.s.window), txtPassword2(*f.s.window)}) {
            QCOMPARE(box->echoMode(), QLineEdit::Password);
            QCOMPARE(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box),
                     int('*'));
        }
    }

    void checkBoxTooltipFollowsMode_data() {
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("encrypt") << false << " Enables quick exit after encryption ";
        QTest::newRow("decrypt") << true << " Enables quick exit after decryption ";
    }

    void checkBoxTooltipFollowsMode() {
        QFETCH(bool, encrypted);
        QFETCH(QString, tooltip);
        Fixture f(encrypted);
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        QVERIFY(Check1(w)->toolTip().isEmpty());
        moveOver(Check1(w));
        QCOMPARE(Check1(w)->toolTip(), tooltip);
        QCOMPARE(cmdEncrypt(w)->toolTip(), QString(" Encrypt "));
        QCOMPARE(cmdDecrypt(w)->toolTip(), QString(" Decrypt "));
    }

    // Enter in the first box goes on to the empty second box; once both are
    // typed it presses the mode's button.
    void enterInPasswordBoxPressesDefaultButton() {
        Fixture f;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        QTest::keyClicks(txtPassword1(w), "abc");
        QTest::keyClick(txtPassword1(w), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), txtPassword2(w));
        QVERIFY(f.s.services.boxes.empty());
        QTest::keyClicks(txtPassword2(w), "abd");
        QTest::keyClick(txtPassword2(w), Qt::Key_Return);
        // cmdEncrypt ran: the boxes differ.
        QCOMPARE(f.s.services.boxes.size(), 1u);
        QCOMPARE(f.s.services.boxes[0].text,
                 std::string("The two passwords are not the same.\r\nPlease adjust..."));
    }

    // Twips count screen pixels, so a position means the same place at every
    // scale factor (this class runs again under QT_SCALE_FACTOR=2).
    void escapeClosesAndStoresSettingsOnce() {
        Fixture f;
        f.s.settings.storedLeft = 1500;
        f.s.settings.storedTop = 900;
        f.s.settings.storedAutoquit = 0;
        QVERIFY(f.s.start());
        QCOMPARE(f.s.window->pos() * f.s.window->devicePixelRatioF(), QPointF(100, 60));
        f.s.log.clear();
        QTest::keyClick(txtPassword1(*f.s.window), Qt::Key_Escape);
        QCOMPARE(f.s.log, (CallLog{"SavePosition 1500 900", "SaveAutoquit 0", "EndNow"}));
        QVERIFY(!f.s.window->isVisible());
        QVERIFY(exists(f.target));
    }

    // Each end of an operation other than done leaves Cancel, and so Esc,
    // working.
    void failedAndRetryStatesCloseWithEscape_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("box");
        QTest::newRow("wrong password") << 0 << "Access denied: password is incorrect!";
        QTest::newRow("access denied") << 1 << QString(kAccessDenied);
        QTest::newRow("error report") << 2 << "An Error was generated:";
    }

    void failedAndRetryStatesCloseWithEscape() {
        QFETCH(int, fault);
        QFETCH(QString, box);
        Fixture f(true);
        if (fault == 1) {
            f.s.fs.failOn({"createNewAt"}, RuntimeError(ErrorKind::Access));
        } else if (fault == 2) {
            f.s.fs.failOn({"renameAt", "renameNoReplaceAt"}, RuntimeError(ErrorKind::DiskFull));
        }
        // Where a window with no stored place opens is the system's choice.
        f.s.settings.storedLeft = 0;
        f.s.settings.storedTop = 0;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        txtPassword1(w)->setText(fault == 0 ? "wrong" : "right");
        w.decrypt();
        QCOMPARE(f.s.services.boxes.size(), 1u);
        QVERIFY(QString::fromStdString(f.s.services.boxes[0].text).startsWith(box));
        QVERIFY(cmdCancel(w)->isEnabled());
        f.s.log.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(f.s.log, (CallLog{"SavePosition 0 0", "SaveAutoquit 0", "EndNow"}));
        QVERIFY(exists(f.target));
    }

    // A start turned away: the note names its file, elided to fit, and
    // nothing else in the window changes.
    void refusedStartLeavesANote_data() {
        QTest::addColumn<QString>("started");
        QTest::addColumn<QString>("note");
        QTest::newRow("another file") << "/elsewhere/other.txt"
                                      << "One file at a time: other.txt was not opened";
        QTest::newRow("this file") << ""
                                   << "";
        QTest::newRow("no file") << "-"
                                 << "";
    }

    void refusedStartLeavesANote() {
        QFETCH(QString, started);
        QFETCH(QString, note);
        Fixture f;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        QTest::keyClicks(txtPassword1(w), "pw");
        f.s.services.otherStart(started.isEmpty() ? f.target
                                : started == "-"  ? ""
                                                 : QDir::toNativeSeparators(started).toStdString());
        auto* label = control<QLabel>(w, "lblNote");
        QCOMPARE(label->isVisible(), !note.isEmpty());
        QCOMPARE(label->accessibleName(), note);
        QCOMPARE(label->toolTip(), note);
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QCOMPARE(QApplication::focusWidget(), txtPassword1(w));
        QCOMPARE(txtPassword1(w)->text(), QString("pw"));
        QVERIFY(cmdEncrypt(w)->isEnabled() && !prgWork(w)->isVisible());
    }

    void accessibleNamesAndRoles_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::newRow("first box") << "txtPassword1"
                                   << "Password" << int(QAccessible::EditableText);
        QTest::newRow("second box") << "txtPassword2"
                                    << "Password again" << int(QAccessible::EditableText);
        QTest::newRow("encrypt") << "cmdEncrypt"
                                 << "Encrypt" << int(QAccessible::Button);
        QTest::newRow("decrypt") << "cmdDecrypt"
                                 << "Decrypt" << int(QAccessible::Button);
        QTest::newRow("cancel") << "cmdCancel"
                                << "Cancel" << int(QAccessible::Button);
        QTest::newRow("about") << "cmdAbout"
                               << "About" << int(QAccessible::Button);
        QTest::newRow("check box") << "Check1"
                                   << "Auto quit window" << int(QAccessible::CheckBox);
        QTest::newRow("strong") << "chkStrong"
                                << "Strong encryption (age)" << int(QAccessible::CheckBox);
        QTest::newRow("window") << ""
                                << "Grize / notes.txt" << int(QAccessible::Dialog);
    }

    void accessibleNamesAndRoles() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(int, role);
        Fixture f;
        QVERIFY(f.s.start());
        QObject* object = control.isEmpty() ? static_cast<QObject*>(f.s.window.get())
                                            : f.s.window->findChild<QWidget*>(control);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        QCOMPARE(int(accessible->role()), role);
        // A screen reader reads each password box with its label.
        if (role == QAccessible::EditableText) {
            const auto labels = accessible->relations(QAccessible::Label);
            QCOMPARE(labels.size(), 1);
            QCOMPARE(labels[0].first->text(QAccessible::Name),
                     control == "txtPassword1" ? "Enter password:" : "Enter password again:");
        }
    }

    // The padlocks at the screen's pixel ratio and at 1x and 2x: the drawn
    // picture for each, never an enlarged smaller one.
    void picturesFollowThePixelRatio_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("closed");
        QTest::newRow("encrypt") << "cmdEncrypt" << true;
        QTest::newRow("decrypt") << "cmdDecrypt" << false;
        QTest::newRow("window icon") << "" << true;
    }

    void picturesFollowThePixelRatio() {
        QFETCH(QString, control);
        QFETCH(bool, closed);
        const Picture& picture = closed ? padlocks::kClosed : padlocks::kOpen;
        Fixture f;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        const QIcon icon =
            control.isEmpty() ? w.windowIcon() : w.findChild<QPushButton*>(control)->icon();
        for (const qreal ratio : {1.0, 2.0, w.devicePixelRatioF()}) {
            QImage drawn(ratio > 1.0 ? picture.twice : picture.normal);
            drawn.setDevicePixelRatio(ratio > 1.0 ? 2 : 1);
            const QImage shown = icon.pixmap(QSize(32, 32), ratio).toImage();
            QCOMPARE(shown.size(), drawn.size());
            QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32),
                     drawn.convertToFormat(QImage::Format_ARGB32));
        }
    }

    // A focused padlock shows a mark even when the focus did not come by
    // keyboard, and loses it with the focus.
    void padlockShowsFocusMark() {
        Fixture f;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        const QImage plain = cmdEncrypt(w)->grab().toImage();
        cmdEncrypt(w)->setFocus(Qt::OtherFocusReason);
        QVERIFY(cmdEncrypt(w)->grab().toImage() != plain);
        txtPassword1(w)->setFocus(Qt::OtherFocusReason);
        QCOMPARE(cmdEncrypt(w)->grab().toImage(), plain);
    }

    void closeBoxStoresSettingsOnceAndDoesNotEnd() {
        Fixture f;
        f.s.settings.storedAutoquit = 1;
        QVERIFY(f.s.start());
        QVERIFY(Check1(*f.s.window)->isChecked());
        f.s.log.clear();
        f.s.window->close();
        QCOMPARE(f.s.log.size(), 2u);
        QCOMPARE(f.s.log[1], std::string("SaveAutoquit 1"));
        QCOMPARE(f.s.services.ends, 0);
    }

    void checkBoxTakesOnlyItsThreeValues_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("refused");
        QTest::newRow("unchecked") << 0 << 0 << false;
        QTest::newRow("checked") << 1 << 1 << false;
        QTest::newRow("greyed") << 2 << 2 << false;
        QTest::newRow("7") << 7 << 0 << true;
        QTest::newRow("-1") << -1 << 0 << true;
    }

    void checkBoxTakesOnlyItsThreeValues() {
        QFETCH(int, stored);
        QFETCH(int, shown);
        QFETCH(bool, refused);
        Fixture f;
        f.s.settings.storedAutoquit = stored;
        QVERIFY(f.s.start());
        const bool wasRefused =
            std::find(f.s.log.begin(), f.s.log.end(), "Autoquit refused") != f.s.log.end();
        QCOMPARE(wasRefused, refused);
        f.s.log.clear();
        f.s.window->close();
        QCOMPARE(f.s.log[1], "SaveAutoquit " + std::to_string(shown));
    }

    void setSelectedSelectsFocusedBoxOnly() {
        Fixture f;
        QVERIFY(f.s.start());
        MainWindow& w = *f.s.window;
        QTest::keyClicks(txtPassword1(w), "sixsix");
        w.selectFocusedText();
        QCOMPARE(txtPassword1(w)->selectionStart(), 0);
        QCOMPARE(txtPassword1(w)->selectedText().size(), 6);
        QTest::keyClicks(txtPassword1(w), "n");
        QCOMPARE(txtPassword1(w)->text(), QString("n"));

        cmdCancel(w)->setFocus();
        w.selectFocusedText();
        QVERIFY(f.s.services.boxes.empty());
        QVERIFY(!txtPassword1(w)->hasSelectedText());
    }
};

GRIZE_APP_TEST(MainWindowTest);

#include "MainWindowTest.moc"
