// The stored window position and "Auto quit window" through the real window,
// the real settings procedures and the file store in a scratch config folder.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QObject>
#include <QTest>

#include "AppTestSupport.h"
#include "TestRegistry.h"
#include "gui/settings/Registry.h"

using namespace grize;
using namespace grize::test;

namespace {

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Ashgrove\\Grize";

// One start of the program with the real settings in place of the recorder.
struct RealSession {
    explicit RealSession(std::string commandLine) : services(log), settings(services) {
        services.commandLine = std::move(commandLine);
    }
    bool start() {
        window = std::make_unique<MainWindow>(services, settings, defaultFileSystem());
        return window->start();
    }

    CallLog log;
    RecordingServices services;
    GeneralSettings settings;
    std::unique_ptr<MainWindow> window;
};

// Every file under the store with its bytes, to see that nothing changed.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        files.insert(file, readFile(file.toStdString()));
    }
    return files;
}

}  // namespace

class StoredSettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray savedConfig_;
    std::string target_;

    QString store() const { return dir_.filePath("config/grize/registry"); }
    QByteArray valueFile(const char* name) const {
        return readFile(
            (store() + "/HKEY_CURRENT_USER/Software/Ashgrove/Grize/=" + name).toStdString());
    }

    // The module's numbers outlive a window; a new program starts them at 0.
    void freshStart() {
        QDir(dir_.filePath("config")).removeRecursively();
        CreateKey(kKey);
        WriteValue(kKey, "Left", "0");
        WriteValue(kKey, "Autoquit", "0");
        RealSession s(target_);
        QVERIFY(s.start());
        QCOMPARE(s.window->pos(), QPoint(0, 0));
        QVERIFY(!Check1(*s.window)->isChecked());
        QDir(dir_.filePath("config")).removeRecursively();
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toUtf8());
        target_ = path(dir_, "notes.txt");
        writeFile(target_, "plain text");
    }

    void cleanupTestCase() { qputenv("XDG_CONFIG_HOME", savedConfig_); }

    void init() { freshStart(); }

    void closeStoresDecimalTextAndNextStartRestoresIt_data() {
        QTest::addColumn<QPoint>("moved");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<QByteArray>("top");
        QTest::newRow("ticked") << QPoint(200, 100) << true << QByteArray("3000")
                                << QByteArray("1500");
        QTest::newRow("partly off the screen, not ticked")
            << QPoint(-30, -7) << false << QByteArray("-450") << QByteArray("-105");
    }

    void closeStoresDecimalTextAndNextStartRestoresIt() {
        QFETCH(QPoint, moved);
        QFETCH(bool, tick);
        QFETCH(QByteArray, left);
        QFETCH(QByteArray, top);
        {
            RealSession first(target_);
            QVERIFY(first.start());
            first.window->move(moved);
            if (tick) {
                QTest::mouseClick(Check1(*first.window), Qt::LeftButton, {}, QPoint(5, 5));
            }
            QVERIFY(first.window->close());
            QCOMPARE(first.services.ends, 0);
        }
        QCOMPARE(valueFile("Left"), "REG_SZ\n" + left);
        QCOMPARE(valueFile("Top"), "REG_SZ\n" + top);
        QCOMPARE(valueFile("Autoquit"), QByteArray(tick ? "REG_SZ\n1" : "REG_SZ\n0"));

        RealSession second(target_);
        QVERIFY(second.start());
        QCOMPARE(second.window->pos(), moved);
        QCOMPARE(Check1(*second.window)->isChecked(), tick);
        QVERIFY(second.services.boxes.empty());
    }

    void unusableValuesFallBack_data() {
        QTest::addColumn<QStringList>("stored");  // name=text pairs
        QTest::addColumn<QPoint>("shown");
        QTest::addColumn<bool>("checked");
        QTest::newRow("Left 1500, no Top") << QStringList{"Left=1500"} << QPoint(100, 100) << false;
        QTest::newRow("Left not a number")
            << QStringList{"Left=abc", "Top=900", "Autoquit=1"} << QPoint(0, 60) << true;
        QTest::newRow("nothing usable")
            << QStringList{"Left=", "Top=Error", "Autoquit=yes"} << QPoint(0, 0) << false;
    }

    void unusableValuesFallBack() {
        QFETCH(QStringList, stored);
        QFETCH(QPoint, shown);
        QFETCH(bool, checked);
        CreateKey(kKey);
        for (const QString& pair : stored) {
            WriteValue(kKey, pair.section('=', 0, 0).toStdString(),
                       pair.section('=', 1).toStdString());
        }
        RealSession s(target_);
        QVERIFY(s.start());
        QCOMPARE(s.window->pos(), shown);
        QCOMPARE(Check1(*s.window)->isChecked(), checked);
    }

    void startThatEndsStoresNothing_data() {
        QTest::addColumn<bool>("storedBefore");
        QTest::addColumn<bool>("secondInstance");
        QTest::addColumn<QString>("file");
        QTest::newRow("missing file") << true << false << "missing.txt";
        QTest::newRow("missing file, empty store") << false << false << "missing.txt";
        QTest::newRow("no argument") << true << false << "";
        QTest::newRow("second instance") << true << true << "notes.txt";
    }

    void startThatEndsStoresNothing() {
        QFETCH(bool, storedBefore);
        QFETCH(bool, secondInstance);
        QFETCH(QString, file);
        if (storedBefore) {
            CreateKey(kKey);
            WriteValue(kKey, "Left", "1500");
            WriteValue(kKey, "Top", "900");
            WriteValue(kKey, "Autoquit", "1");
        }
        const auto before = snapshot(store());
        {
            RealSession s(file.isEmpty() ? "" : path(dir_, file.toUtf8().constData()));
            s.services.previousInstance = secondInstance;
            QVERIFY(!s.start());
            QCOMPARE(s.services.ends, 1);
        }
        QCOMPARE(snapshot(store()), before);
        QCOMPARE(QFileInfo::exists(store()), storedBefore);
    }
};

GRIZE_APP_TEST(StoredSettingsTest);
#include "StoredSettingsTest.moc"
