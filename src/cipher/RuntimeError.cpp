#include "RuntimeError.h"

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
RuntimeError diskFull() {
    return {kDiskFull, "Disk full"};
}
RuntimeError accessError() {
    return {kAccess, "Path/File access error"};
}

}  // namespace grize::err
