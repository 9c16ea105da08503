#pragma once

#include <cstddef>
#include <string>

namespace grize {

class FileSystem;

// Outcome of the six start-up tests on a target path, in the order they run.
// The second fails in three ways: nothing there, a folder, or a path that
// cannot be examined.
enum class TargetCheck {
    Ok,
    NoPath,
    NotFound,
    Folder,
    Unexaminable,
    Empty,
    ReadOnly,
    Hidden,
    System
};

// Runs the tests in order and returns the first that fails. Never opens the
// target (a FIFO would block). Throws only when out of memory.
TargetCheck checkTarget(const std::string& path, FileSystem& fs);

// The warning text for a failed test, pieces joined with CR LF exactly as the
// window shows it; empty for Ok. Each platform words them in its own terms.
std::string targetCheckMessage(TargetCheck result, const std::string& path);

// Whether that text names the path itself; grize-cli puts the name before
// one that does not.
bool targetCheckNamesPath(TargetCheck result);

// The first `size` bytes of a regular file (fewer when it is shorter), read
// from the file opened once, by name in its folder, never through a link.
// Throws RuntimeError when it cannot be opened, or is no regular file.
std::string firstBytes(const std::string& path, std::size_t size, FileSystem& fs);

// True when the file's first eight bytes are the marker. Throws RuntimeError
// when the file cannot be opened or read.
bool isEncryptedFile(const std::string& path, FileSystem& fs);

}  // namespace grize
