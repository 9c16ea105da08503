#pragma once

#include <string>
#include <string_view>

#include "core/format/age/AgeCrypto.h"
#include "core/format/age/AgeFormat.h"
#include "core/format/age/AgeHeader.h"

namespace grize::age {

// Writes an age file for one passphrase: a fresh file key, wrapped with
// scrypt at 2^logN by the constructor (the slow part), then everything
// `read` yields as 64 KiB chunks, armored if asked.
class Encoder {
  public:
    // `stop`: as crypto::scrypt's.
    Encoder(std::string_view passphraseUtf8, int logN, bool armor,
            const std::atomic<bool>* stop = nullptr);

    // Once per encoder.
    void run(const ReadFn& read, const WriteFn& write);

  private:
    FileKey fileKey_;
    Header header_;
    bool armor_;
    bool ran_ = false;
};

}  // namespace grize::age
