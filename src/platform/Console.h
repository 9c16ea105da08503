#pragma once

#include <optional>
#include <string>

namespace grize {

// Shows the prompt on the console the user typed the command in and reads
// one line without echo; nullopt when there is no console or reading failed.
std::optional<std::string> readHiddenLine(const std::string& prompt);

// Text typed or piped in, in the character set of the user's locale, as
// UTF-32; nullopt when that set is UTF-8 or the text is not valid in it.
std::optional<std::u32string> decodeLocaleText(const std::string& bytes);

// Whether standard error is a console, where a line can be overwritten.
bool standardErrorIsConsole();

// Gives the console its echo back if an interruption came while a password
// was being read. Async-signal-safe.
void restoreConsole();

}  // namespace grize
