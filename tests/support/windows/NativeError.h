#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>

#include "NativeFileSystem.h"

namespace grize::test {

// What this platform's file system throws for the failure that errno names
// elsewhere.
inline RuntimeError nativeError(int error) {
    switch (error) {
        case EACCES:
            return errorFromWin32(ERROR_ACCESS_DENIED);
        case ENOSPC:
            return errorFromWin32(ERROR_DISK_FULL);
        default:
            return errorFromWin32(ERROR_IO_DEVICE);
    }
}

}  // namespace grize::test
