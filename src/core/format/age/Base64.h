#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Standard base64 (RFC 4648, section 4) as the age format uses it: unpadded
// in the header, padded in the armor. Decoding takes only the canonical
// encoding: no characters outside the alphabet, no bits set past the data,
// and padding exactly where the length calls for it (and only when `padded`).
namespace grize::age::base64 {

std::size_t encodedSize(std::size_t size, bool padded);

// Writes the encoding of `size` bytes to `out`; returns its length.
std::size_t encode(const unsigned char* in, std::size_t size, char* out, bool padded);
std::string encode(std::string_view bytes, bool padded = false);

// Decodes into `out`, which takes text.size() / 4 * 3 + 2 bytes; the length,
// or nullopt for anything but a canonical encoding.
std::optional<std::size_t> decode(std::string_view text, unsigned char* out, bool padded);
std::optional<std::string> decode(std::string_view text, bool padded = false);

// Whether `c` is one of the 64 characters.
bool isAlphabet(char c);

}  // namespace grize::age::base64
