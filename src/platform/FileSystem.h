#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors/RuntimeError.h"

namespace grize {

enum class FileKind { Missing, Regular, Directory, Symlink, Other };

struct FileInfo {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
    unsigned mode = 0;  // permission and special bits (07777)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t modifiedNs = 0;   // modification time
    bool ownedByMe = false;        // owned by the effective user
    std::uint32_t attributes = 0;  // Windows' attribute word; 0 elsewhere
    std::uint64_t links = 1;       // hard links: names the file has

    bool sameFileAs(const FileInfo& other) const {
        return kind != FileKind::Missing && other.kind != FileKind::Missing &&
               device == other.device && inode == other.inode;
    }
    // The same file with the same size and modification time: nobody wrote it.
    bool unchangedSince(const FileInfo& before) const {
        return sameFileAs(before) && size == before.size && modifiedNs == before.modifiedNs;
    }
};

enum class LinkResult { Done, NameTaken, Unsupported };
enum class LockResult { Locked, Busy, Unsupported };

// The one place the core meets the file system. Every failure is thrown as
// RuntimeError with the classic number; each platform has its own
// implementation.
//
// The file operations work inside one folder opened once: the *At calls take
// names relative to that folder's handle and never follow a symbolic link at
// the name, so renaming or swapping a folder on the path cannot redirect them.
class FileSystem {
  public:
    using Handle = int;

    virtual ~FileSystem() = default;

    // Opens an existing file for reading. Never blocks on a FIFO.
    virtual Handle openRead(const std::string& path) = 0;
    // Reads up to `size` bytes; 0 only at the end of the file.
    virtual std::size_t read(Handle file, char* buffer, std::size_t size) = 0;
    // Writes all of `data`.
    virtual void write(Handle file, std::string_view data) = 0;
    // Asks for room for `size` bytes of a file about to be written, without
    // changing its size or content; a hint that does nothing where the file
    // system cannot reserve space.
    virtual void reserve(Handle file, std::uint64_t size) = 0;
    // Starts writing `length` bytes of the file from `offset` to the device
    // and returns without waiting for them; sync still waits for it all. A
    // hint that does nothing where the system has no such call.
    virtual void startWriteback(Handle file, std::uint64_t offset, std::uint64_t length) = 0;
    // Flushes the file's data and metadata to the device.
    virtual void sync(Handle file) = 0;
    // Nothing where the file system keeps no permission bits (FAT through FUSE).
    virtual void setMode(Handle file, unsigned mode) = 0;
    // Gives `to` who may use `from` and how: the owner and the group where
    // this process may set them, the permission bits (0777), the POSIX access
    // list and the `user.*` extended attributes; on Windows the owner, group
    // and access list, and the attribute bits that suit a new file. A step
    // the file system or the process cannot do is left out; other failures
    // throw.
    virtual void copyAccess(Handle from, Handle to) = 0;
    virtual FileInfo info(Handle file) = 0;
    // Releases the handle even when it throws. A folder's lock goes with it.
    virtual void close(Handle file) = 0;

    // Missing when nothing is at the path; throws for other failures.
    virtual FileInfo status(const std::string& path) = 0;      // follows symbolic links
    virtual FileInfo linkStatus(const std::string& path) = 0;  // the path itself

    // A folder, for the *At calls, syncFolder, listFolder and tryLock.
    virtual Handle openFolder(const std::string& path) = 0;
    // Like openRead, but the name must not be a symbolic link.
    virtual Handle openReadAt(Handle folder, const std::string& name) = 0;
    // Creates a file that must not exist yet, for writing; nothing when the
    // name is taken.
    virtual std::optional<Handle> createNewAt(Handle folder, const std::string& name,
                                              unsigned mode) = 0;
    // The entry itself; Missing when there is none.
    virtual FileInfo statusAt(Handle folder, const std::string& name) = 0;
    // Replaces `to` atomically when it exists.
    virtual void renameAt(Handle folder, const std::string& from, const std::string& to) = 0;
    // False, and nothing changed, when `to` exists.
    virtual bool renameNoReplaceAt(Handle folder, const std::string& from,
                                   const std::string& to) = 0;
    virtual void removeAt(Handle folder, const std::string& name) = 0;
    // A second name for an existing entry; Unsupported where the file system
    // or its policy does not allow hard links.
    virtual LinkResult linkAt(Handle folder, const std::string& existing,
                              const std::string& newName) = 0;
    // Makes the renames and removals in a folder durable.
    virtual void syncFolder(Handle folder) = 0;
    virtual std::vector<std::string> listFolder(Handle folder) = 0;

    // An exclusive advisory lock on an open file or folder, held until it is
    // closed; never waits.
    virtual LockResult tryLock(Handle file) = 0;

    // Scratch files named here are removed if the process is interrupted
    // (installInterruptCleanup) while they carry this identity.
    virtual void markScratch(Handle folder, const std::string& name, const FileInfo& info) = 0;
    virtual void unmarkScratch(Handle folder, const std::string& name) = 0;
    // Holds those interruptions back on this thread (true) or lets them in
    // again (false), so that none lands between making a scratch file and
    // marking it.
    virtual void holdInterruptions(bool hold) = 0;
};

// The file system of this platform.
FileSystem& defaultFileSystem();

}  // namespace grize
