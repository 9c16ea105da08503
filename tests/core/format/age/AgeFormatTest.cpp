#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "core/format/age/AgeDecoder.h"
#include "core/format/age/AgeEncoder.h"
#include "core/format/age/AgeError.h"
#include "core/format/age/AgeFormat.h"
#include "core/format/age/Base64.h"
#if GRIZE_HAVE_ZLIB
#include <zlib.h>
#endif

namespace grize::age {
namespace {

// Serves `data` at most `step` bytes a call, so that every window and line
// boundary is crossed.
ReadFn reader(const std::string& data, std::size_t step) {
    auto pos = std::make_shared<std::size_t>(0);
    return [&data, step, pos](char* buffer, std::size_t size) {
        const std::size_t n = std::min({size, step, data.size() - *pos});
        std::memcpy(buffer, data.data() + *pos, n);
        *pos += n;
        return n;
    };
}

std::string outcomeName(Failure f) {
    switch (f) {
        case Failure::Header:
        case Failure::WorkFactorTooHigh:
            return "header failure";
        case Failure::Mac:
            return "HMAC failure";
        case Failure::Payload:
            return "payload failure";
        case Failure::Armor:
            return "armor failure";
        case Failure::NotPassphrase:
            return "no match";
    }
    return "?";
}

std::string sha256Hex(const std::string& data) {
    unsigned char h[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(h, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    char hex[2 * sizeof h + 1];
    sodium_bin2hex(hex, sizeof hex, h, sizeof h);
    return hex;
}

struct Vector {
    std::map<std::string, std::string> fields;
    std::vector<std::string> passphrases;
    std::string file;
    bool compressed = false;
};

Vector load(const std::string& name) {
    std::ifstream in(std::string(GRIZE_AGE_VECTORS) + "/" + name, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    const std::size_t split = all.find("\n\n");
    Vector v;
    std::istringstream head(all.substr(0, split));
    for (std::string line; std::getline(head, line);) {
        const std::size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
        if (key == "passphrase") {
            v.passphrases.push_back(value);
        }
        v.fields[key] = value;
    }
    v.file = all.substr(split + 2);
    v.compressed = v.fields.count("compressed") > 0;
    return v;
}

std::vector<std::string> vectorNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(GRIZE_AGE_VECTORS)) {
        if (e.path().extension().empty()) {
            names.push_back(e.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Vectors whose expected failure rests on the X25519 or hybrid stanza's own
// rules (its arguments, shares, body length, tag), which a passphrase reader
// does not apply, and what they give with the recorded file key instead: the
// plaintext, or for an overlong wrapped key a MAC made with that key.
const std::map<std::string, std::string> kRecipientRules = {
    {"armor_no_match", "success"},
    {"hybrid_bad_tag", "success"},
    {"hybrid_currupted_enc_mlkem", "success"},
    {"hybrid_currupted_enc_x25519", "success"},
    {"hybrid_extra_argument", "success"},
    {"hybrid_identity", "success"},
    {"hybrid_long_file_key", "HMAC failure"},
    {"hybrid_long_share", "success"},
    {"hybrid_low_order", "success"},
    {"hybrid_no_match", "success"},
    {"hybrid_not_canonical_enc", "success"},
    {"hybrid_short_share", "success"},
    {"hybrid_uppercase", "success"},
    {"hybrid_x25519_arg", "success"},
    {"x25519_bad_tag", "success"},
    {"x25519_extra_argument", "success"},
    {"x25519_identity", "success"},
    {"x25519_long_file_key", "HMAC failure"},
    {"x25519_long_share", "success"},
    {"x25519_low_order", "success"},
    {"x25519_lowercase", "success"},
    {"x25519_no_match", "success"},
    {"x25519_not_canonical_share", "success"},
    {"x25519_short_share", "success"},
};

class AgeVectors : public testing::TestWithParam<std::string> {};

// Each vector: the outcome, and the plaintext released before it. Passphrase
// vectors go through unwrap; the others through their recorded file key.
TEST_P(AgeVectors, DecryptsAsRecorded) {
    Vector v = load(GetParam());
    if (v.compressed) {
#if GRIZE_HAVE_ZLIB
        std::string out(20 << 20, '\0');
        uLongf size = out.size();
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                             reinterpret_cast<const Bytef*>(v.file.data()), v.file.size()),
                  Z_OK);
        v.file = out.substr(0, size);
#else
        GTEST_SKIP() << "zlib-compressed, and this build has no zlib";
#endif
    }
    const bool passphrase = !v.passphrases.empty();
    const auto rule = kRecipientRules.find(GetParam());
    const std::string expected =
        !passphrase && rule != kRecipientRules.end() ? rule->second : v.fields.at("expect");
    std::string released;
    Decoder d(reader(v.file, v.file.size() < 4096 ? 1 : 7919));
    const std::string outcome = [&]() -> std::string {
        try {
            std::optional<FileKey> key;
            if (passphrase) {
                for (const std::string& p : v.passphrases) {
                    if ((key = d.unwrap(p))) {
                        break;
                    }
                }
                if (!key) {
                    return "no match";
                }
            } else {
                const auto hex = v.fields.at("file key");
                unsigned char bytes[16];
                sodium_hex2bin(bytes, sizeof bytes, hex.data(), hex.size(), nullptr, nullptr,
                               nullptr);
                key = FileKey(bytes);
            }
            d.decrypt(*key, [&](std::string_view s) { released.append(s); });
            return "success";
        } catch (const Error& e) {
            return outcomeName(e.failure());
        }
    }();
    EXPECT_EQ(outcome, expected);
    if (v.fields.count("payload") > 0) {
        EXPECT_EQ(sha256Hex(released), v.fields.at("payload"));
    } else if (outcome != "success") {
        EXPECT_EQ(released, "");
    }
    // A header any reader accepts, without an scrypt stanza, is no passphrase's.
    if (!passphrase) {
        Decoder other(reader(v.file, v.file.size()));
        try {
            other.header();
        } catch (const Error&) {
            return;
        }
        try {
            other.unwrap("passphrase");
            ADD_FAILURE() << "unwrapped";
        } catch (const Error& e) {
            EXPECT_EQ(e.failure(), Failure::NotPassphrase);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, AgeVectors, testing::ValuesIn(vectorNames()),
                         [](const auto& info) { return info.param; });

TEST(AgeVectorsCopied, AllOfThem) {
    EXPECT_EQ(vectorNames().size(), 143u);
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    std::mt19937 g(static_cast<unsigned>(size));
    for (char& c : s) {
        c = static_cast<char>(g());
    }
    return s;
}

std::string encrypt(const std::string& plain, bool armor, int logN = 10) {
    std::string file;
    Encoder(std::string_view("pass phrase"), logN, armor)
        .run(reader(plain, 5000), [&](std::string_view s) { file.append(s); });
    return file;
}

// Chunk edges, binary and armored: the size Encoder announces, and the
// plaintext back for the passphrase and nothing for another.
TEST(AgeRoundTrip, ChunkEdges) {
    for (const bool armor : {false, true}) {
        for (const std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 131072u}) {
            SCOPED_TRACE(testing::Message() << "armor " << armor << ", size " << size);
            const std::string plain = pattern(size);
            const std::string file = encrypt(plain, armor);
            EXPECT_EQ(file.size(), encryptedSize(size, armor, 10));
            EXPECT_TRUE(looksLikeAge(std::string_view(file).substr(0, kSniffBytes)));
            if (armor) {
                EXPECT_TRUE(file.ends_with("\n" + std::string(kArmorEnd) + "\n"));
                EXPECT_EQ(file.find('\r'), std::string::npos);
            }
            Decoder d(reader(file, 4093));
            EXPECT_EQ(d.armored(), armor);
            const auto key = d.unwrap("pass phrase");
            ASSERT_TRUE(key);
            std::string back;
            d.decrypt(*key, [&](std::string_view s) { back.append(s); });
            EXPECT_TRUE(back == plain);
            EXPECT_FALSE(Decoder(reader(file, file.size())).unwrap("pass phrasE"));
        }
    }
}

Failure failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.failure();
    }
    return Failure::NotPassphrase;  // not reached by the rows below
}

// The work factor's limit is the caller's, checked from the header alone.
TEST(AgeRoundTrip, WorkFactorLimit) {
    const std::string file = encrypt("x", false, 12);
    Decoder over(reader(file, file.size()), 11);
    try {
        over.header();
        ADD_FAILURE() << "accepted 2^12 under a limit of 2^11";
    } catch (const Error& e) {
        EXPECT_EQ(e.failure(), Failure::WorkFactorTooHigh);
        EXPECT_EQ(e.logN(), 12);
    }
    EXPECT_EQ(failureOf([&] { over.unwrap("pass phrase"); }), Failure::WorkFactorTooHigh);
    Decoder at(reader(file, file.size()), 12);
    EXPECT_EQ(at.logN(), 12);
    EXPECT_TRUE(at.unwrap("pass phrase"));

    const std::string high = load("scrypt_work_factor_23").file;
    EXPECT_EQ(Decoder(reader(high, high.size()), 23).logN(), 23);
}

TEST(AgeSniff, FirstBytes) {
    const std::string v1 = "age-encryption.org/v1\n-> ";
    EXPECT_TRUE(looksLikeAge(v1));
    EXPECT_TRUE(looksLikeAge(" \r\n\t" + std::string(kArmorBegin) + "\n"));
    EXPECT_FALSE(looksLikeAge("age-encryption.org/v1\r\n"));
    EXPECT_FALSE(looksLikeAge("[Grized]"));
    EXPECT_FALSE(looksLikeAge(""));
}

// Our base64 against libsodium's, for every short string over the
// alphabet, '=' and one outsider, both variants.
TEST(AgeBase64, AgreesWithLibsodium) {
    ASSERT_GE(sodium_init(), 0);
    const std::string chars = "AQgw+/=*";  // values with low bits clear and set
    for (int padded = 0; padded < 2; ++padded) {
        const int variant =
            padded ? sodium_base64_VARIANT_ORIGINAL : sodium_base64_VARIANT_ORIGINAL_NO_PADDING;
        for (std::size_t len = 0; len <= 6; ++len) {
            std::string text(len, 'A');
            for (std::size_t combo = 0;; ++combo) {
                std::size_t c = combo;
                for (std::size_t i = 0; i < len; ++i, c /= chars.size()) {
                    text[i] = chars[c % chars.size()];
                }
                if (c > 0 || (len == 0 && combo > 0)) {
                    break;
                }
                unsigned char theirs[8], ours[8];
                std::size_t theirSize = 0;
                const bool theyAccept =
                    sodium_base642bin(theirs, sizeof theirs, text.data(), len, nullptr, &theirSize,
                                      nullptr, variant) == 0;
                const auto ourSize = base64::decode(text, ours, padded);
                ASSERT_EQ(ourSize.has_value(), theyAccept) << text << " padded " << padded;
                if (theyAccept) {
                    ASSERT_EQ(*ourSize, theirSize);
                    ASSERT_EQ(std::memcmp(ours, theirs, theirSize), 0) << text;
                }
            }
        }
        for (std::size_t len = 0; len < 40; ++len) {
            const std::string bytes = pattern(len);
            char theirs[64];
            sodium_bin2base64(theirs, sizeof theirs,
                              reinterpret_cast<const unsigned char*>(bytes.data()), len, variant);
            EXPECT_EQ(base64::encode(bytes, padded), theirs);
        }
    }
}

}  // namespace
}  // namespace grize::age
