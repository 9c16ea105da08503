#include "platform/CodePages.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace grize {

std::optional<std::string> encodeInCodePage(std::u32string_view text, unsigned codePage) {
    if (!::IsValidCodePage(codePage)) {
        return std::nullopt;
    }
    std::wstring wide;
    wide.reserve(text.size());
    for (char32_t c : text) {
        // Nothing past Unicode, and no two lone surrogates paired into one.
        if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            return std::nullopt;
        }
        if (c >= 0x10000) {
            wide.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        } else {
            wide.push_back(static_cast<wchar_t>(c));
        }
    }
    if (wide.empty()) {
        return std::string();
    }
    // Without best fit, a character with no exact code becomes the default
    // character, which the flag reports.
    BOOL usedDefault = FALSE;
    const int size =
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), bytes.data(), size, nullptr,
                              &usedDefault) != size ||
        usedDefault) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<unsigned> systemAnsiCodePage() {
    return ::GetACP();
}

}  // namespace grize
