#pragma once

#include <optional>
#include <string>
#include <system_error>

namespace grize {

// Shows the prompt on the console the user typed the command in and reads
// one line without echo; nullopt when there is no console or reading failed.
std::optional<std::string> readHiddenLine(const std::string& prompt);

// What reading a password file found.
struct PasswordFileLine {
    std::optional<std::string> line;  // up to its first LF; nullopt when the file holds nothing
    std::error_code error;            // why it could not be opened or read
    bool isStandardInput = false;     // refused as this process's standard input: nothing read
};

// The first line of the file at `path`. A file that is not a regular one (a
// pipe, FIFO, terminal or socket) is read a byte at a time, so that nothing
// past that line is taken from a stream another reader shares. With
// `refuseStandardInput`, the file is not read when it is this process's
// standard input under whatever name (/dev/stdin, /dev/fd/0, the file that
// was redirected to it).
PasswordFileLine readPasswordFile(const std::string& path, bool refuseStandardInput);

// Text typed or piped in, in the character set of the user's locale, as
// UTF-32; nullopt when that set is UTF-8 or the text is not valid in it.
std::optional<std::u32string> decodeLocaleText(const std::string& bytes);

// Whether standard error is a console, where a line can be overwritten.
bool standardErrorIsConsole();

// Gives the console its echo back if an interruption came while a password
// was being read. Async-signal-safe.
void restoreConsole();

}  // namespace grize
