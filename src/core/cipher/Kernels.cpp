#include "core/cipher/Kernels.h"

#include <algorithm>
#include <cstring>

#include "core/cipher/Cipher.h"
#include "core/cipher/Generator.h"

namespace grize::kernels {

#ifdef GRIZE_HAVE_HWY
std::vector<const Table*> highwayTables();  // KernelsHwy.cpp
#endif

namespace {

constexpr std::uint32_t kMultiplier = Generator::kMultiplier;
constexpr std::uint32_t kIncrement = Generator::kIncrement;
constexpr unsigned kBase = kArmourFirst;

std::uint32_t xorScalar(std::uint32_t state, unsigned char* data, std::size_t n) {
    std::uint32_t x = state;
    for (std::size_t i = 0; i < n; ++i) {
        x = Generator::next(x);
        data[i] = static_cast<unsigned char>(data[i] ^ (x >> 16));
    }
    return x;
}

void stretchScalar(const unsigned char* in, std::size_t n, unsigned char* out) {
    for (std::size_t i = 0; i + 3 <= n; i += 3, out += 4) {
        out[0] = static_cast<unsigned char>((in[i] & 63u) + kBase);
        out[1] = static_cast<unsigned char>((in[i + 1] & 63u) + kBase);
        out[2] = static_cast<unsigned char>((in[i + 2] & 63u) + kBase);
        out[3] = static_cast<unsigned char>(
            ((in[i] >> 6) << 4 | (in[i + 1] >> 6) << 2 | (in[i + 2] >> 6)) + kBase);
    }
}

CharRange shrinkScalar(const unsigned char* in, std::size_t n, unsigned char* out) {
    CharRange range;
    for (std::size_t i = 0; i < n; ++i) {
        range.lowest = std::min(range.lowest, in[i]);
        range.highest = std::max(range.highest, in[i]);
    }
    // With every character at least 59 nothing is negative, so shrink's
    // divisions are shifts and its result is this.
    for (std::size_t i = 0; i + 4 <= n; i += 4, out += 3) {
        const unsigned h = static_cast<unsigned char>(in[i + 3] - kBase);
        out[0] = static_cast<unsigned char>(((h >> 4) & 3u) << 6 | (in[i] - kBase));
        out[1] = static_cast<unsigned char>(((h >> 2) & 3u) << 6 | (in[i + 1] - kBase));
        out[2] = static_cast<unsigned char>((h & 3u) << 6 | (in[i + 2] - kBase));
    }
    return range;
}

bool isStandardLine(const unsigned char* line) {
    for (std::size_t i = 0; i < kLineChars; ++i) {
        if (line[i] == '\r' || line[i] == '\n') {
            return false;
        }
    }
    return line[kLineChars] == '\r' && line[kLineChars + 1] == '\n';
}

Lines takeLinesScalar(const unsigned char* in, std::size_t n, unsigned char* out,
                      std::size_t room) {
    Lines lines;
    while (lines.consumed + kLineBytes <= n && lines.produced + kLineChars <= room &&
           isStandardLine(in + lines.consumed)) {
        std::memcpy(out + lines.produced, in + lines.consumed, kLineChars);
        lines.consumed += kLineBytes;
        lines.produced += kLineChars;
    }
    return lines;
}

CharRange shrinkLinePairsScalar(const unsigned char* in, std::size_t pairs, unsigned char* out) {
    CharRange range;
    for (std::size_t p = 0; p < pairs; ++p, in += 2 * kLineBytes, out += 105) {
        unsigned char chars[2 * kLineChars];
        std::memcpy(chars, in, kLineChars);
        std::memcpy(chars + kLineChars, in + kLineBytes, kLineChars);
        const CharRange pair = shrinkScalar(chars, sizeof chars, out);
        range.lowest = std::min(range.lowest, pair.lowest);
        range.highest = std::max(range.highest, pair.highest);
    }
    return range;
}

const std::vector<const Table*>& tables() {
    static const std::vector<const Table*> list = [] {
        std::vector<const Table*> all;
#ifdef GRIZE_HAVE_HWY
        all = highwayTables();
#endif
        all.push_back(&scalarTable());
        return all;
    }();
    return list;
}

}  // namespace

std::uint32_t advance(std::uint32_t state, std::uint64_t steps) {
    // Composing the step with itself by squaring: x -> a x + c.
    std::uint32_t a = kMultiplier;
    std::uint32_t c = kIncrement;
    std::uint32_t x = state;
    for (; steps != 0; steps >>= 1) {
        if (steps & 1) {
            x = x * a + c;
        }
        c = c * a + c;
        a = a * a;
    }
    return x & Generator::kModulusMask;
}

const Table& scalarTable() {
    static const Table table{"scalar",     xorScalar,       stretchScalar,
                             shrinkScalar, takeLinesScalar, shrinkLinePairsScalar};
    return table;
}

const std::vector<const Table*>& available() {
    return tables();
}

const Table& fastest() {
    return *tables().front();
}

const Table* byName(std::string_view name) {
    for (const Table* table : tables()) {
        if (name == table->name) {
            return table;
        }
    }
    return nullptr;
}

}  // namespace grize::kernels
