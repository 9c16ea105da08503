#pragma once

#include <atomic>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "core/files/FileOperations.h"
#include "core/files/TargetChecks.h"
#include "core/format/FileFormat.h"
#include "core/format/StreamOperations.h"
#include "core/job/PathHelpers.h"
#include "errors/RuntimeError.h"

// The one use case both front ends call: look at a file, plan its run, run
// it, and say how it ended (messages::describe gives the texts). The window
// and grize-cli only ask and show.
// What fails here fails as RuntimeError only: running out of memory comes
// out as RuntimeError(ErrorKind::OutOfMemory).
namespace grize::job {

// The error a front end reports for a failure of its own steps: a
// RuntimeError as it is, running out of memory as RuntimeError(ErrorKind::OutOfMemory), any
// other fault as error 51 with its text.
RuntimeError asError(const std::exception& error);

// What a first look at a path found, before any password is asked.
struct Target {
    TargetCheck check = TargetCheck::Ok;  // the first start-up test that failed
    Operation mode = Operation::Encrypt;  // what the file offers, when check is Ok
    FileFormat format = FileFormat::Gri;  // Decrypt: the format it is in
    int workFactor = 0;                   // an age file's log2 N
    // An encrypted file Grize cannot open, said before any password is asked
    // (an age file encrypted to a key, or above the work factor it runs).
    std::optional<RuntimeError> refusal;
};
// Never opens a path that failed a test. Throws RuntimeError when a file that
// passed them cannot be read.
Target examine(const std::string& path, FileSystem& fs);

// Where a run writes, and what stands there now.
struct Plan {
    std::string source;
    Operation mode = Operation::Encrypt;
    FileFormat format = FileFormat::Gri;
    bool armor = false;  // age encryption: the armored text form
    std::string output;  // beside the source; the source's own path for a run in place
    ExistingOutput existing;
    // Set once the user agreed to replace the file at the output name.
    bool replace = false;

    // Another file has the output name: only the user's consent replaces it.
    bool needsConsent() const { return existing.state == OutputState::Taken; }
};
// Throws RuntimeError when no output name can be made from the source's.
// `format`: what Encrypt writes; for Decrypt the one examine found.
Plan plan(const std::string& source, Operation mode, FileFormat format, FileSystem& fs);

// Above this log2 N a front end says what the key derivation costs first.
inline constexpr int kSlowWorkFactor = 20;

// How a front end follows a run and stops it (see RunOptions). What the run
// may replace is the plan's alone.
struct Controls {
    ProgressFn progress;
    const std::atomic<bool>* cancel = nullptr;
};

// Every way a run can end; both front ends switch on it.
enum class Ending {
    Refused,         // at the start, for `check`: nothing was touched
    NotForThisMode,  // already in the form the mode makes: nothing was touched
    WrongPassword,   // nothing was touched
    Done,            // written; `sourceKept` and `otherNames` may need telling
    Failed,          // `error` says why
    Cancelled,       // stopped before the output had its name: all as it was
};
struct Outcome {
    Ending ending = Ending::Done;
    TargetCheck check = TargetCheck::Ok;  // Refused
    std::string output;                   // Done: the source's own path for a run in place
    SourceKept sourceKept = SourceKept::No;
    bool otherNames = false;  // Done: hard links to the source still hold it
    // Failed, and Cancelled: RuntimeError::leftover() names a scratch file
    // that could not be removed.
    std::optional<RuntimeError> error;

    static Outcome refused(TargetCheck check);
    static Outcome failed(const RuntimeError& error);
};

// For a mode fixed beforehand (grize-cli): why a file examine looked at
// cannot be run, as Refused, NotForThisMode or Failed (Target::refusal);
// nullopt when it can.
std::optional<Outcome> admit(const Target& target, Operation mode);

// Runs the plan with the password as typed, in every form it may have been
// keyed with. A failure, and a stop, are outcomes, never thrown.
Outcome run(const Plan& plan, std::u32string_view password, const Controls& controls,
            FileSystem& fs);

// Runs `mode` from `read` to `write` (a pipe) with the password as typed, in
// every form it may have been keyed with. An empty input is Refused (Empty),
// damage that lets nothing be decrypted Failed with RuntimeError(ErrorKind::Damaged), damage
// the reading rules let pass Done with SourceKept::Damaged.
// Encryption writes `format` (armored when `armor`); decryption tells the
// format by the first bytes. An age input is released a chunk at a time,
// each once authenticated; a failure after that says the output is
// incomplete.
Outcome runStream(Operation mode, FileFormat format, bool armor, const gri::ReadFn& read,
                  const gri::WriteFn& write, std::u32string_view password);

}  // namespace grize::job
