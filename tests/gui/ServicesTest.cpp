// The Qt side of the windowing services that the recorder stands in for
// elsewhere, and the error report's text.
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include "AppTestSupport.h"
#include "TestRegistry.h"
#include "gui/ErrorReport.h"
#include "gui/Platform.h"
#include "gui/QtWindowServices.h"
#include "platform/CommandLine.h"

using namespace grize;
using namespace grize::test;

class ServicesTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir runtime_;
    QByteArray previousRuntime_;

    QString lockPath() const { return runtime_.filePath("grize.lock"); }

  private slots:
    void initTestCase() {
        previousRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        QFile::setPermissions(runtime_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }

    void cleanupTestCase() { qputenv("XDG_RUNTIME_DIR", previousRuntime_); }

    void lockOfADeadProcessDoesNotCount() {
        const pid_t child = fork();
        if (child == 0) {
            _exit(0);
        }
        QVERIFY(child > 0);
        waitpid(child, nullptr, 0);
        QFile lock(lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(child) + "\napp_tests\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();

        QtWindowServices services("");
        QVERIFY(!services.otherInstanceRunning());
    }

    // The desktop's opener ends at once, found nothing (its exit status), or
    // keeps showing the file; only the second is a failure to tell the user.
    void openLinkSaysWhetherAProgramTookIt_data() {
        QTest::addColumn<QByteArray>("opener");
        QTest::addColumn<bool>("opened");
        QTest::newRow("handed on") << QByteArray("exit 0") << true;
        QTest::newRow("nothing to show it") << QByteArray("exit 3") << false;
        QTest::newRow("still showing it") << QByteArray("sleep 2") << true;
    }

    void openLinkSaysWhetherAProgramTookIt() {
        QFETCH(QByteArray, opener);
        QFETCH(bool, opened);
        QTemporaryDir bin;
        QFile script(bin.filePath("xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + opener + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit() + ":" + path);
        QtWindowServices services("");
        const bool result = services.openLink("/usr/share/doc/grize/readme.txt");
        qputenv("PATH", path);
        QCOMPARE(result, opened);
        // The opener left running ends on its own, and its process object with it.
        QTest::qWait(opener.startsWith("sleep") ? 1500 : 0);
    }

    void commandLineJoinsArgumentsWithOneBlank_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << QStringList{} << "";
        QTest::newRow("one with blanks") << QStringList{"/tmp/my notes.txt"} << "/tmp/my notes.txt";
        QTest::newRow("two") << QStringList{"a", "b"} << "a b";
        QTest::newRow("quotes kept") << QStringList{"\"x y\""} << "\"x y\"";
        QTest::newRow("Qt option names") << QStringList{"-reverse", "-style"} << "-reverse -style";
    }

    void commandLineJoinsArgumentsWithOneBlank() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, text);
        std::vector<std::string> each{"grize"};
        for (const QString& argument : arguments) {
            each.push_back(argument.toStdString());
        }
        std::vector<char*> argv;
        for (std::string& argument : each) {
            argv.push_back(argument.data());
        }
        QCOMPARE(commandLineText(static_cast<int>(argv.size()), argv.data()), text.toStdString());
    }

    void errorReportNumberSpacing_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("line");
        QTest::newRow("positive") << 53 << "Error 53 - File not found";
        QTest::newRow("zero") << 0 << "Error 0 - File not found";
        QTest::newRow("negative") << -2147024891 << "Error-2147024891 - File not found";
    }

    void errorReportNumberSpacing() {
        QFETCH(int, number);
        QFETCH(QString, line);
        QCOMPARE(errorReportText(number, "File not found", "Sub Decrypt"),
                 "An Error was generated:\r\n\r\nDescription:\r\n" + line.toStdString() +
                     "\r\nSub Decrypt\r\n\r\nPlease inform the author with the error description "
                     "above.");
    }

    // Empty texts stand for unset variables.
    void platformKeepsThePositionUnderWayland_data() {
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("x11");
        QTest::addColumn<QByteArray>("platform");
        QTest::newRow("Wayland with XWayland")
            << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
            << QByteArray("xcb");
        QTest::newRow("Wayland display only")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << QByteArray(":0")
            << QByteArray("xcb");
        QTest::newRow("no XWayland") << QByteArray() << QByteArray("wayland")
                                     << QByteArray("wayland-0") << QByteArray() << QByteArray();
        QTest::newRow("user chose") << QByteArray("wayland") << QByteArray("wayland")
                                    << QByteArray("wayland-0") << QByteArray(":0") << QByteArray();
        QTest::newRow("X11 session") << QByteArray() << QByteArray("x11") << QByteArray()
                                     << QByteArray(":0") << QByteArray();
    }

    void platformKeepsThePositionUnderWayland() {
        QFETCH(QByteArray, chosen);
        QFETCH(QByteArray, session);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, x11);
        QFETCH(QByteArray, platform);
        const auto env = [](const QByteArray& v) { return v.isEmpty() ? nullptr : v.constData(); };
        const std::string_view chosenPlatform =
            preferredPlatform(env(chosen), env(session), env(wayland), env(x11));
        QCOMPARE(QByteArray(chosenPlatform.data(), qsizetype(chosenPlatform.size())), platform);
    }
};

GRIZE_APP_TEST(ServicesTest);

#include "ServicesTest.moc"
