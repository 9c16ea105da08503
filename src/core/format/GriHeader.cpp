#include "core/format/GriHeader.h"

#include <algorithm>

#include "core/cipher/Hash.h"

namespace grize::gri {

namespace {

constexpr std::size_t kSaltOffset = 8;
constexpr std::size_t kVerifierOffset = 16;
constexpr std::size_t kFieldLength = 8;

std::string_view field(std::string_view line, std::size_t offset) {
    return line.substr(std::min(line.size(), offset), kFieldLength);
}

}  // namespace

Header Header::make(std::string_view saltSeedText, std::string_view password) {
    const std::string salt = hash(saltSeedText);
    std::string salted = salt;
    salted.append(password);
    return Header(std::string(kMarker) + salt + hash(salted), false);
}

Header Header::parse(std::string line, bool longer) {
    return Header(std::move(line), longer);
}

std::string_view Header::salt() const {
    return field(line_, kSaltOffset);
}

std::string_view Header::verifier() const {
    return field(line_, kVerifierOffset);
}

bool Header::accepts(std::string_view password) const {
    std::string salted(salt());
    salted.append(password);
    const std::string expected = hash(salted);
    return std::string_view(line_).substr(0, kHeaderLength).find(expected) == kVerifierOffset;
}

bool Header::acceptsAny(const std::vector<std::string>& passwords) const {
    return std::any_of(passwords.begin(), passwords.end(),
                       [&](const std::string& password) { return accepts(password); });
}

}  // namespace grize::gri
