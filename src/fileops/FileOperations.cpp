#include "FileOperations.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <new>
#include <optional>
#include <random>

#include "Cipher.h"
#include "FileSystem.h"
#include "GriFormat.h"
#include "RuntimeError.h"

namespace grize {

namespace {

template <class F>
void quietly(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A fresh hidden name in `folder`, unlikely to be taken; callers still create
// it exclusively.
std::string scratchName(const std::string& folder, std::string_view suffix) {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t bits =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device rd;
        bits ^= (std::uint64_t{rd()} << 32) | rd();
    } catch (...) {
        // No entropy source: the clock and the counter still differ per call.
    }
    bits ^= counter++ << 48;
    static const char* digits = "0123456789abcdef";
    std::string name = folder + "/.grize-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name.push_back(digits[(bits >> shift) & 15]);
    }
    name.append(suffix);
    return name;
}

constexpr int kNameAttempts = 100;

// The source, open for reading until the output is ready.
class SourceFile {
  public:
    SourceFile(FileSystem& fs, const std::string& path) : fs_(fs), handle_(fs.openRead(path)) {
        try {
            info_ = fs_.info(*handle_);
        } catch (...) {
            close();
            throw;
        }
        if (info_.kind != FileKind::Regular) {
            close();
            throw err::accessError();  // a folder, FIFO or device is no file to work on
        }
    }
    ~SourceFile() { close(); }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    const FileInfo& info() const { return info_; }
    gri::ReadFn reader() {
        return [this](char* buffer, std::size_t size) { return fs_.read(*handle_, buffer, size); };
    }
    // Nothing was written through this handle, so a failing close loses nothing.
    void close() noexcept {
        if (handle_) {
            const FileSystem::Handle h = *handle_;
            handle_.reset();
            quietly([&] { fs_.close(h); });
        }
    }

  private:
    FileSystem& fs_;
    std::optional<FileSystem::Handle> handle_;
    FileInfo info_;
};

// The output of one run. It is written under a scratch name in the target's
// folder and only renamed into place once it is complete and on disk; the
// file the target name held before is kept under a second scratch name until
// the source is gone, so any failure can put everything back.
class SafeOutput {
  public:
    SafeOutput(FileSystem& fs, std::string source, const FileInfo& sourceInfo, std::string target)
        : fs_(fs),
          source_(std::move(source)),
          sourceInfo_(sourceInfo),
          target_(std::move(target)),
          folder_(folderOf(target_)) {
        if (target_.empty()) {
            throw err::badFileName();
        }
        const FileInfo old = fs_.linkStatus(target_);
        if (old.kind == FileKind::Directory || old.kind == FileKind::Other) {
            throw err::accessError();
        }
        targetExisted_ = old.kind != FileKind::Missing;
        targetIsSource_ = old.kind == FileKind::Regular && old.sameFileAs(sourceInfo_);
        for (int i = 0; i < kNameAttempts && !handle_; ++i) {
            temp_ = scratchName(folder_, ".tmp");
            handle_ = fs_.createNew(temp_, 0600);
        }
        if (!handle_) {
            throw err::accessError();
        }
    }

    ~SafeOutput() {
        if (!done_) {
            abandon();
        }
    }
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    void write(std::string_view data) { fs_.write(*handle_, data); }

    void commit() {
        fs_.setMode(*handle_, sourceInfo_.mode & 0777u);
        fs_.sync(*handle_);
        const FileInfo written = fs_.info(*handle_);
        const FileSystem::Handle h = *handle_;
        handle_.reset();
        fs_.close(h);

        if (targetExisted_) {
            keepOldTarget();
        }
        fs_.rename(temp_, target_);
        renamed_ = true;
        fs_.syncFolder(folder_);

        // The rename itself replaced the source when both names lead to the
        // same entry (the same path, or another spelling of it).
        const FileInfo sourceNow = fs_.linkStatus(source_);
        const bool sourceReplaced = sourceNow.sameFileAs(written);
        if (!sourceReplaced && sourceNow.kind != FileKind::Missing) {
            fs_.remove(source_);
        }
        done_ = true;

        // Succeeded; the rest only tidies up.
        if (backup_ != Backup::None) {
            quietly([&] { fs_.remove(backupPath_); });
        }
        quietly([&] { fs_.syncFolder(folderOf(source_)); });
        if (backup_ != Backup::None && folderOf(source_) != folder_) {
            quietly([&] { fs_.syncFolder(folder_); });
        }
    }

  private:
    // Linked and Copied leave the target in place, Moved takes it away.
    enum class Backup { None, Linked, Copied, Moved };

    void keepOldTarget() {
        for (int i = 0; i < kNameAttempts; ++i) {
            backupPath_ = scratchName(folder_, ".old");
            switch (fs_.link(target_, backupPath_)) {
                case LinkResult::Done:
                    backup_ = Backup::Linked;
                    return;
                case LinkResult::NameTaken:
                    continue;
                case LinkResult::Unsupported:
                    // Without hard links the old file steps aside instead,
                    // except the source itself: its name must never be left
                    // empty, so it is copied.
                    if (targetIsSource_) {
                        copyTarget();
                    } else {
                        fs_.rename(target_, backupPath_);
                        backup_ = Backup::Moved;
                    }
                    return;
            }
        }
        throw err::accessError();
    }

    // A durable copy of the target under backupPath_, with its permission bits.
    void copyTarget() {
        std::optional<FileSystem::Handle> copy = fs_.createNew(backupPath_, 0600);
        if (!copy) {
            throw err::accessError();
        }
        backup_ = Backup::Copied;
        const auto closeQuietly = [&](FileSystem::Handle h) { quietly([&] { fs_.close(h); }); };
        try {
            const FileSystem::Handle in = fs_.openRead(target_);
            try {
                std::string buffer(256 * 1024, '\0');
                while (const std::size_t n = fs_.read(in, buffer.data(), buffer.size())) {
                    fs_.write(*copy, std::string_view(buffer.data(), n));
                }
            } catch (...) {
                closeQuietly(in);
                throw;
            }
            closeQuietly(in);
            fs_.setMode(*copy, sourceInfo_.mode & 07777u);
            fs_.sync(*copy);
        } catch (...) {
            closeQuietly(*copy);
            throw;
        }
        fs_.close(*copy);
    }

    void abandon() noexcept {
        if (handle_) {
            const FileSystem::Handle h = *handle_;
            handle_.reset();
            quietly([&] { fs_.close(h); });
        }
        if (!renamed_) {
            if (backup_ == Backup::Linked || backup_ == Backup::Copied) {
                quietly([&] { fs_.remove(backupPath_); });
            } else if (backup_ == Backup::Moved) {
                quietly([&] { fs_.rename(backupPath_, target_); });
            }
            quietly([&] { fs_.remove(temp_); });
        } else if (backup_ != Backup::None) {
            quietly([&] { fs_.rename(backupPath_, target_); });
        } else if (!targetExisted_) {
            quietly([&] { fs_.remove(target_); });
        }
        quietly([&] { fs_.syncFolder(folder_); });
    }

    FileSystem& fs_;
    std::string source_;
    FileInfo sourceInfo_;
    std::string target_;
    std::string folder_;
    std::string temp_;
    std::string backupPath_;
    std::optional<FileSystem::Handle> handle_;
    Backup backup_ = Backup::None;
    bool targetExisted_ = false;
    bool targetIsSource_ = false;
    bool renamed_ = false;
    bool done_ = false;
};

template <class F>
auto withMemoryError(F&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        throw err::outOfMemory();
    }
}

}  // namespace

std::string encryptFile(const std::string& source, std::string_view password,
                        std::string_view saltSeedText, const OutputPathProvider& outputPath,
                        FileSystem& fs) {
    return withMemoryError([&] {
        SourceFile input(fs, source);
        const std::string header = gri::makeHeader(saltSeedText, password);
        const std::string target = outputPath();
        SafeOutput output(fs, source, input.info(), target);
        gri::encrypt(header, input.reader(), [&](std::string_view data) { output.write(data); });
        input.close();
        output.commit();
        return target;
    });
}

std::string encryptFile(const std::string& source, std::string_view password,
                        std::string_view saltSeedText, const OutputPathProvider& outputPath) {
    return encryptFile(source, password, saltSeedText, outputPath, defaultFileSystem());
}

bool passwordMatches(const std::string& source, std::string_view password, FileSystem& fs) {
    return withMemoryError([&] {
        SourceFile input(fs, source);
        gri::Input in(input.reader(), 4096);
        const gri::Input::HeaderLine header = in.readHeaderLine(gri::kHeaderLength);
        input.close();
        return gri::headerAccepts(header.text, password);
    });
}

bool passwordMatches(const std::string& source, std::string_view password) {
    return passwordMatches(source, password, defaultFileSystem());
}

DecryptOutcome decryptFile(const std::string& source, std::string_view password,
                           const OutputPathProvider& outputPath, FileSystem& fs,
                           std::string* writtenPath) {
    return withMemoryError([&] {
        SourceFile input(fs, source);
        gri::Input in(input.reader());
        // Acceptance depends on the first 24 characters only; beyond the key
        // limit the line is not kept, since keying with it must fail anyway.
        const gri::Input::HeaderLine header = in.readHeaderLine(Cipher::kMaxKeyLength);
        if (!gri::headerAccepts(header.text, password)) {
            return DecryptOutcome::WrongPassword;
        }
        if (header.longer) {
            throw err::overflow();
        }
        const std::string target = outputPath();
        SafeOutput output(fs, source, input.info(), target);
        gri::decryptBody(header.text, in, [&](std::string_view data) { output.write(data); });
        input.close();
        output.commit();
        if (writtenPath) {
            *writtenPath = target;
        }
        return DecryptOutcome::Done;
    });
}

DecryptOutcome decryptFile(const std::string& source, std::string_view password,
                           const OutputPathProvider& outputPath, std::string* writtenPath) {
    return decryptFile(source, password, outputPath, defaultFileSystem(), writtenPath);
}

}  // namespace grize
