#include "core/format/GriDecoder.h"
#include "core/format/GriEncoder.h"
#include "core/format/GriFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <regex>

#include "GriBytes.h"
#include "TestSupport.h"
#include "core/cipher/Cipher.h"
#include "core/cipher/Kernels.h"
#include "errors/RuntimeError.h"

namespace grize {
namespace {

using test::allCodes;
using namespace std::string_literals;

std::string fromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// The whole-text steps, as one piece: what the chunked code must equal.
std::string wholeFile(const gri::Header& header, const std::string& plain) {
    Cipher c;
    c.setKey(header.line());
    c.setText(plain);
    c.xorKeystream();
    c.stretch();
    const std::string armour = c.text();
    std::string out = header.line() + "\r\n";
    std::size_t p = 0;
    do {
        out += armour.substr(p, 70) + "\r\n";
        p += 70;
    } while (p < armour.size());
    return out;
}

// Reads `data` at most `step` bytes at a time.
gri::ReadFn trickle(const std::string& data, std::size_t& pos, std::size_t step) {
    return [&data, &pos, step](char* buffer, std::size_t size) {
        const std::size_t n = std::min({size, step, data.size() - pos});
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        return n;
    };
}

struct Decrypted {
    std::string plain;
    bool damaged = false;
};

Decrypted decryptWithReport(const kernels::Table& k, const std::string& file,
                            std::size_t bufferSize = 256 * 1024,
                            std::size_t armourChunk = gri::kArmourChunk) {
    std::size_t pos = 0;
    gri::Decoder decoder(trickle(file, pos, bufferSize), k, bufferSize, armourChunk);
    Decrypted out;
    out.damaged =
        decoder.decryptBody([&](std::string_view d) { out.plain.append(d); }).looksDamaged();
    return out;
}

// The body of an encrypted file in lines of `width`, each ended by `end`,
// the last one only when `finalEnd`; the header line ends with `end` too.
std::string rewrap(const std::string& file, std::size_t width, const std::string& end,
                   bool finalEnd = true) {
    std::string body;
    std::copy_if(file.begin() + 24, file.end(), std::back_inserter(body),
                 [](char c) { return c != '\r' && c != '\n'; });
    std::string out = file.substr(0, 24) + end;
    for (std::size_t p = 0; p < body.size(); p += width) {
        out += body.substr(p, width);
        if (p + width < body.size() || finalEnd) {
            out += end;
        }
    }
    return out;
}

TEST(GriFormat, ReproducesTheReferenceFile) {
    std::ifstream in(std::string(GRIZE_TEST_DATA) + "/cipher.txt");
    const std::regex fileLine(
        R"(file: plaintext \|(.*)\| \+ CR LF, password \|(.*)\|, salt made from seed \|(.*)\|)");
    std::smatch m;
    std::string plain, password, seed, expected;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_match(line, m, fileLine)) {
            plain = m[1].str() + "\r\n";
            password = m[2];
            seed = m[3];
        } else if (line.rfind("file bytes (hex) = ", 0) == 0) {
            expected = fromHex(line.substr(19));
        }
    }
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(seed, "12/7/2026 14523.45");
    EXPECT_EQ(gri::encryptBytes(plain, password, seed), expected);
    EXPECT_EQ(gri::decryptBytes(expected, password), plain);
}

// Each test runs with every kernel set this machine has.
class GriFormatOnEveryTarget : public testing::TestWithParam<const kernels::Table*> {
  protected:
    const kernels::Table& k = *GetParam();
};

std::string outcome(const std::function<std::string()>& f) {
    try {
        return f();
    } catch (const RuntimeError& e) {
        return "error " + std::to_string(e.number());
    }
}

std::string randomBytes(std::size_t n, std::mt19937& rng) {
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(rng());
    }
    return s;
}

// Every size up to a few thousand, then random sizes of a few MiB: the same
// bytes, and the same generator state after, as the whole-text steps; and
// damaged bodies give the same bytes or the same error.
TEST_P(GriFormatOnEveryTarget, MatchesTheWholeTextSteps) {
    std::mt19937 rng(7);
    const gri::Header header = gri::Header::make("seed", "pw");
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 3000; ++n) {
        sizes.push_back(n);
    }
    for (int i = 0; i < 3; ++i) {
        sizes.push_back(std::uniform_int_distribution<std::size_t>(1 << 20, 3 << 20)(rng));
    }
    for (const std::size_t n : sizes) {
        SCOPED_TRACE(n);
        const std::string plain = randomBytes(n, rng);
        const std::string expected = wholeFile(header, plain);
        std::size_t pos = 0;
        std::string file;
        gri::Encoder(header, k).run(trickle(plain, pos, n + 1),
                                    [&](std::string_view d) { file.append(d); });
        ASSERT_EQ(file, expected);
        if (n > 0) {
            ASSERT_EQ(gri::decryptBytes(file, "pw", k), plain);
        }
        if (n > 20000 || n % 7 != 0) {
            continue;
        }
        const std::size_t at = 26 + (n * 31) % (file.size() - 26);
        std::vector<std::string> damaged;
        for (const std::string& put :
             {";"s, ":"s, "\x7F"s, "\xFF"s, "\n"s, "\r"s, "\r\r\n"s, ""s, "\0"s, "\x01\x01\x01"s}) {
            damaged.push_back(file.substr(0, at) + put + file.substr(at + 1));
        }
        damaged.push_back(file.substr(0, at) + "\n" + file.substr(at));
        for (const std::string& d : damaged) {
            EXPECT_EQ(outcome([&] { return *gri::decryptBytes(d, "pw", k); }),
                      // One byte at a time: no standard lines taken whole, no pairs.
                      outcome([&] { return decryptWithReport(k, d, 1, 4).plain; }))
                << testing::PrintToString(d.substr(at - 3, 8));
        }
    }
}

TEST_P(GriFormatOnEveryTarget, RoundTripsEveryLengthAndCode) {
    for (std::size_t len = 0; len <= 300; ++len) {
        SCOPED_TRACE(len);
        const std::string plain = allCodes(len);
        const std::string file = gri::encryptBytes(plain, "pw", "seed", k);
        const std::size_t armour = len + (len + 2) / 3;
        EXPECT_EQ(file.size(), 26 + armour + 2 * std::max<std::size_t>(1, (armour + 69) / 70));
        EXPECT_EQ(gri::encryptedSize(24, len), file.size());
        EXPECT_EQ(gri::decryptedSize(file.size()), len);
        if (len == 0) {
            EXPECT_EQ(errorOf([&] { gri::decryptBytes(file, "pw", k); }),
                      shownNumber(ErrorKind::Damaged));
        } else {
            EXPECT_EQ(gri::decryptBytes(file, "pw", k), plain);
        }
    }
    for (int code = 0; code < 256; ++code) {
        const std::string one(1, static_cast<char>(code));
        EXPECT_EQ(gri::decryptBytes(gri::encryptBytes(one, "", "s", k), "", k), one) << code;
    }
    for (auto [len, size] : {std::pair{0, 28}, {52, 98}, {53, 101}, {100, 164}}) {
        EXPECT_EQ(gri::encryptBytes(std::string(len, 'x'), "p", "s", k).size(), size) << len;
    }
}

TEST_P(GriFormatOnEveryTarget, SmallChunksGiveTheWholeTextBytes) {
    const gri::Header header = gri::Header::make("seed", "pw");
    for (std::size_t chunk : {105u, 210u}) {
        for (std::size_t base : {chunk, 2 * chunk, 3 * chunk}) {
            for (std::size_t len = base - 3; len <= base + 3; ++len) {
                SCOPED_TRACE(testing::Message() << "chunk " << chunk << " len " << len);
                const std::string plain = allCodes(len);
                std::size_t pos = 0;
                std::string file;
                gri::Encoder(header, k, chunk)
                    .run(trickle(plain, pos, 37), [&](std::string_view d) { file.append(d); });
                ASSERT_EQ(file, wholeFile(header, plain));
                for (auto [buffer, armourChunk] : {std::pair{1u, 4u}, {7u, 8u}, {1000u, 12u}}) {
                    EXPECT_EQ(decryptWithReport(k, file, buffer, armourChunk).plain, plain);
                }
            }
        }
    }
}

TEST_P(GriFormatOnEveryTarget, DefaultChunkBoundaries) {
    const gri::Header header = gri::Header::make("seed", "pw");
    for (std::size_t len = gri::kPlainChunk - 3; len <= gri::kPlainChunk + 3; ++len) {
        const std::string plain = allCodes(len);
        std::size_t pos = 0;
        std::string file;
        gri::Encoder(header, k).run(trickle(plain, pos, len),
                                    [&](std::string_view d) { file.append(d); });
        ASSERT_EQ(file, wholeFile(header, plain)) << len;
        EXPECT_EQ(gri::decryptBytes(file, "pw", k), plain) << len;
    }
}

// Every read and write goes to or from an address that agrees with its
// offset in the stream modulo 4096, however the reads come: the system
// copies to and from the page cache several times slower otherwise.
TEST(GriFormat, BuffersFollowTheStreamOffsets) {
    struct Placement {
        std::uint64_t offset = 0;
        int misplaced = 0;
        void at(const char* p, std::size_t n) {
            misplaced += (reinterpret_cast<std::uintptr_t>(p) - offset) % 4096 != 0;
            offset += n;
        }
    };
    std::mt19937 rng(7);
    const std::string plain = randomBytes(2 * gri::kPlainChunk + 1000, rng);
    const std::string file = gri::encryptBytes(plain, "pw", "seed");
    for (const std::size_t step : {plain.size(), std::size_t{1000}, std::size_t{4095}}) {
        SCOPED_TRACE(step);
        for (const bool encrypting : {true, false}) {
            const std::string& source = encrypting ? plain : file;
            Placement reads, writes;
            std::size_t pos = 0;
            const gri::ReadFn read = [&](char* buffer, std::size_t size) {
                const std::size_t n = trickle(source, pos, step)(buffer, size);
                reads.at(buffer, n);
                return n;
            };
            std::string out;
            const gri::WriteFn write = [&](std::string_view d) {
                writes.at(d.data(), d.size());
                out.append(d);
            };
            if (encrypting) {
                gri::Encoder(gri::Header::parse(file.substr(0, 24)), kernels::fastest())
                    .run(read, write);
            } else {
                gri::Decoder(read, kernels::fastest()).decryptBody(write);
            }
            EXPECT_EQ(out, encrypting ? file : plain);
            EXPECT_EQ(reads.misplaced, 0) << encrypting;
            EXPECT_EQ(writes.misplaced, 0) << encrypting;
        }
    }
}

// A body laid out another way (line lengths, line ends, empty lines) holds
// the same characters and so the same plaintext; only the layouts of a
// writer or a line-end conversion read as undamaged.
TEST_P(GriFormatOnEveryTarget, RewrappedBodiesDecryptAlike) {
    const std::string plain = allCodes(400);
    const std::string file = gri::encryptBytes(plain, "pw", "seed", k);
    const struct {
        std::string file;
        bool damaged;
    } variants[] = {
        {rewrap(file, 64, "\r\n"), false},           {rewrap(file, 71, "\r\n"), false},
        {rewrap(file, 1, "\r\n", false), true},      {rewrap(file, 70, "\r"), false},
        {rewrap(file, 3, "\r", false), true},        {rewrap(file, 70, "\r\n", false), true},
        {rewrap(file, 70, "\r\n\r\n"), false},       {rewrap(file, 50, "\r\r\n\r"), false},
        {rewrap(file, 100000, "\r\n", false), true}, {rewrap(file, 70, "\n"), false},
        {rewrap(file, 70, "\n", false), true},       {rewrap(file, 64, "\n\r"), false},
    };
    for (const auto& v : variants) {
        SCOPED_TRACE(testing::PrintToString(v.file.substr(0, 40)));
        for (const std::size_t buffer : {std::size_t{1}, std::size_t{256 * 1024}}) {
            const Decrypted d = decryptWithReport(k, v.file, buffer);
            EXPECT_EQ(d.plain, plain);
            EXPECT_EQ(d.damaged, v.damaged);
        }
    }
}

// Everyday damage: every plaintext byte whose characters were not hit comes
// back exactly, and the damage is reported.
TEST_P(GriFormatOnEveryTarget, DamageKeepsTheRestInPlace) {
    std::mt19937 rng(11);
    const std::string plain = randomBytes(20000, rng);
    const std::string crlf = gri::encryptBytes(plain, "pw", "seed", k);
    const std::size_t chars = plain.size() / 3 * 4 + plain.size() % 3 + 1;
    struct Case {
        std::string name, file;
        std::size_t from, to;  // body characters that may come back wrong
    };
    std::vector<Case> cases;
    for (const std::string& end : {"\r\n"s, "\n"s}) {
        const std::string file = rewrap(crlf, 70, end);
        const auto offsetOf = [&](std::size_t c) { return 24 + (c / 70 + 1) * end.size() + c; };
        // Damage over the file offsets [at, to).
        const auto add = [&](const std::string& name, const std::string& bytes, std::size_t at,
                             std::size_t to) {
            std::size_t from = 0, until = 0;
            for (std::size_t c = 0; c < chars; ++c) {
                from += offsetOf(c) < at;
                until += offsetOf(c) < to;
            }
            cases.push_back({name + ", " + testing::PrintToString(end), bytes, from, until});
        };
        for (auto [name, c, put] : {std::tuple{"above the alphabet", 100, "{"},
                                    {"top code", 1003, "\xFF"},
                                    {"blank in a line", 2000, " "},
                                    {"control in a line", 3001, "\x01"}}) {
            const std::size_t at = offsetOf(static_cast<std::size_t>(c));
            add(name, file.substr(0, at) + put + file.substr(at + 1), at, at + 1);
        }
        add("NUL padding", file + std::string(5000, '\0'), 0, 0);
        add("mail signature", file + "\r\n-- \r\nJohn Smith\r\n", offsetOf(chars / 4 * 4),
            file.size());
        // A 4 KiB block zeroed from every place in a line and its line end,
        // and over the first line end, where only the header's tells its length.
        std::vector<std::size_t> starts{offsetOf(30)};
        for (std::size_t at = offsetOf(700); at < offsetOf(770); ++at) {
            starts.push_back(at);
        }
        for (const std::size_t at : starts) {
            std::string zeroed = file;
            std::fill_n(zeroed.begin() + static_cast<std::ptrdiff_t>(at), 4096, '\0');
            add("4 KiB zeroed at " + std::to_string(at), zeroed, at, at + 4096);
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::size_t buffer : {std::size_t{7}, std::size_t{256 * 1024}}) {
            const Decrypted d = decryptWithReport(k, c.file, buffer);
            EXPECT_TRUE(d.damaged);
            // Only damage at the end may add characters.
            EXPECT_TRUE(d.plain.size() == plain.size() ||
                        (c.to == chars && d.plain.size() > plain.size()));
            std::size_t wrong = 0;
            for (std::size_t b = 0; b < std::min(plain.size(), d.plain.size()); ++b) {
                const std::size_t low = b / 3 * 4 + b % 3,
                                  high = std::min(b / 3 * 4 + 3, chars - 1);
                const bool hit = (low >= c.from && low < c.to) || (high >= c.from && high < c.to);
                wrong += !hit && d.plain[b] != plain[b];
            }
            EXPECT_EQ(wrong, 0u) << buffer;
        }
    }
}

TEST(GriFormat, FirstLineRules) {
    const std::string file = gri::encryptBytes("some text", "Secret", "seed");
    const std::string header = file.substr(0, 24);
    const std::string body = file.substr(24);
    EXPECT_EQ(gri::decryptBytes(file, "secret"), std::nullopt);  // letter case counts
    for (std::size_t len : {0u, 8u, 16u, 23u}) {
        EXPECT_EQ(gri::decryptBytes(header.substr(0, len) + body, "Secret"), std::nullopt) << len;
    }
    // The verifier also at the start: the first occurrence decides.
    const std::string verifier = header.substr(16);
    EXPECT_EQ(gri::decryptBytes(verifier + header.substr(8) + body, "Secret"), std::nullopt);
    // A longer first line passes the test but keys differently.
    const auto longer = gri::decryptBytes(header + "x" + body, "Secret");
    ASSERT_TRUE(longer);
    EXPECT_NE(*longer, "some text");
    // Header only, or with empty lines or padding only: nothing to un-armour.
    for (const std::string& bare : {header, header + "\r\n", header + "\r\n\r\r\n", header + "\n\n",
                                    header + "\r\n" + std::string(9, '\0')}) {
        EXPECT_EQ(errorOf([&] { gri::decryptBytes(bare, "Secret"); }),
                  shownNumber(ErrorKind::Damaged));
    }
    // The key limit: 32,766 characters key, one more is no key; rejection wins.
    const auto padded = [&](std::size_t len, const std::string& rest) {
        return header + std::string(len - 24, 'q') + rest;
    };
    EXPECT_EQ(errorOf([&] { gri::decryptBytes(padded(Cipher::kMaxKeyLength, body), "Secret"); }),
              0);
    for (const std::string& rest : {body, rewrap(file, 70, "\n").substr(24)}) {
        EXPECT_EQ(
            errorOf([&] { gri::decryptBytes(padded(Cipher::kMaxKeyLength + 1, rest), "Secret"); }),
            shownNumber(ErrorKind::Damaged));
    }
    EXPECT_EQ(gri::decryptBytes(padded(100000, body), "wrong"), std::nullopt);
}

// The fields the password test reads: cut short or empty on a short line,
// never read past its end or beyond the first 24 characters.
TEST(GriFormat, HeaderFields) {
    const gri::Header made = gri::Header::make("seed", "pw");
    const std::string line = made.line();
    ASSERT_EQ(line.substr(0, 8), gri::kMarker);
    EXPECT_TRUE(made.acceptsAny({"other", "pw"}));
    EXPECT_FALSE(made.acceptsAny({}));
    const struct {
        std::string line;
        std::size_t salt, verifier;
        bool standard;
    } rows[] = {{"", 0, 0, false},
                {line.substr(0, 8), 0, 0, false},
                {line.substr(0, 12), 4, 0, false},
                {line.substr(0, 20), 8, 4, false},
                {line, 8, 8, true},
                {line + "longer", 8, 8, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line.size());
        const gri::Header h = gri::Header::parse(r.line);
        EXPECT_EQ(h.salt(), line.substr(8, r.salt));
        EXPECT_EQ(h.verifier(), line.substr(16, r.verifier));
        EXPECT_EQ(h.standardLength(), r.standard);
    }
    EXPECT_FALSE(gri::Header::parse(line, true).standardLength());
}

INSTANTIATE_TEST_SUITE_P(Kernels, GriFormatOnEveryTarget, testing::ValuesIn(kernels::available()),
                         [](const auto& info) { return std::string(info.param->name); });

}  // namespace
}  // namespace grize
