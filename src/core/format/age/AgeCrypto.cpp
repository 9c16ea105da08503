#include "core/format/age/AgeCrypto.h"

#include "core/format/age/AgeError.h"

#include <sodium.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

namespace grize::age {

void wipe(void* data, std::size_t size) {
    sodium_memzero(data, size);
}

namespace crypto {

namespace {

const unsigned char* bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

void init() {
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium could not be initialised");
    }
}

void randomBytes(unsigned char* out, std::size_t size) {
    randombytes_buf(out, size);
}

Key hkdf(const unsigned char* ikm, std::size_t ikmSize, std::string_view salt,
         std::string_view info) {
    // Extract: PRK = HMAC(salt, IKM), an empty salt being HashLen zero bytes.
    static constexpr unsigned char kZeroSalt[crypto_auth_hmacsha256_BYTES] = {};
    crypto_auth_hmacsha256_state state;
    Key prk;
    if (salt.empty()) {
        crypto_auth_hmacsha256_init(&state, kZeroSalt, sizeof kZeroSalt);
    } else {
        crypto_auth_hmacsha256_init(&state, bytes(salt), salt.size());
    }
    crypto_auth_hmacsha256_update(&state, ikm, ikmSize);
    crypto_auth_hmacsha256_final(&state, prk.data());
    // Expand to one block: T(1) = HMAC(PRK, info || 0x01).
    static constexpr unsigned char kFirstBlock = 1;
    Key okm;
    crypto_auth_hmacsha256_init(&state, prk.data(), prk.size());
    crypto_auth_hmacsha256_update(&state, bytes(info), info.size());
    crypto_auth_hmacsha256_update(&state, &kFirstBlock, 1);
    crypto_auth_hmacsha256_final(&state, okm.data());
    sodium_memzero(&state, sizeof state);
    return okm;
}

namespace {

Key derive(std::string_view passphrase, std::string_view salt, int logN) {
    if (logN < 1 || logN > 62) {
        throw std::invalid_argument("scrypt work factor out of range: " + std::to_string(logN));
    }
    Key key;
    errno = 0;
    if (crypto_pwhash_scryptsalsa208sha256_ll(bytes(passphrase), passphrase.size(), bytes(salt),
                                              salt.size(), std::uint64_t{1} << logN, 8, 1,
                                              key.data(), key.size()) != 0) {
        if (errno == ENOMEM) {
            throw std::bad_alloc();
        }
        throw std::runtime_error("scrypt failed for 2^" + std::to_string(logN));
    }
    return key;
}

// One derivation on its own thread, shared with the caller that may leave.
struct Derivation {
    std::string passphrase;
    std::string salt;
    Key key;
    std::exception_ptr failure;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;

    ~Derivation() { wipe(passphrase.data(), passphrase.size()); }
};

}  // namespace

Key scrypt(std::string_view passphrase, std::string_view salt, int logN,
           const std::atomic<bool>* stop) {
    if (stop == nullptr) {
        return derive(passphrase, salt, logN);
    }
    auto work = std::make_shared<Derivation>();
    work->passphrase.assign(passphrase);
    work->salt.assign(salt);
    try {
        std::thread([work, logN] {
            try {
                work->key = derive(work->passphrase, work->salt, logN);
            } catch (...) {
                work->failure = std::current_exception();
            }
            const std::lock_guard lock(work->mutex);
            work->done = true;
            work->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return derive(passphrase, salt, logN);  // no thread to be had: not stoppable then
    }
    std::unique_lock lock(work->mutex);
    while (
        !work->finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return work->done; })) {
        if (stop->load(std::memory_order_relaxed)) {
            throw Stopped();
        }
    }
    if (work->failure) {
        std::rethrow_exception(work->failure);
    }
    return work->key;
}

std::array<unsigned char, 32> hmac(const Key& key, std::string_view data) {
    std::array<unsigned char, 32> mac;
    crypto_auth_hmacsha256(mac.data(), bytes(data), data.size(), key.data());
    return mac;
}

bool hmacVerify(const Key& key, std::string_view data, const unsigned char* mac) {
    return crypto_auth_hmacsha256_verify(mac, bytes(data), data.size(), key.data()) == 0;
}

void seal(const Key& key, const Nonce& nonce, const unsigned char* in, std::size_t size,
          unsigned char* out) {
    crypto_aead_chacha20poly1305_ietf_encrypt(out, nullptr, in, size, nullptr, 0, nullptr,
                                              nonce.data(), key.data());
}

bool open(const Key& key, const Nonce& nonce, const unsigned char* in, std::size_t size,
          unsigned char* out) {
    return crypto_aead_chacha20poly1305_ietf_decrypt(out, nullptr, nullptr, in, size, nullptr, 0,
                                                     nonce.data(), key.data()) == 0;
}

}  // namespace crypto
}  // namespace grize::age
