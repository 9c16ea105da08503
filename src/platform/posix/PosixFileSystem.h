#pragma once

#include "platform/FileSystem.h"

namespace grize {

// The run-time error for an operating-system error number.
RuntimeError errorFromErrno(int error);

class PosixFileSystem : public FileSystem {
  public:
    Handle openRead(const std::string& path) override;
    std::size_t read(Handle file, char* buffer, std::size_t size) override;
    void write(Handle file, std::string_view data) override;
    void reserve(Handle file, std::uint64_t size) override;
    void startWriteback(Handle file, std::uint64_t offset, std::uint64_t length) override;
    void sync(Handle file) override;
    void setMode(Handle file, unsigned mode) override;
    void copyAccess(Handle from, Handle to) override;
    FileInfo info(Handle file) override;
    void close(Handle file) override;

    FileInfo status(const std::string& path) override;
    FileInfo linkStatus(const std::string& path) override;

    Handle openFolder(const std::string& path) override;
    Handle openReadAt(Handle folder, const std::string& name) override;
    std::optional<Handle> createNewAt(Handle folder, const std::string& name,
                                      unsigned mode) override;
    FileInfo statusAt(Handle folder, const std::string& name) override;
    void renameAt(Handle folder, const std::string& from, const std::string& to) override;
    bool renameNoReplaceAt(Handle folder, const std::string& from, const std::string& to) override;
    void removeAt(Handle folder, const std::string& name) override;
    LinkResult linkAt(Handle folder, const std::string& existing,
                      const std::string& newName) override;
    void syncFolder(Handle folder) override;
    std::vector<std::string> listFolder(Handle folder) override;
    LockResult tryLock(Handle file) override;

    // PosixInterrupts.cpp
    void markScratch(Handle folder, const std::string& name, const FileInfo& info) override;
    void unmarkScratch(Handle folder, const std::string& name) override;
    void holdInterruptions(bool hold) override;
};

}  // namespace grize
