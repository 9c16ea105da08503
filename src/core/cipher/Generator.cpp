#include "core/cipher/Generator.h"

#include <bit>
#include <cstdint>

namespace grize {

float Generator::draw(float p) noexcept {
    if (p == 0.0f) {  // -0.0 too
        return value();
    }
    if (p < 0.0f) {
        const auto b = std::bit_cast<std::uint32_t>(p);
        x_ = (b + (b >> 24)) & kModulusMask;
    }
    step();
    return value();
}

void Generator::reseed(float v) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(static_cast<double>(v));
    const auto h = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32));
    // Arithmetic shifts, as the platform generator does on a signed word.
    const std::int32_t m = ((h & 0xFFFF) ^ (h >> 16)) * 256;
    x_ = (x_ & 0xFFu) | (static_cast<std::uint32_t>(m) & 0xFFFF00u);
}

}  // namespace grize
