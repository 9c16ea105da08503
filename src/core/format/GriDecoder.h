#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "core/format/GriFormat.h"
#include "core/format/GriHeader.h"
#include "core/format/GriInput.h"
#include "core/format/Keystream.h"
#include "core/format/PlacedBuffer.h"

namespace grize::gri {

// Signs of damage in a body: no encryption writes them.
struct BodyReport {
    std::uint64_t length = 0;      // body characters
    bool standardHeader = true;    // a header line of 24 characters
    bool outsideAlphabet = false;  // a byte outside the armour alphabet
    bool endsWithLineEnd = true;   // false when cut inside the last line

    // Armour gives 4 characters for 3 bytes and 2 or 3 for the rest, never 1.
    bool looksDamaged() const {
        return !standardHeader || outsideAlphabet || !endsWithLineEnd || length % 4 == 1;
    }
};

// Reads a .gri file: its header line, then, keyed with that line, the
// plaintext of its body, un-armoured `armourChunk` characters (a multiple of
// 4) at a time, through the kernel set `k`.
class Decoder {
  public:
    Decoder(ReadFn read, const kernels::Table& k, std::size_t bufferSize = Input::kBufferSize,
            std::size_t armourChunk = kArmourChunk);

    // The first line, read on the first call, kept up to the key limit.
    const Header& header();

    // Writes the plaintext of the body; once per decoder. A body with no
    // characters fails (ErrorKind::Damaged): nothing in it can be decrypted.
    BodyReport decryptBody(const WriteFn& write);

  private:
    // Pairs of standard lines straight from the input buffer through the
    // kernels; false when the next characters are not such pairs.
    bool takeLinePairs(std::size_t want);
    // Characters by the reading rules, up to where pairs may start again;
    // false at the end of the body.
    bool readChars(std::size_t want);
    // Writes the bytes gathered since the last write.
    void flush(const WriteFn& write);

    const kernels::Table& k_;
    Input in_;
    std::size_t armourChunk_;
    std::size_t block_;
    std::optional<Header> header_;
    std::optional<Keystream> keystream_;
    std::unique_ptr<char[]> chars_;
    PlacedBuffer plain_;
    std::size_t chunkChars_ = 0;  // characters since the last write
    std::size_t chunkBytes_ = 0;  // their bytes, waiting in plain_
    std::uint64_t length_ = 0;    // body characters
};

}  // namespace grize::gri
