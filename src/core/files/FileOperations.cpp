#include "core/files/FileOperations.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <random>
#include <thread>

#include "core/format/AgeErrors.h"
#include "core/format/GriDecoder.h"
#include "core/format/GriEncoder.h"
#include "core/format/GriFormat.h"
#include "core/format/age/AgeDecoder.h"
#include "core/format/age/AgeEncoder.h"
#include "core/job/PathHelpers.h"
#include "errors/Quietly.h"
#include "errors/RuntimeError.h"
#include "platform/Interrupts.h"
#include "platform/PathRules.h"

namespace grize {

namespace {

// A name a file can have inside a folder.
PathParts fileInFolder(const std::string& path) {
    PathParts split = splitPath(path);
    if (split.name.empty() || split.name == "." || split.name == "..") {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    return split;
}

constexpr std::string_view kScratchPrefix = ".grize-";
constexpr std::size_t kScratchDigits = 16;
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::string_view kBackupSuffix = ".old";

// A fresh hidden name, unlikely to be taken; callers still create it
// exclusively.
std::string scratchName(std::string_view suffix) {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t bits =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device rd;
        bits ^= (std::uint64_t{rd()} << 32) | rd();
    } catch (const std::exception&) {
        // No entropy source: the clock and the counter still differ per call.
    }
    bits ^= counter++ << 48;
    static const char* digits = "0123456789abcdef";
    std::string name(kScratchPrefix);
    for (int shift = 60; shift >= 0; shift -= 4) {
        name.push_back(digits[(bits >> shift) & 15]);
    }
    name.append(suffix);
    return name;
}

bool isScratchName(std::string_view name) {
    if (name.size() != kScratchPrefix.size() + kScratchDigits + kTempSuffix.size() ||
        name.substr(0, kScratchPrefix.size()) != kScratchPrefix) {
        return false;
    }
    const std::string_view suffix = name.substr(name.size() - kTempSuffix.size());
    const std::string_view digits = name.substr(kScratchPrefix.size(), kScratchDigits);
    return (suffix == kTempSuffix || suffix == kBackupSuffix) &&
           digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

constexpr int kNameAttempts = 100;
// Output written between two starts of the device's writes: 4 MiB finished
// 16 MiB files sooner than 8 or 16, and 256 MiB files as soon.
constexpr std::uint64_t kWritebackStep = 4u << 20;

void stopIfCancelled(const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        throw RuntimeError(ErrorKind::Cancelled);
    }
}

// The folder of one run, opened once. Holding its lock keeps other Grize runs
// out of it for the whole run, so they cannot remove each other's files.
class Folder {
  public:
    // `shownPrefix` and a name make the path the user knows a file of the
    // folder by; `leftover` gets the first scratch file that stays.
    Folder(FileSystem& fs, const std::string& path, std::string shownPrefix,
           std::chrono::milliseconds wait, std::string& leftover)
        : fs_(fs),
          handle_(fs.openFolder(path)),
          shownPrefix_(std::move(shownPrefix)),
          leftover_(leftover) {
        lock(wait);
        if (locked_) {
            removeAbandonedScratch();
        }
    }

    const FileHandle& handle() const { return handle_; }

    // Whether `path` names this very folder, however it is spelt.
    bool holds(const std::string& path, const std::string& ownPath) {
        if (path == ownPath) {
            return true;
        }
        const FileHandle other = fs_.openFolder(path);
        return fs_.info(other).sameFileAs(fs_.info(handle_));
    }

    // Removes a scratch file of this run, only while it is the file made.
    // One that stays is emptied through `open`, the run's own handle to it,
    // which is closed only after the removal was tried, and is reported.
    void removeScratch(const std::string& name, const FileInfo& made,
                       FileHandle* open = nullptr) noexcept {
        bool removed = false;
        quietly([&] {
            if (fs_.statusAt(handle_, name).sameFileAs(made)) {
                fs_.removeAt(handle_, name);
            }
            removed = true;
        });
        if (!removed && open != nullptr && *open) {
            quietly([&] {
                fs_.truncate(*open);
                // Only an emptied file is reported: the text says it holds nothing.
                if (leftover_.empty()) {
                    leftover_ = shownPrefix_ + name;
                }
            });
        }
        if (open != nullptr) {
            open->reset();
        }
        quietly([&] { interrupts::unmarkScratch(handle_, name); });
    }

  private:
    void lock(std::chrono::milliseconds wait) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            switch (fs_.tryLock(handle_)) {
                case LockResult::Locked:
                    locked_ = true;
                    return;
                case LockResult::Unsupported:
                    return;  // no locks here: the identity checks still hold
                case LockResult::Busy:
                    if (std::chrono::steady_clock::now() >= deadline) {
                        throw RuntimeError(ErrorKind::FolderBusy);
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    break;
            }
        }
    }

    // Scratch files no live run holds are left over from a crash: output that
    // never got its name, or a second name of a file already replaced. Nobody
    // needs them, and one may hold plaintext.
    void removeAbandonedScratch() noexcept {
        std::vector<std::string> names;
        quietly([&] { names = fs_.listFolder(handle_); });
        for (const std::string& name : names) {
            if (isScratchName(name)) {
                quietly([&] { removeIfAbandoned(name); });
            }
        }
    }

    void removeIfAbandoned(const std::string& name) {
        const FileInfo entry = fs_.statusAt(handle_, name);
        if (entry.kind != FileKind::Regular || !entry.ownedByMe) {
            return;
        }
        FileHandle file = fs_.openReadAt(handle_, name);
        if (fs_.tryLock(file) == LockResult::Locked &&
            fs_.info(file).sameFileAs(fs_.statusAt(handle_, name))) {
            fs_.removeAt(handle_, name);
        }
    }

    FileSystem& fs_;
    FileHandle handle_;
    std::string shownPrefix_;
    std::string& leftover_;
    bool locked_ = false;
};

// The source, open for reading until the output is ready.
class SourceFile {
  public:
    SourceFile(FileSystem& fs, Folder& folder, const std::string& name, const RunOptions& options)
        : fs_(fs),
          handle_(fs.openReadAt(folder.handle(), name)),
          progress_(options.progress),
          cancel_(options.cancel),
          info_(fs_.info(handle_)) {
        if (info_.kind != FileKind::Regular) {
            throw RuntimeError(
                ErrorKind::Access);  // a folder, FIFO or device is no file to work on
        }
    }

    const FileInfo& info() const { return info_; }
    const FileHandle& handle() const { return handle_; }
    const std::atomic<bool>* cancel() const { return cancel_; }
    gri::ReadFn reader() {
        return [this](char* buffer, std::size_t size) {
            stopIfCancelled(cancel_);
            const std::size_t n = fs_.read(handle_, buffer, size);
            bytesRead_ += n;
            if (progress_) {
                progress_(bytesRead_, info_.size);
            }
            return n;
        };
    }
    // After reading to the end: what was read is the whole file as it was
    // when opened, and nobody has written to it since.
    void checkUnchanged() {
        if (bytesRead_ != info_.size || !fs_.info(handle_).unchangedSince(info_)) {
            throw RuntimeError(ErrorKind::SourceChanged);
        }
    }
    // Nothing was written through this handle, so a failing close loses nothing.
    void close() noexcept { handle_.reset(); }

  private:
    FileSystem& fs_;
    FileHandle handle_;
    ProgressFn progress_;
    const std::atomic<bool>* cancel_;
    FileInfo info_;
    std::uint64_t bytesRead_ = 0;
};

// The output of one run. It is written under a scratch name in the folder and
// only renamed into place once it is complete and on disk. A file the output
// replaces keeps a second name (a hard link, or a copy where there are none)
// until the run stands, so any failure can put it back; nothing is ever moved
// away from its name before the output takes it.
class SafeOutput {
  public:
    SafeOutput(FileSystem& fs, Folder& folder, const SourceFile& source, std::string targetName,
               const std::optional<FileInfo>& agreed)
        : fs_(fs),
          folder_(folder),
          source_(source),
          sourceInfo_(source.info()),
          targetName_(std::move(targetName)),
          cancel_(source.cancel()) {
        // A folder that refuses the final rename, or a source that refuses
        // its removal, would only say so once the whole output was written.
        if (fs_.refusesRemoval(folder_.handle())) {
            throw RuntimeError(ErrorKind::FolderRefuses);
        }
        if (fs_.refusesRemoval(source.handle())) {
            throw RuntimeError(ErrorKind::Access);  // what its removal would report
        }
        const FileInfo existing = fs_.statusAt(folder_.handle(), targetName_);
        switch (existing.kind) {
            case FileKind::Missing:
                return;
            case FileKind::Directory:
            case FileKind::Other:
                throw RuntimeError(ErrorKind::Access);
            case FileKind::Regular:
            case FileKind::Symlink:
                break;
        }
        replaced_ = existing;
        if (existing.sameFileAs(sourceInfo_)) {
            return;  // the source itself, under this name or another
        }
        if (existing.kind == FileKind::Regular && (existing.mode & 0200u) == 0) {
            throw RuntimeError(ErrorKind::OutputReadOnly);  // never replaced, root or not
        }
        if (!agreed || !agreed->sameFileAs(existing)) {
            throw RuntimeError(ErrorKind::FileExists);
        }
    }

    ~SafeOutput() {
        if (!done_) {
            abandon();
        }
    }
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    void create() {
        // While the scratch file is made and marked for the interrupt clean-up.
        const interrupts::Hold held;
        for (int i = 0; i < kNameAttempts && !handle_; ++i) {
            tempName_ = scratchName(kTempSuffix);
            handle_ = fs_.createNewAt(folder_.handle(), tempName_, 0600);
        }
        if (!handle_) {
            throw RuntimeError(ErrorKind::Access);
        }
        tempInfo_ = identify(&handle_, tempName_);
        interrupts::markScratch(folder_.handle(), tempName_, tempInfo_);
        quietly([&] { fs_.tryLock(handle_); });
    }

    void reserve(std::uint64_t size) { fs_.reserve(handle_, size); }
    void write(std::string_view data) {
        fs_.write(handle_, data);
        bytesOut_ += data.size();
        if (bytesOut_ - writebackFrom_ >= kWritebackStep) {
            writeBack();
        }
    }

    // Flushes the output and gives it the target's name; `lastCheck` runs
    // once the output is on disk, right before anything else changes. A
    // cancel counts until the rename, and never after it.
    void place(const std::function<void()>& lastCheck) {
        writeBack();
        if (bytesOut_ > waitedTo_) {
            fs_.waitWriteback(handle_, waitedTo_, bytesOut_ - waitedTo_);
        }
        stopIfCancelled(cancel_);
        // Only the complete output gets the source's access: until then it
        // is its owner's alone.
        fs_.copyAccess(source_.handle(), handle_);
        fs_.sync(handle_);
        stopIfCancelled(cancel_);
        lastCheck();

        const FileHandle& folder = folder_.handle();
        if (replaced_.kind == FileKind::Missing) {
            stopIfCancelled(cancel_);
            if (!fs_.renameNoReplaceAt(folder, tempName_, targetName_)) {
                throw RuntimeError(ErrorKind::FileExists);  // it appeared during the run
            }
        } else {
            keepReplaced();
            if (!isReplaced(fs_.statusAt(folder, targetName_))) {
                throw RuntimeError(ErrorKind::FileExists);  // not the file that was agreed to
            }
            // Windows replaces no file that is open, and a second name is the
            // same file.
            releaseBackup();
            stopIfCancelled(cancel_);
            fs_.renameAt(folder, tempName_, targetName_);
        }
        renamed_ = true;
        interrupts::unmarkScratch(folder, tempName_);
        // Open until now, so that a scratch file left by a failure can still
        // be emptied.
        handle_.close();
        fs_.syncFolder(folder);
    }

    // The run stands: the second name of the replaced file goes.
    void finish() noexcept {
        done_ = true;
        dropBackup();
        quietly([&] { fs_.syncFolder(folder_.handle()); });
    }

    const FileInfo& written() const { return tempInfo_; }
    const std::string& name() const { return targetName_; }
    // The output took the place of the source, under this name or another.
    bool replacedSource() const { return replaced_.sameFileAs(sourceInfo_); }

  private:
    // The device gets each few MiB as they come rather than the whole file
    // at the final flush: one step on its way while the one before it is
    // waited for, so that a slow device cannot hold a cancel back for long.
    void writeBack() {
        if (bytesOut_ > writebackFrom_) {
            fs_.startWriteback(handle_, writebackFrom_, bytesOut_ - writebackFrom_);
        }
        if (writebackFrom_ > waitedTo_) {
            fs_.waitWriteback(handle_, waitedTo_, writebackFrom_ - waitedTo_);
            waitedTo_ = writebackFrom_;
        }
        writebackFrom_ = bytesOut_;
        stopIfCancelled(cancel_);
    }

    // The file at the target's name is still the one agreed to replace.
    bool isReplaced(const FileInfo& now) const {
        return now.sameFileAs(replaced_) || (copiedUp_ && now.sameFileAs(*copiedUp_));
    }

    // On a union file system the first link to a file of a lower layer
    // copies it up under a new identity; the copy keeps its size, time, mode
    // and owner, which a file swapped in meanwhile would not. Then the name
    // and the new link must be one file that still has them.
    bool copiedUp(const FileInfo& link) {
        const FileInfo now = fs_.statusAt(folder_.handle(), targetName_);
        const auto kept = [&](const FileInfo& file) {
            return file.kind == replaced_.kind && file.size == replaced_.size &&
                   file.modifiedNs == replaced_.modifiedNs && file.mode == replaced_.mode &&
                   file.owner == replaced_.owner && file.links == link.links && file.links > 1;
        };
        // The name may still show the identity it had until its entry is
        // looked up afresh.
        if ((!now.sameFileAs(link) && !now.sameFileAs(replaced_)) || !kept(now) || !kept(link) ||
            !fs_.copiesUp(folder_.handle())) {
            return false;
        }
        copiedUp_ = link;
        return true;
    }

    void keepReplaced() {
        const interrupts::Hold held;
        const FileHandle& folder = folder_.handle();
        for (int i = 0; i < kNameAttempts && !backupInfo_; ++i) {
            backupName_ = scratchName(kBackupSuffix);
            switch (fs_.linkAt(folder, targetName_, backupName_)) {
                case LinkResult::Done:
                    backupInfo_ = identify(nullptr, backupName_);
                    interrupts::markScratch(folder, backupName_, *backupInfo_);
                    if (!backupInfo_->sameFileAs(replaced_) && !copiedUp(*backupInfo_)) {
                        throw RuntimeError(ErrorKind::FileExists);
                    }
                    quietly([&] { lockBackup(fs_.openReadAt(folder, backupName_)); });
                    break;
                case LinkResult::NameTaken:
                    break;
                case LinkResult::Unsupported:
                    copyReplaced();
                    break;
            }
        }
        if (!backupInfo_) {
            throw RuntimeError(ErrorKind::Access);
        }
    }

    // What a scratch file just made under `name` is; when even that cannot
    // be told, the name is removed at once: nobody else made it.
    FileInfo identify(const FileHandle* file, const std::string& name) {
        try {
            return file ? fs_.info(*file) : fs_.statusAt(folder_.handle(), name);
        } catch (...) {
            quietly([&] { fs_.removeAt(folder_.handle(), name); });
            throw;
        }
    }

    void lockBackup(FileHandle file) {
        backupHandle_ = std::move(file);
        quietly([&] { fs_.tryLock(backupHandle_); });
    }

    // A durable copy of the replaced file, with its permission bits.
    void copyReplaced() {
        const FileHandle& folder = folder_.handle();
        if (replaced_.kind != FileKind::Regular) {
            throw RuntimeError(ErrorKind::Access);
        }
        FileHandle made = fs_.createNewAt(folder, backupName_, 0600);
        if (!made) {
            return;  // name taken: the caller tries another
        }
        lockBackup(std::move(made));
        backupIsCopy_ = true;
        const FileHandle& copy = backupHandle_;
        backupInfo_ = identify(&copy, backupName_);
        interrupts::markScratch(folder, backupName_, *backupInfo_);
        {
            const FileHandle in = fs_.openReadAt(folder, targetName_);
            if (!fs_.info(in).sameFileAs(replaced_)) {
                throw RuntimeError(ErrorKind::FileExists);
            }
            std::string buffer(256 * 1024, '\0');
            while (const std::size_t n = fs_.read(in, buffer.data(), buffer.size())) {
                fs_.write(copy, std::string_view(buffer.data(), n));
            }
        }
        fs_.setMode(copy, replaced_.mode & 07777u);
        fs_.sync(copy);
    }

    // A copy's handle stays open for emptying it; a second name is the
    // replaced file itself, which Windows would not replace while open.
    void releaseBackup() noexcept {
        if (!backupIsCopy_) {
            backupHandle_.reset();
        }
    }

    // A copy that cannot be removed is emptied when `mayEmpty`: the file it
    // copies still has its name, or the user agreed to lose it. A second
    // name is never emptied: it is the replaced file itself.
    void dropBackup(bool mayEmpty = true) noexcept {
        if (!backupIsCopy_ || !mayEmpty) {
            backupHandle_.reset();
        }
        if (backupInfo_) {
            folder_.removeScratch(backupName_, *backupInfo_, &backupHandle_);
        }
        backupHandle_.reset();
    }

    void abandon() noexcept {
        const FileHandle& folder = folder_.handle();
        if (!renamed_) {
            if (!tempName_.empty()) {
                folder_.removeScratch(tempName_, tempInfo_, &handle_);
            }
            handle_.reset();
            dropBackup();
        } else {
            handle_.reset();
            // The output took the name but the run failed: give the name back
            // to what it held, if it still holds our output.
            quietly([&] {
                if (!fs_.statusAt(folder, targetName_).sameFileAs(tempInfo_)) {
                    return;
                }
                if (backupInfo_) {
                    fs_.renameAt(folder, backupName_, targetName_);
                    interrupts::unmarkScratch(folder, backupName_);
                    backupInfo_.reset();
                } else {
                    fs_.removeAt(folder, targetName_);
                }
            });
            dropBackup(false);  // kept whole if it stays: it may be all of the replaced file
        }
        quietly([&] { fs_.syncFolder(folder); });
    }

    FileSystem& fs_;
    Folder& folder_;
    const SourceFile& source_;
    FileInfo sourceInfo_;
    std::string targetName_;
    FileInfo replaced_;  // what the name held; Missing when nothing
    std::string tempName_;
    FileInfo tempInfo_;
    FileHandle handle_;
    std::uint64_t bytesOut_ = 0;
    std::uint64_t writebackFrom_ = 0;
    const std::atomic<bool>* cancel_;
    std::uint64_t waitedTo_ = 0;
    std::string backupName_;
    std::optional<FileInfo> backupInfo_;
    std::optional<FileInfo> copiedUp_;  // the replaced file's identity after copy-up
    FileHandle backupHandle_;
    bool backupIsCopy_ = false;
    bool renamed_ = false;
    bool done_ = false;
};

// Runs one operation on `source`, which gets where to note a scratch file it
// could not remove; the error it fails with then names that file, and the
// folder the run worked in.
template <class F>
RunResult withContext(const std::string& source, F&& operation) {
    std::string leftover;
    try {
        try {
            return operation(leftover);
        } catch (const std::bad_alloc&) {
            throw RuntimeError(ErrorKind::OutOfMemory);
        }
    } catch (RuntimeError& e) {
        if (!leftover.empty()) {
            e.setLeftover(leftover);
        }
        if (e.context().folder.empty()) {
            e.setFolder(splitPath(source).folder);
        }
        throw;
    }
}

// Runs an age step; a file that breaks the age format's rules fails as the
// error that says which rule.
template <class F>
RunResult ageErrorsChecked(F&& step) {
    try {
        return step();
    } catch (const age::Error& e) {
        throw ageError(e);
    } catch (const age::Stopped&) {
        throw RuntimeError(ErrorKind::Cancelled);
    }
}

// One run over a source: the folder opened and locked, the source open.
struct Run {
    Run(FileSystem& fs_, const std::string& sourcePath_, const RunOptions& options_,
        std::string& leftover)
        : fs(fs_),
          options(options_),
          sourcePath(sourcePath_),
          source(fileInFolder(sourcePath)),
          folder(fs, source.folder, sourcePath.substr(0, sourcePath.size() - source.name.size()),
                 options.folderWait, leftover),
          input(fs, folder, source.name, options) {}

    // The output's name in the source's folder; another folder is refused,
    // so that no step ever writes outside the folder opened. A name that
    // differs from the source's only in letter case may be the source itself
    // (case-insensitive file systems, where identities cannot always be
    // trusted either): the run then works in place under the source's name,
    // and `targetPath` becomes the source's path.
    std::string targetName(std::string& targetPath) {
        if (targetPath.empty()) {
            throw RuntimeError(ErrorKind::BadFileName);
        }
        const PathParts target = fileInFolder(targetPath);
        if (!folder.holds(target.folder, source.folder)) {
            throw RuntimeError(ErrorKind::BadFileName);
        }
        if (target.name != source.name && sameIgnoringCase(target.name, source.name)) {
            targetPath = sourcePath;
            return source.name;
        }
        return target.name;
    }

    // Once the output stands under its name: removes the source if it is
    // still the file that was read and was not itself replaced by the output.
    SourceKept settle(SafeOutput& output, bool damaged) {
        SourceKept kept = SourceKept::No;
        const FileInfo now = fs.statusAt(folder.handle(), source.name);
        // Under its own name the output has taken the source's place.
        if (output.name() != source.name && now.kind != FileKind::Missing &&
            !now.sameFileAs(output.written())) {
            if (damaged) {
                kept = SourceKept::Damaged;
            } else if (now.unchangedSince(input.info())) {
                fs.removeAt(folder.handle(), source.name);
            } else {
                kept = SourceKept::Changed;
            }
        }
        output.finish();
        return kept;
    }

    // Whether the source had names besides its own and the one the output
    // replaced: they still hold what was read.
    bool otherNamesLeft(const SafeOutput& output) const {
        std::uint64_t others = input.info().links - 1;
        if (output.name() != source.name && output.replacedSource() && others > 0) {
            --others;
        }
        return others > 0;
    }

    FileSystem& fs;
    const RunOptions& options;
    std::string sourcePath;
    PathParts source;
    Folder folder;
    SourceFile input;
};

}  // namespace

ExistingOutput probeOutput(const std::string& source, const std::string& target, FileSystem& fs) {
    ExistingOutput result;
    if (target.empty()) {
        return result;
    }
    try {
        result.info = fs.linkStatus(target);
        switch (result.info.kind) {
            case FileKind::Missing:
                break;
            case FileKind::Directory:
            case FileKind::Other:
                result.state = OutputState::Refused;
                break;
            case FileKind::Regular:
            case FileKind::Symlink:
                if (result.info.sameFileAs(fs.linkStatus(source))) {
                    result.state = OutputState::Source;
                } else if (result.info.kind == FileKind::Regular &&
                           (result.info.mode & 0200u) == 0) {
                    result.state = OutputState::Refused;
                } else {
                    result.state = OutputState::Taken;
                }
                break;
        }
    } catch (const RuntimeError& error) {
        if (error.kind() == ErrorKind::OutOfMemory) {
            throw;  // a fault of this process, not of the name
        }
        return {};
    }
    return result;
}

RunResult encryptFile(const std::string& source, std::string_view password,
                      std::string_view saltSeedText, const std::string& outputPath,
                      const RunOptions& options, FileSystem& fs) {
    return withContext(source, [&](std::string& leftover) {
        Run run(fs, source, options, leftover);
        const gri::Header header = gri::Header::make(saltSeedText, password);
        RunResult result;
        result.output = outputPath;
        SafeOutput output(fs, run.folder, run.input, run.targetName(result.output),
                          options.replace);
        output.create();
        output.reserve(gri::encryptedSize(header.line().size(), run.input.info().size));
        gri::Encoder(header, *options.kernelSet)
            .run(run.input.reader(), [&](std::string_view data) { output.write(data); });
        output.place([&] {
            run.input.checkUnchanged();
            run.input.close();  // Windows replaces no file that is open
        });
        result.sourceKept = run.settle(output, false);
        result.otherNames = run.otherNamesLeft(output);
        return result;
    });
}

RunResult decryptFile(const std::string& source, const std::vector<std::string>& passwords,
                      const std::string& outputPath, const RunOptions& options, FileSystem& fs) {
    return withContext(source, [&](std::string& leftover) {
        Run run(fs, source, options, leftover);
        gri::Decoder decoder(run.input.reader(), *options.kernelSet);
        // Acceptance depends on the first 24 characters only; a line longer
        // than any key gives no key, so nothing can be decrypted.
        const gri::Header& header = decoder.header();
        RunResult result;
        if (!header.acceptsAny(passwords)) {
            result.wrongPassword = true;
            return result;
        }
        if (header.longer()) {
            throw RuntimeError(ErrorKind::Damaged);
        }
        result.output = outputPath;
        const std::string targetName = run.targetName(result.output);
        SafeOutput output(fs, run.folder, run.input, targetName, options.replace);
        output.create();
        output.reserve(gri::decryptedSize(run.input.info().size));
        const gri::BodyReport body =
            decoder.decryptBody([&](std::string_view data) { output.write(data); });
        const bool damaged = body.looksDamaged();
        output.place([&] {
            run.input.checkUnchanged();
            // Its own output would replace a damaged file: keep it instead.
            if (damaged && targetName == run.source.name) {
                throw RuntimeError(ErrorKind::DamagedInPlace);
            }
            run.input.close();
        });
        result.sourceKept = run.settle(output, damaged);
        return result;
    });
}

RunResult encryptAgeFile(const std::string& source, std::string_view passphrase,
                         const AgeChoice& choice, const std::string& outputPath,
                         const RunOptions& options, FileSystem& fs) {
    return withContext(source, [&](std::string& leftover) {
        return ageErrorsChecked([&] {
            Run run(fs, source, options, leftover);
            // The slow key derivation first, before anything is written; a stop
            // ends the run at once.
            age::Encoder encoder(passphrase, choice.logN, choice.armor, options.cancel);
            stopIfCancelled(options.cancel);
            RunResult result;
            result.output = outputPath;
            SafeOutput output(fs, run.folder, run.input, run.targetName(result.output),
                              options.replace);
            output.create();
            output.reserve(age::encryptedSize(run.input.info().size, choice.armor, choice.logN));
            encoder.run(run.input.reader(), [&](std::string_view data) { output.write(data); });
            output.place([&] {
                run.input.checkUnchanged();
                run.input.close();
            });
            result.sourceKept = run.settle(output, false);
            result.otherNames = run.otherNamesLeft(output);
            return result;
        });
    });
}

RunResult decryptAgeFile(const std::string& source, std::string_view passphrase,
                         const std::string& outputPath, const RunOptions& options, FileSystem& fs) {
    return withContext(source, [&](std::string& leftover) {
        return ageErrorsChecked([&] {
            Run run(fs, source, options, leftover);
            age::Decoder decoder(run.input.reader());
            const std::optional<age::FileKey> key = decoder.unwrap(passphrase, options.cancel);
            RunResult result;
            if (!key) {
                result.wrongPassword = true;
                return result;
            }
            stopIfCancelled(options.cancel);
            result.output = outputPath;
            SafeOutput output(fs, run.folder, run.input, run.targetName(result.output),
                              options.replace);
            output.create();
            output.reserve(run.input.info().size);
            decoder.decrypt(*key, [&](std::string_view data) { output.write(data); });
            output.place([&] {
                run.input.checkUnchanged();
                run.input.close();
            });
            result.sourceKept = run.settle(output, false);
            return result;
        });
    });
}

}  // namespace grize
