#include "core/format/age/AgeDecoder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "core/format/age/AgeError.h"
#include "core/format/age/Payload.h"

namespace grize::age {

namespace {

// A sealed chunk and one byte more, which tells whether it is the last.
constexpr std::size_t kWindow = kSealedChunk + 1;
constexpr std::string_view kScryptLabel = "age-encryption.org/v1/scrypt";

[[noreturn]] void failPayload(const std::string& what) {
    throw Error(Failure::Payload, "age payload: " + what);
}

}  // namespace

Decoder::Decoder(ReadFn read, int maxLogN) : maxLogN_(maxLogN), raw_(std::move(read), kWindow) {
    crypto::init();
}

bool Decoder::armored() {
    if (!armored_) {
        // Binary when the file starts as the version line does (an empty
        // or cut file among them); anything else must be armor.
        constexpr std::string_view kPrefix = "age-encryption.org/";
        const std::string_view v = raw_.fill(kPrefix.size());
        armored_ = !kPrefix.starts_with(v.substr(0, kPrefix.size()));
        if (*armored_) {
            armor_ = std::make_unique<ArmorReader>(raw_);
            dearmored_ = std::make_unique<ByteInput>(
                [this](char* buffer, std::size_t size) { return armor_->read(buffer, size); },
                kWindow);
        }
    }
    return *armored_;
}

ByteInput& Decoder::input() {
    return armored() ? *dearmored_ : raw_;
}

const Header& Decoder::header() {
    if (failure_) {
        throw *failure_;
    }
    if (!header_) {
        try {
            ByteInput& in = input();
            Header h = Header::parse(in, maxLogN_);
            const std::string_view nonce = in.fill(kNonceSize);
            if (nonce.size() < kNonceSize) {
                throw Error(Failure::Header, "age header: the payload's nonce is cut short");
            }
            std::copy_n(nonce.begin(), kNonceSize, nonce_.begin());
            in.consume(kNonceSize);
            header_ = std::move(h);
        } catch (const Error& e) {
            failure_ = e;
            throw;
        }
    }
    return *header_;
}

int Decoder::logN() {
    const auto& s = header().scrypt();
    return s ? s->logN : 0;
}

std::optional<FileKey> Decoder::unwrap(std::string_view passphraseUtf8,
                                       const std::atomic<bool>* stop) {
    const Header& h = header();
    const auto& s = h.scrypt();
    if (!s) {
        std::string types;
        for (const Stanza& st : h.stanzas()) {
            types += (types.empty() ? "" : ", ") + st.args[0];
        }
        throw Error(Failure::NotPassphrase,
                    "age file: encrypted to a recipient, not to a passphrase (" + types + ")");
    }
    const Key wrapKey =
        crypto::scrypt(passphraseUtf8, std::string(kScryptLabel) + s->salt, s->logN, stop);
    FileKey fileKey;
    if (!crypto::open(wrapKey, {}, reinterpret_cast<const unsigned char*>(s->body.data()),
                      s->body.size(), fileKey.data())) {
        return std::nullopt;
    }
    if (!h.macMatches(fileKey)) {
        throw Error(Failure::Mac, "age header: the MAC does not match; the header was altered");
    }
    return fileKey;
}

void Decoder::decrypt(const FileKey& fileKey, const WriteFn& write) {
    if (decrypted_) {
        throw std::logic_error("age::Decoder::decrypt runs once");
    }
    decrypted_ = true;
    if (!header().macMatches(fileKey)) {
        throw Error(Failure::Mac, "age header: the MAC does not match; the header was altered");
    }
    const Key key = payloadKey(fileKey, nonce_.data());
    ByteInput& in = input();
    SecretBuffer plain(kChunkSize);
    for (std::uint64_t counter = 0;; ++counter) {
        const std::string_view v = in.fill(kWindow);
        // A chunk that ends the data should be the final one, full-size or not.
        const bool atEnd = v.size() <= kSealedChunk;
        const std::size_t n = atEnd ? v.size() : kSealedChunk;
        const auto* sealed = reinterpret_cast<const unsigned char*>(v.data());
        if (n < kTagSize) {
            failPayload(counter == 0 && n == 0 ? "no chunk after the header"
                                               : "the last chunk is cut short");
        }
        bool final = atEnd;
        if (!crypto::open(key, chunkNonce(counter, final), sealed, n, plain.data())) {
            // With the other flag the chunk may be authentic, and says what went wrong.
            final = !final;
            if ((!final && n != kSealedChunk) ||
                !crypto::open(key, chunkNonce(counter, final), sealed, n, plain.data())) {
                failPayload("chunk " + std::to_string(counter) + " fails authentication");
            }
        }
        if (final && n == kTagSize && counter > 0) {
            failPayload("an empty final chunk after others");
        }
        write({plain.chars(), n - kTagSize});
        in.consume(n);
        if (final != atEnd) {
            failPayload(final ? "data after the final chunk"
                              : "the file ends before its final chunk");
        }
        if (final) {
            return;
        }
    }
}

}  // namespace grize::age
