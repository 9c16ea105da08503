#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/format/age/AgeCrypto.h"
#include "core/format/age/ByteInput.h"

namespace grize::age {

// A recipient stanza: "-> " and its arguments, the first naming its type,
// then its body in base64 lines.
struct Stanza {
    std::vector<std::string> args;
    std::string body;
};

// The fields of an scrypt stanza, checked.
struct ScryptStanza {
    std::string salt;  // 16 bytes
    int logN = 0;
    std::string body;  // the wrapped file key: 16 bytes and a 16-byte tag
};

// The text header of an age file: the version line, the stanzas, the MAC.
class Header {
  public:
    // Reads a header, through its MAC line, and checks it by the age format's
    // rules, an scrypt stanza's among them: one that is not alone, or whose
    // work factor is above `maxLogN`, fails here, before any scrypt work.
    // Stanzas of other types are kept as read. Throws Error (Header or
    // WorkFactorTooHigh).
    static Header parse(ByteInput& in, int maxLogN);
    // The header of a new file: `fileKey` wrapped for `passphrase` with
    // scrypt at 2^logN, and its MAC.
    // `stop`: as crypto::scrypt's.
    static Header forPassphrase(const FileKey& fileKey, std::string_view passphrase, int logN,
                                const std::atomic<bool>* stop = nullptr);

    const std::vector<Stanza>& stanzas() const { return stanzas_; }
    // Set when the header holds its one stanza, of type scrypt.
    const std::optional<ScryptStanza>& scrypt() const { return scrypt_; }

    // The header as written, through the MAC line's LF.
    std::string text() const;
    bool macMatches(const FileKey& fileKey) const;

  private:
    Header() = default;
    // The stanzas' text, from the version line to "---", as the MAC covers it.
    std::string macInput() const;

    std::vector<Stanza> stanzas_;
    std::optional<ScryptStanza> scrypt_;
    std::string macInput_;
    std::array<unsigned char, 32> mac_{};
};

}  // namespace grize::age
