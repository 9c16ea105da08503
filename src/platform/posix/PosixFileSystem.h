#pragma once

#include "platform/FileSystem.h"

namespace grize {

// The run-time error for an operating-system error number, with the step
// and the name it failed on; `folder` is the descriptor `name` is relative
// to (AT_FDCWD for a path), asked for the longest name it allows.
RuntimeError errorFromErrno(int error, Step step, const std::string& name, int folder);

class PosixFileSystem : public FileSystem {
  public:
    FileHandle openRead(const std::string& path) override;
    std::size_t read(const FileHandle& file, char* buffer, std::size_t size) override;
    void write(const FileHandle& file, std::string_view data) override;
    void reserve(const FileHandle& file, std::uint64_t size) override;
    void startWriteback(const FileHandle& file, std::uint64_t offset,
                        std::uint64_t length) override;
    void waitWriteback(const FileHandle& file, std::uint64_t offset, std::uint64_t length) override;
    void sync(const FileHandle& file) override;
    void truncate(const FileHandle& file) override;
    void setMode(const FileHandle& file, unsigned mode) override;
    void copyAccess(const FileHandle& from, const FileHandle& to) override;
    FileInfo info(const FileHandle& file) override;

    FileInfo status(const std::string& path) override;
    FileInfo linkStatus(const std::string& path) override;

    FileHandle openFolder(const std::string& path) override;
    FileHandle openReadAt(const FileHandle& folder, const std::string& name) override;
    FileHandle createNewAt(const FileHandle& folder, const std::string& name,
                           unsigned mode) override;
    FileInfo statusAt(const FileHandle& folder, const std::string& name) override;
    void renameAt(const FileHandle& folder, const std::string& from,
                  const std::string& to) override;
    bool renameNoReplaceAt(const FileHandle& folder, const std::string& from,
                           const std::string& to) override;
    void removeAt(const FileHandle& folder, const std::string& name) override;
    LinkResult linkAt(const FileHandle& folder, const std::string& existing,
                      const std::string& newName) override;
    bool refusesRemoval(const FileHandle& fileOrFolder) override;
    bool copiesUp(const FileHandle& folder) override;
    void syncFolder(const FileHandle& folder) override;
    std::vector<std::string> listFolder(const FileHandle& folder) override;
    LockResult tryLock(FileHandle& file) override;

  protected:
    void close(FileHandle::Native file) override;
};

}  // namespace grize
