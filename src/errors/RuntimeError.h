#pragma once

#include <stdexcept>
#include <string>

namespace grize {

// A run-time failure as the user sees it: a classic error number and its
// description. Every layer throws this one type so the window's error report
// and grize-cli can show any failure the same way.
class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

    // A scratch file of the failed run that could not be removed (it was
    // emptied first), so the user can be told its name; empty when none.
    const std::string& leftover() const noexcept { return leftover_; }
    void setLeftover(std::string name) { leftover_ = std::move(name); }

  private:
    int number_;
    std::string description_;
    std::string leftover_;
};

// The numbers and descriptions the program uses.
namespace err {
inline constexpr int kInvalidCall = 5;        // "Invalid procedure call or argument"
inline constexpr int kOverflow = 6;           // "Overflow"
inline constexpr int kOutOfMemory = 7;        // "Out of memory"
inline constexpr int kBadFileName = 52;       // "Bad file name or number"
inline constexpr int kFileNotFound = 53;      // "File not found"
inline constexpr int kDeviceIo = 57;          // "Device I/O error"
inline constexpr int kFileExists = 58;        // "File already exists"
inline constexpr int kDiskFull = 61;          // "Disk full"
inline constexpr int kFolderBusy = 70;        // another Grize works in the folder
inline constexpr int kAccess = 75;            // "Path/File access error"
inline constexpr int kSourceChanged = 1001;   // the file changed while it was read
inline constexpr int kDamagedInPlace = 1002;  // a damaged file would replace itself
inline constexpr int kOutputReadOnly = 1003;  // a read-only file stands at the output's name
inline constexpr int kCancelled = 1004;       // the user stopped the run
inline constexpr int kDamaged = 1005;         // an encrypted file with nothing to decrypt
inline constexpr int kFileSizeLimit = 1006;   // the process's file-size limit was reached
inline constexpr int kFolderRefuses = 1007;   // the folder allows no rename or removal

RuntimeError invalidCall();
RuntimeError overflow();
RuntimeError outOfMemory();
RuntimeError badFileName();
RuntimeError fileNotFound();
RuntimeError deviceIo();
RuntimeError fileExists();
RuntimeError folderBusy();
RuntimeError sourceChanged();
RuntimeError damagedInPlace();
RuntimeError outputReadOnly();
RuntimeError cancelled();
RuntimeError damaged();
RuntimeError fileSizeLimit();
RuntimeError folderRefuses();
RuntimeError diskFull();
RuntimeError accessError();
}  // namespace err

}  // namespace grize
