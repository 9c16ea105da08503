#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace grize {

// Every way a step can fail. Several kinds may show the same number: the
// window's error report shows the number and its description, grize-cli
// and the program's own boxes the kind's words and the context.
enum class ErrorKind {
    InvalidCall,         // 5
    Overflow,            // 6
    PasswordTooLong,     // 6: more than the cipher's text limit
    OutOfMemory,         // 7
    Internal,            // 51: a fault of the program itself
    BadFileName,         // 52
    NameTooLong,         // 52: longer than the file system allows
    FileNotFound,        // 53
    DeviceIo,            // 57
    FileExists,          // 58
    DiskFull,            // 61
    FolderBusy,          // 70: another Grize works in the folder
    Access,              // 75
    ReadOnlyFileSystem,  // 75: the whole file system is mounted read-only
    InvalidProperty,     // 380
    SourceChanged,       // 1001: the file changed while it was read
    DamagedInPlace,      // 1002: a damaged file would replace itself
    OutputReadOnly,      // 1003: a read-only file stands at the output's name
    Cancelled,           // 1004: the user stopped the run
    Damaged,             // 1005: an encrypted file with nothing to decrypt
    FileSizeLimit,       // 1006: the process's file-size limit was reached
    FolderRefuses,       // 1007: the folder allows no rename or removal
    AgeHeader,           // 1008: an age header that breaks the format's rules
    AgeAltered,          // 1009: an age header or chunk that does not authenticate
    AgeArmor,            // 1010: an armored age file that breaks the armor's rules
    AgeNotPassphrase,    // 1011: an age file encrypted to a key, not a passphrase
    AgeWorkFactor,       // 1012: an age key derivation above what Grize runs
};

// The number and description the error report shows for a kind.
int shownNumber(ErrorKind kind);
std::string_view shownDescription(ErrorKind kind);

// What was being done when a call failed.
enum class Step { Unknown, Open, Read, Write, Create, Rename, Remove, Inspect, Sync, SetAccess };

// Where and why, as far as the layer that failed knows it.
struct ErrorContext {
    Step step = Step::Unknown;
    std::string name;    // the file or folder the call named: a path, or a name in `folder`
    std::string folder;  // the folder of a run, as the user named it; empty when unknown
    int osError = 0;     // errno or GetLastError(); 0 when none
    std::string cause;   // the system's words for osError, starting in lower case
    // NameTooLong, PasswordTooLong: the most allowed, in bytes; AgeWorkFactor:
    // the file's log2 N.
    std::uint64_t limit = 0;
};

// A run-time failure as the user sees it. Every layer throws this one type so
// the window's error report and grize-cli can show any failure the same way.
class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(ErrorKind kind, ErrorContext context = {});
    // A fault of the program itself (51), in its own words.
    static RuntimeError internal(std::string description);

    ErrorKind kind() const noexcept { return kind_; }
    int number() const noexcept { return shownNumber(kind_); }
    const std::string& description() const noexcept { return description_; }
    const ErrorContext& context() const noexcept { return context_; }
    // The file operations name the folder once a lower layer has failed.
    void setFolder(std::string folder) { context_.folder = std::move(folder); }

    // A scratch file of the failed run that could not be removed (it was
    // emptied first), so the user can be told its name; empty when none.
    const std::string& leftover() const noexcept { return leftover_; }
    void setLeftover(std::string name) { leftover_ = std::move(name); }

  private:
    RuntimeError(ErrorKind kind, std::string description, ErrorContext context);

    ErrorKind kind_;
    std::string description_;
    ErrorContext context_;
    std::string leftover_;
};

}  // namespace grize
