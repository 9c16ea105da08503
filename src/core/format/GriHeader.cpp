#include "core/format/GriHeader.h"

#include <algorithm>

#include "core/cipher/Hash.h"
#include "errors/RuntimeError.h"

namespace grize::gri {

namespace {

constexpr std::size_t kSaltOffset = 8;
constexpr std::size_t kVerifierOffset = 16;
constexpr std::size_t kFieldLength = 8;

std::string_view field(std::string_view line, std::size_t offset) {
    return line.substr(std::min(line.size(), offset), kFieldLength);
}

// The cipher takes keys of up to Cipher::kMaxKeyLength characters, and the
// verifier's key is the salt, the password and the hash's own salt stretched
// four characters for three bytes.
constexpr std::size_t kMaxPasswordBytes = 24560;

std::string salted(std::string_view salt, std::string_view password) {
    if (password.size() > kMaxPasswordBytes) {
        ErrorContext context;
        context.limit = kMaxPasswordBytes;
        throw RuntimeError(ErrorKind::PasswordTooLong, std::move(context));
    }
    std::string text(salt);
    text.append(password);
    return text;
}

}  // namespace

Header Header::make(std::string_view saltSeedText, std::string_view password) {
    const std::string salt = hash(saltSeedText);
    return Header(std::string(kMarker) + salt + hash(salted(salt, password)), false);
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
    const std::string expected = hash(salted(salt(), password));
    return std::string_view(line_).substr(0, kHeaderLength).find(expected) == kVerifierOffset;
}

bool Header::acceptsAny(const std::vector<std::string>& passwords) const {
    return std::any_of(passwords.begin(), passwords.end(),
                       [&](const std::string& password) { return accepts(password); });
}

}  // namespace grize::gri
