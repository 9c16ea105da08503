// Encrypting and decrypting from the window: the states ready, working,
// retry, done and failed, the messages, auto quit, and the files on disk.
#include <QDir>
#include <QObject>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "AppTestSupport.h"
#include "TestRegistry.h"

using namespace grize;
using namespace grize::test;

namespace {

const char* const kAccessDenied =
    "The operating system denied Grize access to your file.\r\n"
    "Please exit Grize, and run this program as an administrator.";

std::string report(const std::string& error, const std::string& label) {
    return "An Error was generated:\r\n\r\nDescription:\r\nError " + error + "\r\n" + label +
           "\r\n\r\nPlease inform the author with the error description above.";
}

// Runs `then` once `condition` holds, looking every few milliseconds while an
// event loop runs (a run's own wait, say).
void whenTrue(QObject& context, std::function<bool()> condition, std::function<void()> then) {
    auto* poll = new QTimer(&context);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, condition, then] {
        if (condition()) {
            poll->stop();
            poll->deleteLater();
            then();
        }
    });
    poll->start(5);
}

QStringList folderContents(const QTemporaryDir& dir) {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool pointerIsDefault(const MainWindow& w) {
    return w.cursor().shape() == Qt::ArrowCursor;
}

// Done, with `written` named in the caption and the window.
void expectDone(const MainWindow& w, const QString& written = {}) {
    if (!written.isEmpty()) {
        QCOMPARE(w.windowTitle(), "Grize / " + written);
        auto* line = w.findChild<QLabel*>("lblWritten");
        QVERIFY(line != nullptr && line->isVisible());
        QCOMPARE(line->toolTip(), "Wrote " + written);
    }
    QVERIFY(!cmdEncrypt(w)->isEnabled());
    QVERIFY(!cmdDecrypt(w)->isEnabled());
    QVERIFY(cmdCancel(w)->isEnabled());
    QCOMPARE(cmdCancel(w)->text(), QString("&Done"));
    QCOMPARE(QApplication::focusWidget(), cmdCancel(w));
    for (QWidget* c :
         {static_cast<QWidget*>(lblPassword1(w)), static_cast<QWidget*>(lblPassword2(w)),
          static_cast<QWidget*>(txtPassword1(w)), static_cast<QWidget*>(txtPassword2(w))}) {
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    }
    QVERIFY(pointerIsDefault(w));
}

// After a failure: one way on, Cancel, with the focus; nothing else to use.
void expectFailed(const MainWindow& w) {
    QVERIFY(!cmdEncrypt(w)->isEnabled() && !cmdDecrypt(w)->isEnabled());
    QVERIFY(cmdCancel(w)->isEnabled());
    QCOMPARE(cmdCancel(w)->text(), QString("&Cancel"));
    QCOMPARE(QApplication::focusWidget(), cmdCancel(w));
    for (QWidget* c :
         {static_cast<QWidget*>(lblPassword1(w)), static_cast<QWidget*>(lblPassword2(w)),
          static_cast<QWidget*>(txtPassword1(w)), static_cast<QWidget*>(txtPassword2(w))}) {
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    }
    QVERIFY(pointerIsDefault(w));
}

// What the window looks like while the operation works, seen from inside
// the first message box it shows.
struct Working {
    bool seen = false;
    bool hourglass = false;
    bool anyButtonEnabled = true;
};

void watchWorking(Session& s, Working& working) {
    s.services.whileOpen = [&s, &working](const Message&) {
        if (working.seen) {
            return;
        }
        const MainWindow& w = *s.window;
        working.seen = true;
        working.hourglass =
            w.testAttribute(Qt::WA_SetCursor) && w.cursor().shape() == Qt::WaitCursor;
        // Cancel stays enabled: it stops the run.
        working.anyButtonEnabled = cmdEncrypt(w)->isEnabled() || cmdDecrypt(w)->isEnabled();
    };
}

// Counts the window's paint events into `count`.
class PaintCounter : public QObject {
  public:
    PaintCounter(QWidget& window, int& count) : count_(count) { window.installEventFilter(this); }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count_;
        }
        return false;
    }

  private:
    int& count_;
};

enum class Fault {
    None,
    OutputIsFolder,
    OutputReadOnly,
    RenameDiskFull,
    CreateRefused,
    LongPassword,
    HeaderOnly
};

}  // namespace

class OperationsTest : public QObject {
    Q_OBJECT

  private slots:
    void roundTripWithWrongPasswordFirst_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("strong");
        QTest::newRow("every byte") << allBytes() << QString("pass word") << false;
        QTest::newRow("no line end")
            << QByteArray("last line") << QString::fromUtf8("gr\xc3\xbc\xc3\x9f") << false;
        QTest::newRow("beyond Latin-1")
            << QByteArray("x") << QString::fromUtf8("\xe5\xaf\x86\xe7\xa0\x81") << false;
        QTest::newRow("age, every byte") << allBytes() << QString("pass word") << true;
        QTest::newRow("age, beyond Latin-1")
            << QByteArray("x") << QString::fromUtf8("\xe5\xaf\x86\xe7\xa0\x81") << true;
    }

    void roundTripWithWrongPasswordFirst() {
        QFETCH(QByteArray, content);
        QFETCH(QString, password);
        QFETCH(bool, strong);
        QTemporaryDir dir;
        const std::string plain = path(dir, "notes.txt");
        const QString sealedName = strong ? "notes.txt.age" : "notes.gri";
        const std::string gri = path(dir, strong ? "notes.txt.age" : "notes.gri");
        writeFile(plain, content);

        Session enc(plain);
        QVERIFY(enc.start());
        QVERIFY(chkStrong(*enc.window)->isVisible());
        chkStrong(*enc.window)->setChecked(strong);
        txtPassword1(*enc.window)->setText(password);
        txtPassword2(*enc.window)->setText(password);
        QTest::mouseClick(cmdEncrypt(*enc.window), Qt::LeftButton);
        QVERIFY(enc.services.boxes.empty());
        expectDone(*enc.window, sealedName);
        QVERIFY(!exists(plain));
        QVERIFY(readFile(gri).startsWith(strong ? "age-encryption.org/v1\n" : "[Grized]"));
        QCOMPARE(folderContents(dir), QStringList{sealedName});

        Session dec(gri);
        QVERIFY(dec.start());
        MainWindow& w = *dec.window;
        QVERIFY(!chkStrong(w)->isVisible());
        const QByteArray encrypted = readFile(gri);
        txtPassword1(w)->setText(password + "x");
        QTest::keyClick(txtPassword1(w), Qt::Key_Return);
        QCOMPARE(dec.services.boxes.size(), 1u);
        QCOMPARE(dec.services.boxes[0].text, std::string("Access denied: password is incorrect!"));
        QCOMPARE(dec.services.boxes[0].title, std::string("Grize"));
        QVERIFY(dec.services.boxes[0].icon == MsgIcon::Warning);
        // Retry: the decrypt button and a way out, the typed password selected.
        QVERIFY(cmdDecrypt(w)->isEnabled());
        QCOMPARE(w.defaultButton(), cmdDecrypt(w));
        QVERIFY(cmdCancel(w)->isEnabled());
        QCOMPARE(cmdCancel(w)->text(), QString("&Cancel"));
        QVERIFY(!cmdEncrypt(w)->isEnabled());
        QVERIFY(lblPassword1(w)->isEnabled() && txtPassword1(w)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), txtPassword1(w));
        QCOMPARE(txtPassword1(w)->selectedText(), txtPassword1(w)->text());
        QVERIFY(pointerIsDefault(w));
        QCOMPARE(readFile(gri), encrypted);

        // What is typed next replaces the selected attempt.
        txtPassword1(w)->insert(password);
        QCOMPARE(txtPassword1(w)->text(), password);
        QTest::keyClick(txtPassword1(w), Qt::Key_Return);
        QCOMPARE(dec.services.boxes.size(), 1u);
        expectDone(w, "notes.txt");
        QCOMPARE(readFile(plain), content);
        QCOMPARE(folderContents(dir), QStringList{"notes.txt"});
    }

    // A run long enough for the progress bar to appear: meanwhile the window
    // paints, shows how far the work is and ignores keys and clicks, but for
    // Cancel, Esc and the close box, which stop the run and leave every file
    // as it was, while reading and while the output goes to the disk (a slow
    // device). Once the output has its name a stop comes too late: the run is
    // done, the window says so and stays open.
    void longRunKeepsTheWindowAliveAndCanBeStopped_data() {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("heldAt");
        for (const bool decrypt : {false, true}) {
            const char* mode = decrypt ? "decrypt" : "encrypt";
            for (const char* stop : {"", "Cancel", "Esc", "close box"}) {
                QTest::addRow("%s %s", mode, stop) << decrypt << QString(stop) << QString("read");
            }
            QTest::addRow("%s Cancel while flushing", mode)
                << decrypt << "Cancel" << QString("sync");
            QTest::addRow("%s Esc while renaming", mode) << decrypt << "Esc" << QString("rename");
            QTest::addRow("%s close box while renaming", mode)
                << decrypt << "close box" << QString("rename");
        }
    }

    void longRunKeepsTheWindowAliveAndCanBeStopped() {
        QFETCH(bool, decrypt);
        QFETCH(QString, stop);
        QFETCH(QString, heldAt);
        const std::string holdAt = heldAt.toStdString();
        const bool tooLate = holdAt == "rename";
        QTemporaryDir dir;
        const std::string source = path(dir, decrypt ? "big.gri" : "big.txt");
        const QByteArray content(4 << 20, 'b');
        if (decrypt) {
            makeEncrypted(source, U"pw", content);
        } else {
            writeFile(source, content);
        }
        const QByteArray before = readFile(source);
        Session s(source);
        QVERIFY(s.start());
        MainWindow& w = *s.window;
        txtPassword1(w)->setText("pw");
        txtPassword2(w)->setText(decrypt ? "" : "pw");

        std::atomic<int> calls{0};
        std::atomic<bool> held{false};
        std::atomic<bool> release{false};
        s.fs.before = [&](const std::string& call, const std::string&) {
            const std::string op = call.starts_with("rename") ? "rename" : call;  // either kind
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            // The second read, so that the bar has something to show.
            if (op == holdAt && ++calls == (op == "read" ? 2 : 1)) {
                held = true;
                while (!release && std::chrono::steady_clock::now() < give_up) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        };
        struct Seen {
            bool working = false;
            int paints = 0;
            bool barShown = false;
            int value = -1;
            bool inputIgnored = false;
            bool stillOpen = false;
        } seen;
        PaintCounter counter(w, seen.paints);
        // The bar soon after the start, so that the held run need not wait long.
        w.setProgressTiming(std::chrono::milliseconds(20), std::chrono::milliseconds(5));
        // A bar that never shows, or a window that never paints, waits for
        // the held call to give up and fails below. The stop comes only once
        // the run is held where the row says.
        whenTrue(
            w, [&] { return held && prgWork(w)->isVisible() && prgWork(w)->value() > 0; },
            [&] {
                seen.working = w.working();
                seen.barShown = prgWork(w)->isVisible();
                seen.value = prgWork(w)->value();
                seen.paints = 0;
                w.update();
                whenTrue(
                    w, [&] { return seen.paints > 0; },
                    [&] {
                        const CallLog log = s.log;
                        QTest::keyClicks(txtPassword1(w), "typed");
                        QTest::mouseClick(Check1(w), Qt::LeftButton);
                        seen.inputIgnored = txtPassword1(w)->text() == "pw" &&
                                            !Check1(w)->isChecked() && s.log == log;
                        if (stop == "Cancel") {
                            QTest::mouseClick(cmdCancel(w), Qt::LeftButton);
                        } else if (stop == "Esc") {
                            QTest::keyClick(&w, Qt::Key_Escape);
                        } else if (stop == "close box") {
                            w.close();
                        }
                        seen.stillOpen = w.isVisible() && s.log == log;
                        release = true;
                    });
            });
        QTest::keyClick(txtPassword1(w), Qt::Key_Return);

        QVERIFY(seen.working);
        QVERIFY(seen.paints > 0);
        QVERIFY(seen.barShown);
        if (holdAt == "read") {
            QVERIFY2(seen.value > 0 && seen.value < prgWork(w)->maximum(),
                     qPrintable(QString::number(seen.value)));
        }
        QVERIFY(seen.inputIgnored);
        QVERIFY(seen.stillOpen);
        QVERIFY(!w.working());
        QVERIFY(!prgWork(w)->isVisible());
        if (tooLate) {
            QCOMPARE(s.services.boxes.size(), std::size_t{1});
            QVERIFY(s.services.boxes[0].text.rfind("It was too late to stop", 0) == 0);
            QVERIFY(w.isVisible());
            QCOMPARE(s.services.ends, 0);
        } else {
            QVERIFY(s.services.boxes.empty());
        }
        if (stop.isEmpty() || tooLate) {
            expectDone(w);
            QCOMPARE(folderContents(dir), QStringList{decrypt ? "big.txt" : "big.gri"});
            if (decrypt) {
                QCOMPARE(readFile(path(dir, "big.txt")), content);
            }
            return;
        }
        // Stopped: the source whole, nothing of the run left.
        QCOMPARE(folderContents(dir), QStringList{decrypt ? "big.gri" : "big.txt"});
        QCOMPARE(readFile(source), before);
        if (stop == "close box") {
            QVERIFY(!w.isVisible());
            QCOMPARE(s.services.ends, 1);
            return;
        }
        // Back where it was before Enter, passwords kept.
        QVERIFY((decrypt ? cmdDecrypt(w) : cmdEncrypt(w))->isEnabled());
        QVERIFY(cmdCancel(w)->isEnabled());
        QCOMPARE(cmdCancel(w)->text(), QString("&Cancel"));
        QCOMPARE(txtPassword1(w)->text(), QString("pw"));
        QVERIFY(txtPassword1(w)->isEnabled());
        QVERIFY(pointerIsDefault(w));
    }

    // Passwords that differ, in case only, or none at all: a box, the box to
    // type in again, and nothing touched.
    void refusedPasswordsChangeNothing_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("strong");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("secondBox");
        const QString differ = "The two passwords are not the same.\r\nPlease adjust...";
        const QString empty = "An empty password protects nothing: please type a password.";
        QTest::newRow("differ in case") << "Secret"
                                        << "secret" << false << differ << true;
        QTest::newRow("empty") << ""
                               << "" << false << empty << false;
        QTest::newRow("empty, age") << ""
                                    << "" << true << empty << false;
    }

    void refusedPasswordsChangeNothing() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, strong);
        QFETCH(QString, text);
        QFETCH(bool, secondBox);
        QTemporaryDir dir;
        const std::string plain = path(dir, "notes.txt");
        writeFile(plain, "text");
        Session s(plain);
        QVERIFY(s.start());
        MainWindow& w = *s.window;
        chkStrong(w)->setChecked(strong);
        txtPassword1(w)->setText(first);
        txtPassword2(w)->setText(second);
        QTest::mouseClick(cmdEncrypt(w), Qt::LeftButton);

        QCOMPARE(s.services.boxes.size(), 1u);
        const Message& box = s.services.boxes[0];
        QCOMPARE(QString::fromStdString(box.text), text);
        QCOMPARE(box.title, std::string("Grize"));
        QVERIFY(box.icon == MsgIcon::Warning);
        QCOMPARE(QApplication::focusWidget(), secondBox ? txtPassword2(w) : txtPassword1(w));
        QCOMPARE(txtPassword2(w)->selectedText(), secondBox ? second : QString());
        QVERIFY(cmdEncrypt(w)->isEnabled() && cmdEncrypt(w)->isDefault());
        QVERIFY(cmdCancel(w)->isEnabled());
        QCOMPARE(cmdCancel(w)->text(), QString("&Cancel"));
        QVERIFY(pointerIsDefault(w));
        QCOMPARE(folderContents(dir), QStringList{"notes.txt"});
        QCOMPARE(readFile(plain), QByteArray("text"));
    }

    void autoQuitEndsRightAfterWriting_data() {
        QTest::addColumn<bool>("decrypt");
        QTest::newRow("encrypt") << false;
        QTest::newRow("decrypt") << true;
    }

    void autoQuitEndsRightAfterWriting() {
        QFETCH(bool, decrypt);
        QTemporaryDir dir;
        const std::string source = path(dir, decrypt ? "notes.gri" : "notes.txt");
        if (decrypt) {
            makeEncrypted(source, U"pw", "hello");
        } else {
            writeFile(source, "hello");
        }
        Session s(source);
        s.settings.storedAutoquit = 1;
        // Where a window with no stored place opens is the system's choice.
        s.settings.storedLeft = 0;
        s.settings.storedTop = 0;
        QVERIFY(s.start());
        txtPassword1(*s.window)->setText("pw");
        txtPassword2(*s.window)->setText(decrypt ? "" : "pw");
        s.log.clear();
        QTest::keyClick(txtPassword1(*s.window), Qt::Key_Return);
        QCOMPARE(s.log, (CallLog{"SavePosition 0 0", "SaveAutoquit 1", "EndNow"}));
        QVERIFY(!s.window->isVisible());
        QCOMPARE(folderContents(dir), QStringList{decrypt ? "notes.txt" : "notes.gri"});
    }

    // The mode comes from the content, so the output may be the source; any
    // other file of that name is replaced only when the user says Yes.
    void outputMayReplaceSourceOrAnotherFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("yes");
        QTest::newRow("encrypt in place") << "notes.gri"
                                          << "" << false;
        QTest::newRow("encrypt over old .gri, Yes") << "notes.txt"
                                                    << "notes.gri" << true;
        QTest::newRow("encrypt over old .gri, No") << "notes.txt"
                                                   << "notes.gri" << false;
    }

    void outputMayReplaceSourceOrAnotherFile() {
        QFETCH(QString, name);
        QFETCH(QString, other);
        QFETCH(bool, yes);
        QTemporaryDir dir;
        const std::string source = path(dir, name.toUtf8().constData());
        writeFile(source, "plain bytes");
        const QByteArray old(100000, 'o');
        if (!other.isEmpty()) {
            writeFile(path(dir, other.toUtf8().constData()), old);
        }
        const QStringList before = folderContents(dir);
        Session s(source);
        QVERIFY(s.start());
        s.services.answerYes = yes;
        txtPassword1(*s.window)->setText("pw");
        txtPassword2(*s.window)->setText("pw");
        QTest::mouseClick(cmdEncrypt(*s.window), Qt::LeftButton);
        QCOMPARE(s.services.boxes.size(), 0u);
        if (other.isEmpty()) {
            QCOMPARE(s.services.questions.size(), 0u);
        } else {
            QCOMPARE(s.services.questions.size(), 1u);
            const Message& question = s.services.questions[0];
            QCOMPARE(question.text, std::string("notes.gri already exists.\r\n"
                                                "Do you want to replace it?"));
            QCOMPARE(question.title, std::string("Grize"));
        }
        if (!yes && !other.isEmpty()) {
            // No: back to the state before the click, nothing touched.
            QVERIFY(cmdEncrypt(*s.window)->isEnabled() && cmdCancel(*s.window)->isEnabled());
            QVERIFY(txtPassword1(*s.window)->isEnabled());
            QVERIFY(pointerIsDefault(*s.window));
            QCOMPARE(folderContents(dir), before);
            QCOMPARE(readFile(path(dir, "notes.gri")), old);
            return;
        }
        expectDone(*s.window);
        QCOMPARE(folderContents(dir), QStringList{"notes.gri"});
        const QByteArray written = readFile(path(dir, "notes.gri"));
        QVERIFY(written.startsWith("[Grized]"));
        QVERIFY(!written.contains("ooo"));
    }

    void failuresLeaveSourceAndShowTheirBox_data() {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString denied = kAccessDenied;
        QTest::newRow("encrypt: output name is a folder")
            << false << int(Fault::OutputIsFolder) << "Access denied" << denied;
        QTest::newRow("decrypt: output name is a folder")
            << true << int(Fault::OutputIsFolder) << "Access denied" << denied;
        QTest::newRow("encrypt: read-only output")
            << false << int(Fault::OutputReadOnly) << "Grize"
            << "notes.gri is read-only; it was left as it is";
        QTest::newRow("encrypt: creating refused")
            << false << int(Fault::CreateRefused) << "Access denied" << denied;
        QTest::newRow("decrypt: creating refused")
            << true << int(Fault::CreateRefused) << "Access denied" << denied;
        QTest::newRow("encrypt: disk full")
            << false << int(Fault::RenameDiskFull) << "Error"
            << QString::fromStdString(report("61 - Disk full", "Sub Encrypt"));
        QTest::newRow("decrypt: disk full")
            << true << int(Fault::RenameDiskFull) << "Error"
            << QString::fromStdString(report("61 - Disk full", "Sub Decrypt"));
        QTest::newRow("encrypt: password too long")
            << false << int(Fault::LongPassword) << "Error"
            << QString::fromStdString(report("6 - Overflow", "Sub Encrypt"));
        QTest::newRow("decrypt: header line only")
            << true << int(Fault::HeaderOnly) << "Grize"
            << QString(
                   "notes.gri is damaged: Grize could not decrypt anything from it.\r\n"
                   "It was left as it is.");
    }

    void failuresLeaveSourceAndShowTheirBox() {
        QFETCH(bool, decrypt);
        QFETCH(int, fault);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const std::string source = path(dir, decrypt ? "notes.gri" : "notes.txt");
        const std::string output = path(dir, decrypt ? "notes.txt" : "notes.gri");
        if (decrypt) {
            makeEncrypted(source, U"pw", "hello");
            if (static_cast<Fault>(fault) == Fault::HeaderOnly) {
                const QByteArray all = readFile(source);
                writeFile(source, all.left(all.indexOf("\r\n") + 2));
            }
        } else {
            writeFile(source, "hello");
        }
        const QByteArray before = readFile(source);
        Session s(source);
        switch (static_cast<Fault>(fault)) {
            case Fault::OutputIsFolder:
                QVERIFY(QDir().mkdir(QString::fromStdString(output)));
                break;
            case Fault::OutputReadOnly:
                writeFile(output, "old");
                QVERIFY(QFile::setPermissions(QString::fromStdString(output), QFile::ReadOwner));
                break;
            case Fault::RenameDiskFull:
                s.fs.failOn({"renameAt", "renameNoReplaceAt"}, RuntimeError(ErrorKind::DiskFull));
                break;
            case Fault::CreateRefused:
                s.fs.failOn({"createNewAt"}, RuntimeError(ErrorKind::Access));
                break;
            default:
                break;
        }
        const QStringList contents = folderContents(dir);
        QVERIFY(s.start());
        MainWindow& w = *s.window;
        const QString password =
            static_cast<Fault>(fault) == Fault::LongPassword ? QString(24561, 'p') : "pw";
        txtPassword1(w)->setText(password);
        txtPassword2(w)->setText(decrypt ? "" : password);
        Working working;
        watchWorking(s, working);
        QTest::keyClick(txtPassword1(w), Qt::Key_Return);

        QCOMPARE(s.services.boxes.size(), 1u);
        const Message& box = s.services.boxes[0];
        QCOMPARE(QString::fromStdString(box.text), text);
        QCOMPARE(QString::fromStdString(box.title), title);
        QVERIFY(box.icon == (title == "Error" ? MsgIcon::None : MsgIcon::Warning));
        QVERIFY(working.hourglass);
        QVERIFY(!working.anyButtonEnabled);

        // Failed: only Cancel, focused; source intact.
        expectFailed(w);
        QCOMPARE(s.services.ends, 0);
        QCOMPARE(readFile(source), before);
        QCOMPARE(folderContents(dir), contents);
    }

    void unwritableFolderAsOrdinaryUser() {
        QTemporaryDir dir;
        const std::string source = path(dir, "notes.txt");
        writeFile(source, "hello");
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        // Root, and Windows, which keeps no such bits on folders, still write.
        if (QFile probe(dir.filePath("probe")); probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("this user writes into a read-only folder");
        }
        Session s(source);
        QVERIFY(s.start());
        txtPassword1(*s.window)->setText("pw");
        txtPassword2(*s.window)->setText("pw");
        QTest::mouseClick(cmdEncrypt(*s.window), Qt::LeftButton);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(s.services.boxes.size(), 1u);
        QCOMPARE(s.services.boxes[0].title, std::string("Access denied"));
        expectFailed(*s.window);
        QCOMPARE(readFile(source), QByteArray("hello"));
    }
};

GRIZE_APP_TEST(OperationsTest);

#include "OperationsTest.moc"
