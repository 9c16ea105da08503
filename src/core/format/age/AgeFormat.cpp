#include "core/format/age/AgeFormat.h"

#include <algorithm>
#include <string>

#include "core/format/age/Armor.h"
#include "core/format/age/Payload.h"

namespace grize::age {

bool looksLikeAge(std::string_view firstBytes) {
    if (firstBytes.starts_with(std::string(kVersionLine) + "\n")) {
        return true;
    }
    const auto* text = std::find_if_not(firstBytes.begin(), firstBytes.end(), isArmorSpace);
    return firstBytes.substr(static_cast<std::size_t>(text - firstBytes.begin()))
        .starts_with(kArmorBegin);
}

std::uint64_t encryptedSize(std::uint64_t plainSize, bool armor, int logN) {
    // The header Encoder writes: version line, "-> scrypt SALT LOGN", the
    // 43-character body line, "--- MAC".
    const std::uint64_t header = kVersionLine.size() + 1 + 10 + 22 + 1 +
                                 std::to_string(logN).size() + 1 + 43 + 1 + 4 + 43 + 1;
    const std::uint64_t chunks = plainSize == 0 ? 1 : (plainSize + kChunkSize - 1) / kChunkSize;
    const std::uint64_t binary = header + kNonceSize + plainSize + chunks * kTagSize;
    if (!armor) {
        return binary;
    }
    const std::uint64_t chars = (binary + 2) / 3 * 4;
    const std::uint64_t lines = (chars + kArmorLine - 1) / kArmorLine;
    return kArmorBegin.size() + 1 + chars + lines + kArmorEnd.size() + 1;
}

Key payloadKey(const FileKey& fileKey, const unsigned char* nonce) {
    return crypto::hkdf(fileKey.data(), fileKey.size(),
                        {reinterpret_cast<const char*>(nonce), kNonceSize}, "payload");
}

crypto::Nonce chunkNonce(std::uint64_t counter, bool last) {
    crypto::Nonce n{};
    for (int i = 10; i >= 3; --i) {
        n[static_cast<std::size_t>(i)] = static_cast<unsigned char>(counter);
        counter >>= 8;
    }
    n[11] = last ? 1 : 0;
    return n;
}

}  // namespace grize::age
