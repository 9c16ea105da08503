#include "gui/settings/Registry.h"

#include <gtest/gtest.h>

#include <map>

#include "TempStore.h"
#include "errors/RuntimeError.h"

namespace grize::test {
namespace {

TEST(RootKeyFromName, MatchesTheSevenNamesExactly) {
    const std::map<std::string, std::uint32_t> cases = {
        {"HKEY_CLASSES_ROOT", 0x80000000u},
        {"HKEY_CURRENT_USER", 0x80000001u},
        {"HKEY_LOCAL_MACHINE", 0x80000002u},
        {"HKEY_USERS", 0x80000003u},
        {"HKEY_PERFORMANCE_DATA", 0x80000004u},
        {"HKEY_CURRENT_CONFIG", 0x80000005u},
        {"HKEY_DYN_DATA", 0x80000006u},
        {"hkey_current_user", 0},
        {"HKEY_Current_User", 0},
        {"HKEY_CURRENT_USER ", 0},
        {"HKEY_CURRENT", 0},
        {"", 0},
    };
    for (const auto& [name, handle] : cases) {
        EXPECT_EQ(RootKeyFromName(name), handle) << name;
    }
}

class SplitKeyPathTest : public TempStoreTest {};

TEST_F(SplitKeyPathTest, SplitsAtTheFirstBackslashOrComplains) {
    struct Case {
        std::string path;
        std::uint32_t root;
        std::string rest;
        bool message;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER", 0x80000001u, "", false},
        {"HKEY_LOCAL_MACHINE\\A\\B", 0x80000002u, "A\\B", false},
        {"HKEY_Current_User\\Software", 0, "Software", false},
        {"HKEY_\\x", 0, "x", false},
        // Malformed paths keep their text and name no root.
        {"hkey_current_user\\Software", 0, "hkey_current_user\\Software", true},
        {"HKEY_CURRENT_USER\\Software\\", 0, "HKEY_CURRENT_USER\\Software\\", true},
        {"HKEY", 0, "HKEY", true},
        {"", 0, "", true},
        {" HKEY_CURRENT_USER", 0, " HKEY_CURRENT_USER", true},
    };
    for (const auto& c : cases) {
        messages_.clear();
        std::string path = c.path;
        std::uint32_t root = 12345;
        SplitKeyPath(path, root);
        EXPECT_EQ(root, c.root) << c.path;
        EXPECT_EQ(path, c.rest) << c.path;
        if (c.message) {
            ASSERT_EQ(messages_.size(), 1u) << c.path;
            EXPECT_EQ(messages_[0], "Incorrect Format:\n\n" + c.path);
        } else {
            EXPECT_TRUE(messages_.empty()) << c.path;
        }
    }
}

class RegistryTest : public TempStoreTest {};

TEST_F(RegistryTest, WritesAndReadsBackUnderACreatedKey) {
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");  // no key yet
    CreateKey(kSettingsKey);
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");  // key, no value
    WriteValue(kSettingsKey, "Left", "1500");
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "1500");
    const bool caseMatters = whyNot(Needs::CaseSensitiveNames).empty();
    EXPECT_EQ(ReadValue(kSettingsKey, "left"), caseMatters ? "Error" : "1500");
    EXPECT_EQ(ReadValue("HKEY_CURRENT_USER\\Software\\Ashgrove", "Left"), "Error");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(RegistryTest, RootKeyAloneHoldsValuesOfItsOwn) {
    WriteValue("HKEY_CURRENT_USER", "Left", "1");
    EXPECT_EQ(ReadValue("HKEY_CURRENT_USER", "Left"), "1");
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");
    EXPECT_EQ(ReadValue("HKEY_LOCAL_MACHINE", "Left"), "Error");
}

TEST_F(RegistryTest, BadPathsDoNothing) {
    for (const std::string path : {"hkey_current_user\\Software", "HKEY_Current_User\\Software",
                                   "HKEY_CURRENT_USER\\Software\\"}) {
        CreateKey(path);
        WriteValue(path, "Left", "1");
        EXPECT_EQ(ReadValue(path, "Left"), std::nullopt) << path;
    }
    EXPECT_FALSE(settings_->holdsAnything());
    // One message per operation for the two malformed paths, none for the
    // unknown root.
    ASSERT_EQ(messages_.size(), 6u);
    EXPECT_EQ(messages_[0], "Incorrect Format:\n\nhkey_current_user\\Software");
    EXPECT_EQ(messages_[5], "Incorrect Format:\n\nHKEY_CURRENT_USER\\Software\\");
}

TEST_F(RegistryTest, ReadsAtMost254Characters) {
    CreateKey(kSettingsKey);
    for (const std::size_t length : {0u, 1u, 253u, 254u, 255u, 256u, 1000u}) {
        const std::string text(length, 'x');
        WriteValue(kSettingsKey, "Long", text);
        EXPECT_EQ(ReadValue(kSettingsKey, "Long"), length <= 254 ? text : "Error") << length;
    }
}

TEST_F(RegistryTest, DropsLeadingSpacesKeepsTrailingOnes) {
    CreateKey(kSettingsKey);
    const std::pair<std::string, std::string> cases[] = {
        {"  lead", "lead"},
        {"in side", "in side"},
        {"trail  ", "trail  "},
        {"  both  ", "both  "},
        {"   ", ""},
        {std::string(254, ' '), ""},
    };
    for (const auto& [stored, read] : cases) {
        WriteValue(kSettingsKey, "Spaces", stored);
        EXPECT_EQ(ReadValue(kSettingsKey, "Spaces"), read) << '"' << stored << '"';
    }
}

TEST_F(RegistryTest, WritingWithoutCreateKeyStoresNothing) {
    WriteValue(kSettingsKey, "Left", "1500");
    EXPECT_FALSE(settings_->holdsKey("Software"));
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");
}

TEST_F(RegistryTest, SecondWriteReplacesTheFirst) {
    CreateKey(kSettingsKey);
    CreateKey(kSettingsKey);  // creating an existing key changes nothing
    WriteValue(kSettingsKey, "Left", "a much longer first text");
    WriteValue(kSettingsKey, "Left", "short");
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "short");
}

// Values of other types, as another program could leave them.
TEST_F(RegistryTest, RawBytesOfOtherTypesComeBackAsCharacters) {
    CreateKey(kSettingsKey);
    RegistryApi& store = platformRegistry();
    RegKey key = 0;
    ASSERT_EQ(store.OpenKey(0x80000001u, "Software\\Ashgrove\\Grize", reg::kKeyWrite, key), 0);
    const auto set = [&](const char* name, std::uint32_t type, const std::string& bytes) {
        EXPECT_EQ(
            store.SetValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
            0);
    };
    set("Number", reg::kDword, std::string("A\0\0\0", 4));
    set("Spaced", reg::kDword, std::string(" B \0", 4));
    set("Blank", reg::kDword, "    ");
    set("Empty", reg::kBinary, "");
    set("Big", reg::kBinary, std::string(256, 'z'));
    set("Fits", reg::kBinary, std::string(255, 'z'));
    store.CloseKey(key);

    EXPECT_EQ(ReadValue(kSettingsKey, "Number"), std::string("A\0\0", 3));
    EXPECT_EQ(ReadValue(kSettingsKey, "Spaced"), "B ");
    EXPECT_EQ(ReadValue(kSettingsKey, "Big"), "Error");
    EXPECT_EQ(ReadValue(kSettingsKey, "Fits"), std::string(254, 'z'));
    // Nothing is left to drop the terminator from.
    for (const char* name : {"Blank", "Empty"}) {
        try {
            ReadValue(kSettingsKey, name);
            ADD_FAILURE() << name << " did not throw";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 5) << name;
            EXPECT_EQ(e.description(), "Invalid procedure call or argument");
        }
    }
}

// A store that records the calls and fails where told.
class ScriptedApi : public RegistryApi {
  public:
    long openStatus = 0, createStatus = 0, queryStatus = 0, setStatus = 0;
    std::string data = std::string("text\0", 5);
    std::vector<std::uint32_t> accesses;
    std::vector<std::string> written;
    int opened = 0, closed = 0;

    long OpenKey(std::uint32_t, const std::string&, std::uint32_t access, RegKey& key) override {
        accesses.push_back(access);
        return give(openStatus, key);
    }
    long CreateKey(std::uint32_t, const std::string&, RegKey& key) override {
        return give(createStatus, key);
    }
    long QueryValue(RegKey, const std::string&, std::uint32_t&, char* buffer,
                    std::uint32_t& length) override {
        if (queryStatus == 0) {
            std::copy(data.begin(), data.end(), buffer);
            length = static_cast<std::uint32_t>(data.size());
        }
        return queryStatus;
    }
    long SetValue(RegKey, const std::string&, std::uint32_t type, const char* bytes,
                  std::uint32_t length) override {
        EXPECT_EQ(type, reg::kSz);
        written.emplace_back(bytes, length);
        return setStatus;
    }
    long CloseKey(RegKey) override {
        ++closed;
        return 0;
    }

  private:
    long give(long status, RegKey& key) {
        key = status == 0 ? 42 : 0;
        opened += status == 0;
        return status;
    }
};

TEST_F(RegistryTest, ClosesEveryKeyItOpensWhateverFails) {
    struct Case {
        const char* what;
        long open, create, query, set;
        RegistryValue read;
    };
    const Case cases[] = {
        {"all succeed", 0, 0, 0, 0, "text"},  {"open fails", 5, 5, 0, 0, "Error"},
        {"query fails", 0, 0, 2, 0, "Error"}, {"data too long", 0, 0, 234, 0, "Error"},
        {"set fails", 0, 0, 0, 5, "text"},
    };
    for (const auto& c : cases) {
        ScriptedApi api;
        api.openStatus = c.open;
        api.createStatus = c.create;
        api.queryStatus = c.query;
        api.setStatus = c.set;
        setRegistryApi(&api);
        EXPECT_EQ(ReadValue(kSettingsKey, "Left"), c.read) << c.what;
        CreateKey(kSettingsKey);
        WriteValue(kSettingsKey, "Left", "1500");
        EXPECT_EQ(api.opened, api.closed) << c.what;
        EXPECT_EQ(api.accesses, (std::vector<std::uint32_t>{0x20019, 0x20006})) << c.what;
        // The count leaves the terminator out.
        EXPECT_EQ(api.written,
                  c.open == 0 ? std::vector<std::string>{"1500"} : std::vector<std::string>{})
            << c.what;
    }
}

}  // namespace
}  // namespace grize::test
