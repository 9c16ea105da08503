#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/files/FileOperations.h"
#include "core/files/TargetChecks.h"
#include "core/job/PathHelpers.h"
#include "errors/RuntimeError.h"
#include "platform/FileSystem.h"
#include "platform/windows/WindowsCommandLine.h"
#include "platform/windows/WindowsFileSystem.h"

namespace grize::test {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A folder of its own under the temporary folder, with a name outside the
// ANSI code page.
struct TempFolder {
    fs::path path = fs::temp_directory_path() / fs::path(u8"grize-\u0436\u4e2d");
    TempFolder() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
};

TEST(WindowsPaths, SplitAtEitherSeparatorAndAfterTheDrive) {
    const struct {
        std::string path, folder, name;
    } cases[] = {
        {"C:\\d\\a.txt", "C:\\d", "a.txt"},  // the scratch file goes beside the source
        {"C:\\a.txt", "C:\\", "a.txt"},      // the root keeps its separator
        {"C:a.txt", "C:", "a.txt"},          // the drive's current folder
        {"d/a.txt", "d", "a.txt"},          {"\\a.txt", "\\", "a.txt"}, {"a.txt", ".", "a.txt"},
    };
    for (const auto& c : cases) {
        const PathParts parts = splitPath(c.path);
        EXPECT_EQ(parts.folder, c.folder) << c.path;
        EXPECT_EQ(parts.name, c.name) << c.path;
    }
    EXPECT_EQ(fileName("C:\\d\\a.txt", kPathSeparator), "a.txt");
}

// Names are UTF-16: four code units go, a surrogate pair as a whole.
TEST(WindowsPaths, ReplaceExtensionDropsFourUtf16Units) {
    const struct {
        std::string path, ext, result;
    } cases[] = {
        {"C:\\d\\ab\U0001F600cd", ".txt", "C:\\d\\ab.txt"},
        {"C:\\d\\\U0001F600abc", ".txt", "C:\\d\\.txt"},  // the cut would split the pair
        {"\U0001F600\U0001F600", ".gri", ".gri"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replaceExtension(c.path, c.ext), c.result) << c.path;
    }
    EXPECT_THROW(replaceExtension("\U0001F600a", ".gri"), RuntimeError);  // three units
}

TEST(WindowsCommandLine, ArgumentTextIsTheRestOfTheLineUnsplit) {
    const struct {
        std::wstring line, text;
    } cases[] = {
        {L"grize.exe C:\\a  b.txt  ", L"C:\\a  b.txt  "},
        {L"\"C:\\Program Files\\Grize\\grize.exe\" \"C:\\my  notes.txt\"", L"C:\\my  notes.txt"},
        {L"\"C:\\Program Files\\Grize\\grize.exe\"\"C:\\a.txt\"", L"C:\\a.txt"},
        {L"grize.exe \"\"x\"\"", L"\"x\""},  // one pair only
        {L"grize.exe \"a", L"\"a"},
        {L"grize.exe\tC:\\a.txt", L"C:\\a.txt"},
        {L"\"C:\\Program Files\\Grize\\grize.exe\"", L""},
        {L"C:\\Grize\\grize.exe  ", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(argumentText(c.line), c.text) << narrow(c.line);
    }
}

TEST(WindowsFileSystem, RenamesLinksAndKnowsEachFile) {
    TempFolder dir;
    FileSystem& files = defaultFileSystem();
    const FileHandle folder = files.openFolder(utf8(dir.path));
    FileHandle file = files.createNewAt(folder, "a", 0600);
    ASSERT_TRUE(file);
    EXPECT_FALSE(files.createNewAt(folder, "a", 0600));
    files.write(file, "one");
    files.sync(file);
    file.close();

    ASSERT_EQ(files.linkAt(folder, "a", "b"), LinkResult::Done);
    EXPECT_EQ(files.linkAt(folder, "a", "b"), LinkResult::NameTaken);
    EXPECT_TRUE(files.statusAt(folder, "a").sameFileAs(files.statusAt(folder, "b")));
    EXPECT_EQ(files.statusAt(folder, "a").size, 3u);

    ASSERT_TRUE(files.createNewAt(folder, "c", 0400));
    EXPECT_EQ(files.statusAt(folder, "c").mode & 0200u, 0u);  // the read-only attribute
    EXPECT_FALSE(files.renameNoReplaceAt(folder, "a", "b"));
    files.removeAt(folder, "b");
    files.renameAt(folder, "a", "d");
    EXPECT_EQ(files.statusAt(folder, "a").kind, FileKind::Missing);
    const auto names = files.listFolder(folder);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"c", "d"}));
    fs::permissions(dir.path / "c", fs::perms::owner_write, fs::perm_options::add);
}

TEST(WindowsFileSystem, AttributeBitsDecideTheTargetChecks) {
    TempFolder dir;
    const fs::path file = dir.path / "a.txt";
    std::ofstream(file) << "x";
    const struct {
        DWORD attributes;
        TargetCheck expected;
    } cases[] = {
        {FILE_ATTRIBUTE_ARCHIVE, TargetCheck::Ok},  // no other bit matters
        {FILE_ATTRIBUTE_READONLY, TargetCheck::ReadOnly},
        {FILE_ATTRIBUTE_HIDDEN, TargetCheck::Hidden},
        {FILE_ATTRIBUTE_SYSTEM, TargetCheck::System},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, TargetCheck::ReadOnly},  // in order
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(), c.attributes));
        EXPECT_EQ(checkTarget(utf8(file), defaultFileSystem()), c.expected) << c.attributes;
    }
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(checkTarget(utf8(dir.path), defaultFileSystem()),
              TargetCheck::Folder);  // the directory bit
}

TEST(WindowsFileSystem, EncryptsAndDecryptsBesideTheSource) {
    TempFolder dir;
    const std::string source = utf8(dir.path / fs::path(u8"caf\u00e9.txt"));
    std::ofstream(dir.path / fs::path(u8"caf\u00e9.txt"), std::ios::binary) << "line\nnext\r\n";
    ::SetFileAttributesW((dir.path / fs::path(u8"caf\u00e9.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    const RunResult encrypted = encryptFile(
        source, "pw", "1/1/26 1.5", replaceExtension(source, ".gri"), {}, defaultFileSystem());
    EXPECT_EQ(encrypted.output, replaceExtension(source, ".gri"));
    const RunResult decrypted =
        decryptFile(encrypted.output, {"pw"}, source, {}, defaultFileSystem());
    EXPECT_FALSE(decrypted.wrongPassword);
    EXPECT_EQ(readAll(dir.path / fs::path(u8"caf\u00e9.txt")), "line\nnext\r\n");
    EXPECT_TRUE(::GetFileAttributesW((dir.path / fs::path(u8"caf\u00e9.txt")).c_str()) &
                FILE_ATTRIBUTE_HIDDEN);  // kept both ways
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace grize::test
