#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/cipher/Kernels.h"
#include "core/format/GriHeader.h"

// The .gri layout, streamed: a header line (marker, salt, verifier) that is
// also the key string, then the armoured ciphertext in lines of 70 + CR LF.
// Chunked processing gives exactly the bytes the whole-text steps give.
//
// A file's first bytes tell its format: kMarker tells this one, where
// decryptStream and the target checks look. A second format would be told
// there by its own first bytes and bring its own header, encoder and decoder
// beside GriHeader, GriEncoder and GriDecoder.
namespace grize::gri {

inline constexpr std::size_t kLineLength = kernels::kLineChars;
inline constexpr std::string_view kLineEnd = "\r\n";

// 105 plaintext bytes armour to exactly two body lines, so chunks of a
// multiple of 105 never split a line.
inline constexpr std::size_t kPlainGroup = 105;
inline constexpr std::size_t kGroupArmour = kPlainGroup / 3 * 4;                // two lines
inline constexpr std::size_t kGroupLines = kGroupArmour + 2 * kLineEnd.size();  // with their ends
inline constexpr std::size_t kPlainChunk = kPlainGroup * 2560;                  // about 256 KiB
// Armoured characters un-armoured at a time: whole groups of four.
inline constexpr std::size_t kArmourChunk = 4 * 65536;

// Fills up to `size` bytes; 0 only at the end of the data.
using ReadFn = std::function<std::size_t(char* buffer, std::size_t size)>;
using WriteFn = std::function<void(std::string_view data)>;

// The kernels' view of the format's buffers.
inline unsigned char* bytes(char* p) {
    return reinterpret_cast<unsigned char*>(p);
}
inline const unsigned char* bytes(const char* p) {
    return reinterpret_cast<const unsigned char*>(p);
}

// The size of the file the encoder writes for `plainSize` bytes, and the
// plaintext size of a file of `fileSize` bytes laid out as the encoder lays
// it out (other layouts give other sizes): for reserving space up front.
std::uint64_t encryptedSize(std::size_t headerLength, std::uint64_t plainSize);
std::uint64_t decryptedSize(std::uint64_t fileSize);

}  // namespace grize::gri
