#include "core/format/age/Base64.h"

#include <array>
#include <cstdint>

namespace grize::age::base64 {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0xff;

constexpr std::array<std::uint8_t, 256> makeTable() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) {
        v = kInvalid;
    }
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kTable = makeTable();

std::uint8_t value(char c) {
    return kTable[static_cast<unsigned char>(c)];
}

}  // namespace

bool isAlphabet(char c) {
    return value(c) != kInvalid;
}

std::size_t encodedSize(std::size_t size, bool padded) {
    return padded ? (size + 2) / 3 * 4 : size / 3 * 4 + (size % 3 == 0 ? 0 : size % 3 + 1);
}

std::size_t encode(const unsigned char* in, std::size_t size, char* out, bool padded) {
    char* const start = out;
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v =
            std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[v >> 12 & 63];
        *out++ = kAlphabet[v >> 6 & 63];
        *out++ = kAlphabet[v & 63];
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        const std::uint32_t v =
            std::uint32_t{in[i]} << 16 | (rest == 2 ? std::uint32_t{in[i + 1]} << 8 : 0);
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[v >> 12 & 63];
        if (rest == 2) {
            *out++ = kAlphabet[v >> 6 & 63];
        }
        if (padded) {
            *out++ = '=';
            if (rest == 1) {
                *out++ = '=';
            }
        }
    }
    return static_cast<std::size_t>(out - start);
}

std::string encode(std::string_view bytes, bool padded) {
    std::string out(encodedSize(bytes.size(), padded), '\0');
    encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data(), padded);
    return out;
}

std::optional<std::size_t> decode(std::string_view text, unsigned char* out, bool padded) {
    if (padded) {
        if (text.size() % 4 != 0) {
            return std::nullopt;
        }
        // One or two '=' at the end; the characters before them must not be '='.
        std::size_t pad = 0;
        while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') {
            ++pad;
        }
        text.remove_suffix(pad);
    }
    if (text.size() % 4 == 1) {
        return std::nullopt;
    }
    unsigned char* const start = out;
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        const std::uint32_t a = value(text[i]), b = value(text[i + 1]), c = value(text[i + 2]),
                            d = value(text[i + 3]);
        // kInvalid has the top bits set, no character's value has.
        if (((a | b | c | d) & 0xc0) != 0) {
            return std::nullopt;
        }
        const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
        *out++ = static_cast<unsigned char>(v >> 16);
        *out++ = static_cast<unsigned char>(v >> 8);
        *out++ = static_cast<unsigned char>(v);
    }
    const std::size_t rest = text.size() - i;
    if (rest > 0) {
        const std::uint32_t a = value(text[i]), b = value(text[i + 1]),
                            c = rest == 3 ? value(text[i + 2]) : 0;
        if (((a | b | c) & 0xc0) != 0) {
            return std::nullopt;
        }
        const std::uint32_t v = a << 18 | b << 12 | c << 6;
        // Canonical: the bits past the last byte are zero.
        if ((rest == 2 && (v & 0xffff) != 0) || (rest == 3 && (v & 0xff) != 0)) {
            return std::nullopt;
        }
        *out++ = static_cast<unsigned char>(v >> 16);
        if (rest == 3) {
            *out++ = static_cast<unsigned char>(v >> 8);
        }
    }
    return static_cast<std::size_t>(out - start);
}

std::optional<std::string> decode(std::string_view text, bool padded) {
    std::string out(text.size() / 4 * 3 + 2, '\0');
    const auto n = decode(text, reinterpret_cast<unsigned char*>(out.data()), padded);
    if (!n) {
        return std::nullopt;
    }
    out.resize(*n);
    return out;
}

}  // namespace grize::age::base64
