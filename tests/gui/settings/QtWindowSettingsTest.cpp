#include "gui/settings/QtWindowSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "TestFiles.h"
#include "TestPlatform.h"
#include "errors/RuntimeError.h"
#include "platform/SettingsFile.h"

namespace grize::test {
namespace {

class FakeWindow : public PositionTarget {
  public:
    float leftEdge = 777, topEdge = 888;
    bool refuseLeft = false;

    float left() const override {
        if (refuseLeft) {
            throw std::runtime_error("no left edge");
        }
        return leftEdge;
    }
    float top() const override { return topEdge; }
    void setLeft(float twips) override {
        if (refuseLeft) {
            throw std::runtime_error("no left edge");
        }
        leftEdge = twips;
    }
    void setTop(float twips) override { topEdge = twips; }
};

// Remembers what it was asked to take, also when it refuses.
class FakeCheckBox : public CheckBoxTarget {
  public:
    int state = 1;
    std::optional<int> asked;

    int value() const override { return state; }
    void setValue(int v) override {
        asked = v;
        if (v < 0 || v > 2) {
            throw RuntimeError(ErrorKind::InvalidCall);
        }
        state = v;
    }
};

// Each test has a store of its own, never the user's, and a fresh
// QtWindowSettings, as a new start of the program has.
class QtWindowSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch_ = std::make_unique<ScratchSettings>(folder_.path());
        // QSettings took the configuration folder when it was first used.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.path() + "/config"));
    }

    // The store as the program sees it, for putting values in and reading
    // them back.
    static std::unique_ptr<QSettings> raw() {
        auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                    "Ashgrove", "Grize");
        settings->setFallbacksEnabled(false);
        return settings;
    }
    static void store(const char* name, const QVariant& value) { raw()->setValue(name, value); }
    static void store(const char* name, const char* text) { store(name, QString(text)); }
    static void forget(const char* name) { raw()->remove(name); }
    static QVariant stored(const char* name) { return raw()->value(name); }

    TempDir folder_;
    std::unique_ptr<ScratchSettings> scratch_;
    QtWindowSettings settings_;
};

TEST_F(QtWindowSettingsTest, NothingStoredLeavesTheWindowWhereItIsAndTheBoxUnchecked) {
    FakeWindow window;
    FakeCheckBox check;
    settings_.loadPosition(window);
    settings_.loadAutoquit(check);
    EXPECT_EQ(window.leftEdge, 777);
    EXPECT_EQ(window.topEdge, 888);
    EXPECT_EQ(check.state, 0);
    EXPECT_TRUE(raw()->allKeys().isEmpty()) << "loading stores nothing";
}

TEST_F(QtWindowSettingsTest, TopFallsBackToWhateverLeftGave) {
    struct Case {
        const char* left;
        const char* top;  // nullptr: not stored
        float wantLeft, wantTop;
    };
    const Case cases[] = {
        {"1500", nullptr, 1500, 1500}, {"1500", "oops", 1500, 1500}, {"oops", "900", 0, 900},
        {nullptr, "900", 0, 900},      {"-300", "-45", -300, -45},
    };
    for (const auto& c : cases) {
        scratch_->clear();
        if (c.left) {
            store("Left", c.left);
        }
        if (c.top) {
            store("Top", c.top);
        }
        QtWindowSettings fresh;
        FakeWindow window;
        fresh.loadPosition(window);
        EXPECT_EQ(window.leftEdge, c.wantLeft) << c.left << " " << c.top;
        EXPECT_EQ(window.topEdge, c.wantTop) << c.left << " " << c.top;
    }
}

TEST_F(QtWindowSettingsTest, ConvertsDecimalTextRoundingHalfToEven) {
    constexpr std::int64_t kKept = 11;  // what the previous read gave
    const struct {
        QVariant value;
        std::int64_t expected;
        const char* locale = "C";  // the process's QLocale
    } cases[] = {
        {"1500", 1500},
        {"  42  ", 42},
        {"\t42", 42},
        {"+7", 7},
        {"-300", -300},
        {"007", 7},
        {"1234.5", 1234},
        {"1235.5", 1236},
        {"-1234.5", -1234},
        {"-1235.5", -1236},
        {"1234.50001", 1235},
        {"1234.4999", 1234},
        {"0.5", 0},
        {"1.5", 2},
        {".5", 0},
        {"7.", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483648LL},
        {"2147483646.5", 2147483646},
        {"-2147483648.5", -2147483648LL},
        {"2147483648", kKept},
        {"2147483647.5", kKept},
        {"-2147483649", kKept},
        {"99999999999999999999999", kKept},
        {"", kKept},
        {"   ", kKept},
        {"Error", kKept},
        {"12abc", kKept},
        {"1 2", kKept},
        {"--1", kKept},
        {"+", kKept},
        {".", kKept},
        {"1.2.3", kKept},
        {"1e3", kKept},
        {"0x10", kKept},
        // Only text counts: binary data or a list is not what this program
        // stores.
        {QVariant(QByteArray("1500")), kKept},
        {QVariant(QStringList{"1500", "1"}), kKept},
        // The user's decimal separator, and a point still.
        {"1222,5", 1222, "de_DE"},
        {"-1235,5", -1236, "de_DE"},
        {"1222.5", 1222, "de_DE"},
        {"1222,5", kKept},
        {"1,2,3", kKept, "de_DE"},
        {"1222\u066b5", 1222, "ar_EG"},  // a separator of more than one byte
    };
    const QLocale before;
    for (const auto& c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        store("Left", QString::number(kKept));
        forget("Top");
        FakeWindow window;
        settings_.loadPosition(window);
        store("Left", c.value);
        settings_.loadPosition(window);
        EXPECT_EQ(window.leftEdge, static_cast<float>(c.expected))
            << '"' << c.value.toString().toStdString() << "\" in " << c.locale;
    }
    QLocale::setDefault(before);
}

// A file written by hand: an unquoted comma splits the value into a list
// when the file is read, a decimal comma too.
TEST_F(QtWindowSettingsTest, ReadsADecimalCommaWrittenWithoutQuotes) {
    if (!settingsInTextFile()) {
        GTEST_SKIP() << "the registry keeps text as it was written";
    }
    const struct {
        const char* line;
        float left, top;  // the previous read gave 11
        const char* locale;
    } cases[] = {
        {"Left=1222,5\nTop=1223,5", 1222, 1224, "de_DE"},
        {"Left=1222.5\nTop=1,2,3", 1222, 1222, "de_DE"},  // Top falls back to Left
        {"Left=1222,5", 11, 11, "C"},
    };
    const QLocale before;
    for (const auto& c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        store("Left", "11");
        FakeWindow window;
        settings_.loadPosition(window);
        QFile file(raw()->fileName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("[General]\n") + c.line + "\n");
        file.close();
        settings_.loadPosition(window);
        EXPECT_EQ(window.leftEdge, c.left) << c.line << " in " << c.locale;
        EXPECT_EQ(window.topEdge, c.top) << c.line << " in " << c.locale;
    }
    QLocale::setDefault(before);
}

TEST_F(QtWindowSettingsTest, AutoquitSetsTheBoxOnlyToStatesItTakes) {
    struct Case {
        const char* stored;  // nullptr: not stored
        int asked, box;      // the box starts checked; the number starts at 2
    };
    const Case cases[] = {
        {"1", 1, 1},           {"0", 0, 0},     {" 2 ", 2, 2}, {nullptr, 2, 2},
        {"no", 2, 2},          {"7", 7, 1},     {"-1", -1, 1}, {"32767", 32767, 1},
        {"-32768", -32768, 1}, {"32768", 2, 2}, {"0.5", 0, 0}, {"1.5", 2, 2},
    };
    for (const auto& c : cases) {
        store("Autoquit", "2");
        FakeCheckBox first;
        settings_.loadAutoquit(first);
        if (c.stored) {
            store("Autoquit", c.stored);
        } else {
            forget("Autoquit");
        }
        FakeCheckBox check;
        settings_.loadAutoquit(check);
        EXPECT_EQ(check.asked, c.asked) << (c.stored ? c.stored : "(none)");
        EXPECT_EQ(check.state, c.box) << (c.stored ? c.stored : "(none)");
    }
}

TEST_F(QtWindowSettingsTest, SavesDecimalText) {
    const std::pair<float, const char*> positions[] = {
        {2880, "2880"},
        {-15, "-15"},
        {0, "0"},
        {-0.0f, "0"},
        {1234.5f, "1234.5"},
        {-0.25f, "-0.25"},
        {1e9f, "1000000000"},
        {-16777217.0f, "-16777216"},
    };
    for (const auto& [twips, text] : positions) {
        scratch_->clear();
        FakeWindow window;
        window.leftEdge = twips;
        window.topEdge = twips;
        settings_.save(window, FakeCheckBox());
        // A string, which the registry keeps as REG_SZ.
        EXPECT_EQ(stored("Left"), QVariant(QString(text))) << twips;
        EXPECT_EQ(stored("Top"), QVariant(QString(text))) << twips;
    }
    for (const int state : {0, 1, 2}) {
        scratch_->clear();
        FakeCheckBox check;
        check.state = state;
        settings_.save(FakeWindow(), check);
        EXPECT_EQ(stored("Autoquit"), QVariant(QString::number(state)));
    }
}

TEST_F(QtWindowSettingsTest, SavedSettingsComeBackOnTheNextStart) {
    FakeWindow closing;
    closing.leftEdge = -1200;
    closing.topEdge = 1234.5f;
    FakeCheckBox ticked;
    ticked.state = 1;
    settings_.save(closing, ticked);

    QtWindowSettings next;
    FakeWindow opening;
    FakeCheckBox check;
    check.state = 0;
    next.loadPosition(opening);
    next.loadAutoquit(check);
    EXPECT_EQ(opening.leftEdge, -1200);
    EXPECT_EQ(opening.topEdge, 1234);
    EXPECT_EQ(check.state, 1);
}

// A save writes only when a stored text changes: a close that moved nothing
// writes nothing, and a value kept in any other form gets the text a save
// always gave it.
TEST_F(QtWindowSettingsTest, SavesOnlyWhatChanged) {
    const struct {
        const char* what;
        QVariant left;  // stored before; Top and Autoquit hold what is saved
        bool written;
    } cases[] = {
        {"the same text", QString("1500"), false},
        {"another number", QString("1515"), true},
        {"the same number written otherwise", QString("1500.0"), true},
        {"blanks around it", QString(" 1500"), true},
        {"a longer text", QString("15000"), true},
        {"binary data, not text", QVariant(QByteArray("1500")), true},
    };
    for (const auto& c : cases) {
        scratch_->clear();
        store("Left", c.left);
        store("Top", "900");
        store("Autoquit", "1");
        scratch_->markWrites();
        FakeWindow window;
        window.leftEdge = 1500;
        window.topEdge = 900;
        FakeCheckBox check;
        check.state = 1;
        settings_.save(window, check);
        EXPECT_EQ(scratch_->writtenSinceMark(), c.written) << c.what;
        EXPECT_EQ(stored("Left"), QVariant(QString("1500"))) << c.what;
    }
}

TEST_F(QtWindowSettingsTest, EveryStepRunsAfterAFailedOne) {
    // A window that refuses its left edge still has its top edge handled.
    store("Top", "900");
    FakeWindow refusing;
    refusing.refuseLeft = true;
    EXPECT_NO_THROW(settings_.loadPosition(refusing));
    EXPECT_EQ(refusing.topEdge, 900);
    refusing.topEdge = 60;
    EXPECT_NO_THROW(settings_.save(refusing, FakeCheckBox()));
    EXPECT_EQ(stored("Top"), QVariant(QString("60")));
}

TEST_F(QtWindowSettingsTest, AnUnusableStoreIsPassedOverSilently) {
    scratch_->makeUnusable();
    FakeWindow window;
    FakeCheckBox check;
    EXPECT_NO_THROW(settings_.save(window, check));
    EXPECT_NO_THROW(settings_.loadPosition(window));
    EXPECT_NO_THROW(settings_.loadAutoquit(check));
    EXPECT_EQ(window.leftEdge, 777) << "as good as nothing stored";
    EXPECT_EQ(check.state, 0);
}

}  // namespace
}  // namespace grize::test
