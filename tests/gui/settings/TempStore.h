#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "TestPlatform.h"
#include "gui/settings/Registry.h"

namespace grize::test {

namespace fs = std::filesystem;

inline const std::string kSettingsKey = "HKEY_CURRENT_USER\\Software\\Ashgrove\\Grize";

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every test gets a settings store of its own (ScratchSettings), so the
// user's real settings are never touched; registry messages are collected.
class TempStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::make_unique<TempDir>();
        base_ = fsPath(folder_->path());
        settings_ = std::make_unique<ScratchSettings>(folder_->path());
        setRegistryMessageBox([this](const std::string& text) { messages_.push_back(text); });
    }

    void TearDown() override {
        setRegistryMessageBox({});
        setRegistryApi(nullptr);
        settings_.reset();
        folder_.reset();
    }

    // Where the file store keeps its keys.
    fs::path registryFolder() const { return base_ / "config" / "grize" / "registry"; }
    fs::path userFolder() const { return registryFolder() / "HKEY_CURRENT_USER"; }
    fs::path settingsFolder() const { return userFolder() / "Software" / "Ashgrove" / "Grize"; }

    fs::path base_;
    std::unique_ptr<ScratchSettings> settings_;
    std::vector<std::string> messages_;

  private:
    std::unique_ptr<TempDir> folder_;
};

}  // namespace grize::test
