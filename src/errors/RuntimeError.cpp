#include "errors/RuntimeError.h"

namespace grize::err {

RuntimeError invalidCall() {
    return {kInvalidCall, "Invalid procedure call or argument"};
}
RuntimeError overflow() {
    return {kOverflow, "Overflow"};
}
RuntimeError outOfMemory() {
    return {kOutOfMemory, "Out of memory"};
}
RuntimeError badFileName() {
    return {kBadFileName, "Bad file name or number"};
}
RuntimeError fileNotFound() {
    return {kFileNotFound, "File not found"};
}
RuntimeError deviceIo() {
    return {kDeviceIo, "Device I/O error"};
}
RuntimeError fileExists() {
    return {kFileExists, "File already exists"};
}
RuntimeError folderBusy() {
    return {kFolderBusy, "Another Grize is working in this folder; try again in a moment"};
}
RuntimeError sourceChanged() {
    return {kSourceChanged,
            "The file changed while Grize was reading it; it was left as it is now"};
}
RuntimeError damagedInPlace() {
    return {kDamagedInPlace,
            "The encrypted file looks damaged and would be replaced by its own output; "
            "rename it and try again"};
}
RuntimeError outputReadOnly() {
    return {kOutputReadOnly, "The file at the output's name is read-only; it was left as it is"};
}
RuntimeError cancelled() {
    return {kCancelled, "Cancelled"};
}
RuntimeError damaged() {
    return {kDamaged, "The encrypted file is damaged; nothing in it could be decrypted"};
}
RuntimeError fileSizeLimit() {
    return {kFileSizeLimit, "The file-size limit was reached"};
}
RuntimeError folderRefuses() {
    return {kFolderRefuses,
            "The folder does not allow files to be renamed or removed (append-only or immutable)"};
}
RuntimeError diskFull() {
    return {kDiskFull, "Disk full"};
}
RuntimeError accessError() {
    return {kAccess, "Path/File access error"};
}

}  // namespace grize::err
