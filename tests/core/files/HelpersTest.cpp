#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <optional>
#include <set>
#include <string_view>

#include "TestSupport.h"
#include "core/format/PasswordBytes.h"
#include "core/format/SaltSeed.h"
#include "core/job/PathHelpers.h"
#include "errors/RuntimeError.h"
#include "platform/CodePages.h"

namespace grize {
namespace {

TEST(PathHelpers, fileName) {
    struct Case {
        std::string path, slash, name;
    } const cases[] = {
        {"C:\\Docs\\letter.txt", "\\", "letter.txt"},
        {"C:\\Docs\\", "\\", ""},
        {"letter.txt", "\\", "letter.txt"},
        {"C:/Docs/letter.txt", "\\", "C:/Docs/letter.txt"},
        {"\\\\server\\share\\a.txt", "\\", "a.txt"},
        {"/home/u/a.txt", "/", "a.txt"},
        {"/home/u/a.txt", "//", "/home/u/a.txt"},
        {"/home/u/a.txt", "", "/home/u/a.txt"},
        {"", "/", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileName(c.path, c.slash), c.name) << c.path << " " << c.slash;
    }
}

TEST(PathHelpers, ReplaceExtensionDropsFourCharacters) {
    struct Case {
        std::string path, ext, result;
    } const cases[] = {
        {"C:\\Docs\\letter.txt", ".gri", "C:\\Docs\\letter.gri"},
        {"/docs/letter.gri", ".txt", "/docs/letter.txt"},
        {"C:\\Docs\\page.html", ".gri", "C:\\Docs\\page..gri"},
        {"/docs/notes", ".gri", "/docs/n.gri"},
        {"/my.dir/readme", ".txt", "/my.dir/re.txt"},
        {"a.tx", ".gri", ".gri"},
        // Characters, not bytes; a byte of no valid sequence is one.
        {"/d/Gr\u00f6\u00dfe", ".txt", "/d/G.txt"},
        {"/d/caf\u00e9\u20ac", ".txt", "/d/c.txt"},
        {"/d/ab\xe2\x82\xc3\xa9", ".txt", "/d/a.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replaceExtension(c.path, c.ext), c.result) << c.path;
    }
    // Too short, or the output would land in another folder.
    const std::pair<std::string, int> refused[] = {
        {"", err::kInvalidCall},
        {"a", err::kInvalidCall},
        {"a.b", err::kInvalidCall},
        {"sub/ab", err::kBadFileName},
        {"/a/b", err::kBadFileName},
        {"dir/", err::kBadFileName},
        {"\u00e9\u20ac", err::kInvalidCall},
        {"x/\u00e9\u00e9", err::kBadFileName},
    };
    for (const auto& [path, number] : refused) {
        try {
            replaceExtension(path, ".gri");
            ADD_FAILURE() << path;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number) << path;
        }
    }
}

TEST(PathHelpers, ReplaceExtensionCountsFourByteUtf8AsOneCharacter) {
    if (std::string_view(kPathSeparator) != "/") {
        GTEST_SKIP() << "UTF-16 names count it as two units: see windows_tests";
    }
    EXPECT_EQ(replaceExtension("/d/ab\U0001F600cd", ".txt"), "/d/a.txt");
}

TEST(PathHelpers, OutputPathKeepsNamesApart) {
    constexpr Operation E = Operation::Encrypt;
    constexpr Operation D = Operation::Decrypt;
    struct Case {
        Operation op;
        std::string path, result;
    } const cases[] = {
        {E, "/d/notes.txt", "/d/notes.gri"},
        {E, "/d/notes.gri", "/d/notes.gri"},  // unmarked: in place
        {E, "/d/NOTES.TXT", "/d/NOTES.gri"},
        {E, "/d/photo.jpg", "/d/photo.jpg.gri"},  // report.pdf and report.doc stay apart
        {E, "/d/archive.tar.gz", "/d/archive.tar.gz.gri"},
        {E, "/d/data", "/d/data.gri"},  // never the hidden ".gri"
        {E, "/d/.txt", "/d/.txt.gri"},
        {E, "a.b", "a.b.gri"},
        {E, "/d/x.GRI", "/d/x.GRI"},  // x.gri may be this very file
        {D, "/d/letter.gri", "/d/letter.txt"},
        {D, "/d/photo.jpg.gri", "/d/photo.jpg"},
        {D, "/d/archive.tar.gz.GRI", "/d/archive.tar.gz"},
        {D, "/d/.bashrc.gri", "/d/.bashrc.txt"},
        {D, "/d/a..gri", "/d/a..txt"},
        {D, "/d/.gri", "/d/.gri.txt"},
        {D, "/d/notes.txt", "/d/notes.txt"},  // marked: in place
        {D, "/d/N.TXT", "/d/N.TXT"},
        {D, "/d/abcd", "/d/abcd.txt"},
        {D, "/d/README", "/d/RE.txt"},
        {D, "/d/Gr\u00f6\u00dfe", "/d/G.txt"},
        {D, "/d/\u00e9t\u00e9s", "/d/\u00e9t\u00e9s.txt"},  // nothing would be left
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outputPathFor(c.path, c.op), c.result) << c.path;
    }
    EXPECT_THROW(outputPathFor("/d/", E), RuntimeError);
}

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

TEST(SaltSeed, DateThenSecondsWithoutExponentOrTrailingZeros) {
    std::setlocale(LC_TIME, "C");
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 6;
    t.tm_mday = 12;
    struct Case {
        float seconds;
        const char* text;
    } const cases[] = {
        {14523.45f, "07/12/26 14523.45"},
        {0.0f, "07/12/26 0"},
        {86399.99f, "07/12/26 86399.99"},
        {3600.0f, "07/12/26 3600"},
        {0.5f, "07/12/26 0.5"},
        {0.0000125f, "07/12/26 0.0000125"},
        {12.3456789f, "07/12/26 12.34568"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(saltSeed(t, c.seconds), c.text);
    }
    EXPECT_NE(saltSeedNow().find(' '), std::string::npos);
}

}  // namespace
}  // namespace grize
