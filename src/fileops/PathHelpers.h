#pragma once

#include <string>

#include "PathRules.h"

namespace grize {

// True when something exists at the path and it is not a folder. Never throws.
bool FileExists(const std::string& Filename);

// The part of bron after the last occurrence of vSlash (one character); the
// whole of bron when it holds none or vSlash is not exactly one character.
std::string GetFileName(const std::string& bron, const std::string& vSlash);

// Drops the last four characters, whatever they are, and appends
// newExtension. Throws RuntimeError 5 for a path of fewer than 4 characters,
// 52 when those four characters hold a path separator.
std::string replaceExtension(const std::string& fileANDpath, const std::string& newExtension);

}  // namespace grize
