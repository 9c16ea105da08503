#include "core/job/PathHelpers.h"

#include <gtest/gtest.h>

#include <string_view>

#include "errors/RuntimeError.h"

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
        {"", shownNumber(ErrorKind::InvalidCall)},
        {"a", shownNumber(ErrorKind::InvalidCall)},
        {"a.b", shownNumber(ErrorKind::InvalidCall)},
        {"sub/ab", shownNumber(ErrorKind::BadFileName)},
        {"/a/b", shownNumber(ErrorKind::BadFileName)},
        {"dir/", shownNumber(ErrorKind::BadFileName)},
        {"\u00e9\u20ac", shownNumber(ErrorKind::InvalidCall)},
        {"x/\u00e9\u00e9", shownNumber(ErrorKind::BadFileName)},
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
    const Case age[] = {
        {E, "/d/notes.txt", "/d/notes.txt.age"}, {E, "/d/notes.age", "/d/notes.age.age"},
        {D, "/d/notes.txt.AGE", "/d/notes.txt"}, {D, "/d/notes", "/d/notes.decrypted"},
        {D, "/d/.age", "/d/.age.decrypted"},     {D, "/d/.bashrc.age", "/d/decrypted.bashrc"},
        {D, "/d/..age", "/d/decrypted."},
    };
    for (const Case& c : age) {
        EXPECT_EQ(ageOutputPathFor(c.path, c.op), c.result) << c.path;
    }
}

}  // namespace
}  // namespace grize
