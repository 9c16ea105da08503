#pragma once

#include "FileSystem.h"

namespace grize {

class PosixFileSystem : public FileSystem {
  public:
    Handle openRead(const std::string& path) override;
    std::optional<Handle> createNew(const std::string& path, unsigned mode) override;
    std::size_t read(Handle file, char* buffer, std::size_t size) override;
    void write(Handle file, std::string_view data) override;
    void sync(Handle file) override;
    void setMode(Handle file, unsigned mode) override;
    FileInfo info(Handle file) override;
    void close(Handle file) override;

    FileInfo status(const std::string& path) override;
    FileInfo linkStatus(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void remove(const std::string& path) override;
    LinkResult link(const std::string& existing, const std::string& newPath) override;
    void syncFolder(const std::string& folder) override;
};

}  // namespace grize
