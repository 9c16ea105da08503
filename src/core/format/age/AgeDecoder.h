#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "core/format/age/AgeCrypto.h"
#include "core/format/age/AgeError.h"
#include "core/format/age/AgeFormat.h"
#include "core/format/age/AgeHeader.h"
#include "core/format/age/Armor.h"
#include "core/format/age/ByteInput.h"

namespace grize::age {

// Reads an age file, binary or armored (told by its first bytes):
//   Decoder d(read);
//   if (d.logN() > 20) { warn: unwrapping takes long }
//   auto key = d.unwrap(passphrase);    // nullopt: the wrong passphrase
//   if (key) d.decrypt(*key, write);
// Every step throws Error for a file that breaks the age format's rules.
//
// header() checks what holds for any reader: the syntax, the MAC line, the
// payload's nonce, and an scrypt stanza's own rules (alone, canonical salt
// and work factor, within maxLogN). unwrap() adds the passphrase reader's
// rule: the one stanza must be scrypt (NotPassphrase otherwise). So
// decrypt() can also run with a file key from elsewhere, stanzas of any type
// kept.
class Decoder {
  public:
    explicit Decoder(ReadFn read, int maxLogN = kMaxLogN);
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Parsed on the first call; a failure is thrown again on later calls.
    const Header& header();
    bool armored();
    // The scrypt stanza's log2 N; 0 when the header has none.
    int logN();

    // The file key, or nullopt when the passphrase does not open the
    // stanza. Throws NotPassphrase for a header without an scrypt stanza,
    // Mac when the opened key does not match the header's MAC.
    // `stop`: as crypto::scrypt's.
    std::optional<FileKey> unwrap(std::string_view passphraseUtf8,
                                  const std::atomic<bool>* stop = nullptr);

    // Checks the MAC, then writes the plaintext a chunk at a time, each
    // chunk once it is authenticated; once per decoder. On a Payload (or,
    // armored, Armor) failure the authenticated chunks before it have been
    // written: a final chunk followed by more data, or a full non-final one
    // at the end, is written before the failure, as the test vectors expect.
    void decrypt(const FileKey& fileKey, const WriteFn& write);

  private:
    ByteInput& input();

    int maxLogN_;
    ByteInput raw_;
    std::unique_ptr<ArmorReader> armor_;
    std::unique_ptr<ByteInput> dearmored_;
    std::optional<bool> armored_;
    std::optional<Header> header_;
    std::optional<Error> failure_;
    std::array<unsigned char, kNonceSize> nonce_{};
    bool decrypted_ = false;
};

}  // namespace grize::age
