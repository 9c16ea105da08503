#include "core/format/age/AgeEncoder.h"

#include <memory>
#include <stdexcept>
#include <string>

#include "core/format/age/Armor.h"
#include "core/format/age/Payload.h"

namespace grize::age {

namespace {

FileKey newFileKey() {
    crypto::init();
    FileKey k;
    crypto::randomBytes(k.data(), k.size());
    return k;
}

// Fills `buffer` up to `size` unless the data ends first.
std::size_t readFull(const ReadFn& read, char* buffer, std::size_t size) {
    std::size_t have = 0;
    while (have < size) {
        const std::size_t got = read(buffer + have, size - have);
        if (got == 0) {
            break;
        }
        have += got;
    }
    return have;
}

}  // namespace

Encoder::Encoder(std::string_view passphraseUtf8, int logN, bool armor,
                 const std::atomic<bool>* stop)
    : fileKey_(newFileKey()),
      header_(Header::forPassphrase(fileKey_, passphraseUtf8, logN, stop)),
      armor_(armor) {}

void Encoder::run(const ReadFn& read, const WriteFn& write) {
    if (ran_) {
        throw std::logic_error("age::Encoder::run runs once");
    }
    ran_ = true;
    std::unique_ptr<ArmorWriter> armor;
    if (armor_) {
        armor = std::make_unique<ArmorWriter>(write);
    }
    const auto put = [&](std::string_view bytes) {
        if (armor) {
            armor->put(bytes);
        } else {
            write(bytes);
        }
    };

    unsigned char nonce[kNonceSize];
    crypto::randomBytes(nonce, sizeof nonce);
    put(header_.text());
    put({reinterpret_cast<const char*>(nonce), sizeof nonce});
    const Key key = payloadKey(fileKey_, nonce);

    // One byte past a chunk tells whether it is the last.
    SecretBuffer plain(kChunkSize + 1);
    std::unique_ptr<unsigned char[]> sealed(new unsigned char[kSealedChunk]);
    std::size_t have = readFull(read, plain.chars(), kChunkSize + 1);
    for (std::uint64_t counter = 0;; ++counter) {
        const bool last = have <= kChunkSize;
        const std::size_t n = last ? have : kChunkSize;
        crypto::seal(key, chunkNonce(counter, last), plain.data(), n, sealed.get());
        put({reinterpret_cast<const char*>(sealed.get()), n + kTagSize});
        if (last) {
            break;
        }
        plain.data()[0] = plain.data()[kChunkSize];
        have = 1 + readFull(read, plain.chars() + 1, kChunkSize);
    }
    if (armor) {
        armor->finish();
    }
}

}  // namespace grize::age
