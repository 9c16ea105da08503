#pragma once

#include <cstddef>
#include <string>

#include "core/format/GriFormat.h"
#include "core/format/GriHeader.h"
#include "core/format/Keystream.h"

namespace grize::gri {

// Writes a .gri file: the header line, then the body of everything `read`
// yields, read `plainChunk` bytes (a multiple of 105) at a time, through the
// kernel set `k`.
class Encoder {
  public:
    Encoder(const Header& header, const kernels::Table& k, std::size_t plainChunk = kPlainChunk);

    // Once per encoder.
    void run(const ReadFn& read, const WriteFn& write);

  private:
    std::size_t putHeaderLine(char* out) const;
    // Encrypts `n` bytes of `plain` in place and writes their lines to `out`;
    // returns the length.
    std::size_t encryptChunk(char* plain, std::size_t n, char* out);

    const kernels::Table& k_;
    std::string line_;
    std::size_t plainChunk_;
    Keystream keystream_;
};

}  // namespace grize::gri
