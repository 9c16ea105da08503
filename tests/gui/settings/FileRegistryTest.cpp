#include "gui/settings/FileRegistry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "TempStore.h"
#include "gui/settings/Registry.h"

namespace grize::test {
namespace {

constexpr std::uint32_t kUser = 0x80000001u;

bool runningAsRoot() {
    return ::geteuid() == 0;
}

class FileRegistryTest : public TempStoreTest {
  protected:
    // Stores raw bytes of any type under the settings key.
    void setRaw(const std::string& name, std::uint32_t type, const std::string& bytes) {
        RegKey key = 0;
        ASSERT_EQ(store_.CreateKey(kUser, "Software\\Ashgrove\\Grize", key), 0);
        EXPECT_EQ(store_.SetValue(key, name, type, bytes.data(),
                                  static_cast<std::uint32_t>(bytes.size())),
                  0);
        store_.CloseKey(key);
    }

    FileRegistry store_;
};

TEST_F(FileRegistryTest, KeepsValuesAsReadableFiles) {
    CreateKey(kSettingsKey);
    WriteValue(kSettingsKey, "Left", "1500");
    WriteValue(kSettingsKey, "", "default");
    setRaw("Number", reg::kDword, std::string("\x01\0\0\0", 4));
    EXPECT_EQ(readFile(settingsFolder() / "=Left"), "REG_SZ\n1500");
    EXPECT_EQ(readFile(settingsFolder() / "="), "REG_SZ\ndefault");
    EXPECT_EQ(readFile(settingsFolder() / "=Number"), std::string("REG_DWORD\n\x01\0\0\0", 14));
}

TEST_F(FileRegistryTest, FallsBackToHomeWhenConfigHomeIsUnsetOrRelative) {
    for (const char* config : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        if (config == nullptr) {
            ::unsetenv("XDG_CONFIG_HOME");
        } else {
            ::setenv("XDG_CONFIG_HOME", config, 1);
        }
        CreateKey(kSettingsKey);
        WriteValue(kSettingsKey, "Left", "7");
        EXPECT_EQ(readFile(base_ / "home/.config/grize/registry/HKEY_CURRENT_USER/Software/"
                                   "Ashgrove/Grize/=Left"),
                  "REG_SZ\n7");
        fs::remove_all(base_ / "home");
    }
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(FileRegistryTest, AnyValueNameIsItsOwnValue) {
    CreateKey(kSettingsKey);
    const std::string names[] = {
        "",  ".",     "..",          "a/b",  "a%2Fb", "%",    "x\ny",
        "=", "=Left", ".tmp-XXXXXX", "Left", "LEFT",  "a\\b", "../../../escape"};
    for (const auto& name : names) {
        WriteValue(kSettingsKey, name, "value of " + name);
    }
    for (const auto& name : names) {
        EXPECT_EQ(ReadValue(kSettingsKey, name), "value of " + name) << name;
    }
    // All of them are plain files in the key's own folder.
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(registryFolder())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.path().parent_path(), settingsFolder());
            ++files;
        }
    }
    EXPECT_EQ(files, std::size(names));
}

TEST_F(FileRegistryTest, AnyKeyNameStaysInsideItsParent) {
    const std::string names[] = {".", "..", "=Left", "a/b", ".tmp-XXXXXX", "%2E", "Grize"};
    CreateKey(kSettingsKey);
    WriteValue(kSettingsKey, "Left", "parent");
    for (const auto& name : names) {
        const std::string path = kSettingsKey + "\\" + name;
        CreateKey(path);
        WriteValue(path, "Left", "child " + name);
    }
    for (const auto& name : names) {
        EXPECT_EQ(ReadValue(kSettingsKey + "\\" + name, "Left"), "child " + name) << name;
    }
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "parent");
    CreateKey("HKEY_CURRENT_USER\\..\\..\\..\\..\\escape");
    for (const auto& folder : {base_, base_ / "config", base_ / "config/grize", registryFolder()}) {
        EXPECT_FALSE(fs::exists(folder / "escape")) << folder;
    }
}

TEST_F(FileRegistryTest, EmptyKeyNamesAreRefused) {
    for (const std::string path : {"HKEY_CURRENT_USER\\A\\\\B", "HKEY_CURRENT_USER\\\\A"}) {
        CreateKey(path);
        WriteValue(path, "Left", "1");
        EXPECT_EQ(ReadValue(path, "Left"), "Error") << path;
    }
    EXPECT_FALSE(fs::exists(userFolder() / "A"));
}

TEST_F(FileRegistryTest, QueryReportsSizeTypeAndShortBuffers) {
    setRaw("Text", reg::kSz, "abc");
    setRaw("Terminated", reg::kSz, std::string("abc\0", 4));
    setRaw("Number", reg::kDword, std::string("\x2a\0\0\0", 4));
    RegKey key = 0;
    ASSERT_EQ(store_.OpenKey(kUser, "Software\\Ashgrove\\Grize", reg::kKeyRead, key), 0);
    for (const char* name : {"Text", "Terminated"}) {
        std::uint32_t type = 0, length = 0;
        EXPECT_EQ(store_.QueryValue(key, name, type, nullptr, length), 0);
        EXPECT_EQ(length, 4u) << "exactly one NUL after the text";
        char buffer[4];
        length = 3;
        EXPECT_EQ(store_.QueryValue(key, name, type, buffer, length), reg::kMoreData);
        EXPECT_EQ(length, 4u);
        length = 4;
        ASSERT_EQ(store_.QueryValue(key, name, type, buffer, length), 0);
        EXPECT_EQ(std::string(buffer, 4), std::string("abc\0", 4));
        EXPECT_EQ(type, reg::kSz);
    }
    std::uint32_t type = 0, length = 8;
    char buffer[8];
    ASSERT_EQ(store_.QueryValue(key, "Number", type, buffer, length), 0);
    EXPECT_EQ(type, reg::kDword);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(store_.QueryValue(key, "Missing", type, buffer, length), reg::kFileNotFound);
    // A key opened for reading refuses writes.
    EXPECT_EQ(store_.SetValue(key, "Text", reg::kSz, "x", 1), reg::kAccessDenied);
    EXPECT_EQ(store_.CloseKey(key), 0);
    EXPECT_EQ(store_.CloseKey(key), reg::kInvalidHandle);
    EXPECT_EQ(store_.QueryValue(key, "Text", type, buffer, length), reg::kInvalidHandle);
}

TEST_F(FileRegistryTest, DamagedValuesReadAsNothingStored) {
    CreateKey(kSettingsKey);
    const auto left = settingsFolder() / "=Left";
    const std::function<void()> damages[] = {
        [&] { writeFile(left, ""); },
        [&] { writeFile(left, "1500"); },
        [&] { writeFile(left, "REG_BOGUS\n1500"); },
        [&] { writeFile(left, "reg_sz\n1500"); },
        [&] { writeFile(left, std::string(100, 'R') + "\n1500"); },
        [&] { writeFile(left, "REG_SZ\n" + std::string(2 << 20, '1')); },
        [&] { fs::create_directory(left); },
        [&] { fs::create_symlink(base_ / "nowhere", left); },
        [&] { fs::create_symlink(left, left); },
        [&] { ASSERT_EQ(::mkfifo(left.c_str(), 0600), 0); },  // must not block
    };
    for (std::size_t i = 0; i < std::size(damages); ++i) {
        fs::remove_all(left);
        damages[i]();
        EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error") << "damage " << i;
        EXPECT_EQ(ReadValue(kSettingsKey, "Top"), "Error");
    }
    // A type number of its own is still a value, read as raw bytes.
    fs::remove_all(left);
    writeFile(left, "99\n1500");
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "150");
}

TEST_F(FileRegistryTest, DamagedFoldersReadAsNothingStored) {
    const std::function<void()> damages[] = {
        [&] { writeFile(base_ / "config", "not a folder"); },
        [&] {
            fs::create_directories(base_ / "config/grize");
            writeFile(registryFolder(), "");
        },
        [&] {
            fs::create_directories(registryFolder());
            writeFile(userFolder(), "");
        },
        [&] {
            fs::create_directories(userFolder() / "Software/Ashgrove");
            writeFile(settingsFolder(), "");
        },
    };
    for (std::size_t i = 0; i < std::size(damages); ++i) {
        fs::remove_all(base_ / "config");
        damages[i]();
        CreateKey(kSettingsKey);
        WriteValue(kSettingsKey, "Left", "1");
        EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error") << "damage " << i;
        EXPECT_EQ(ReadValue("HKEY_CURRENT_USER", "Left"), "Error") << "damage " << i;
    }
}

TEST_F(FileRegistryTest, RefusedPermissionsReadAsNothingStored) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root is not refused by file permissions";
    }
    CreateKey(kSettingsKey);
    WriteValue(kSettingsKey, "Left", "1500");

    ::chmod((settingsFolder() / "=Left").c_str(), 0);
    RegKey key = 0;
    ASSERT_EQ(store_.OpenKey(kUser, "Software\\Ashgrove\\Grize", reg::kKeyRead, key), 0);
    std::uint32_t type = 0, length = 0;
    EXPECT_EQ(store_.QueryValue(key, "Left", type, nullptr, length), reg::kAccessDenied);
    store_.CloseKey(key);
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");
    ::chmod((settingsFolder() / "=Left").c_str(), 0600);

    // A read-only key keeps its value.
    ::chmod(settingsFolder().c_str(), 0500);
    WriteValue(kSettingsKey, "Left", "1");
    WriteValue(kSettingsKey, "Top", "1");
    CreateKey(kSettingsKey + "\\Sub");
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "1500");
    EXPECT_EQ(ReadValue(kSettingsKey, "Top"), "Error");
    EXPECT_FALSE(fs::exists(settingsFolder() / "Sub"));

    // A key that cannot be entered cannot be opened.
    ::chmod(settingsFolder().c_str(), 0);
    EXPECT_EQ(store_.OpenKey(kUser, "Software\\Ashgrove\\Grize", reg::kKeyRead, key),
              reg::kAccessDenied);
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");
}

// The writer is killed at varying moments; the value must always read back
// whole, as the old text or the new one, also while the writer runs.
TEST_F(FileRegistryTest, KilledWriterLeavesTheOldOrTheNewValue) {
    const std::string older(200, 'o');
    const std::string newer(120, 'n');
    CreateKey(kSettingsKey);
    WriteValue(kSettingsKey, "Left", older);
    const auto readsWhole = [&] {
        const RegistryValue value = ReadValue(kSettingsKey, "Left");
        return value == older || value == newer;
    };
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned i = 0;; ++i) {
                WriteValue(kSettingsKey, "Left", i % 2 == 0 ? newer : older);
            }
        }
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::microseconds(round * 137 % 4000);
        bool whole = true;
        do {
            whole = whole && readsWhole();
        } while (std::chrono::steady_clock::now() < until);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(whole) << "while writing, round " << round;
        ASSERT_TRUE(readsWhole()) << "after the kill, round " << round;
    }
}

}  // namespace
}  // namespace grize::test
