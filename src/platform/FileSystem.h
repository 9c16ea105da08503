#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors/Quietly.h"
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
    std::uint64_t owner = 0;       // the owner's user id; 0 on Windows
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

class FileSystem;

// An open file or folder, owned: the file system that opened it closes it
// when the handle goes. A close that fails there is dropped, so close() it
// where a failure matters, as after writing.
class FileHandle {
  public:
    // A descriptor on POSIX, a HANDLE on Windows.
    using Native = std::intptr_t;

    FileHandle() = default;
    FileHandle(FileSystem& owner, Native native) : owner_(&owner), native_(native) {}
    FileHandle(FileHandle&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)), native_(other.native_) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            owner_ = std::exchange(other.owner_, nullptr);
            native_ = other.native_;
        }
        return *this;
    }
    ~FileHandle() { reset(); }

    explicit operator bool() const { return owner_ != nullptr; }
    Native get() const { return native_; }

    // Closes now and throws what the system reports; the handle is released
    // either way.
    inline void close();
    // Closes now, dropping any failure: nothing was written through it, or
    // an earlier error is already on its way.
    void reset() noexcept {
        quietly([&] { close(); });
    }

  private:
    FileSystem* owner_ = nullptr;
    Native native_ = -1;
};

// The one place the core meets the file system. Every failure is thrown as
// RuntimeError with the number the error report shows (75 for a refused
// access, which the window answers with its own box); each platform has its
// own implementation.
//
// The file operations work inside one folder opened once: the *At calls take
// names relative to that folder's handle and never follow a symbolic link at
// the name, so renaming or swapping a folder on the path cannot redirect them.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Opens an existing file for reading. Never blocks on a FIFO.
    virtual FileHandle openRead(const std::string& path) = 0;
    // Reads up to `size` bytes; 0 only at the end of the file.
    virtual std::size_t read(const FileHandle& file, char* buffer, std::size_t size) = 0;
    // Writes all of `data`.
    virtual void write(const FileHandle& file, std::string_view data) = 0;
    // Asks for room for `size` bytes of a file about to be written, without
    // changing its size or content; a hint that does nothing where the file
    // system cannot reserve space.
    virtual void reserve(const FileHandle& file, std::uint64_t size) = 0;
    // Starts writing `length` bytes of the file from `offset` to the device
    // and returns without waiting for them; sync still waits for it all. A
    // hint that does nothing where the system has no such call.
    virtual void startWriteback(const FileHandle& file, std::uint64_t offset,
                                std::uint64_t length) = 0;
    // Waits until `length` bytes of the file from `offset`, whose writing
    // startWriteback started, are on the device. Nothing where the system
    // has no such call: sync waits for them then.
    virtual void waitWriteback(const FileHandle& file, std::uint64_t offset,
                               std::uint64_t length) = 0;
    // Flushes the file's data and metadata to the device.
    virtual void sync(const FileHandle& file) = 0;
    // Cuts a file open for writing to nothing.
    virtual void truncate(const FileHandle& file) = 0;
    // Nothing where the file system keeps no permission bits (FAT through FUSE).
    virtual void setMode(const FileHandle& file, unsigned mode) = 0;
    // Gives `to` who may use `from` and how: the owner and the group where
    // this process may set them, the permission bits (0777), the POSIX access
    // list and the `user.*` extended attributes; on Windows the owner, group
    // and access list, and the attribute bits that suit a new file. A step
    // the file system or the process cannot do is left out; other failures
    // throw.
    virtual void copyAccess(const FileHandle& from, const FileHandle& to) = 0;
    virtual FileInfo info(const FileHandle& file) = 0;

    // Missing when nothing is at the path; throws for other failures.
    virtual FileInfo status(const std::string& path) = 0;      // follows symbolic links
    virtual FileInfo linkStatus(const std::string& path) = 0;  // the path itself

    // A folder, for the *At calls, syncFolder, listFolder and tryLock.
    virtual FileHandle openFolder(const std::string& path) = 0;
    // Like openRead, but the name must not be a symbolic link.
    virtual FileHandle openReadAt(const FileHandle& folder, const std::string& name) = 0;
    // Creates a file that must not exist yet, for writing; an empty handle
    // when the name is taken.
    virtual FileHandle createNewAt(const FileHandle& folder, const std::string& name,
                                   unsigned mode) = 0;
    // The entry itself; Missing when there is none.
    virtual FileInfo statusAt(const FileHandle& folder, const std::string& name) = 0;
    // Replaces `to` atomically when it exists.
    virtual void renameAt(const FileHandle& folder, const std::string& from,
                          const std::string& to) = 0;
    // False, and nothing changed, when `to` exists.
    virtual bool renameNoReplaceAt(const FileHandle& folder, const std::string& from,
                                   const std::string& to) = 0;
    virtual void removeAt(const FileHandle& folder, const std::string& name) = 0;
    // A second name for an existing entry; Unsupported where the file system
    // or its policy does not allow hard links.
    virtual LinkResult linkAt(const FileHandle& folder, const std::string& existing,
                              const std::string& newName) = 0;
    // Whether the open file, or a folder's entries, may be neither renamed
    // nor removed (append-only or immutable). False where the file system
    // does not say.
    virtual bool refusesRemoval(const FileHandle& fileOrFolder) = 0;
    // Whether the folder is on a union file system (overlayfs), where a file
    // of a lower layer is copied up, under a new identity, when it is first
    // linked or changed.
    virtual bool copiesUp(const FileHandle& folder) = 0;
    // Makes the renames and removals in a folder durable.
    virtual void syncFolder(const FileHandle& folder) = 0;
    virtual std::vector<std::string> listFolder(const FileHandle& folder) = 0;

    // An exclusive advisory lock on an open file or folder, held until it is
    // closed; never waits. The handle may be replaced by one to the same
    // file that holds the lock.
    virtual LockResult tryLock(FileHandle& file) = 0;

  protected:
    // Releases the native handle even when it throws. A folder's lock goes
    // with it.
    virtual void close(FileHandle::Native file) = 0;
    friend class FileHandle;
};

void FileHandle::close() {
    if (owner_ != nullptr) {
        std::exchange(owner_, nullptr)->close(native_);
    }
}

// The file system of this platform.
FileSystem& defaultFileSystem();

}  // namespace grize
