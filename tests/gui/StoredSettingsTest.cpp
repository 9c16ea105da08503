// The stored window position and "Auto quit window" through the real window,
// the real settings and QSettings' file in a scratch configuration folder.
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include "AppTestSupport.h"
#include "TestRegistry.h"
#include "gui/settings/QtWindowSettings.h"

using namespace grize;
using namespace grize::test;

namespace {

// One start of the program with the real settings in place of the recorder.
struct RealSession {
    explicit RealSession(std::string commandLine) : services(log) {
        services.givenCommandLine = std::move(commandLine);
    }
    bool start() {
        window = std::make_unique<MainWindow>(services, settings, defaultFileSystem());
        return window->start();
    }

    CallLog log;
    RecordingServices services;
    QtWindowSettings settings;
    std::unique_ptr<MainWindow> window;
};

void store(const QStringList& pairs) {  // name=text
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Ashgrove", "Grize");
    for (const QString& pair : pairs) {
        settings.setValue(pair.section('=', 0, 0), pair.section('=', 1));
    }
}

}  // namespace

class StoredSettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray savedConfig_;
    std::string target_;

    QString storeFile() const { return dir_.filePath("config/Ashgrove/Grize.conf"); }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("config"));
        target_ = path(dir_, "notes.txt");
        writeFile(target_, "plain text");
    }

    void cleanupTestCase() { qputenv("XDG_CONFIG_HOME", savedConfig_); }

    void init() { QDir(dir_.filePath("config")).removeRecursively(); }

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
        QCOMPARE(readFile(storeFile().toStdString()),
                 "[General]\nAutoquit=" + QByteArray(tick ? "1" : "0") + "\nLeft=" + left +
                     "\nTop=" + top + "\n");

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
        // A first run: the window's own place, centred on the screen.
        QTest::newRow("nothing stored") << QStringList{} << QPoint(-1, -1) << false;
    }

    void unusableValuesFallBack() {
        QFETCH(QStringList, stored);
        QFETCH(QPoint, shown);
        QFETCH(bool, checked);
        store(stored);
        RealSession s(target_);
        QVERIFY(s.start());
        if (shown == QPoint(-1, -1)) {
            const QPoint off =
                s.window->geometry().center() - s.window->screen()->availableGeometry().center();
            QVERIFY2(off.manhattanLength() <= 4,
                     qPrintable(QString("off by %1, %2").arg(off.x()).arg(off.y())));
        } else {
            QCOMPARE(s.window->pos(), shown);
        }
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
            store({"Left=1500", "Top=900", "Autoquit=1"});
        }
        const QByteArray before = readFile(storeFile().toStdString());
        {
            RealSession s(file.isEmpty() ? "" : path(dir_, file.toUtf8().constData()));
            s.services.previousInstance = secondInstance;
            QVERIFY(!s.start());
            QCOMPARE(s.services.ends, 1);
        }
        QCOMPARE(readFile(storeFile().toStdString()), before);
        QCOMPARE(QFileInfo::exists(dir_.filePath("config")), storedBefore);
    }
};

GRIZE_APP_TEST(StoredSettingsTest);
#include "StoredSettingsTest.moc"
