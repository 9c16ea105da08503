#pragma once

#include <string>
#include <string_view>

namespace grize {

// The bytes a typed password becomes, for every caller. Windows-1252 when
// every character has a code there (passwords of files from the original
// platform); otherwise a form no Windows-1252 password can produce, so two
// different passwords never give the same bytes.
std::string passwordBytes(std::u32string_view password);

// Decodes UTF-8 text (a terminal's or a pipe's). Bytes that are not valid
// UTF-8 are taken one each as the character of that code.
std::u32string decodeUtf8(std::string_view text);

}  // namespace grize
