#include "core/format/PasswordBytes.h"

#include <algorithm>
#include <array>
#include <optional>

#include "errors/RuntimeError.h"
#include "platform/CodePages.h"

namespace grize {

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five codes the code page leaves undefined.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The ANSI code pages of the Windows systems a file may come from, European
// and Middle Eastern first, then Thai and the East Asian ones.
constexpr unsigned kAnsiCodePages[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256,
                                       1257, 1258, 874,  932,  936,  949,  950};

// No Windows-1252 text contains this byte, so it sets the other form apart.
constexpr char kNonCp1252Mark = '\x81';

std::optional<unsigned char> cp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<unsigned char>(c);
    }
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] != 0 && kCp1252High[i] == c) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        // Lone surrogates are encoded like any other code here: the bytes
        // only need to be distinct, not valid for an exchange.
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c <= 0x10FFFF) {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        throw RuntimeError(ErrorKind::InvalidCall);  // not a character at all
    }
}

}  // namespace

std::string passwordBytes(std::u32string_view password) {
    std::string out;
    out.reserve(password.size());
    for (char32_t c : password) {
        const auto code = cp1252(c);
        if (!code) {
            std::string wide(1, kNonCp1252Mark);
            for (char32_t d : password) {
                appendUtf8(wide, d);
            }
            return wide;
        }
        out.push_back(static_cast<char>(*code));
    }
    return out;
}

std::string passwordForEncryption(std::u32string_view password) {
    if (const auto codePage = systemAnsiCodePage()) {
        if (auto bytes = encodeInCodePage(password, *codePage)) {
            return std::move(*bytes);
        }
    }
    return passwordBytes(password);
}

std::vector<std::string> passwordsForDecryption(std::u32string_view password) {
    std::vector<std::string> forms{passwordBytes(password)};
    const auto add = [&forms](std::optional<std::string> form) {
        if (form && std::ranges::find(forms, *form) == forms.end()) {
            forms.push_back(std::move(*form));
        }
    };
    if (const auto codePage = systemAnsiCodePage()) {
        add(encodeInCodePage(password, *codePage));
    }
    for (unsigned codePage : kAnsiCodePages) {
        add(encodeInCodePage(password, codePage));
    }
    return forms;
}

std::string passphraseUtf8(std::u32string_view password) {
    std::string bytes;
    for (const char32_t c : password) {
        appendUtf8(bytes, c);
    }
    return bytes;
}

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::size_t len = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            len = 1;
            c = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            c = b0 & 0x1F;
            min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            c = b0 & 0x0F;
            min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            c = b0 & 0x07;
            min = 0x10000;
        }
        bool valid = len != 0 && i + len <= text.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) {
                valid = false;
            } else {
                c = (c << 6) | (b & 0x3F);
            }
        }
        if (valid && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
            valid = false;
        }
        if (valid) {
            out.push_back(c);
            i += len;
        } else {
            out.push_back(b0);
            ++i;
        }
    }
    return out;
}

}  // namespace grize
