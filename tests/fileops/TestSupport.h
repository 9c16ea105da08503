#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "PosixFileSystem.h"
#include "TestFiles.h"

namespace grize::test {

inline unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777u) : 0;
}

inline std::string allCodes(std::size_t length) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return s;
}

// Fails the n-th file-system call (counting from 1) with one errno value;
// every other call goes to the real file system.
class FaultyFileSystem : public PosixFileSystem {
  public:
    int failAt = 0;
    int error = 0;
    bool hardLinks = true;
    int calls = 0;
    std::string failedStep;  // "op path" of the failed call

    Handle openRead(const std::string& p) override {
        step("openRead", p);
        return PosixFileSystem::openRead(p);
    }
    std::optional<Handle> createNew(const std::string& p, unsigned m) override {
        step("createNew", p);
        return PosixFileSystem::createNew(p, m);
    }
    std::size_t read(Handle f, char* b, std::size_t n) override {
        step("read", "");
        return PosixFileSystem::read(f, b, n);
    }
    void write(Handle f, std::string_view d) override {
        step("write", "");
        PosixFileSystem::write(f, d);
    }
    void sync(Handle f) override {
        step("sync", "");
        PosixFileSystem::sync(f);
    }
    void setMode(Handle f, unsigned m) override {
        step("setMode", "");
        PosixFileSystem::setMode(f, m);
    }
    FileInfo info(Handle f) override {
        step("info", "");
        return PosixFileSystem::info(f);
    }
    void close(Handle f) override {
        if (hit()) {
            PosixFileSystem::close(f);  // released even when reported as failed
            fail("close", "");
        }
        PosixFileSystem::close(f);
    }
    FileInfo status(const std::string& p) override {
        step("status", p);
        return PosixFileSystem::status(p);
    }
    FileInfo linkStatus(const std::string& p) override {
        step("linkStatus", p);
        return PosixFileSystem::linkStatus(p);
    }
    void rename(const std::string& a, const std::string& b) override {
        step("rename", a);
        PosixFileSystem::rename(a, b);
    }
    void remove(const std::string& p) override {
        step("remove", p);
        PosixFileSystem::remove(p);
    }
    LinkResult link(const std::string& a, const std::string& b) override {
        step("link", b);
        return hardLinks ? PosixFileSystem::link(a, b) : LinkResult::Unsupported;
    }
    void syncFolder(const std::string& p) override {
        step("syncFolder", p);
        PosixFileSystem::syncFolder(p);
    }

  private:
    bool hit() { return ++calls == failAt; }
    [[noreturn]] void fail(const char* op, const std::string& p) {
        failedStep = std::string(op) + " " + p;
        throw errorFromErrno(error);
    }
    void step(const char* op, const std::string& p) {
        if (hit()) {
            fail(op, p);
        }
    }
};

}  // namespace grize::test
