#pragma once

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

}  // namespace grize
