#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/cipher/Kernels.h"
#include "core/format/GriFormat.h"

namespace grize {

// Encrypting and decrypting a stream (a pipe), for `grize-cli encrypt -`:
// the same bytes as the file operations, with nothing on disk. `k` is the
// kernel set; every set gives the same bytes.
enum class StreamOutcome {
    Done,
    NotForThisMode,  // encrypting something encrypted, or decrypting something that is not
    WrongPassword,   // nothing was written
    Damaged,         // written, but the input shows damage the reading rules let pass
    Undecryptable,   // damaged: no key in the first line or nothing after it; nothing written
    Empty,           // nothing to encrypt: nothing written
};

StreamOutcome encryptStream(const gri::ReadFn& read, const gri::WriteFn& write,
                            std::string_view password, std::string_view saltSeedText,
                            const kernels::Table& k);

// Writes nothing until the header line has accepted one of the passwords.
StreamOutcome decryptStream(const gri::ReadFn& read, const gri::WriteFn& write,
                            const std::vector<std::string>& passwords, const kernels::Table& k);

}  // namespace grize
