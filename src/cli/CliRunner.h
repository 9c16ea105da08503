#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/CliOptions.h"

namespace grize {
class FileSystem;
}

namespace grize::cli {

class Terminal;

inline constexpr int kExitDone = 0;
inline constexpr int kExitNotDone = 1;
inline constexpr int kExitUsage = 2;

// Runs one command line: gets the password, then encrypts or decrypts each
// file in turn, one line of outcome per file on `messages`, working through
// `fs`.
int runCli(const CliOptions& options, std::istream& stdinStream, Terminal& terminal,
           std::ostream& out, std::ostream& messages, FileSystem& fs);

// The first line of a stream, its LF or CR LF removed; nullopt when the
// stream holds nothing at all.
std::optional<std::string> firstLine(std::istream& in);

}  // namespace grize::cli
