#include "gui/settings/FileRegistry.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include "errors/Quietly.h"
#include "errors/RuntimeError.h"
#include "platform/FileSystem.h"

namespace grize {

namespace {

namespace fs = std::filesystem;

// Values are small; anything bigger is not something this program wrote.
constexpr std::uint64_t kMaxValueFile = 1 << 20;
constexpr std::size_t kMaxTypeLine = 32;

// Access bits that need a writable folder: set value, create subkey.
constexpr std::uint32_t kChangeAccess = 0x0002 | 0x0004;

struct TypeName {
    std::uint32_t type;
    std::string_view name;
};
constexpr TypeName kTypeNames[] = {
    {reg::kNone, "REG_NONE"},
    {reg::kSz, "REG_SZ"},
    {reg::kExpandSz, "REG_EXPAND_SZ"},
    {reg::kBinary, "REG_BINARY"},
    {reg::kDword, "REG_DWORD"},
    {5, "REG_DWORD_BIG_ENDIAN"},
    {6, "REG_LINK"},
    {reg::kMultiSz, "REG_MULTI_SZ"},
    {reg::kQword, "REG_QWORD"},
};

std::string typeToText(std::uint32_t type) {
    for (const auto& t : kTypeNames) {
        if (t.type == type) {
            return std::string(t.name);
        }
    }
    return std::to_string(type);
}

bool typeFromText(std::string_view text, std::uint32_t& type) {
    for (const auto& t : kTypeNames) {
        if (t.name == text) {
            type = t.type;
            return true;
        }
    }
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, type);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool isString(std::uint32_t type) {
    return type == reg::kSz || type == reg::kExpandSz;
}

long fromError(const RuntimeError& error) {
    switch (error.number()) {
        case err::kFileNotFound:
            return reg::kFileNotFound;
        case err::kAccess:
            return reg::kAccessDenied;
        case err::kBadFileName:
            return reg::kBadPathname;
        default:
            return reg::kIoFailed;
    }
}

long fromError(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
        return reg::kFileNotFound;
    }
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system) {
        return reg::kAccessDenied;
    }
    if (error == std::errc::filename_too_long) {
        return reg::kBadPathname;
    }
    return reg::kIoFailed;
}

std::string escapeName(std::string_view name, bool escapeLead) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool lead = i == 0 && escapeLead && (c == '.' || c == '=');
        if (lead || c == '/' || c == '%' || c < 0x20 || c == 0x7f) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string valueFileName(const std::string& name) {
    // Appended rather than "=" + temporary, which GCC 12 at -O3 takes for an
    // overlapping copy (-Wrestrict).
    std::string fileName = "=";
    fileName += escapeName(name, false);
    return fileName;
}

// Empty when there is no home to keep the store in.
fs::path storeFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return fs::path(config) / "grize" / "registry";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return fs::path(home) / ".config" / "grize" / "registry";
    }
    return {};
}

long keyFolder(std::uint32_t root, const std::string& subKey, fs::path& folder) {
    std::string_view rootName;
    for (const auto& r : reg::kRootKeys) {
        if (r.handle == root) {
            rootName = r.name;
        }
    }
    if (rootName.empty()) {
        return reg::kInvalidHandle;
    }
    folder = storeFolder();
    if (folder.empty()) {
        return reg::kFileNotFound;
    }
    folder /= rootName;
    if (subKey.empty()) {
        return reg::kSuccess;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = subKey.find('\\', start);
        const std::string_view part = std::string_view(subKey).substr(
            start, slash == std::string::npos ? slash : slash - start);
        if (part.empty()) {
            return reg::kBadPathname;
        }
        folder /= escapeName(part, true);
        if (slash == std::string::npos) {
            return reg::kSuccess;
        }
        start = slash + 1;
    }
}

long makeFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        return fromError(ec);
    }
    return reg::kSuccess;
}

long readValueFile(FileSystem& files, const fs::path& file, std::uint32_t& type,
                   std::string& data) {
    // Never blocks on a FIFO, and only a regular file is read, so that a pipe
    // put in a value's place cannot stall start-up.
    const FileHandle handle = files.openRead(file.string());
    const FileInfo info = files.info(handle);
    if (info.kind != FileKind::Regular || info.size > kMaxValueFile) {
        return reg::kBadDb;
    }
    std::string content;
    char chunk[4096];
    while (const std::size_t got = files.read(handle, chunk, sizeof chunk)) {
        content.append(chunk, got);
        if (content.size() > kMaxValueFile) {
            return reg::kBadDb;
        }
    }
    const std::size_t lineEnd = content.find('\n');
    if (lineEnd == std::string::npos || lineEnd > kMaxTypeLine ||
        !typeFromText(std::string_view(content).substr(0, lineEnd), type)) {
        return reg::kBadDb;
    }
    data = content.substr(lineEnd + 1);
    return reg::kSuccess;
}

// A dot name for a write's temporary file, unlikely to be taken; it is still
// created exclusively.
std::string temporaryName() {
    static std::atomic<std::uint64_t> counter{0};
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return ".tmp-" + std::to_string(random() ^ counter++);
}

long writeAtomically(FileSystem& files, const fs::path& folder, const std::string& fileName,
                     const std::string& content) {
    const FileHandle dir = files.openFolder(folder.string());
    FileHandle file;
    std::string temp;
    while (!file) {
        temp = temporaryName();
        file = files.createNewAt(dir, temp, 0600);
    }
    try {
        files.write(file, content);
        files.sync(file);
        file.close();
        files.renameAt(dir, temp, fileName);
    } catch (...) {
        file.reset();
        quietly([&] { files.removeAt(dir, temp); });
        throw;
    }
    // Makes the rename itself durable; the value is in place either way.
    quietly([&] { files.syncFolder(dir); });
    return reg::kSuccess;
}

}  // namespace

FileRegistry::FileRegistry(FileSystem& fs) : fs_(fs) {}

RegKey FileRegistry::remember(fs::path folder, bool writable) {
    const RegKey key = next_++;
    keys_.emplace(key, OpenedKey{std::move(folder), writable});
    return key;
}

long FileRegistry::OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t access,
                           RegKey& key) {
    key = 0;
    try {
        fs::path folder;
        if (const long status = keyFolder(root, subKey, folder); status != reg::kSuccess) {
            return status;
        }
        const bool writable = (access & kChangeAccess) != 0;
        const FileInfo found = fs_.status(folder.string());
        if (found.kind != FileKind::Missing) {
            if (found.kind != FileKind::Directory) {
                return subKey.empty() ? reg::kBadDb : reg::kFileNotFound;
            }
            // Only a folder that can be entered is a key whose values can be read.
            fs_.status((folder / ".").string());
        } else if (!subKey.empty()) {
            return reg::kFileNotFound;
        } else if (writable) {
            // A root key always exists; its folder appears with the first write.
            if (const long status = makeFolders(folder); status != reg::kSuccess) {
                return status;
            }
        }
        key = remember(std::move(folder), writable);
        return reg::kSuccess;
    } catch (const RuntimeError& error) {
        return fromError(error);
    } catch (...) {
        return reg::kIoFailed;
    }
}

long FileRegistry::CreateKey(std::uint32_t root, const std::string& subKey, RegKey& key) {
    key = 0;
    try {
        fs::path folder;
        if (const long status = keyFolder(root, subKey, folder); status != reg::kSuccess) {
            return status;
        }
        if (const long status = makeFolders(folder); status != reg::kSuccess) {
            return status;
        }
        fs_.status((folder / ".").string());
        key = remember(std::move(folder), true);
        return reg::kSuccess;
    } catch (const RuntimeError& error) {
        return fromError(error);
    } catch (...) {
        return reg::kIoFailed;
    }
}

long FileRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t& type, char* data,
                              std::uint32_t& length) {
    try {
        const auto found = keys_.find(key);
        if (found == keys_.end()) {
            return reg::kInvalidHandle;
        }
        std::uint32_t storedType = 0;
        std::string bytes;
        if (const long status =
                readValueFile(fs_, found->second.folder / valueFileName(name), storedType, bytes);
            status != reg::kSuccess) {
            return status;
        }
        if (isString(storedType)) {
            bytes += '\0';
        }
        const auto size = static_cast<std::uint32_t>(bytes.size());
        type = storedType;
        if (data != nullptr && size > length) {
            length = size;
            return reg::kMoreData;
        }
        if (data != nullptr) {
            std::memcpy(data, bytes.data(), size);
        }
        length = size;
        return reg::kSuccess;
    } catch (const RuntimeError& error) {
        return fromError(error);
    } catch (...) {
        return reg::kIoFailed;
    }
}

long FileRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                            const char* data, std::uint32_t length) {
    try {
        const auto found = keys_.find(key);
        if (found == keys_.end()) {
            return reg::kInvalidHandle;
        }
        if (!found->second.writable) {
            return reg::kAccessDenied;
        }
        std::string_view bytes(data, data == nullptr ? 0 : length);
        if (isString(type) && bytes.ends_with('\0')) {
            bytes.remove_suffix(1);
        }
        std::string content = typeToText(type);
        content += '\n';
        content += bytes;
        return writeAtomically(fs_, found->second.folder, valueFileName(name), content);
    } catch (const RuntimeError& error) {
        return fromError(error);
    } catch (...) {
        return reg::kIoFailed;
    }
}

long FileRegistry::CloseKey(RegKey key) {
    return keys_.erase(key) == 1 ? reg::kSuccess : reg::kInvalidHandle;
}

RegistryApi& platformRegistry() {
    static FileRegistry registry;
    return registry;
}

}  // namespace grize
