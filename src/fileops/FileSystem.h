#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "RuntimeError.h"

namespace grize {

enum class FileKind { Missing, Regular, Directory, Symlink, Other };

struct FileInfo {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
    unsigned mode = 0;  // permission and special bits (07777)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool sameFileAs(const FileInfo& other) const {
        return kind != FileKind::Missing && other.kind != FileKind::Missing &&
               device == other.device && inode == other.inode;
    }
};

enum class LinkResult { Done, NameTaken, Unsupported };

// The one place the core meets the operating system. Every failure is thrown
// as RuntimeError with the classic number (errorFromErrno); a port to another
// platform replaces the implementation of this class alone.
class FileSystem {
  public:
    using Handle = int;

    virtual ~FileSystem() = default;

    // Opens an existing file for reading. Never blocks on a FIFO.
    virtual Handle openRead(const std::string& path) = 0;
    // Creates a file that must not exist yet, for writing; nothing when the
    // name is taken.
    virtual std::optional<Handle> createNew(const std::string& path, unsigned mode) = 0;
    // Reads up to `size` bytes; 0 only at the end of the file.
    virtual std::size_t read(Handle file, char* buffer, std::size_t size) = 0;
    // Writes all of `data`.
    virtual void write(Handle file, std::string_view data) = 0;
    // Flushes the file's data and metadata to the device.
    virtual void sync(Handle file) = 0;
    virtual void setMode(Handle file, unsigned mode) = 0;
    virtual FileInfo info(Handle file) = 0;
    // Releases the handle even when it throws.
    virtual void close(Handle file) = 0;

    // Missing when nothing is at the path; throws for other failures.
    virtual FileInfo status(const std::string& path) = 0;      // follows symbolic links
    virtual FileInfo linkStatus(const std::string& path) = 0;  // the path itself
    // Replaces `to` atomically when it exists.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    virtual void remove(const std::string& path) = 0;
    // A second name for an existing file; Unsupported where the file system
    // or its policy does not allow hard links.
    virtual LinkResult link(const std::string& existing, const std::string& newPath) = 0;
    // Makes the renames and removals in a folder durable.
    virtual void syncFolder(const std::string& folder) = 0;
};

// The file system of this platform.
FileSystem& defaultFileSystem();

// The run-time error for an operating-system error number.
RuntimeError errorFromErrno(int error);

}  // namespace grize
