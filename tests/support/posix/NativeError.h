#pragma once

#include <fcntl.h>

#include "NativeFileSystem.h"

namespace grize::test {

// What this platform's file system throws for a failure with this errno.
inline RuntimeError nativeError(int error) {
    return errorFromErrno(error, Step::Unknown, {}, AT_FDCWD);
}

}  // namespace grize::test
