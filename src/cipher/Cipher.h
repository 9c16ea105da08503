#pragma once

#include <string>
#include <string_view>

namespace grize {

// Key string plus working text. Keying restarts the process generator and
// reseeds it from every key character; DoXor then XORs the text with the
// following draws. Text is bytes (codes 0..255), never converted.
//
// Between KeyString and the DoXor that uses it nothing else may touch the
// process generator (no other Cipher, no Hash).
class Cipher {
  public:
    // Keys of this many characters or fewer are accepted; longer ones fail
    // with Overflow.
    static constexpr std::size_t kMaxKeyLength = 32766;

    void KeyString(std::string_view sKeyString);
    void Text(std::string_view sText) { text_.assign(sText); }
    std::string Text() const { return text_; }

    // XORs the text in place with the next keystream bytes. Successive calls
    // continue the keystream, which is what lets large files go in chunks.
    void DoXor();
    // Three bytes to four printable characters (codes 59..122).
    void Stretch();
    // Undoes Stretch; fails on an empty text or a data character below 59.
    void Shrink();

    // Moves the text out without a copy (for the streaming file code).
    std::string TakeText() { return std::move(text_); }

  private:
    void SeedFromKey();

    std::string key_;
    std::string text_;
};

}  // namespace grize
