// The single-instance claim (a lock file, a named mutex on Windows): a
// refused start must not keep it alive, and its holder hears who was refused.
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include "TestRegistry.h"
#include "gui/QtWindowServices.h"

using namespace grize;

class InstanceClaimTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir runtime_;
    QByteArray previousRuntime_;

  private slots:
    void initTestCase() {
        previousRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        QFile::setPermissions(runtime_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }

    void cleanupTestCase() { qputenv("XDG_RUNTIME_DIR", previousRuntime_); }

    void onlyTheFirstInstanceRuns() {
        auto first = std::make_unique<QtWindowServices>("");
        QVERIFY(!first->otherInstanceRunning());
        QtWindowServices second("");
        QVERIFY(second.otherInstanceRunning());
        first.reset();
        QtWindowServices third("");
        QVERIFY(!third.otherInstanceRunning());
    }

    void theHolderHearsTheRefusedStart_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::newRow("a file") << "/home/me/other notes.txt";
        QTest::newRow("no file") << "";
    }

    void theHolderHearsTheRefusedStart() {
        QFETCH(QString, commandLine);
        QtWindowServices first("/home/me/notes.txt");
        QVERIFY(!first.otherInstanceRunning());
        std::vector<std::string> heard;
        first.onOtherStart([&heard](const std::string& text) { heard.push_back(text); });
        QtWindowServices second(commandLine.toStdString());
        QVERIFY(second.otherInstanceRunning());
        QTRY_COMPARE(heard.size(), 1u);
        QCOMPARE(heard[0], commandLine.toStdString());
    }
};

GRIZE_APP_TEST(InstanceClaimTest);

#include "InstanceClaimTest.moc"
