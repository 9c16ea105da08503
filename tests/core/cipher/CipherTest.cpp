#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "VectorFile.h"
#include "core/cipher/Cipher.h"
#include "errors/RuntimeError.h"

using grize::Cipher;
using grize::RuntimeError;

namespace {

std::string codes(std::initializer_list<int> list) {
    std::string s;
    for (int c : list) {
        s.push_back(static_cast<char>(c));
    }
    return s;
}

std::string allBytes(std::size_t length) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        s[i] = static_cast<char>((i * 7 + 3) % 256);
    }
    return s;
}

std::string keystream(const std::string& key, std::size_t n) {
    Cipher c;
    c.KeyString(key);
    c.Text(std::string(n, '\0'));
    c.DoXor();
    return c.Text();
}

TEST(Cipher, ReproducesReferenceKeystreams) {
    const std::regex re(R"(keystream key=\|(.*)\| first16=([0-9a-f]+))");
    int checked = 0;
    for (const std::string& line : vectorLines("cipher.txt")) {
        std::smatch m;
        if (std::regex_match(line, m, re)) {
            SCOPED_TRACE(line);
            EXPECT_EQ(toHex(keystream(m[1], 16)), m[2].str());
            ++checked;
        }
    }
    EXPECT_EQ(checked, 3);
}

TEST(Cipher, NewObjectHasEmptyText) {
    EXPECT_EQ(Cipher{}.Text(), "");
}

TEST(Cipher, XorRoundTripsEveryCodeAndLength) {
    for (const std::string& key :
         std::vector<std::string>{"", "ab", "[Grized]`zGwrS>vPlOIlsmj", std::string(1, '\0')}) {
        for (std::size_t len = 0; len <= 300; ++len) {
            const std::string plain = allBytes(len);
            Cipher enc;
            enc.KeyString(key);
            enc.Text(plain);
            enc.DoXor();
            Cipher dec;
            dec.KeyString(key);
            dec.Text(enc.Text());
            dec.DoXor();
            ASSERT_EQ(dec.Text(), plain) << "key length " << key.size() << ", length " << len;
        }
    }
}

TEST(Cipher, SecondXorContinuesTheKeystream) {
    const std::string whole = keystream("key", 20);
    Cipher c;
    c.KeyString("key");
    c.Text(std::string(0, '\0'));
    c.DoXor();  // an empty text draws nothing
    c.Text(std::string(8, '\0'));
    c.DoXor();
    std::string parts = c.Text();
    c.Text(std::string(12, '\0'));
    c.DoXor();
    parts += c.Text();
    EXPECT_EQ(parts, whole);
}

TEST(Cipher, KeyCharacterZeroAndDifferentKeysDiffer) {
    EXPECT_NE(keystream(std::string(1, '\0'), 16), keystream("", 16));
    EXPECT_NE(keystream("ab", 16), keystream("ba", 16));
}

TEST(Cipher, KeyLengthLimit) {
    struct Case {
        std::size_t length;
        bool accepted;
    };
    for (const Case& c :
         std::vector<Case>{{32766, true}, {32767, false}, {32768, false}, {70000, false}}) {
        Cipher cipher;
        const std::string key(c.length, 'k');
        if (c.accepted) {
            EXPECT_NO_THROW(cipher.KeyString(key)) << c.length;
        } else {
            try {
                cipher.KeyString(key);
                ADD_FAILURE() << "accepted a key of " << c.length;
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.number(), 6);
                EXPECT_EQ(e.description(), "Overflow");
            }
        }
    }
}

TEST(Armour, WorkedExamples) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"abc", codes({92, 93, 94, 80})},
        {"abcd", codes({92, 93, 94, 80, 95, 75})},
        {"ab", codes({92, 93, 79})},
        {"a", codes({92, 75})},
        {codes({0, 255, 128}), codes({59, 122, 59, 73})},
    };
    for (const Case& c : cases) {
        Cipher cipher;
        cipher.Text(c.in);
        cipher.Stretch();
        EXPECT_EQ(cipher.Text(), c.out) << c.in;
    }
}

TEST(Armour, RoundTripsAndStaysInAlphabet) {
    for (std::size_t len = 1; len <= 300; ++len) {
        const std::string plain = allBytes(len);
        Cipher c;
        c.Text(plain);
        c.Stretch();
        const std::string armoured = c.Text();
        ASSERT_EQ(armoured.size(), len + (len + 2) / 3);
        for (unsigned char ch : armoured) {
            ASSERT_TRUE(ch >= 59 && ch <= 122) << int(ch);
        }
        c.Shrink();
        ASSERT_EQ(c.Text(), plain) << len;
    }
}

TEST(Armour, ShrinkOddLengths) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {codes({92}), ""},                              // one character: nothing
        {codes({92, 93, 94, 80, 95}), "abc"},           // 4m + 1: last one ignored
        {codes({92, 75}), "a"},                         // short group: clamp finds high bits
        {codes({123, 59, 59, 59}), codes({64, 0, 0})},  // above the alphabet: wrong, no error
    };
    for (const Case& c : cases) {
        Cipher cipher;
        cipher.Text(c.in);
        cipher.Shrink();
        EXPECT_EQ(cipher.Text(), c.out);
    }
}

TEST(Armour, ShrinkFailuresLeaveTextUnchanged) {
    for (const std::string& bad : std::vector<std::string>{"", "\\]^P\r\n]^P", " ;;;"}) {
        Cipher c;
        c.Text(bad);
        try {
            c.Shrink();
            ADD_FAILURE() << "no error for " << toHex(bad);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 5);
            EXPECT_EQ(e.description(), "Invalid procedure call or argument");
        }
        EXPECT_EQ(c.Text(), bad);
    }
}

}  // namespace
