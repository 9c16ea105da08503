// Decodes arbitrary bytes as an age file, whole and in small reads: both must
// give the same outcome and release the same bytes, and a file for no
// passphrase must stop at its MAC for a key that is not its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "core/format/age/AgeDecoder.h"
#include "core/format/age/AgeError.h"

namespace {

using grize::age::Error;
using grize::age::Failure;

// The seeds in fuzz/corpus/fuzz_age_decoder were made with this passphrase
// and work factor, small enough that scrypt costs next to nothing.
constexpr std::string_view kPassphrase = "fuzz";
constexpr int kMaxLogN = 4;

struct Result {
    std::optional<Failure> failure;
    bool opened = false;
    std::string out;

    bool operator==(const Result&) const = default;
};

Result decode(std::string_view bytes, std::size_t step) {
    Result r;
    grize::age::Decoder d(
        [&bytes, step](char* buffer, std::size_t size) {
            const std::size_t n = std::min({size, bytes.size(), step});
            std::memcpy(buffer, bytes.data(), n);
            bytes.remove_prefix(n);
            return n;
        },
        kMaxLogN);
    const auto append = [&r](std::string_view s) { r.out.append(s); };
    try {
        try {
            const auto key = d.unwrap(kPassphrase);
            r.opened = key.has_value();
            if (key) {
                d.decrypt(*key, append);
            }
        } catch (const Error& e) {
            if (e.failure() != Failure::NotPassphrase) {
                throw;
            }
            d.decrypt(grize::age::FileKey(), append);
        }
    } catch (const Error& e) {
        r.failure = e.failure();
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Result whole = decode(bytes, size + 1);
    const Result trickled = decode(bytes, size == 0 ? 1 : 1 + data[0] % 7);
    FUZZ_CHECK(whole == trickled);
    FUZZ_CHECK(whole.out.size() <= size);
    // An all-zero key opens no header's MAC, so nothing is released.
    FUZZ_CHECK(whole.opened || whole.out.empty());
    return 0;
}
