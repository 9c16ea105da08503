// Start-up: the single-instance refusal, the six refusals of the target and
// the mode chosen from the first eight bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QObject>
#include <QTest>

#include "AppTestSupport.h"
#include "TestRegistry.h"

using namespace grize;
using namespace grize::test;

namespace {

enum class Target {
    None,
    Missing,
    Folder,
    Quoted,
    TwoPaths,
    Empty,
    Fifo,
    ReadOnly,
    ReadOnlyHidden,
    Hidden,
    Symlink,
    DanglingSymlink,
    BrokenAge
};

const char* const kUsage =
    "Usage:\r\nRight click a file in your file manager and select Grize-Encrypt.\r\n"
    "The readme is /usr/share/doc/grize/readme.txt.";

std::string notFound(const std::string& name, const std::string& folder) {
    return name + ": there is no such file in " + folder;
}
std::string notRegular(const std::string& file) {
    return file + " is not a regular file:\r\nGrize will NOT work with links, pipes or devices.";
}

// Makes the target in `dir`; returns the command line and the expected text.
std::pair<std::string, std::string> makeTarget(Target kind, const QTemporaryDir& dir) {
    const std::string notes = path(dir, "notes.txt");
    const std::string folder = dir.path().toStdString();
    writeFile(notes, "some text\r\n");
    switch (kind) {
        case Target::None:
            return {"", kUsage};
        case Target::Missing:
            return {path(dir, "none.txt"), notFound("none.txt", folder)};
        case Target::Folder: {
            const std::string sub = path(dir, "sub.txt");
            QDir().mkdir(QString::fromStdString(sub));
            return {sub, sub + " is a folder, not a file"};
        }
        case Target::Quoted:
            // A relative folder, '"' and all, beside the current one.
            return {"\"" + notes + "\"",
                    notFound("notes.txt\"", QDir::currentPath().toStdString() + "/\"" + folder)};
        case Target::TwoPaths: {
            const std::string other = path(dir, "other.txt");
            writeFile(other, "x");
            return {notes + " " + other, notFound("other.txt", notes + " " + folder)};
        }
        case Target::Empty: {
            const std::string empty = path(dir, "empty file.txt");
            writeFile(empty, "");
            return {empty, empty + " is empty:\r\nGrize will NOT work with empty files."};
        }
        case Target::Fifo: {
            const std::string fifo = path(dir, "pipe");
            mkfifo(fifo.c_str(), 0600);
            return {fifo, notRegular(fifo)};
        }
        case Target::ReadOnly:
            chmod(notes.c_str(), 0444);
            return {notes,
                    notes + " is read-only:\r\nGive yourself write permission and try again."};
        case Target::ReadOnlyHidden: {
            const std::string hidden = path(dir, ".notes.txt");
            writeFile(hidden, "x");
            chmod(hidden.c_str(), 0444);
            return {hidden,
                    hidden + " is read-only:\r\nGive yourself write permission and try again."};
        }
        case Target::Hidden: {
            const std::string hidden = path(dir, ".notes.txt");
            writeFile(hidden, "x");
            return {hidden,
                    hidden + " is hidden:\r\nRename it without the leading dot and try again."};
        }
        case Target::Symlink: {
            const std::string link = path(dir, "link.txt");
            symlink(notes.c_str(), link.c_str());
            return {link, notRegular(link)};
        }
        case Target::BrokenAge: {
            // Offered for decryption by its first bytes, refused by its header.
            const std::string age = path(dir, "notes.age");
            writeFile(age, "age-encryption.org/v1\n-> X25519 abc\n");
            return {age,
                    "notes.age is not a valid age file: its header breaks the format's "
                    "rules.\r\nIt was left as it is."};
        }
        case Target::DanglingSymlink: {
            const std::string link = path(dir, "gone.txt");
            symlink(path(dir, "nothing").c_str(), link.c_str());
            return {link, notFound("gone.txt", folder)};
        }
    }
    return {};
}

void expectEncryptMode(const MainWindow& w) {
    QVERIFY(cmdEncrypt(w)->isEnabled());
    QCOMPARE(w.defaultButton(), cmdEncrypt(w));
    QVERIFY(cmdEncrypt(w)->isDefault());
    QVERIFY(!cmdDecrypt(w)->isEnabled());
    QVERIFY(!cmdDecrypt(w)->isDefault());
    QVERIFY(lblPassword1(w)->isEnabled() && txtPassword1(w)->isEnabled());
    QVERIFY(lblPassword2(w)->isEnabled() && txtPassword2(w)->isEnabled());
}

void expectDecryptMode(const MainWindow& w) {
    QVERIFY(!cmdEncrypt(w)->isEnabled());
    QVERIFY(!cmdEncrypt(w)->isDefault());
    QVERIFY(cmdDecrypt(w)->isEnabled());
    QCOMPARE(w.defaultButton(), cmdDecrypt(w));
    QVERIFY(cmdDecrypt(w)->isDefault());
    QVERIFY(lblPassword1(w)->isEnabled() && txtPassword1(w)->isEnabled());
    QVERIFY(!lblPassword2(w)->isEnabled() && !txtPassword2(w)->isEnabled());
    QVERIFY(txtPassword2(w)->text().isEmpty());
}

}  // namespace

class CheckAllTest : public QObject {
    Q_OBJECT

  private slots:
    void secondInstanceIsRefusedBeforeAnythingElse() {
        Session s("whatever.txt");
        s.services.previousInstance = true;
        QVERIFY(!s.start());
        QCOMPARE(s.log, (CallLog{"PrevInstance", "MsgBox", "EndNow"}));
        QCOMPARE(s.services.boxes.size(), 1u);
        const Message& box = s.services.boxes[0];
        QCOMPARE(box.text, std::string("Grize is already running..."));
        QCOMPARE(box.title, std::string("Info"));
        QVERIFY(box.icon == MsgIcon::Information);
        QVERIFY(!s.window->isVisible());
    }

    void refusedTargets_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("no argument") << int(Target::None);
        QTest::newRow("nothing there") << int(Target::Missing);
        QTest::newRow("folder") << int(Target::Folder);
        QTest::newRow("path in quotation marks") << int(Target::Quoted);
        QTest::newRow("two paths") << int(Target::TwoPaths);
        QTest::newRow("empty file") << int(Target::Empty);
        QTest::newRow("FIFO") << int(Target::Fifo);
        QTest::newRow("read-only") << int(Target::ReadOnly);
        QTest::newRow("read-only and hidden") << int(Target::ReadOnlyHidden);
        QTest::newRow("hidden") << int(Target::Hidden);
        QTest::newRow("symbolic link") << int(Target::Symlink);
        QTest::newRow("dangling symbolic link") << int(Target::DanglingSymlink);
        QTest::newRow("broken age file") << int(Target::BrokenAge);
    }

    void refusedTargets() {
        QFETCH(int, kind);
        QTemporaryDir dir;
        const auto [commandLine, expected] = makeTarget(static_cast<Target>(kind), dir);
        Session s(commandLine);
        QVERIFY(!s.start());

        QCOMPARE(s.services.boxes.size(), 1u);
        const Message& box = s.services.boxes[0];
        QCOMPARE(box.text, expected);
        QCOMPARE(box.title, std::string("Grize"));
        QVERIFY(box.icon == MsgIcon::Warning);
        // Settings restored first, nothing stored, the window never shown.
        QCOMPARE(s.log, (CallLog{"PrevInstance", "LoadPosition", "LoadAutoquit", "CommandLine",
                                 "MsgBox", "EndNow"}));
        QVERIFY(!s.window->isVisible());
        QCOMPARE(s.window->windowTitle(), QString("Grize "));
        QCOMPARE(s.window->userFile(), commandLine);
        // Nothing on disk was touched.
        if (static_cast<Target>(kind) == Target::ReadOnly) {
            QCOMPARE(readFile(path(dir, "notes.txt")), QByteArray("some text\r\n"));
        }
    }

    void modeFromFirstEightBytes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("decrypt");
        QTest::newRow("marker") << "notes.gri" << QByteArray("[Grized]abcdefgh\r\n") << true;
        QTest::newRow("marker alone") << "notes.gri" << QByteArray("[Grized]") << true;
        QTest::newRow("marker in a .txt") << "notes.txt" << QByteArray("[Grized]xyz") << true;
        QTest::newRow("lower case") << "notes.gri" << QByteArray("[grized]abc") << false;
        QTest::newRow("eighth byte differs") << "notes.gri" << QByteArray("[Grized}abc") << false;
        QTest::newRow("seven bytes") << "notes.gri" << QByteArray("[Grized") << false;
        QTest::newRow("one byte") << "a.txt" << QByteArray("x") << false;
        QTest::newRow("binary") << "picture.png" << QByteArray("\x89PNG\0\0\0\x01", 8) << false;
        QTest::newRow("blanks in the name") << "my notes.txt" << QByteArray("text") << false;
        QTest::newRow("non-ASCII name")
            << QString::fromUtf8("n\xc3\xb6tes \xe2\x82\xac.txt") << QByteArray("text") << false;
    }

    void modeFromFirstEightBytes() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, decrypt);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("a folder"));
        const std::string target = (dir.path() + "/a folder/" + name).toStdString();
        writeFile(target, content);

        Session s(target);
        QVERIFY(s.start());
        QVERIFY(s.services.boxes.empty());
        QCOMPARE(s.window->windowTitle(), "Grize / " + name);
        if (decrypt) {
            expectDecryptMode(*s.window);
        } else {
            expectEncryptMode(*s.window);
        }
        QCOMPARE(readFile(target), content);
    }

    // A target that passes the checks but cannot be read: the report, then
    // the program ends like the refused targets, never showing the window.
    void unreadableTargetEndsAfterTheReport() {
        QTemporaryDir dir;
        const std::string target = path(dir, "notes.txt");
        writeFile(target, "text");
        Session s(target);
        s.fs.failOn({"openRead", "openReadAt"}, RuntimeError(ErrorKind::Access));
        QVERIFY(!s.start());

        QCOMPARE(s.services.boxes.size(), 1u);
        const Message& box = s.services.boxes[0];
        QCOMPARE(box.text, std::string("An Error was generated:\r\n\r\nDescription:\r\n"
                                       "Error 75 - Path/File access error\r\nSub checkAll\r\n\r\n"
                                       "Please inform the author with the error description "
                                       "above."));
        QCOMPARE(box.title, std::string("Error"));
        QVERIFY(box.icon == MsgIcon::None);
        QCOMPARE(s.log, (CallLog{"PrevInstance", "LoadPosition", "LoadAutoquit", "CommandLine",
                                 "MsgBox", "EndNow"}));
        QVERIFY(!s.window->isVisible());
        QCOMPARE(readFile(target), QByteArray("text"));
    }
};

GRIZE_APP_TEST(CheckAllTest);

#include "CheckAllTest.moc"
