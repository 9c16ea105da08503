#include "core/cipher/Hash.h"

#include "core/cipher/Cipher.h"

namespace grize {

namespace {
constexpr std::string_view kHashSalt = "580317";
}

std::string hash(std::string_view text) {
    Cipher cipher;
    std::string salted(text);
    salted += kHashSalt;

    cipher.setKey(salted);
    cipher.setText(salted);
    cipher.xorKeystream();
    cipher.stretch();
    const std::string firstPass = cipher.text();

    cipher.setKey(firstPass);
    cipher.setText(kHashSalt);
    cipher.xorKeystream();
    cipher.stretch();
    return cipher.text();
}

}  // namespace grize
