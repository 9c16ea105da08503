#include "core/cipher/Cipher.h"

#include <cstdint>

#include "core/cipher/Generator.h"
#include "errors/RuntimeError.h"

namespace grize {

namespace {
constexpr int kAlphabetBase = kArmourFirst;
}

void Cipher::setKey(std::string_view key) {
    key_.assign(key);
    seedFromKey();
}

void Cipher::seedFromKey() {
    Generator& g = generator_;
    g.reseed(g.draw(-1.0f));

    // Key lengths and the loop counter are 16-bit: a longer key fails at the
    // conversion, one of exactly 32,767 characters when the counter steps
    // past the end.
    if (key_.size() > 32767) {
        throw RuntimeError(ErrorKind::Overflow);
    }
    for (unsigned char c : key_) {
        const float r = g.draw();
        const float p = -(r * static_cast<float>(c));
        g.reseed(g.draw(p));
    }
    if (key_.size() > kMaxKeyLength) {
        throw RuntimeError(ErrorKind::Overflow);
    }
}

void Cipher::xorKeystream() {
    // draw() returns state / 2^24, so the keystream byte int(r * 256) is
    // the state's top eight bits; stepping the state directly is exact.
    Generator& g = generator_;
    std::uint32_t x = g.state();
    for (char& ch : text_) {
        x = Generator::next(x);
        ch = static_cast<char>(static_cast<unsigned char>(ch) ^ (x >> 16));
    }
    g.setState(x);
}

void stretchInto(std::string_view bytes, char* out) {
    const std::size_t n = bytes.size();
    std::size_t p = 0;
    unsigned h = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned c = static_cast<unsigned char>(bytes[i]);
        out[p++] = static_cast<char>((c & 63u) + kAlphabetBase);
        switch (i % 3) {
            case 0:
                h = 16u * (c >> 6);
                break;
            case 1:
                h |= 4u * (c >> 6);
                break;
            default:
                h |= c >> 6;
                out[p++] = static_cast<char>(h + kAlphabetBase);
                h = 0;
                break;
        }
    }
    if (n % 3 != 0) {
        out[p++] = static_cast<char>(h + kAlphabetBase);
    }
}

void shrinkInto(std::string_view chars, char* out) {
    const std::size_t len = chars.size();
    if (len == 0) {
        throw RuntimeError(ErrorKind::InvalidCall);
    }
    const std::size_t m = shrunkSize(len);
    std::size_t k = 0;
    std::size_t q = 0;
    int h = 0;
    for (std::size_t j = 1; j <= m; ++j) {
        const int low = static_cast<unsigned char>(chars[k++]) - kAlphabetBase;
        int hi = 0;
        switch (j % 3) {
            case 1:
                q = (q + 4 > len) ? len : q + 4;
                h = static_cast<unsigned char>(chars[q - 1]) - kAlphabetBase;
                // Files already written used truncating division; flooring
                // would change their bytes.
                hi = ((h / 16) & 3) * 64;
                break;
            case 2:
                hi = ((h / 4) & 3) * 64;
                break;
            default:
                hi = (h & 3) * 64;
                ++k;  // step over the group's high-bits character
                break;
        }
        const int code = hi | low;
        if (code < 0) {
            throw RuntimeError(ErrorKind::InvalidCall);
        }
        out[j - 1] = static_cast<char>(code);
    }
}

void Cipher::stretch() {
    std::string result(stretchedSize(text_.size()), '\0');
    stretchInto(text_, result.data());
    text_ = std::move(result);
}

void Cipher::shrink() {
    // Into a copy: a failure leaves the text as it was.
    std::string result(shrunkSize(text_.size()), '\0');
    shrinkInto(text_, result.data());
    text_ = std::move(result);
}

}  // namespace grize
