#pragma once

#include "platform/windows/WindowsFileSystem.h"

namespace grize {

// The concrete file system of this platform, for code that extends it.
using NativeFileSystem = WindowsFileSystem;

}  // namespace grize
