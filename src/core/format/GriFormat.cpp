#include "core/format/GriFormat.h"

#include <algorithm>

namespace grize::gri {

std::uint64_t encryptedSize(std::size_t headerLength, std::uint64_t plainSize) {
    const std::uint64_t armour = plainSize + (plainSize + 2) / 3;
    const std::uint64_t lines =
        std::max<std::uint64_t>(1, (armour + kLineLength - 1) / kLineLength);
    return headerLength + armour + (lines + 1) * kLineEnd.size();
}

std::uint64_t decryptedSize(std::uint64_t fileSize) {
    const std::uint64_t lineBytes = kLineLength + kLineEnd.size();
    const std::uint64_t body =
        fileSize - std::min<std::uint64_t>(fileSize, kHeaderLength + kLineEnd.size());
    const std::uint64_t armour = body - (body + lineBytes - 1) / lineBytes * kLineEnd.size();
    return armour == 0 ? 0 : (armour - 1) - (armour - 1) / 4;  // as shrink counts
}

}  // namespace grize::gri
