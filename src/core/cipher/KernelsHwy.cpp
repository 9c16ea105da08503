// The vector kernels, compiled once per Highway target and chosen at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/cipher/KernelsHwy.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cipher/Cipher.h"
#include "core/cipher/Generator.h"
#include "core/cipher/Kernels.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the kernels read bytes as little-endian 32-bit lanes"
#endif

HWY_BEFORE_NAMESPACE();
namespace grize::kernels::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR
// One lane: nothing to gain over the scalar set.
const Table* targetTable() {
    return &scalarTable();
}
#else

using D32 = hn::ScalableTag<std::uint32_t>;
using D8 = hn::Repartition<std::uint8_t, D32>;

constexpr std::uint32_t kMultiplier = Generator::kMultiplier;
constexpr std::uint32_t kIncrement = Generator::kIncrement;
constexpr std::size_t kMaxBytes = 64;  // the widest vector here: 512 bits

// Lanes hold states mod 2^32; the low 24 bits are the generator's state
// exactly, since reducing mod 2^24 commutes with the multiply and add. A
// round is two groups of four vectors; byte 4i + k of a group comes from lane
// i of vector k, which is where a little-endian load puts it, so one XOR
// serves four lanes' bytes.
struct Steps {
    // Vector k, lane i: x -> mul x + add takes the round's start state to
    // the state of the byte that lane serves.
    alignas(64) std::uint32_t mul[8][kMaxBytes / 4];
    alignas(64) std::uint32_t add[8][kMaxBytes / 4];
    std::uint32_t roundMul = 1;  // one round on
    std::uint32_t roundAdd = 0;
};

const Steps& steps() {
    static const Steps table = [] {
        Steps t{};
        const std::size_t lanes = hn::Lanes(D32());
        std::uint32_t a = 1, c = 0;
        for (std::size_t p = 0; p < 8 * lanes; ++p) {
            a *= kMultiplier;
            c = c * kMultiplier + kIncrement;
            const std::size_t group = p / (4 * lanes);
            const std::size_t inGroup = p % (4 * lanes);
            t.mul[group * 4 + inGroup % 4][inGroup / 4] = a;
            t.add[group * 4 + inGroup % 4][inGroup / 4] = c;
        }
        t.roundMul = a;
        t.roundAdd = c;
        return t;
    }();
    return table;
}

// The keystream of four lanes' states, byte k of each lane from vector k.
HWY_INLINE hn::Vec<D32> keystreamBytes(hn::Vec<D32> q0, hn::Vec<D32> q1, hn::Vec<D32> q2,
                                       hn::Vec<D32> q3) {
    const D32 d32;
    const auto byte0 = hn::Set(d32, 0xFFu);
    const auto bytes01 = hn::Set(d32, 0xFFFFu);
    const auto bytes012 = hn::Set(d32, 0xFFFFFFu);
    return hn::IfVecThenElse(
        bytes012,
        hn::IfVecThenElse(
            bytes01, hn::IfVecThenElse(byte0, hn::ShiftRight<16>(q0), hn::ShiftRight<8>(q1)), q2),
        hn::ShiftLeft<8>(q3));
}

HWY_INLINE void xorAt(unsigned char* at, hn::Vec<D32> ks) {
    const D8 d8;
    hn::StoreU(hn::Xor(hn::LoadU(d8, at), hn::BitCast(d8, ks)), d8, at);
}

std::uint32_t xorKeystream(std::uint32_t state, unsigned char* data, std::size_t n) {
    const D32 d32;
    const std::size_t lanes = hn::Lanes(d32);
    const std::size_t group = 4 * lanes;
    const Steps& t = steps();
    const auto s = hn::Set(d32, state);
    // Named, not an array, so the compiler keeps the eight in registers.
    auto v0 = hn::Load(d32, t.mul[0]) * s + hn::Load(d32, t.add[0]);
    auto v1 = hn::Load(d32, t.mul[1]) * s + hn::Load(d32, t.add[1]);
    auto v2 = hn::Load(d32, t.mul[2]) * s + hn::Load(d32, t.add[2]);
    auto v3 = hn::Load(d32, t.mul[3]) * s + hn::Load(d32, t.add[3]);
    auto v4 = hn::Load(d32, t.mul[4]) * s + hn::Load(d32, t.add[4]);
    auto v5 = hn::Load(d32, t.mul[5]) * s + hn::Load(d32, t.add[5]);
    auto v6 = hn::Load(d32, t.mul[6]) * s + hn::Load(d32, t.add[6]);
    auto v7 = hn::Load(d32, t.mul[7]) * s + hn::Load(d32, t.add[7]);
    const auto a = hn::Set(d32, t.roundMul);
    const auto c = hn::Set(d32, t.roundAdd);
    std::size_t done = 0;
    for (; done + 2 * group <= n; done += 2 * group) {
        xorAt(data + done, keystreamBytes(v0, v1, v2, v3));
        xorAt(data + done + group, keystreamBytes(v4, v5, v6, v7));
        v0 = v0 * a + c;
        v1 = v1 * a + c;
        v2 = v2 * a + c;
        v3 = v3 * a + c;
        v4 = v4 * a + c;
        v5 = v5 * a + c;
        v6 = v6 * a + c;
        v7 = v7 * a + c;
    }
    if (done < n) {  // the last part of a round, through a full one
        alignas(64) unsigned char rest[2 * kMaxBytes] = {};
        std::memcpy(rest, data + done, n - done);
        xorAt(rest, keystreamBytes(v0, v1, v2, v3));
        xorAt(rest + group, keystreamBytes(v4, v5, v6, v7));
        std::memcpy(data + done, rest, n - done);
    }
    return advance(state, n);
}

// 32-bit lane j of block b takes input word 3b + min(j, 2): each 128-bit
// block then holds 12 input bytes, which the byte shuffle spreads to 4 lanes.
auto spreadWords() {
    std::int32_t idx[kMaxBytes / 4];
    for (std::size_t j = 0; j < hn::Lanes(D32()); ++j) {
        idx[j] = static_cast<std::int32_t>(3 * (j / 4) + std::min<std::size_t>(j % 4, 2));
    }
    return hn::SetTableIndices(D32(), idx);
}

// Bytes c0 c1 c2 of a group in one lane; the same formula as the scalar
// stretch, on four lanes' groups at once.
void stretch(const unsigned char* in, std::size_t n, unsigned char* out) {
    const D32 d32;
    const D8 d8;
    const std::size_t bytes = hn::Lanes(d8);
    const std::size_t consumed = bytes / 4 * 3;
    static constexpr std::uint8_t kSpread[kMaxBytes] = {
        0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11,  //
        0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11,  //
        0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11,  //
        0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11};
    const auto spread = hn::LoadU(d8, kSpread);
    const auto words = spreadWords();
    const auto low = hn::Set(d32, 0x3F3F3Fu);
    const auto hi0 = hn::Set(d32, 0x30000000u);
    const auto hi1 = hn::Set(d32, 0x0C000000u);
    const auto hi2 = hn::Set(d32, 0x03000000u);
    const auto base = hn::Set(d32, 0x3B3B3B3Bu);  // 59 in every byte, no carry below 64
    const auto step = [&](const unsigned char* from, unsigned char* to) {
        const auto raw = hn::BitCast(d32, hn::LoadU(d8, from));
        const auto w = hn::BitCast(
            d32, hn::TableLookupBytes(hn::BitCast(d8, hn::TableLookupLanes(raw, words)), spread));
        const auto high =
            hn::Or(hn::Or(hn::And(hn::ShiftLeft<22>(w), hi0), hn::And(hn::ShiftLeft<12>(w), hi1)),
                   hn::And(hn::ShiftLeft<2>(w), hi2));
        hn::StoreU(hn::BitCast(d8, hn::Add(hn::Or(hn::And(w, low), high), base)), d8, to);
    };
    std::size_t i = 0;
    // Each load reads a quarter past the bytes it uses: the last vector's
    // worth comes from a copy, so only a short rest is left to the scalar set.
    for (; i + bytes <= n; i += consumed, out += bytes) {
        step(in + i, out);
    }
    if (i + consumed <= n) {
        alignas(64) unsigned char last[kMaxBytes] = {};
        std::memcpy(last, in + i, consumed);
        step(last, out);
        i += consumed;
        out += bytes;
    }
    scalarTable().stretch(in + i, n - i, out);
}

// Lane j takes word 4(j/3) + j%3: the three useful words of each block,
// packed (lanes past 3/4 of the vector are left over and rewritten later).
auto packWords() {
    const std::size_t lanes = hn::Lanes(D32());
    std::int32_t idx[kMaxBytes / 4];
    for (std::size_t j = 0; j < lanes; ++j) {
        idx[j] = j < lanes / 4 * 3 ? static_cast<std::int32_t>(4 * (j / 3) + j % 3) : 0;
    }
    return hn::SetTableIndices(D32(), idx);
}

// With every character at least 59 the subtraction borrows nothing and the
// scalar shrink's high bits are these shifts; lower characters are reported
// through the range and left to shrink. `n` characters, a multiple of 4:
// `load(i)` gives the vector of them from character i, `rest(i, scratch)`
// the characters from i on, contiguous.
template <class Load, class Rest>
HWY_INLINE CharRange shrinkChars(std::size_t n, unsigned char* out, const Load& load,
                                 const Rest& rest) {
    const D32 d32;
    const D8 d8;
    const std::size_t bytes = hn::Lanes(d8);
    const std::size_t produced = bytes / 4 * 3;
    static constexpr std::uint8_t kPack[kMaxBytes] = {
        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15,  //
        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15,  //
        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15,  //
        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15};
    const auto pack = hn::LoadU(d8, kPack);
    const auto words = packWords();
    const auto base = hn::Set(d8, std::uint8_t{kArmourFirst});
    const auto low = hn::Set(d32, 0xFFFFFFu);
    const auto hi0 = hn::Set(d32, 0xC0u);
    const auto hi1 = hn::Set(d32, 0xC000u);
    const auto hi2 = hn::Set(d32, 0xC00000u);
    auto lowest = hn::Set(d8, std::uint8_t{255});
    auto highest = hn::Zero(d8);
    const auto step = [&](hn::Vec<D8> c, unsigned char* to) {
        lowest = hn::Min(lowest, c);
        highest = hn::Max(highest, c);
        const auto w = hn::BitCast(d32, hn::Sub(c, base));
        const auto high =
            hn::Or(hn::Or(hn::And(hn::ShiftRight<22>(w), hi0), hn::And(hn::ShiftRight<12>(w), hi1)),
                   hn::And(hn::ShiftRight<2>(w), hi2));
        const auto bytesOut =
            hn::TableLookupBytes(hn::BitCast(d8, hn::Or(hn::And(w, low), high)), pack);
        hn::StoreU(hn::BitCast(d8, hn::TableLookupLanes(hn::BitCast(d32, bytesOut), words)), d8,
                   to);
    };
    std::size_t i = 0;
    // Each store writes a whole vector, a quarter past its bytes: keep it
    // inside, and put the last vector's through a copy.
    for (; i + 2 * bytes <= n; i += bytes, out += produced) {
        step(load(i), out);
    }
    if (i + bytes <= n) {
        alignas(64) unsigned char last[kMaxBytes];
        step(load(i), last);
        std::memcpy(out, last, produced);
        i += bytes;
        out += produced;
    }
    alignas(64) unsigned char scratch[kMaxBytes];
    CharRange range = scalarTable().shrink(rest(i, scratch), n - i, out);
    std::uint8_t lo[kMaxBytes];
    std::uint8_t hi[kMaxBytes];
    hn::StoreU(lowest, d8, lo);
    hn::StoreU(highest, d8, hi);
    for (std::size_t k = 0; k < bytes; ++k) {
        range.lowest = std::min(range.lowest, lo[k]);
        range.highest = std::max(range.highest, hi[k]);
    }
    return range;
}

CharRange shrink(const unsigned char* in, std::size_t n, unsigned char* out) {
    return shrinkChars(
        n, out, [in](std::size_t i) { return hn::LoadU(D8(), in + i); },
        [in](std::size_t i, unsigned char*) { return in + i; });
}

// A vector's characters lie in at most two lines (it is shorter than one):
// those before the line end from one load, those after from one two bytes on.
CharRange shrinkLinePairs(const unsigned char* in, std::size_t pairs, unsigned char* out) {
    const D8 d8;
    const std::size_t bytes = hn::Lanes(d8);
    return shrinkChars(
        2 * kLineChars * pairs, out,
        [in, bytes, d8](std::size_t i) {
            const std::size_t line = i / kLineChars;
            const std::size_t before = (line + 1) * kLineChars - i;
            const unsigned char* from = in + i + 2 * line;
            if (before >= bytes) {
                return hn::LoadU(d8, from);
            }
            return hn::IfThenElse(hn::FirstN(d8, before), hn::LoadU(d8, from),
                                  hn::LoadU(d8, from + 2));
        },
        [in, pairs](std::size_t i, unsigned char* scratch) {
            for (std::size_t j = i; j < 2 * kLineChars * pairs; ++j) {
                scratch[j - i] = in[j + 2 * (j / kLineChars)];
            }
            return static_cast<const unsigned char*>(scratch);
        });
}

// Vectors at 0, bytes, 2 bytes, ... and one ending at character 70 cover the
// line (overlapping where 70 is no multiple); stored as loaded, they copy it.
Lines takeLines(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t room) {
    const D8 d8;
    const std::size_t bytes = hn::Lanes(d8);
    if (bytes > kLineChars) {
        return scalarTable().takeLines(in, n, out, room);
    }
    const auto cr = hn::Set(d8, std::uint8_t{'\r'});
    const auto lf = hn::Set(d8, std::uint8_t{'\n'});
    Lines lines;
    while (lines.consumed + kLineBytes <= n && lines.produced + kLineChars <= room) {
        const unsigned char* line = in + lines.consumed;
        if (line[kLineChars] != '\r' || line[kLineChars + 1] != '\n') {
            break;
        }
        auto ends = hn::Zero(d8);
        for (std::size_t p = 0;; p += bytes) {
            const std::size_t at = std::min(p, kLineChars - bytes);
            const auto v = hn::LoadU(d8, line + at);
            ends = hn::Or(ends, hn::VecFromMask(d8, hn::Or(hn::Eq(v, cr), hn::Eq(v, lf))));
            hn::StoreU(v, d8, out + lines.produced + at);
            if (at == kLineChars - bytes) {
                break;
            }
        }
        if (!hn::AllTrue(d8, hn::Eq(ends, hn::Zero(d8)))) {
            break;  // the stores past `produced` are scratch until a line is taken
        }
        lines.consumed += kLineBytes;
        lines.produced += kLineChars;
    }
    return lines;
}

const Table* targetTable() {
    static const Table table{
        hwy::TargetName(HWY_TARGET), xorKeystream, stretch, shrink, takeLines, shrinkLinePairs};
    return &table;
}
#endif

}  // namespace grize::kernels::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace hwy {

// The checks in Highway's headers (debug builds) report here; Highway's
// library, which would define this, is not linked.
HWY_NORETURN void Abort(const char* file, int line, const char* format, ...) {
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::fprintf(stderr, "Highway check failed at %s:%d: %s\n", file, line, message);
    std::abort();
}

}  // namespace hwy

namespace grize::kernels {

namespace {

// The choice among the targets is made here rather than by Highway's
// dispatch, which lives in its shared library: loading that library costs
// every process a few milliseconds of timer calibration.
struct Compiled {
    std::int64_t target;
    const Table* (*table)();
};

// Each target this file was compiled for, best first. AVX3_DL is only
// compiled when asked for, and then left out here.
constexpr Compiled kCompiled[] = {
#if HWY_TARGETS & HWY_AVX3
    {HWY_AVX3, &N_AVX3::targetTable},
#endif
#if HWY_TARGETS & HWY_AVX2
    {HWY_AVX2, &N_AVX2::targetTable},
#endif
#if HWY_TARGETS & HWY_SSE4
    {HWY_SSE4, &N_SSE4::targetTable},
#endif
#if HWY_TARGETS & HWY_SSSE3
    {HWY_SSSE3, &N_SSSE3::targetTable},
#endif
    // The one the whole program is built for always runs.
    {HWY_STATIC_TARGET, &HWY_STATIC_DISPATCH(targetTable)},
};

// Whether this processor and system run a target's code: every instruction
// set its compiler options name (Highway's HWY_TARGET_STR_*), with the
// system saving the vector registers it uses, which the builtins check too.
bool runs(std::int64_t target) {
    if (target == HWY_STATIC_TARGET) {
        return true;
    }
#if HWY_ARCH_X86
    __builtin_cpu_init();
    const bool sse4 = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") &&
                      __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("pclmul") &&
                      __builtin_cpu_supports("aes");
#if defined(__clang__)
    // This compiler cannot ask for F16C; no processor has AVX2 without it.
    const bool f16c = true;
#else
    const bool f16c = __builtin_cpu_supports("f16c");
#endif
    const bool avx2 = sse4 && __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("fma") && f16c;
    const bool avx3 = avx2 && __builtin_cpu_supports("avx512f") &&
                      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                      __builtin_cpu_supports("avx512bw");
    switch (target) {
        case HWY_AVX3:
            return avx3;
        case HWY_AVX2:
            return avx2;
        case HWY_SSE4:
            return sse4;
        case HWY_SSSE3:
            return __builtin_cpu_supports("ssse3");
        default:
            break;
    }
#endif
    return false;
}

}  // namespace

std::vector<const Table*> highwayTables() {
    std::vector<const Table*> tables;
    for (const Compiled& compiled : kCompiled) {
        const Table* table = compiled.table();
        if (runs(compiled.target) && table != &scalarTable() &&
            std::find(tables.begin(), tables.end(), table) == tables.end()) {
            tables.push_back(table);
        }
    }
    return tables;
}

}  // namespace grize::kernels
#endif
