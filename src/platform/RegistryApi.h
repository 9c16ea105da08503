#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace grize {

// An open key. Predefined roots are passed as their 32-bit handles instead.
using RegKey = std::uintptr_t;

// Status codes, numbered as the platform numbers them. 0 is success.
namespace reg {
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kBadPathname = 161;
inline constexpr long kMoreData = 234;
inline constexpr long kBadDb = 1009;     // the store holds something it cannot parse
inline constexpr long kIoFailed = 1016;  // any other failure of the store

inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;

inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiSz = 7;
inline constexpr std::uint32_t kQword = 11;

struct RootKey {
    std::string_view name;
    std::uint32_t handle;
};
// In the order names are matched.
inline constexpr std::array<RootKey, 7> kRootKeys{{
    {"HKEY_CLASSES_ROOT", 0x80000000u},
    {"HKEY_CURRENT_USER", 0x80000001u},
    {"HKEY_LOCAL_MACHINE", 0x80000002u},
    {"HKEY_USERS", 0x80000003u},
    {"HKEY_PERFORMANCE_DATA", 0x80000004u},
    {"HKEY_CURRENT_CONFIG", 0x80000005u},
    {"HKEY_DYN_DATA", 0x80000006u},
}};
}  // namespace reg

// The five registry operations the Registry module needs, with the
// platform's semantics: every call answers with a status code and none
// throws.
class RegistryApi {
  public:
    virtual ~RegistryApi() = default;

    // Opens an existing key below a predefined root; never creates one.
    // An empty subKey opens the root itself.
    virtual long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t access,
                         RegKey& key) = 0;
    // Opens a key, creating it and any missing keys above it.
    virtual long CreateKey(std::uint32_t root, const std::string& subKey, RegKey& key) = 0;
    // Copies a value's data into data[0..length). On entry length is the
    // buffer's size; on return it is the data's size. A buffer too small
    // gives kMoreData. String data comes back with its terminating NUL.
    virtual long QueryValue(RegKey key, const std::string& name, std::uint32_t& type, char* data,
                            std::uint32_t& length) = 0;
    // Stores a value, replacing one of the same name whatever its type.
    virtual long SetValue(RegKey key, const std::string& name, std::uint32_t type, const char* data,
                          std::uint32_t length) = 0;
    virtual long CloseKey(RegKey key) = 0;
};

// The store of the platform this was built for; lives for the whole run.
RegistryApi& platformRegistry();

}  // namespace grize
