#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// The few primitives the age format is built on, all libsodium's: scrypt,
// HKDF-SHA-256 over its HMAC, ChaCha20-Poly1305, and its random bytes.
namespace grize::age {

void wipe(void* data, std::size_t size);

// Key material that wipes itself; copies are keys of their own and wipe
// themselves too.
template <std::size_t N>
class SecretBytes {
  public:
    static constexpr std::size_t kSize = N;

    SecretBytes() = default;
    explicit SecretBytes(const unsigned char* bytes) {
        for (std::size_t i = 0; i < N; ++i) {
            bytes_[i] = bytes[i];
        }
    }
    SecretBytes(const SecretBytes&) = default;
    SecretBytes& operator=(const SecretBytes&) = default;
    ~SecretBytes() { wipe(bytes_.data(), N); }

    unsigned char* data() { return bytes_.data(); }
    const unsigned char* data() const { return bytes_.data(); }
    static constexpr std::size_t size() { return N; }

  private:
    std::array<unsigned char, N> bytes_{};
};

// A heap buffer for plaintext that wipes itself.
class SecretBuffer {
  public:
    explicit SecretBuffer(std::size_t size) : bytes_(new unsigned char[size]), size_(size) {}
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
    ~SecretBuffer() { wipe(bytes_.get(), size_); }

    unsigned char* data() { return bytes_.get(); }
    char* chars() { return reinterpret_cast<char*>(bytes_.get()); }

  private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_;
};

// The age format's file key, and the 256-bit keys derived from it.
using FileKey = SecretBytes<16>;
using Key = SecretBytes<32>;

namespace crypto {

// libsodium's one-time set-up; any number of calls, from any thread.
void init();

void randomBytes(unsigned char* out, std::size_t size);

// HKDF-SHA-256 with 32 bytes of output; an empty salt is 32 zero bytes.
Key hkdf(const unsigned char* ikm, std::size_t ikmSize, std::string_view salt,
         std::string_view info);

// scrypt with r = 8, p = 1, N = 2^logN, 32 bytes. Throws std::bad_alloc when
// the memory it needs is not there. libsodium's scrypt cannot be stopped:
// with `stop`, it runs on a thread of its own, and once `stop` is set the
// call throws Stopped at once, leaving that thread to end and wipe its copy
// of the passphrase.
Key scrypt(std::string_view passphrase, std::string_view salt, int logN,
           const std::atomic<bool>* stop = nullptr);

// HMAC-SHA-256.
std::array<unsigned char, 32> hmac(const Key& key, std::string_view data);
bool hmacVerify(const Key& key, std::string_view data, const unsigned char* mac);

// ChaCha20-Poly1305 (IETF) without associated data: `out` takes size + 16
// bytes when sealing, size - 16 when opening; open is false when the tag
// does not match.
using Nonce = std::array<unsigned char, 12>;
void seal(const Key& key, const Nonce& nonce, const unsigned char* in, std::size_t size,
          unsigned char* out);
bool open(const Key& key, const Nonce& nonce, const unsigned char* in, std::size_t size,
          unsigned char* out);

}  // namespace crypto
}  // namespace grize::age
