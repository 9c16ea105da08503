// Reads an arbitrary value file of the settings store through the store and
// through the settings procedures; exact-size buffers let AddressSanitizer
// see any write past the length a caller gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "TestFiles.h"
#include "errors/RuntimeError.h"
#include "gui/settings/FileRegistry.h"
#include "gui/settings/General.h"

namespace {

constexpr std::uint32_t kCurrentUser = 0x80000001u;
constexpr char kSubKey[] = "Software\\Ashgrove\\Grize";

grize::test::TempDir* config = nullptr;
std::string keyFolder;

class Window final : public grize::PositionTarget {
  public:
    float Left() const override { return 0; }
    float Top() const override { return 0; }
    void SetLeft(float) override {}
    void SetTop(float) override {}
};

class CheckBox final : public grize::CheckBoxTarget {
  public:
    int Value() const override { return 0; }
    void SetValue(int value) override {
        if (value < 0 || value > 2) {
            throw grize::err::invalidCall();
        }
    }
};

void queryWithBuffer(grize::FileRegistry& store, grize::RegKey key, std::uint32_t size) {
    std::unique_ptr<char[]> buffer(new char[size]);
    std::uint32_t length = size;
    std::uint32_t type = 0;
    const long status = store.QueryValue(key, "Left", type, buffer.get(), length);
    if (status == grize::reg::kSuccess) {
        FUZZ_CHECK(length <= size);
    } else if (status == grize::reg::kMoreData) {
        FUZZ_CHECK(length > size);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Never the user's own settings.
    config = new grize::test::TempDir;
    std::atexit([] { delete config; });
    ::setenv("XDG_CONFIG_HOME", config->path().c_str(), 1);
    keyFolder = config->path() + "/grize/registry/HKEY_CURRENT_USER/Software/Ashgrove/Grize";
    std::filesystem::create_directories(keyFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"/=Left", "/=Top", "/=Autoquit"}) {
        grize::test::writeFile(keyFolder + name, input);
    }

    grize::FileRegistry store;
    grize::RegKey key = 0;
    FUZZ_CHECK(store.OpenKey(kCurrentUser, kSubKey, grize::reg::kKeyRead, key) ==
               grize::reg::kSuccess);
    std::uint32_t type = 0;
    std::uint32_t needed = 0;
    if (store.QueryValue(key, "Left", type, nullptr, needed) == grize::reg::kSuccess) {
        for (std::uint32_t size : {0u, 1u, needed, needed + 1, 255u}) {
            queryWithBuffer(store, key, size);
        }
        if (needed > 0) {
            queryWithBuffer(store, key, needed - 1);
        }
    }
    store.CloseKey(key);

    // The 255-byte reads and number conversions behind the window's settings.
    Window window;
    grize::LoadPosition(window);
    CheckBox check;
    grize::LoadAutoquit(check);
    return 0;
}
