#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "gui/settings/Registry.h"

namespace grize::test {
namespace {

const std::string kSettingsKey = "HKEY_CURRENT_USER\\Software\\Ashgrove\\Grize";
constexpr const wchar_t* kScratch = L"Software\\Grize tests scratch";

// HKEY_CURRENT_USER is redirected to a scratch key while a test runs.
class ScratchUserKey : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &scratch_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(scratch_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }

    std::wstring stored(const wchar_t* name) {
        wchar_t data[64] = {};
        DWORD size = sizeof data;
        if (::RegGetValueW(scratch_, L"Software\\Ashgrove\\Grize", name, RRF_RT_REG_SZ, nullptr,
                           data, &size) != ERROR_SUCCESS) {
            return L"(none)";
        }
        return data;
    }

    HKEY scratch_ = nullptr;
};

TEST_F(ScratchUserKey, SettingsLiveInTheRegistry) {
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "Error");  // no key yet
    WriteValue(kSettingsKey, "Left", "1500");             // a missing key is not made
    EXPECT_EQ(stored(L"Left"), L"(none)");
    CreateKey(kSettingsKey);
    WriteValue(kSettingsKey, "Left", "1500");
    EXPECT_EQ(ReadValue(kSettingsKey, "Left"), "1500");
    EXPECT_EQ(stored(L"Left"), L"1500");  // a string value, where the redirect put it
    WriteValue(kSettingsKey, "Long", std::string(300, 'x'));
    EXPECT_EQ(ReadValue(kSettingsKey, "Long"), "Error");  // beyond the 255-byte buffer
}

}  // namespace
}  // namespace grize::test
