#include "gui/settings/General.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "TempStore.h"
#include "errors/RuntimeError.h"
#include "gui/settings/Registry.h"

namespace grize::test {
namespace {

class FakeWindow : public PositionTarget {
  public:
    float left = 777, top = 888;
    bool refuseLeft = false;

    float Left() const override {
        if (refuseLeft) {
            throw std::runtime_error("no left edge");
        }
        return left;
    }
    float Top() const override { return top; }
    void SetLeft(float twips) override {
        if (refuseLeft) {
            throw std::runtime_error("no left edge");
        }
        left = twips;
    }
    void SetTop(float twips) override { top = twips; }
};

// Remembers what it was asked to take, also when it refuses.
class FakeCheckBox : public CheckBoxTarget {
  public:
    int value = 1;
    std::optional<int> asked;

    int Value() const override { return value; }
    void SetValue(int v) override {
        asked = v;
        if (v < 0 || v > 2) {
            throw err::invalidCall();
        }
        value = v;
    }
};

class GeneralTest : public TempStoreTest {
  protected:
    // The module's numbers live for the whole run; each test starts them at
    // 0 as a fresh start does.
    void SetUp() override {
        TempStoreTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        freshStart();
    }

    void freshStart() {
        settings_->clear();
        store({{"Left", "0"}, {"Autoquit", "0"}});
        FakeWindow window;
        FakeCheckBox check;
        LoadPosition(window);
        LoadAutoquit(check);
        settings_->clear();
    }

    static void store(std::initializer_list<std::pair<const char*, std::string>> values) {
        CreateKey(kSettingsKey);
        for (const auto& [name, text] : values) {
            WriteValue(kSettingsKey, name, text);
        }
    }

    void forget(const char* name) {
        CreateKey(kSettingsKey);
        settings_->forgetValue("Software\\Ashgrove\\Grize", name);
    }
};

TEST_F(GeneralTest, NothingStoredGivesTopLeftCornerAndUncheckedBox) {
    FakeWindow window;
    FakeCheckBox check;
    LoadPosition(window);
    LoadAutoquit(check);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(check.value, 0);
    EXPECT_FALSE(settings_->holdsAnything()) << "loading stores nothing";
}

TEST_F(GeneralTest, TopFallsBackToWhateverLeftGave) {
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
        freshStart();
        if (c.left) {
            store({{"Left", c.left}});
        }
        if (c.top) {
            store({{"Top", c.top}});
        }
        FakeWindow window;
        LoadPosition(window);
        EXPECT_EQ(window.left, c.wantLeft) << c.left << " " << c.top;
        EXPECT_EQ(window.top, c.wantTop) << c.left << " " << c.top;
    }
}

TEST_F(GeneralTest, ConvertsDecimalTextRoundingHalfToEven) {
    constexpr std::int64_t kKept = 11;  // what the previous read gave
    const std::pair<const char*, std::int64_t> cases[] = {
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
    };
    for (const auto& [text, expected] : cases) {
        store({{"Left", std::to_string(kKept)}});
        forget("Top");
        FakeWindow window;
        LoadPosition(window);
        store({{"Left", text}});
        LoadPosition(window);
        EXPECT_EQ(window.left, static_cast<float>(expected)) << '"' << text << '"';
    }
}

TEST_F(GeneralTest, AutoquitSetsTheBoxOnlyToStatesItTakes) {
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
        store({{"Autoquit", "2"}});
        FakeCheckBox first;
        LoadAutoquit(first);
        if (c.stored) {
            store({{"Autoquit", c.stored}});
        } else {
            forget("Autoquit");
        }
        FakeCheckBox check;
        LoadAutoquit(check);
        EXPECT_EQ(check.asked, c.asked) << (c.stored ? c.stored : "(none)");
        EXPECT_EQ(check.value, c.box) << (c.stored ? c.stored : "(none)");
    }
}

TEST_F(GeneralTest, SavesDecimalTextAndCreatesTheKey) {
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
        settings_->clear();
        FakeWindow window;
        window.left = twips;
        window.top = twips;
        SavePosition(window);
        EXPECT_EQ(ReadValue(kSettingsKey, "Left"), text) << twips;
        EXPECT_EQ(ReadValue(kSettingsKey, "Top"), text) << twips;
    }
    for (const int state : {0, 1, 2}) {
        settings_->clear();
        FakeCheckBox check;
        check.value = state;
        SaveAutoquit(check);
        EXPECT_EQ(ReadValue(kSettingsKey, "Autoquit"), std::to_string(state));
    }
}

TEST_F(GeneralTest, SavedSettingsComeBackOnTheNextStart) {
    FakeWindow closing;
    closing.left = -1200;
    closing.top = 1234.5f;
    FakeCheckBox ticked;
    ticked.value = 1;
    SavePosition(closing);
    SaveAutoquit(ticked);

    FakeWindow opening;
    FakeCheckBox check;
    check.value = 0;
    LoadPosition(opening);
    LoadAutoquit(check);
    EXPECT_EQ(opening.left, -1200);
    EXPECT_EQ(opening.top, 1234);
    EXPECT_EQ(check.value, 1);
}

// The platform's store, counting the values written.
class CountingApi : public RegistryApi {
  public:
    std::vector<std::string> written;

    long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t access,
                 RegKey& key) override {
        return store_.OpenKey(root, subKey, access, key);
    }
    long CreateKey(std::uint32_t root, const std::string& subKey, RegKey& key) override {
        return store_.CreateKey(root, subKey, key);
    }
    long QueryValue(RegKey key, const std::string& name, std::uint32_t& type, char* data,
                    std::uint32_t& length) override {
        return store_.QueryValue(key, name, type, data, length);
    }
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const char* data,
                  std::uint32_t length) override {
        written.push_back(name);
        return store_.SetValue(key, name, type, data, length);
    }
    long CloseKey(RegKey key) override { return store_.CloseKey(key); }

  private:
    RegistryApi& store_ = platformRegistry();
};

// A save writes only the values whose stored text it changes: a close that
// moved nothing writes nothing, and a value kept in any other form gets the
// text a save always gave it.
TEST_F(GeneralTest, SavesOnlyWhatChanged) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::string left;  // stored before; Top and Autoquit hold what is saved
        bool written;
    };
    const Case cases[] = {
        {"the same text", reg::kSz, "1500", false},
        {"another number", reg::kSz, "1515", true},
        {"the same number written otherwise", reg::kSz, "1500.0", true},
        {"blanks around it", reg::kSz, " 1500", true},
        {"a longer text", reg::kSz, "15000", true},
        {"another string type", reg::kExpandSz, "1500", true},
        {"raw bytes", reg::kBinary, "1500", true},
    };
    for (const Case& c : cases) {
        settings_->clear();
        store({{"Top", "900"}, {"Autoquit", "1"}});
        RegKey key = 0;
        RegistryApi& registry = platformRegistry();
        ASSERT_EQ(registry.OpenKey(0x80000001u, "Software\\Ashgrove\\Grize", reg::kKeyWrite, key),
                  0);
        registry.SetValue(key, "Left", c.type, c.left.data(),
                          static_cast<std::uint32_t>(c.left.size()));
        registry.CloseKey(key);
        CountingApi counting;
        setRegistryApi(&counting);
        FakeWindow window;
        window.left = 1500;
        window.top = 900;
        FakeCheckBox check;
        check.value = 1;
        SavePosition(window);
        SaveAutoquit(check);
        setRegistryApi(nullptr);
        EXPECT_EQ(counting.written,
                  c.written ? std::vector<std::string>{"Left"} : std::vector<std::string>{})
            << c.what;
        EXPECT_TRUE(HoldsText(kSettingsKey, "Left", "1500")) << c.what;
    }
}

TEST_F(GeneralTest, EveryStepRunsAfterAFailedOne) {
    // Reading "Left" throws (a value without data); the edges still get set.
    RegKey key = 0;
    RegistryApi& registry = platformRegistry();
    ASSERT_EQ(registry.CreateKey(0x80000001u, "Software\\Ashgrove\\Grize", key), 0);
    ASSERT_EQ(registry.SetValue(key, "Left", reg::kBinary, "", 0), 0);
    registry.CloseKey(key);
    store({{"Top", "900"}});
    FakeWindow window;
    EXPECT_NO_THROW(LoadPosition(window));
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 900);

    // A window that refuses its left edge still has its top edge handled.
    FakeWindow refusing;
    refusing.refuseLeft = true;
    EXPECT_NO_THROW(LoadPosition(refusing));
    EXPECT_EQ(refusing.top, 900);
    refusing.top = 60;
    EXPECT_NO_THROW(SavePosition(refusing));
    EXPECT_EQ(ReadValue(kSettingsKey, "Top"), "60");
}

TEST_F(GeneralTest, AnUnusableStoreIsPassedOverSilently) {
    settings_->makeUnusable();
    FakeWindow window;
    FakeCheckBox check;
    EXPECT_NO_THROW(SavePosition(window));
    EXPECT_NO_THROW(SaveAutoquit(check));
    EXPECT_NO_THROW(LoadPosition(window));
    EXPECT_NO_THROW(LoadAutoquit(check));
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(check.value, 0);
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace grize::test
