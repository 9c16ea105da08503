#pragma once

#include "platform/posix/PosixFileSystem.h"

namespace grize {

// The concrete file system of this platform, for code that extends it.
using NativeFileSystem = PosixFileSystem;

}  // namespace grize
