#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Registry.h"

namespace grize::test {

namespace fs = std::filesystem;

inline const std::string kSettingsKey = "HKEY_CURRENT_USER\\Software\\Ashgrove\\Grize";

inline bool runningAsRoot() {
    return ::geteuid() == 0;
}

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every test gets a config and a home folder of its own, so the user's real
// settings are never touched; registry messages are collected.
class TempStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string folder = (fs::temp_directory_path() / "grize-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        base_ = folder;
        saveEnv("XDG_CONFIG_HOME");
        saveEnv("HOME");
        ::setenv("XDG_CONFIG_HOME", (base_ / "config").c_str(), 1);
        ::setenv("HOME", (base_ / "home").c_str(), 1);
        setRegistryMessageBox([this](const std::string& text) { messages_.push_back(text); });
    }

    void TearDown() override {
        setRegistryMessageBox({});
        setRegistryApi(nullptr);
        for (const auto& [name, value] : savedEnv_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        makeRemovable(base_);
        std::error_code ec;
        fs::remove_all(base_, ec);
    }

    fs::path registryFolder() const { return base_ / "config" / "grize" / "registry"; }
    fs::path userFolder() const { return registryFolder() / "HKEY_CURRENT_USER"; }
    fs::path settingsFolder() const { return userFolder() / "Software" / "Ashgrove" / "Grize"; }

    fs::path base_;
    std::vector<std::string> messages_;

  private:
    void saveEnv(const char* name) {
        const char* value = std::getenv(name);
        savedEnv_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }

    // Tests take permissions away; give them back so the folder can go.
    static void makeRemovable(const fs::path& folder) {
        std::error_code ec;
        if (!fs::is_directory(fs::symlink_status(folder, ec))) {
            return;
        }
        ::chmod(folder.c_str(), 0700);
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            makeRemovable(entry.path());
        }
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

}  // namespace grize::test
