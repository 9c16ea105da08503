#include "FileRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

namespace grize {

namespace {

namespace fs = std::filesystem;

// Values are small; anything bigger is not something this program wrote.
constexpr off_t kMaxValueFile = 1 << 20;
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

long fromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return reg::kFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return reg::kAccessDenied;
        case ENAMETOOLONG:
            return reg::kBadPathname;
        case ELOOP:
            return reg::kBadDb;
        default:
            return reg::kIoFailed;
    }
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
        return fromErrno(ec.value());
    }
    return reg::kSuccess;
}

long checkAccess(const fs::path& folder, bool writable) {
    if (::faccessat(AT_FDCWD, folder.c_str(), writable ? W_OK | X_OK : X_OK, AT_EACCESS) != 0) {
        return fromErrno(errno);
    }
    return reg::kSuccess;
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

long readValueFile(const fs::path& file, std::uint32_t& type, std::string& data) {
    // Non-blocking, so that a pipe put in a value's place cannot stall start-up.
    Fd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        return fromErrno(errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return fromErrno(errno);
    }
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxValueFile) {
        return reg::kBadDb;
    }
    std::string content;
    char chunk[4096];
    while (true) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fromErrno(errno);
        }
        if (got == 0) {
            break;
        }
        content.append(chunk, static_cast<std::size_t>(got));
        if (content.size() > static_cast<std::size_t>(kMaxValueFile)) {
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

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

long writeAtomically(const fs::path& folder, const std::string& fileName,
                     const std::string& content) {
    std::string temp = (folder / ".tmp-XXXXXX").string();
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return fromErrno(errno);
    }
    int error = 0;
    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0) {
        error = errno;
    }
    if (::close(fd.release()) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), (folder / fileName).c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return fromErrno(error);
    }
    // Makes the rename itself durable; the value is in place either way.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return reg::kSuccess;
}

}  // namespace

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
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                return subKey.empty() ? reg::kBadDb : reg::kFileNotFound;
            }
            if (const long status = checkAccess(folder, writable); status != reg::kSuccess) {
                return status;
            }
        } else if (!subKey.empty()) {
            return fromErrno(errno);
        } else if (writable) {
            // A root key always exists; its folder appears with the first write.
            if (const long status = makeFolders(folder); status != reg::kSuccess) {
                return status;
            }
        }
        key = remember(std::move(folder), writable);
        return reg::kSuccess;
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
        if (const long status = checkAccess(folder, true); status != reg::kSuccess) {
            return status;
        }
        key = remember(std::move(folder), true);
        return reg::kSuccess;
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
                readValueFile(found->second.folder / valueFileName(name), storedType, bytes);
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
        return writeAtomically(found->second.folder, valueFileName(name), content);
    } catch (...) {
        return reg::kIoFailed;
    }
}

long FileRegistry::CloseKey(RegKey key) {
    return keys_.erase(key) == 1 ? reg::kSuccess : reg::kInvalidHandle;
}

}  // namespace grize
