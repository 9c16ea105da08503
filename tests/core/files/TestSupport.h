#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "NativeError.h"
#include "NativeFileSystem.h"
#include "TestFiles.h"
#include "TestPlatform.h"

namespace grize::test {

inline std::string allCodes(std::size_t length) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return s;
}

// Fails the n-th file-system call (counting from 1) with the error an errno
// value stands for (nativeError);
// every other call goes to the real file system. `before` sees each call
// first, so a test can change the folder at an exact step.
class FaultyFileSystem : public NativeFileSystem {
  public:
    int failAt = 0;
    int error = 0;
    bool hardLinks = true;
    int calls = 0;
    bool scratchStays = false;  // no scratch file can be removed (EACCES)
    std::string failedStep;     // "op name" of the failed call
    std::function<void(const std::string& op, const std::string& name)> before;

    FileHandle openRead(const std::string& p) override {
        step("openRead", p);
        return NativeFileSystem::openRead(p);
    }
    std::size_t read(const FileHandle& f, char* b, std::size_t n) override {
        step("read", "");
        return NativeFileSystem::read(f, b, n);
    }
    void write(const FileHandle& f, std::string_view d) override {
        step("write", "");
        NativeFileSystem::write(f, d);
    }
    void waitWriteback(const FileHandle& f, std::uint64_t from, std::uint64_t n) override {
        step("waitWriteback", "");
        NativeFileSystem::waitWriteback(f, from, n);
    }
    void sync(const FileHandle& f) override {
        step("sync", "");
        NativeFileSystem::sync(f);
    }
    void truncate(const FileHandle& f) override {
        step("truncate", "");
        NativeFileSystem::truncate(f);
    }
    bool refusesRemoval(const FileHandle& f) override {
        step("refusesRemoval", "");
        return NativeFileSystem::refusesRemoval(f);
    }
    void setMode(const FileHandle& f, unsigned m) override {
        step("setMode", "");
        NativeFileSystem::setMode(f, m);
    }
    void copyAccess(const FileHandle& from, const FileHandle& to) override {
        step("copyAccess", "");
        NativeFileSystem::copyAccess(from, to);
    }
    FileInfo info(const FileHandle& f) override {
        step("info", "");
        return NativeFileSystem::info(f);
    }
    FileInfo status(const std::string& p) override {
        step("status", p);
        return NativeFileSystem::status(p);
    }
    FileInfo linkStatus(const std::string& p) override {
        step("linkStatus", p);
        return NativeFileSystem::linkStatus(p);
    }
    FileHandle openFolder(const std::string& p) override {
        step("openFolder", p);
        return NativeFileSystem::openFolder(p);
    }
    FileHandle openReadAt(const FileHandle& d, const std::string& n) override {
        step("openReadAt", n);
        return NativeFileSystem::openReadAt(d, n);
    }
    FileHandle createNewAt(const FileHandle& d, const std::string& n, unsigned m) override {
        step("createNewAt", n);
        return NativeFileSystem::createNewAt(d, n, m);
    }
    FileInfo statusAt(const FileHandle& d, const std::string& n) override {
        step("statusAt", n);
        return NativeFileSystem::statusAt(d, n);
    }
    void renameAt(const FileHandle& d, const std::string& a, const std::string& b) override {
        step("renameAt", a);
        NativeFileSystem::renameAt(d, a, b);
    }
    bool renameNoReplaceAt(const FileHandle& d, const std::string& a,
                           const std::string& b) override {
        step("renameNoReplaceAt", a);
        return NativeFileSystem::renameNoReplaceAt(d, a, b);
    }
    void removeAt(const FileHandle& d, const std::string& n) override {
        step("removeAt", n);
        if (scratchStays && n.starts_with(".grize-")) {
            throw nativeError(EACCES);
        }
        NativeFileSystem::removeAt(d, n);
    }
    LinkResult linkAt(const FileHandle& d, const std::string& a, const std::string& b) override {
        step("linkAt", b);
        return hardLinks ? NativeFileSystem::linkAt(d, a, b) : LinkResult::Unsupported;
    }
    void syncFolder(const FileHandle& d) override {
        step("syncFolder", "");
        NativeFileSystem::syncFolder(d);
    }
    std::vector<std::string> listFolder(const FileHandle& d) override {
        step("listFolder", "");
        return NativeFileSystem::listFolder(d);
    }
    LockResult tryLock(FileHandle& f) override {
        step("tryLock", "");
        return NativeFileSystem::tryLock(f);
    }

  protected:
    void close(FileHandle::Native f) override {
        if (hit()) {
            NativeFileSystem::close(f);  // released even when reported as failed
            fail("close", "");
        }
        NativeFileSystem::close(f);
    }

  private:
    bool hit() { return ++calls == failAt; }
    [[noreturn]] void fail(const char* op, const std::string& p) {
        failedStep = std::string(op) + " " + p;
        throw nativeError(error);
    }
    void step(const char* op, const std::string& p) {
        if (before) {
            before(op, p);
        }
        if (hit()) {
            fail(op, p);
        }
    }
};

}  // namespace grize::test
