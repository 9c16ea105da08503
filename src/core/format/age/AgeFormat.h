#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// The age file format (age-encryption.org/v1) for a passphrase: a text header
// that wraps a random 16-byte file key in one scrypt stanza and authenticates
// itself with a MAC, then the payload in 64 KiB chunks, each authenticated on
// its own. Binary, or ASCII-armored (PEM) around the same bytes.
namespace grize::age {

// The same types as gri::ReadFn and gri::WriteFn: fills up to `size` bytes,
// 0 only at the end of the data; takes the next bytes of the output.
using ReadFn = std::function<std::size_t(char* buffer, std::size_t size)>;
using WriteFn = std::function<void(std::string_view data)>;

inline constexpr std::string_view kVersionLine = "age-encryption.org/v1";
inline constexpr std::string_view kArmorBegin = "-----BEGIN AGE ENCRYPTED FILE-----";
inline constexpr std::string_view kArmorEnd = "-----END AGE ENCRYPTED FILE-----";

// The first bytes looksLikeAge needs; whitespace before an armored file is
// recognised within them.
inline constexpr std::size_t kSniffBytes = 256;

// log2 of scrypt's work factor N: what encryption uses, and the most a
// decoder accepts unless told otherwise (N = 2^22 takes 4 GiB).
inline constexpr int kDefaultLogN = 18;
inline constexpr int kMaxLogN = 22;

// The age format's payload: chunks of 64 KiB plaintext, each with a 16-byte tag.
inline constexpr std::size_t kChunkSize = 64 * 1024;
inline constexpr std::size_t kTagSize = 16;
inline constexpr std::size_t kNonceSize = 16;
// Armored lines: 64 characters, 48 bytes.
inline constexpr std::size_t kArmorLine = 64;

// Whether a file starting with `firstBytes` (its first kSniffBytes, or all
// of a shorter file) is an age file: the version line, or the armor's first
// line after optional whitespace.
bool looksLikeAge(std::string_view firstBytes);

// The exact size of what Encoder writes for `plainSize` bytes.
std::uint64_t encryptedSize(std::uint64_t plainSize, bool armor, int logN = kDefaultLogN);

}  // namespace grize::age
