#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/cipher/Generator.h"

namespace grize {

// Key string plus working text. Keying restarts the cipher's own generator
// and reseeds it from every key character; xorKeystream then XORs the text with the
// following draws, so a keystream depends on its key string alone. Text is
// bytes (codes 0..255), never converted.
// The armour's 64 characters: codes 59 (';') to 122 ('z').
inline constexpr unsigned char kArmourFirst = 59;
inline constexpr unsigned char kArmourLast = kArmourFirst + 63;

// The armour steps over caller-owned memory, for texts too short for the
// kernels (a chunk's last group). Cipher::stretch and Cipher::shrink are
// these over their own text.
constexpr std::size_t stretchedSize(std::size_t n) {
    return n + (n + 2) / 3;
}
constexpr std::size_t shrunkSize(std::size_t n) {
    return n == 0 ? 0 : (n - 1) - (n - 1) / 4;
}
// Writes stretchedSize(bytes.size()) characters to `out`.
void stretchInto(std::string_view bytes, char* out);
// Writes shrunkSize(chars.size()) bytes to `out`; fails on no characters or
// a data character below 59, leaving `out` partly written.
void shrinkInto(std::string_view chars, char* out);

class Cipher {
  public:
    // Keys of this many characters or fewer are accepted; longer ones fail
    // with Overflow.
    static constexpr std::size_t kMaxKeyLength = 32766;

    void setKey(std::string_view key);
    void setText(std::string_view text) { text_.assign(text); }
    std::string text() const { return text_; }

    // XORs the text in place with the next keystream bytes. Successive calls
    // continue the keystream, which is what lets large files go in chunks.
    void xorKeystream();
    // Three bytes to four printable characters (codes 59..122).
    void stretch();
    // Undoes stretch; fails on an empty text or a data character below 59.
    void shrink();

    // Moves the text out without a copy (for the streaming file code).
    std::string takeText() { return std::move(text_); }

    // Where the keystream stands, for the chunked kernels that continue it.
    std::uint32_t keystreamState() const noexcept { return generator_.state(); }
    void setKeystreamState(std::uint32_t state) noexcept { generator_.setState(state); }

  private:
    void seedFromKey();

    Generator generator_;
    std::string key_;
    std::string text_;
};

}  // namespace grize
