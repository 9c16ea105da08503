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
    c.setKey(key);
    c.setText(std::string(n, '\0'));
    c.xorKeystream();
    return c.text();
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
    EXPECT_EQ(Cipher{}.text(), "");
}

TEST(Cipher, XorRoundTripsEveryCodeAndLength) {
    for (const std::string& key :
         std::vector<std::string>{"", "ab", "[Grized]`zGwrS>vPlOIlsmj", std::string(1, '\0')}) {
        for (std::size_t len = 0; len <= 300; ++len) {
            const std::string plain = allBytes(len);
            Cipher enc;
            enc.setKey(key);
            enc.setText(plain);
            enc.xorKeystream();
            Cipher dec;
            dec.setKey(key);
            dec.setText(enc.text());
            dec.xorKeystream();
            ASSERT_EQ(dec.text(), plain) << "key length " << key.size() << ", length " << len;
        }
    }
}

TEST(Cipher, SecondXorContinuesTheKeystream) {
    const std::string whole = keystream("key", 20);
    Cipher c;
    c.setKey("key");
    c.setText(std::string(0, '\0'));
    c.xorKeystream();  // an empty text draws nothing
    c.setText(std::string(8, '\0'));
    c.xorKeystream();
    std::string parts = c.text();
    c.setText(std::string(12, '\0'));
    c.xorKeystream();
    parts += c.text();
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
            EXPECT_NO_THROW(cipher.setKey(key)) << c.length;
        } else {
            try {
                cipher.setKey(key);
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
        cipher.setText(c.in);
        cipher.stretch();
        EXPECT_EQ(cipher.text(), c.out) << c.in;
    }
}

TEST(Armour, RoundTripsAndStaysInAlphabet) {
    for (std::size_t len = 1; len <= 300; ++len) {
        const std::string plain = allBytes(len);
        Cipher c;
        c.setText(plain);
        c.stretch();
        const std::string armoured = c.text();
        ASSERT_EQ(armoured.size(), len + (len + 2) / 3);
        for (unsigned char ch : armoured) {
            ASSERT_TRUE(ch >= 59 && ch <= 122) << int(ch);
        }
        c.shrink();
        ASSERT_EQ(c.text(), plain) << len;
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
        cipher.setText(c.in);
        cipher.shrink();
        EXPECT_EQ(cipher.text(), c.out);
    }
}

TEST(Armour, ShrinkFailuresLeaveTextUnchanged) {
    for (const std::string& bad : std::vector<std::string>{"", "\\]^P\r\n]^P", " ;;;"}) {
        Cipher c;
        c.setText(bad);
        try {
            c.shrink();
            ADD_FAILURE() << "no error for " << toHex(bad);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 5);
            EXPECT_EQ(e.description(), "Invalid procedure call or argument");
        }
        EXPECT_EQ(c.text(), bad);
    }
}

}  // namespace
