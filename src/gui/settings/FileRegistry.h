#pragma once

#include <filesystem>
#include <map>

#include "platform/FileSystem.h"
#include "platform/RegistryApi.h"

namespace grize {

// The registry on a system that has none: one folder tree per root key under
// $XDG_CONFIG_HOME/grize/registry/ ($HOME/.config/grize/registry/ when that
// is unset), looked up afresh on every open.
//
//   HKEY_CURRENT_USER/Software/Ashgrove/Grize/=Left   holds "REG_SZ\n1500"
//
// A key is a folder. A value is a file named "=" plus the value's name, so
// the default value (empty name) is "=" and no value can clash with a
// subkey. Its first line is the type (REG_SZ, REG_DWORD, ... or the type's
// number); everything after that line end is the data, byte for byte, with
// no line end of its own. String data is kept without its NUL and gets it
// back on reading. In names "/", "%" and control characters are written
// %XX, and so is a key name's leading "." or "=": "." and ".." stay plain
// names, and dot files (a write's temporary files) are never keys.
//
// Files are reached through the platform's FileSystem. Names are
// case-sensitive. A write goes to a temporary file in the key's
// folder that is synced and then renamed over the value, so a reader sees
// the old value or the new one. Anything unreadable or unparsable answers
// with a non-zero status, as if nothing were stored.
class FileRegistry final : public RegistryApi {
  public:
    explicit FileRegistry(FileSystem& fs = defaultFileSystem());

    long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t access,
                 RegKey& key) override;
    long CreateKey(std::uint32_t root, const std::string& subKey, RegKey& key) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t& type, char* data,
                    std::uint32_t& length) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const char* data,
                  std::uint32_t length) override;
    long CloseKey(RegKey key) override;

  private:
    struct OpenedKey {
        std::filesystem::path folder;
        bool writable;
    };
    RegKey remember(std::filesystem::path folder, bool writable);

    FileSystem& fs_;
    std::map<RegKey, OpenedKey> keys_;
    RegKey next_ = 1;
};

}  // namespace grize
