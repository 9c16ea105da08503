#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace grize {

// The bytes a typed password becomes, for every caller. Windows-1252 when
// every character has a code there (the bytes files already written were
// keyed with); otherwise a form no Windows-1252 password can produce, so two
// different passwords never give the same bytes.
std::string passwordBytes(std::u32string_view password);

// The bytes a new file is keyed with: on Windows the system's ANSI code page
// when the password can be written in it, otherwise passwordBytes.
std::string passwordForEncryption(std::u32string_view password);

// Every distinct form a file may have been keyed with, in the order to try
// them: passwordBytes first, then (Windows) the system's ANSI code page, then
// each of the Windows ANSI code pages 1250-1258, 874, 932, 936, 949, 950 in
// which it can be written, for files made on a system set to another one.
std::vector<std::string> passwordsForDecryption(std::u32string_view password);

// The UTF-8 of the text typed: the age format's passphrase, the same on
// every platform.
std::string passphraseUtf8(std::u32string_view password);

// Decodes UTF-8 text (a terminal's or a pipe's). Bytes that are not valid
// UTF-8 are taken one each as the character of that code.
std::u32string decodeUtf8(std::string_view text);

}  // namespace grize
