#include "core/cipher/Kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "core/cipher/Cipher.h"
#include "core/cipher/Generator.h"

namespace grize {
namespace {

std::string randomBytes(std::size_t n, unsigned seed, int lowest = 0, int highest = 255) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(lowest, highest);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(byte(rng));
    }
    return s;
}

unsigned char* bytes(std::string& s) {
    return reinterpret_cast<unsigned char*>(s.data());
}

class KernelsOnEveryTarget : public testing::TestWithParam<const kernels::Table*> {};

// Every length up to a few vector rounds and past them, against the Cipher
// methods the kernels stand in for.
TEST_P(KernelsOnEveryTarget, GiveTheCipherBytes) {
    const kernels::Table& k = *GetParam();
    for (std::size_t n = 0; n <= 1200; ++n) {
        SCOPED_TRACE(n);
        const std::string plain = randomBytes(n, static_cast<unsigned>(n));
        const std::uint32_t start = (static_cast<std::uint32_t>(n) * 2654435761u) & 0xFFFFFF;

        Cipher c;
        c.setKeystreamState(start);
        c.setText(plain);
        c.xorKeystream();
        std::string fast = plain;
        ASSERT_EQ(k.xorKeystream(start, bytes(fast), n), c.keystreamState());
        ASSERT_EQ(fast, c.text());

        const std::string whole = plain.substr(0, n / 3 * 3);
        c.setText(whole);
        c.stretch();
        std::string armour(whole.size() / 3 * 4, '\0');
        k.stretch(reinterpret_cast<const unsigned char*>(whole.data()), whole.size(),
                  bytes(armour));
        ASSERT_EQ(armour, c.text());

        // Characters above the alphabet too: shrink gives odd bytes for them, no error.
        const std::string text = randomBytes(n / 4 * 4, static_cast<unsigned>(n), 59, 255);
        std::string out(text.size() / 4 * 3, '\0');
        const kernels::CharRange range =
            k.shrink(reinterpret_cast<const unsigned char*>(text.data()), text.size(), bytes(out));
        if (!text.empty()) {
            c.setText(text);
            c.shrink();
            ASSERT_EQ(out, c.text());
            ASSERT_EQ(range.lowest, *std::min_element(text.begin(), text.end(), [](char a, char b) {
                          return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
                      }));
        }
        // The same characters as pairs of lines: the line ends are skipped, whatever they hold.
        if (n % 140 == 0) {
            std::string lines;
            for (std::size_t p = 0; p < text.size(); p += 70) {
                lines += text.substr(p, 70) + "\n\r";
            }
            std::string paired(out.size(), '\0');
            const kernels::CharRange pairRange =
                k.shrinkLinePairs(bytes(lines), n / 140, bytes(paired));
            ASSERT_EQ(paired, out);
            ASSERT_EQ(pairRange.lowest, range.lowest);
            ASSERT_EQ(pairRange.highest, range.highest);
        }
    }
    // A character below the alphabet anywhere is reported, wherever the vectors end.
    for (std::size_t at : {0u, 5u, 63u, 64u, 500u, 1100u, 1199u}) {
        std::string text(1200, 'z');
        text[at] = ';' - 1;
        std::string out(900, '\0');
        EXPECT_EQ(k.shrink(bytes(text), text.size(), bytes(out)).lowest, ';' - 1) << at;
    }
}

TEST_P(KernelsOnEveryTarget, TakeOnlyStandardLines) {
    const kernels::Table& k = *GetParam();
    const std::string line = randomBytes(70, 1, 59, 122);
    struct Case {
        std::string in;
        std::size_t room;
        std::size_t lines;  // standard lines taken
    };
    const std::string crlf = line + "\r\n";
    const Case cases[] = {
        {crlf + crlf + crlf, 1000, 3},
        {crlf + crlf + crlf.substr(0, 71), 1000, 2},  // the last one cut off
        {crlf + crlf, 139, 1},                        // no room for the second
        {crlf + line + "\r\r\n", 1000, 1},            // CR CR LF ends the second line otherwise
        {crlf + line + "\n\r\n", 1000, 1},            // LF alone is a character
        {line.substr(0, 69) + "\r" + crlf, 1000, 0},  // CR inside
        {line.substr(0, 69) + "\n" + crlf, 1000, 0},  // LF inside
        {"\n" + line.substr(1) + "\r\n", 1000, 0},    // LF at the start
        {line + line, 1000, 0},                       // longer line
    };
    for (const Case& c : cases) {
        std::string in = c.in;
        std::string out(1000, '\0');
        const kernels::Lines got = k.takeLines(bytes(in), in.size(), bytes(out), c.room);
        EXPECT_EQ(got.consumed, 72 * c.lines) << c.in;
        ASSERT_EQ(got.produced, 70 * c.lines) << c.in;
        for (std::size_t i = 0; i < c.lines; ++i) {
            EXPECT_EQ(out.substr(70 * i, 70), line);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelsOnEveryTarget, testing::ValuesIn(kernels::available()),
                         [](const auto& info) { return std::string(info.param->name); });

TEST(Kernels, JumpAheadAndChoice) {
    for (std::uint64_t steps : {0ull, 1ull, 2ull, 3ull, 64ull, 1000ull, 16777216ull + 5}) {
        Generator g;
        g.setState(0x123456);
        for (std::uint64_t s = 0; s < steps; ++s) {
            g.step();
        }
        EXPECT_EQ(kernels::advance(0x123456, steps), g.state()) << steps;
    }
    EXPECT_STREQ(kernels::available().back()->name, "scalar");
    EXPECT_EQ(&kernels::fastest(), kernels::available().front());
    EXPECT_EQ(kernels::byName("none"), nullptr);
    for (const kernels::Table* table : kernels::available()) {
        EXPECT_EQ(kernels::byName(table->name), table);
    }
}

}  // namespace
}  // namespace grize
