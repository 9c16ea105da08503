#pragma once

#include <string>
#include <string_view>

#include "platform/PathRules.h"

namespace grize {

// The part of `path` after the last occurrence of `separator` (one
// character); the whole of `path` when it holds none or `separator` is not
// exactly one character.
std::string fileName(const std::string& path, const std::string& separator);

// Drops the last four characters, whatever they are, and appends
// newExtension. Characters as the platform's names count them: UTF-8
// characters on POSIX (a byte that is not valid UTF-8 is one), UTF-16 code
// units on Windows, with a surrogate pair never split. Throws RuntimeError 5
// for a path of fewer than 4 characters, 52 when those four characters hold
// a path separator.
std::string replaceExtension(const std::string& path, const std::string& newExtension);

enum class Operation { Encrypt, Decrypt };

// The path a run writes its output to, beside the source. Encrypting:
// NAME.txt and NAME.gri (any case) become NAME.gri, any other name gets
// ".gri" appended. Decrypting NAME.gri (any case): NAME when it has an
// extension of its own, else NAME.txt; another name has its last four
// characters replaced by ".txt", or ".txt" appended when nothing would be
// left of it. A result that differs from the source's name only in letter
// case may be the source itself on a case-insensitive file system: the
// source's own path is returned then, so the run works in place. Throws as
// replaceExtension does.
std::string outputPathFor(const std::string& source, Operation operation);

// The output path of an age run, beside the source: encrypting NAME writes
// NAME.age; decrypting NAME.age (any letter case) writes NAME, any other
// name NAME.decrypted. A name that would be hidden gets "decrypted" before
// it. Never the source's own path. Throws RuntimeError 52 for a path that
// ends in a separator.
std::string ageOutputPathFor(const std::string& source, Operation operation);

// The two names compare equal when ASCII letter case is ignored.
bool sameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace grize
