#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "NativeError.h"
#include "NativeFileSystem.h"
#include "errors/RuntimeError.h"

namespace grize::test {

// The real file system, except that a chosen call fails the way the
// operating system would make it fail. A call is named as FileSystem names
// it: "read", "renameNoReplaceAt".
class FaultyFileSystem : public NativeFileSystem {
  public:
    // Fails the n-th call (counting from 1, close included; 0 for none) with
    // the error an errno value stands for (nativeError).
    int failAt = 0;
    int error = 0;
    int calls = 0;
    std::string failedStep;  // "op name" of the call failed at failAt
    bool hardLinks = true;
    bool scratchStays = false;  // no scratch file can be removed (EACCES)
    // Sees each call first, on the thread that makes it: a test may change
    // the folder at an exact step, or hold the run there to look at it.
    std::function<void(const std::string& op, const std::string& name)> before;

    // Fails every call to one of `ops` with `failure`.
    void failOn(std::set<std::string> ops, RuntimeError failure) {
        failOn_ = std::move(ops);
        failure_ = std::move(failure);
    }

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
        if (failOn_.contains(op)) {
            throw failure_;
        }
    }

    std::set<std::string> failOn_;
    RuntimeError failure_{ErrorKind::DeviceIo};
};

}  // namespace grize::test
