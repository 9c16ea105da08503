#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The bulk steps of the cipher for large texts, each giving exactly the bytes
// of the Cipher method it replaces. A scalar set is always built; vector sets
// (Highway) are added where the build has them and chosen at run time.
namespace grize::kernels {

// The lowest and highest character of a text.
struct CharRange {
    unsigned char lowest = 255;
    unsigned char highest = 0;
};

// A line of the standard layout: 70 characters, neither CR nor LF, then CR LF.
inline constexpr std::size_t kLineChars = 70;
inline constexpr std::size_t kLineBytes = kLineChars + 2;

struct Lines {
    std::size_t consumed = 0;  // bytes of input
    std::size_t produced = 0;  // characters written
};

struct Table {
    const char* name;
    // XORs `n` bytes with the keystream following generator state `state`,
    // as Cipher::xorKeystream; returns the state after the last byte.
    std::uint32_t (*xorKeystream)(std::uint32_t state, unsigned char* data, std::size_t n);
    // Cipher::stretch of `n` bytes, `n` a multiple of 3: 4n/3 characters.
    void (*stretch)(const unsigned char* in, std::size_t n, unsigned char* out);
    // Cipher::shrink of `n` characters, `n` a multiple of 4, into 3n/4 bytes.
    // The output is right only when the range's lowest is at least 59;
    // otherwise shrink itself must decide.
    CharRange (*shrink)(const unsigned char* in, std::size_t n, unsigned char* out);
    // Copies the characters of the standard lines at the start of `in`,
    // stopping before the first other line or when `room` is too small.
    Lines (*takeLines)(const unsigned char* in, std::size_t n, unsigned char* out,
                       std::size_t room);
    // shrink of the characters of `pairs` pairs of standard lines (2 x 72
    // bytes each), skipping the line ends unread: 105 bytes a pair.
    CharRange (*shrinkLinePairs)(const unsigned char* in, std::size_t pairs, unsigned char* out);
};

// The generator state `steps` steps after `state`, in O(log steps).
std::uint32_t advance(std::uint32_t state, std::uint64_t steps);

// The sets this machine can run, fastest first; "scalar" is always last.
const std::vector<const Table*>& available();
// The first of available(): what the programs run with.
const Table& fastest();
// A set by name (tests and benchmarks); null if this machine has none.
const Table* byName(std::string_view name);

const Table& scalarTable();

}  // namespace grize::kernels
