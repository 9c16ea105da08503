#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstring>

namespace grize {

namespace {

ErrorKind kindOf(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case ETXTBSY:
        case EBUSY:
        case EISDIR:  // a folder where a file was expected counts as refused access
        case ELOOP:   // a symbolic link where a file was expected, likewise
            return ErrorKind::Access;
        case EROFS:
            return ErrorKind::ReadOnlyFileSystem;
        case ENOENT:
        case ENOTDIR:
            return ErrorKind::FileNotFound;
        case EEXIST:
            return ErrorKind::FileExists;
        case ENOSPC:
        case EDQUOT:
            return ErrorKind::DiskFull;
        case EFBIG:
            return ErrorKind::FileSizeLimit;
        case ENAMETOOLONG:
            return ErrorKind::NameTooLong;
        case ENOMEM:
            return ErrorKind::OutOfMemory;
        default:
            return ErrorKind::DeviceIo;
    }
}

}  // namespace

RuntimeError errorFromErrno(int error, Step step, const std::string& name, int folder) {
    ErrorContext context;
    context.step = step;
    context.name = name;
    context.osError = error;
    char words[256] = {};
    // The GNU strerror_r may return a static text instead of filling `words`.
    context.cause = ::strerror_r(error, words, sizeof words);
    if (!context.cause.empty()) {
        context.cause[0] =
            static_cast<char>(std::tolower(static_cast<unsigned char>(context.cause[0])));
    }
    if (error == ENAMETOOLONG) {
        const long most = folder == AT_FDCWD ? -1 : ::fpathconf(folder, _PC_NAME_MAX);
        context.limit = most > 0 ? static_cast<std::uint64_t>(most) : 0;
    }
    return RuntimeError(kindOf(error), std::move(context));
}

namespace {

// Throws what errno says of the step on `name` (relative to `folder`).
[[noreturn]] void fail(Step step, const std::string& name = {}, int folder = AT_FDCWD) {
    throw errorFromErrno(errno, step, name, folder);
}

// A C string would silently end at an embedded NUL and name another file.
const char* checked(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    return path.c_str();
}

FileInfo toInfo(const struct stat& st) {
    FileInfo info;
    if (S_ISREG(st.st_mode)) {
        info.kind = FileKind::Regular;
    } else if (S_ISDIR(st.st_mode)) {
        info.kind = FileKind::Directory;
    } else if (S_ISLNK(st.st_mode)) {
        info.kind = FileKind::Symlink;
    } else {
        info.kind = FileKind::Other;
    }
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.mode = static_cast<unsigned>(st.st_mode) & 07777u;
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                      static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    info.ownedByMe = st.st_uid == ::geteuid();
    info.owner = st.st_uid;
    info.links = static_cast<std::uint64_t>(st.st_nlink);
    return info;
}

FileInfo statAt(int folder, const std::string& name, int flags) {
    struct stat st {};
    if (::fstatat(folder, checked(name), &st, flags) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        fail(Step::Inspect, name, folder);
    }
    return toInfo(st);
}

int descriptor(const FileHandle& handle) {
    return static_cast<int>(handle.get());
}

int openRetrying(int folder, const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::openat(folder, name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// O_NONBLOCK keeps the open of a FIFO from waiting for a writer; reads of
// regular files ignore it, but it is cleared anyway.
int openForReading(int folder, const std::string& name, int extraFlags) {
    const int fd = openRetrying(folder, checked(name),
                                O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | extraFlags);
    if (fd < 0) {
        fail(Step::Open, name, folder);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const int e = errno;
        ::close(fd);
        throw errorFromErrno(e, Step::Open, {}, AT_FDCWD);
    }
    return fd;
}

// What the file system cannot store or the process may not set: FAT and exFAT,
// through FUSE or not, refuse owners, modes and attributes with any of these
// (ENOTSUP is EOPNOTSUPP).
bool refusedHere(int error) {
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM || error == EINVAL;
}

// An attribute's value or the list of names: the size first, then the bytes,
// again if they grew in between. Nothing where there is none to read.
template <class Get>
std::optional<std::string> readSized(Get get) {
    for (;;) {
        const ssize_t size = get(nullptr, 0);
        if (size == 0) {
            return std::string();
        }
        if (size > 0) {
            std::string bytes(static_cast<std::size_t>(size), '\0');
            const ssize_t got = get(bytes.data(), bytes.size());
            if (got >= 0) {
                bytes.resize(static_cast<std::size_t>(got));
                return bytes;
            }
        }
        if (errno == ENODATA || refusedHere(errno)) {
            return std::nullopt;
        }
        if (errno != ERANGE) {
            fail(Step::Inspect);
        }
    }
}

// Where `from` lacks the attribute, `to` loses it too: a folder's default
// access list may have given the new file one the source does not have.
void copyAttribute(int from, int to, const char* name) {
    const std::optional<std::string> value = readSized(
        [&](char* bytes, std::size_t size) { return ::fgetxattr(from, name, bytes, size); });
    const int result =
        value ? ::fsetxattr(to, name, value->data(), value->size(), 0) : ::fremovexattr(to, name);
    if (result != 0 && errno != ENODATA && !refusedHere(errno)) {
        fail(Step::SetAccess);
    }
}

}  // namespace

FileHandle PosixFileSystem::openRead(const std::string& path) {
    return FileHandle(*this, openForReading(AT_FDCWD, path, 0));
}

std::size_t PosixFileSystem::read(const FileHandle& file, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(descriptor(file), buffer, size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            fail(Step::Read);
        }
    }
}

void PosixFileSystem::write(const FileHandle& file, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(descriptor(file), data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(Step::Write);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

void PosixFileSystem::reserve([[maybe_unused]] const FileHandle& file,
                              [[maybe_unused]] std::uint64_t size) {
#ifdef __linux__
    // Not posix_fallocate: where the file system cannot reserve, the C
    // library would write the whole size in zeros instead.
    if (size != 0) {
        ::fallocate(descriptor(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
    }
#endif
}

void PosixFileSystem::startWriteback([[maybe_unused]] const FileHandle& file,
                                     [[maybe_unused]] std::uint64_t offset,
                                     [[maybe_unused]] std::uint64_t length) {
#ifdef __linux__
    // A failure of the device shows again at the final fsync, which waits.
    ::sync_file_range(descriptor(file), static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WRITE);
#endif
}

void PosixFileSystem::waitWriteback([[maybe_unused]] const FileHandle& file,
                                    [[maybe_unused]] std::uint64_t offset,
                                    [[maybe_unused]] std::uint64_t length) {
#ifdef __linux__
    // As with startWriteback, the final fsync reports what fails here.
    ::sync_file_range(
        descriptor(file), static_cast<off_t>(offset), static_cast<off_t>(length),
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
}

void PosixFileSystem::sync(const FileHandle& file) {
    if (::fsync(descriptor(file)) != 0) {
        fail(Step::Sync);
    }
}

void PosixFileSystem::truncate(const FileHandle& file) {
    while (::ftruncate(descriptor(file), 0) != 0) {
        if (errno != EINTR) {
            fail(Step::Write);
        }
    }
}

void PosixFileSystem::setMode(const FileHandle& file, unsigned mode) {
    if (::fchmod(descriptor(file), static_cast<mode_t>(mode)) != 0 && errno != ENOSYS &&
        errno != EOPNOTSUPP) {
        fail(Step::SetAccess);
    }
}

void PosixFileSystem::copyAccess(const FileHandle& from, const FileHandle& to) {
    struct stat source {};
    struct stat output {};
    if (::fstat(descriptor(from), &source) != 0 || ::fstat(descriptor(to), &output) != 0) {
        fail(Step::SetAccess);
    }
    // One at a time, since an ordinary user may set a group of theirs but no
    // owner; before the mode, which a change of owner may cut down.
    if (source.st_uid != output.st_uid &&
        ::fchown(descriptor(to), source.st_uid, static_cast<gid_t>(-1)) != 0 &&
        !refusedHere(errno)) {
        fail(Step::SetAccess);
    }
    if (source.st_gid != output.st_gid &&
        ::fchown(descriptor(to), static_cast<uid_t>(-1), source.st_gid) != 0 &&
        !refusedHere(errno)) {
        fail(Step::SetAccess);
    }
    if (::fchmod(descriptor(to), source.st_mode & 0777u) != 0 && !refusedHere(errno)) {
        fail(Step::SetAccess);
    }
    // The raw attribute is the whole access list; the mode's group bits follow it.
    copyAttribute(descriptor(from), descriptor(to), "system.posix_acl_access");
    const std::string names = readSized([&](char* bytes, std::size_t size) {
                                  return ::flistxattr(descriptor(from), bytes, size);
                              }).value_or("");
    for (const char* name = names.c_str(); name < names.c_str() + names.size();
         name += std::strlen(name) + 1) {
        if (std::string_view(name).starts_with("user.")) {
            copyAttribute(descriptor(from), descriptor(to), name);
        }
    }
}

FileInfo PosixFileSystem::info(const FileHandle& file) {
    struct stat st {};
    if (::fstat(descriptor(file), &st) != 0) {
        fail(Step::Inspect);
    }
    return toInfo(st);
}

void PosixFileSystem::close(FileHandle::Native file) {
    // The descriptor is gone whatever close reports; retrying could close
    // another thread's file.
    if (::close(static_cast<int>(file)) != 0 && errno != EINTR) {
        fail(Step::Write);
    }
}

FileInfo PosixFileSystem::status(const std::string& path) {
    return statAt(AT_FDCWD, path, 0);
}

FileInfo PosixFileSystem::linkStatus(const std::string& path) {
    return statAt(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW);
}

FileHandle PosixFileSystem::openFolder(const std::string& path) {
    int fd = openRetrying(AT_FDCWD, checked(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        // A folder we may write in but not list: no lock and no listing, but
        // the *At calls still work.
        fd = openRetrying(AT_FDCWD, checked(path), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        fail(Step::Open, path);
    }
    return FileHandle(*this, fd);
}

FileHandle PosixFileSystem::openReadAt(const FileHandle& folder, const std::string& name) {
    return FileHandle(*this, openForReading(descriptor(folder), name, O_NOFOLLOW));
}

FileHandle PosixFileSystem::createNewAt(const FileHandle& folder, const std::string& name,
                                        unsigned mode) {
    const int created =
        openRetrying(descriptor(folder), checked(name),
                     O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, static_cast<mode_t>(mode));
    if (created < 0) {
        if (errno == EEXIST) {
            return {};
        }
        fail(Step::Create, name, descriptor(folder));
    }
    return FileHandle(*this, created);
}

FileInfo PosixFileSystem::statusAt(const FileHandle& folder, const std::string& name) {
    return statAt(descriptor(folder), name, AT_SYMLINK_NOFOLLOW);
}

void PosixFileSystem::renameAt(const FileHandle& folder, const std::string& from,
                               const std::string& to) {
    if (::renameat(descriptor(folder), checked(from), descriptor(folder), checked(to)) != 0) {
        fail(Step::Rename, to, descriptor(folder));
    }
}

bool PosixFileSystem::renameNoReplaceAt(const FileHandle& folder, const std::string& from,
                                        const std::string& to) {
    if (::renameat2(descriptor(folder), checked(from), descriptor(folder), checked(to),
                    RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        fail(Step::Rename, to, descriptor(folder));
    }
    // No RENAME_NOREPLACE here: a hard link refuses a taken name just as well.
    switch (linkAt(folder, from, to)) {
        case LinkResult::NameTaken:
            return false;
        case LinkResult::Done:
            removeAt(folder, from);
            return true;
        case LinkResult::Unsupported:
            break;
    }
    if (statusAt(folder, to).kind != FileKind::Missing) {
        return false;
    }
    renameAt(folder, from, to);
    return true;
}

void PosixFileSystem::removeAt(const FileHandle& folder, const std::string& name) {
    if (::unlinkat(descriptor(folder), checked(name), 0) != 0) {
        fail(Step::Remove, name, descriptor(folder));
    }
}

LinkResult PosixFileSystem::linkAt(const FileHandle& folder, const std::string& existing,
                                   const std::string& newName) {
    if (::linkat(descriptor(folder), checked(existing), descriptor(folder), checked(newName), 0) ==
        0) {
        return LinkResult::Done;
    }
    switch (errno) {
        case EEXIST:
            return LinkResult::NameTaken;
        // No hard links here: FAT-like file systems, protected_hardlinks.
        case EPERM:
        case EXDEV:
        case EMLINK:
        case ENOSYS:
        case EOPNOTSUPP:
            return LinkResult::Unsupported;
        default:
            fail(Step::Create, newName, descriptor(folder));
    }
}

bool PosixFileSystem::refusesRemoval([[maybe_unused]] const FileHandle& fileOrFolder) {
#ifdef __linux__
    // The kernel reads and writes an int here, whatever the macro's type says.
    int flags = 0;
    if (::ioctl(descriptor(fileOrFolder), FS_IOC_GETFLAGS, &flags) == 0) {
        return (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
    }
#endif
    // ENOTTY, EOPNOTSUPP, EINVAL, or EBADF for a folder opened only as a
    // path: nothing is known, and the rename itself will tell.
    return false;
}

bool PosixFileSystem::copiesUp([[maybe_unused]] const FileHandle& folder) {
#ifdef __linux__
    constexpr long kOverlayMagic = 0x794c7630;  // OVERLAYFS_SUPER_MAGIC
    struct statfs about {};
    return ::fstatfs(descriptor(folder), &about) == 0 &&
           static_cast<long>(about.f_type) == kOverlayMagic;
#else
    return false;
#endif
}

void PosixFileSystem::syncFolder(const FileHandle& folder) {
    if (::fsync(descriptor(folder)) != 0) {
        // Some file systems cannot sync a folder at all, and a folder opened
        // only as a path cannot be synced: nothing to make durable then.
        if (errno == EINVAL || errno == EROFS || errno == EBADF) {
            return;
        }
        fail(Step::Sync);
    }
}

std::vector<std::string> PosixFileSystem::listFolder(const FileHandle& folder) {
    const int listing = openRetrying(descriptor(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        fail(Step::Inspect);
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        const int e = errno;
        ::close(listing);
        throw errorFromErrno(e, Step::Open, {}, AT_FDCWD);
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

LockResult PosixFileSystem::tryLock(FileHandle& file) {
    for (;;) {
        if (::flock(descriptor(file), LOCK_EX | LOCK_NB) == 0) {
            return LockResult::Locked;
        }
        switch (errno) {
            case EINTR:
                continue;
            case EWOULDBLOCK:
                return LockResult::Busy;
            // No locks here (some network file systems), or a folder opened
            // only as a path.
            case ENOLCK:
            case EOPNOTSUPP:
            case EINVAL:
            case ENOSYS:
            case EBADF:
                return LockResult::Unsupported;
            default:
                fail(Step::Open);
        }
    }
}

FileSystem& defaultFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace grize
