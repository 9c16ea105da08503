#include "core/format/PasswordBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "platform/CodePages.h"

namespace grize {
namespace {

TEST(PasswordBytes, Windows1252WhenEveryCharacterHasACode) {
    EXPECT_EQ(passwordBytes(U""), "");
    EXPECT_EQ(passwordBytes(U"Secret 1!"), "Secret 1!");
    EXPECT_EQ(passwordBytes(U"caf\u00e9\u00ff\u00a0"), "caf\xe9\xff\xa0");
    EXPECT_EQ(passwordBytes(U"\u20ac\u0178\u2122\u0160"), "\x80\x9f\x99\x8a");
}

TEST(PasswordBytes, OtherPasswordsNeverCollide) {
    // C1 controls and the code page's gaps have no code: the marked form.
    EXPECT_EQ(passwordBytes(U"\u0081"), "\x81\xc2\x81");
    EXPECT_EQ(passwordBytes(U"a\u0100"),
              "\x81"
              "a\xc4\x80");
    const std::u32string passwords[] = {
        U"\u0100",
        U"\u00c4\u20ac",
        U"\u00c3\u201e",
        U"\u0081",
        U"\u00c2\u0081",
        U"\u4e2d\u6587",
        U"\u00e4\u00b8\u00ad",
        U"\U0001F600",
        U"\u00f0\u0178\u02dc\u20ac",
        U"\u0081\u00c2\u0081",
        U"a",
        U"\u00e9",
        U"\u00c3\u00a9",
    };
    std::set<std::string> seen;
    for (const std::u32string& p : passwords) {
        const std::string bytes = passwordBytes(p);
        EXPECT_EQ(bytes.find('?'), std::string::npos);
        EXPECT_TRUE(seen.insert(bytes).second) << "collision at index " << seen.size();
    }
}

TEST(PasswordBytes, FilesFromOtherWindowsCodePagesOpen) {
    // The bytes Windows writes for each password in that code page; nullopt
    // where a character has no exact code there.
    struct Case {
        std::u32string password;
        unsigned codePage;
        std::optional<std::string> bytes;
    } const cases[] = {
        {U"пароль", 1251, "\xef\xe0\xf0\xee\xeb\xfc"},
        {U"heslo řž", 1250, "heslo \xf8\x9e"},
        {U"κωδικός", 1253, "\xea\xf9\xe4\xe9\xea\xfc\xf2"},
        {U"şifre", 1254, "\xfeifre"},
        {U"סיסמה", 1255, "\xf1\xe9\xf1\xee\xe4"},
        {U"Đà", 1258, "\xd0\xe0"},
        {U"รหัส", 874, "\xc3\xcb\xd1\xca"},
        {U"パスワード", 932, "\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68"},
        {U"密码", 936, "\xc3\xdc\xc2\xeb"},
        {U"비밀번호", 949, "\xba\xf1\xb9\xd0\xb9\xf8\xc8\xa3"},
        {U"密碼", 950, "\xb1\x4b\xbd\x58"},
        {U"Secret 1!", 1251, "Secret 1!"},
        {U"café €", 1252, "caf\xe9 \x80"},
        {U"", 932, ""},
        {U"пароль", 1250, std::nullopt},
        {U"mật", 1258, std::nullopt},        // only as a letter and a combining mark
        {U"¥", 932, std::nullopt},           // only as a look-alike
        {U"\U0001F600", 936, std::nullopt},  // in no code page at all
        {U"a", 1234, std::nullopt},          // no such code page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        EXPECT_EQ(encodeInCodePage(c.password, c.codePage), c.bytes);
        const std::vector<std::string> forms = passwordsForDecryption(c.password);
        ASSERT_FALSE(forms.empty());
        EXPECT_EQ(forms.front(), passwordBytes(c.password));
        EXPECT_EQ(std::set(forms.begin(), forms.end()).size(), forms.size());
        if (c.bytes) {
            EXPECT_NE(std::ranges::find(forms, *c.bytes), forms.end());
        }
        EXPECT_NE(std::ranges::find(forms, passwordForEncryption(c.password)), forms.end());
    }
    // Every code page writes ASCII alike, and a character none has leaves one form.
    EXPECT_EQ(passwordsForDecryption(U"Secret 1!").size(), 1u);
    EXPECT_EQ(passwordsForDecryption(U"x\U0001F600"), std::vector{passwordBytes(U"x\U0001F600")});
}

TEST(PasswordBytes, DecodeUtf8TakesBadBytesOneEach) {
    EXPECT_EQ(decodeUtf8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), U"a\u00e9\u20ac\U0001F600");
    EXPECT_EQ(decodeUtf8("\xe9t\xe9"), U"\u00e9t\u00e9");          // Latin-1 bytes
    EXPECT_EQ(decodeUtf8("\xc0\xaf"), U"\u00c0\u00af");            // overlong
    EXPECT_EQ(decodeUtf8("\xed\xa0\x80"), U"\u00ed\u00a0\u0080");  // surrogate
    EXPECT_EQ(decodeUtf8("\xe2\x82"), U"\u00e2\u0082");            // cut short
}

}  // namespace
}  // namespace grize
