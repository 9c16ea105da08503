#include <gtest/gtest.h>

#include <regex>

#include "VectorFile.h"
#include "core/cipher/Cipher.h"
#include "core/cipher/Hash.h"
#include "errors/RuntimeError.h"

using grize::hash;

namespace {

std::string referenceInput(const std::string& shown) {
    if (shown == "bytes 00..ff") {
        std::string all;
        for (int i = 0; i < 256; ++i) {
            all.push_back(static_cast<char>(i));
        }
        return all;
    }
    return shown;
}

TEST(Hash, ReproducesReferenceDigests) {
    const std::regex re(R"(hash \|(.*)\| = \|(.{8})\|)");
    int checked = 0;
    for (const std::string& line : vectorLines("cipher.txt")) {
        std::smatch m;
        if (std::regex_match(line, m, re)) {
            SCOPED_TRACE(line);
            EXPECT_EQ(hash(referenceInput(m[1])), m[2].str());
            ++checked;
        }
    }
    EXPECT_EQ(checked, 5);
}

TEST(Hash, SameDigestAfterOtherCipherWork) {
    const std::string first = hash("password");
    grize::Cipher c;
    c.setKey("something else");
    c.setText("xyz");
    c.xorKeystream();
    EXPECT_EQ(hash("password"), first);
}

TEST(Hash, InputLengthLimit) {
    const std::string longest(grize::kMaxHashInput, '\xff');
    const std::string digest = hash(longest);
    ASSERT_EQ(digest.size(), 8u);
    for (unsigned char ch : digest) {
        EXPECT_TRUE(ch >= 59 && ch <= 122);
    }
    try {
        hash(longest + "x");
        FAIL() << "accepted an input of " << longest.size() + 1;
    } catch (const grize::RuntimeError& e) {
        EXPECT_EQ(e.number(), 6);
    }
}

}  // namespace
