#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace grize {

// The run-time error for a Windows error code (GetLastError).
RuntimeError errorFromWin32(unsigned long error);

// UTF-8 to UTF-16 and back; invalid UTF-8 is a bad file name (error 52).
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

// Files by CreateFileW on UTF-8 paths. A folder handle keeps its path and is
// opened without delete sharing, so the folder cannot be renamed or removed
// while it is in use; the *At calls go through that path.
class WindowsFileSystem : public FileSystem {
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

    // WindowsInterrupts.cpp
    void markScratch(Handle folder, const std::string& name, const FileInfo& info) override;
    void unmarkScratch(Handle folder, const std::string& name) override;
    void holdInterruptions(bool hold) override;

    // The path a folder handle was opened with, for joining names to.
    std::wstring folderPath(Handle folder);
};

}  // namespace grize
