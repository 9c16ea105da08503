#include "core/cipher/Hash.h"

#include "core/cipher/Cipher.h"

namespace grize {

namespace {
constexpr std::string_view kHashSalt = "580317";
}

std::string Hash(std::string_view sA) {
    Cipher cipher;
    std::string salted(sA);
    salted += kHashSalt;

    cipher.KeyString(salted);
    cipher.Text(salted);
    cipher.DoXor();
    cipher.Stretch();
    const std::string firstPass = cipher.Text();

    cipher.KeyString(firstPass);
    cipher.Text(kHashSalt);
    cipher.DoXor();
    cipher.Stretch();
    return cipher.Text();
}

}  // namespace grize
