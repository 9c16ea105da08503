#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace grize {

// The separator this platform writes between folder names, and every
// character it reads as one.
extern const char* const kPathSeparator;
extern const char* const kPathSeparators;

struct PathParts {
    std::string folder;  // "." for a bare name
    std::string name;    // empty when the path ends in a separator
};

// The folder a path names an entry in, and the entry's name there.
PathParts splitPath(const std::string& path);

// How many units of this platform's own name encoding one character of a
// UTF-8 path takes: always 1 on POSIX, where a name is UTF-8 bytes; on
// Windows UTF-16 code units, 2 for a character beyond U+FFFF.
std::size_t nameUnits(char32_t character);

// The process's current folder as an absolute path; empty when it cannot be
// told (it was removed, say).
std::string currentFolder();

class FileSystem;

// The attribute word of what is at a path, in Windows' bits. Elsewhere:
// read-only when the owner may not write, hidden for a name that starts with
// ".", system for anything but a regular file or a folder, a symbolic link
// included. Throws RuntimeError when the path cannot be examined.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 1;
inline constexpr std::uint32_t kHidden = 2;
inline constexpr std::uint32_t kSystem = 4;
inline constexpr std::uint32_t kDirectory = 16;
// Every bit from 32768 up: a file with any of them is no file to work with.
inline constexpr std::uint32_t kHighBits = ~std::uint32_t{0x7FFF};
}  // namespace attr
std::uint32_t attributeWord(const std::string& path, FileSystem& fs);

}  // namespace grize
