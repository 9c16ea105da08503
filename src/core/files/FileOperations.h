#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cipher/Kernels.h"
#include "platform/FileSystem.h"

namespace grize {

// What stands at an output name before a run.
enum class OutputState {
    Free,     // nothing
    Source,   // the source itself: the output takes its place
    Taken,    // another file, which only the user's consent may replace
    Refused,  // a read-only file, a folder or a device: the run fails (error 75)
};
struct ExistingOutput {
    OutputState state = OutputState::Free;
    FileInfo info;  // what to pass as RunOptions::replace once the user agreed
};
// Throws only when out of memory: a name that cannot be examined counts as Free, and the run
// then reports what is wrong with it.
ExistingOutput probeOutput(const std::string& source, const std::string& target, FileSystem& fs);

// Bytes of the source read so far, of its size. Called on the thread that
// runs the operation, after every read; it must not throw.
using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct RunOptions {
    // The file at the output name that the user agreed to replace; any other
    // file found there fails the run with error 58. job::run sets it from the
    // plan's consent.
    std::optional<FileInfo> replace;
    // How long to wait while another Grize works in the same folder.
    std::chrono::milliseconds folderWait{3000};
    ProgressFn progress;
    // Set from another thread to stop the run: it is looked at between reads,
    // between the steps of the final flush and right before the output is
    // renamed into place, and the run then fails with error 1004 and leaves
    // everything as it was. Once the output has its name the run completes:
    // a run that returns was done, whenever the flag was set.
    const std::atomic<bool>* cancel = nullptr;
    // The kernel set the run encrypts or decrypts with, never null; every
    // set gives the same bytes.
    const kernels::Table* kernelSet = &kernels::fastest();
};

enum class SourceKept {
    No,       // the source is gone, as asked
    Changed,  // it changed or was replaced after it was read: left alone
    Damaged,  // the encrypted file looks damaged: kept beside its output
};

struct RunResult {
    bool wrongPassword = false;  // decryption only: nothing was touched
    std::string output;          // the source's own path for a run in place
    SourceKept sourceKept = SourceKept::No;
    // Encryption: the source had hard links besides the name the output
    // replaced, and they still hold it.
    bool otherNames = false;
};

// Encrypts `source` into `output`, which must be in the same folder and is
// only looked at once the source has been opened and read. The output is written under a scratch
// name, flushed, and renamed into place before the source is removed; on failure the source is
// unchanged and nothing of this run is left, or a scratch file that could not
// be removed is emptied and named by RuntimeError::leftover(). A folder or
// source marked append-only or immutable is refused before anything is
// written (errors 1007 and 75). Every step works on the folder
// opened once, under a lock that keeps other Grize runs out of it, and checks
// files by identity. `password` is already bytes (passwordBytes). Throws
// RuntimeError.
RunResult encryptFile(const std::string& source, std::string_view password,
                      std::string_view saltSeedText, const std::string& output,
                      const RunOptions& options, FileSystem& fs);

// Tests the password, in each of the forms it may have been keyed with (see
// passwordsForDecryption), and when one is accepted decrypts `source` with the
// same guarantees as encryptFile. A wrong password touches nothing and does
// not look at `output`. A file that looks damaged is decrypted but kept.
RunResult decryptFile(const std::string& source, const std::vector<std::string>& passwords,
                      const std::string& output, const RunOptions& options, FileSystem& fs);

// The same for the age format with a passphrase (UTF-8): encrypted with a
// fresh file key wrapped by scrypt at 2^logN, armored if asked.
struct AgeChoice {
    bool armor = false;
    int logN = 18;
};
RunResult encryptAgeFile(const std::string& source, std::string_view passphrase,
                         const AgeChoice& choice, const std::string& output,
                         const RunOptions& options, FileSystem& fs);

// Decrypts an age file; a wrong passphrase touches nothing and does not
// look at `output`. Nothing decrypted gets the output's name before the
// last chunk was authenticated and the end of the file confirmed: any
// failure of the file (errors 1008-1012) leaves everything as it was.
RunResult decryptAgeFile(const std::string& source, std::string_view passphrase,
                         const std::string& output, const RunOptions& options, FileSystem& fs);

}  // namespace grize
