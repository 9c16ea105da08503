#include "platform/windows/WindowsRegistry.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace grize {

namespace {

// Predefined roots are 32-bit values that the 64-bit API sign-extends.
HKEY rootHandle(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

HKEY openHandle(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

long WindowsRegistry::OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t access,
                              RegKey& key) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(rootHandle(root), subKey.c_str(), 0, access, &opened);
    key = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(opened) : 0;
    return status;
}

long WindowsRegistry::CreateKey(std::uint32_t root, const std::string& subKey, RegKey& key) {
    HKEY created = nullptr;
    const LONG status = ::RegCreateKeyA(rootHandle(root), subKey.c_str(), &created);
    key = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(created) : 0;
    return status;
}

long WindowsRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                 char* data, std::uint32_t& length) {
    DWORD valueType = type;
    DWORD size = length;
    const LONG status = ::RegQueryValueExA(openHandle(key), name.c_str(), nullptr, &valueType,
                                           reinterpret_cast<LPBYTE>(data), &size);
    type = valueType;
    length = size;
    return status;
}

long WindowsRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                               const char* data, std::uint32_t length) {
    // Text is stored with its terminator, as the file store reads it back:
    // without one, an empty text would come back as no data at all.
    std::string bytes(data, data == nullptr ? 0 : length);
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !bytes.ends_with('\0')) {
        bytes += '\0';
    }
    return ::RegSetValueExA(openHandle(key), name.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
}

long WindowsRegistry::CloseKey(RegKey key) {
    return ::RegCloseKey(openHandle(key));
}

RegistryApi& platformRegistry() {
    static WindowsRegistry registry;
    return registry;
}

}  // namespace grize
