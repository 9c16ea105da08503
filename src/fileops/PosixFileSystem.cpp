#include "PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace grize {

RuntimeError errorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EBUSY:
        case EISDIR:  // a folder where a file was expected counts as refused access
            return err::accessError();
        case ENOENT:
        case ENOTDIR:
            return err::fileNotFound();
        case ENOSPC:
        case EDQUOT:
            return err::diskFull();
        case ENAMETOOLONG:
            return err::badFileName();
        case ENOMEM:
            return err::outOfMemory();
        default:
            return err::deviceIo();
    }
}

namespace {

[[noreturn]] void fail() {
    throw errorFromErrno(errno);
}

// A C string would silently end at an embedded NUL and name another file.
const char* checked(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        throw err::badFileName();
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
    return info;
}

FileInfo statPath(const std::string& path, bool follow) {
    struct stat st {};
    const char* p = checked(path);
    const int rc = follow ? ::stat(p, &st) : ::lstat(p, &st);
    if (rc != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        fail();
    }
    return toInfo(st);
}

}  // namespace

FileSystem::Handle PosixFileSystem::openRead(const std::string& path) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; reads
    // of regular files ignore it, but it is cleared anyway.
    int fd;
    do {
        fd = ::open(checked(path), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        fail();
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const int e = errno;
        ::close(fd);
        throw errorFromErrno(e);
    }
    return fd;
}

std::optional<FileSystem::Handle> PosixFileSystem::createNew(const std::string& path,
                                                             unsigned mode) {
    int fd;
    do {
        fd = ::open(checked(path), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                    static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST) {
            return std::nullopt;
        }
        fail();
    }
    return fd;
}

std::size_t PosixFileSystem::read(Handle file, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(file, buffer, size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            fail();
        }
    }
}

void PosixFileSystem::write(Handle file, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(file, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail();
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

void PosixFileSystem::sync(Handle file) {
    if (::fsync(file) != 0) {
        fail();
    }
}

void PosixFileSystem::setMode(Handle file, unsigned mode) {
    if (::fchmod(file, static_cast<mode_t>(mode)) != 0) {
        fail();
    }
}

FileInfo PosixFileSystem::info(Handle file) {
    struct stat st {};
    if (::fstat(file, &st) != 0) {
        fail();
    }
    return toInfo(st);
}

void PosixFileSystem::close(Handle file) {
    // The descriptor is gone whatever close reports; retrying could close
    // another thread's file.
    if (::close(file) != 0 && errno != EINTR) {
        fail();
    }
}

FileInfo PosixFileSystem::status(const std::string& path) {
    return statPath(path, true);
}

FileInfo PosixFileSystem::linkStatus(const std::string& path) {
    return statPath(path, false);
}

void PosixFileSystem::rename(const std::string& from, const std::string& to) {
    if (::rename(checked(from), checked(to)) != 0) {
        fail();
    }
}

void PosixFileSystem::remove(const std::string& path) {
    if (::unlink(checked(path)) != 0) {
        fail();
    }
}

LinkResult PosixFileSystem::link(const std::string& existing, const std::string& newPath) {
    if (::link(checked(existing), checked(newPath)) == 0) {
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
            fail();
    }
}

void PosixFileSystem::syncFolder(const std::string& folder) {
    int fd;
    do {
        fd = ::open(checked(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        fail();
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        // Some file systems cannot sync a folder at all; nothing to make durable then.
        if (e == EINVAL || e == EROFS) {
            return;
        }
        throw errorFromErrno(e);
    }
    ::close(fd);
}

FileSystem& defaultFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace grize
