#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace grize {

// The text in Windows code page `codePage`, or nullopt when a character has no
// code there (or the code page is unknown here). Only exact codes count: a
// character Windows would write as a look-alike ("best fit") has none.
std::optional<std::string> encodeInCodePage(std::u32string_view text, unsigned codePage);

// The system's ANSI code page where the platform has one (Windows: GetACP());
// nullopt elsewhere.
std::optional<unsigned> systemAnsiCodePage();

}  // namespace grize
