// Cipher::shrink on arbitrary text: it fails without touching the text, or gives 3
// bytes per whole group of 4 characters and one fewer than the characters of
// a last, shorter group.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "core/cipher/Cipher.h"
#include "errors/RuntimeError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size > 0) {
        // Any bytes come back from their own stretched form.
        grize::Cipher round;
        round.setText(text);
        round.stretch();
        round.shrink();
        FUZZ_CHECK(round.text() == text);
    }

    grize::Cipher cipher;
    cipher.setText(text);
    try {
        cipher.shrink();
    } catch (const grize::RuntimeError&) {
        FUZZ_CHECK(cipher.text() == text);
        return 0;
    }
    FUZZ_CHECK(size > 0);
    const std::size_t tail = size % 4;
    FUZZ_CHECK(cipher.text().size() == 3 * (size / 4) + (tail > 0 ? tail - 1 : 0));
    return 0;
}
