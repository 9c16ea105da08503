#include "core/files/TargetChecks.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "errors/RuntimeError.h"

namespace grize {
namespace {

namespace fs = std::filesystem;
using test::fsPath;
using test::Needs;
using test::setMode;
using test::TempDir;
using test::writeFile;

TEST(TargetChecks, FirstFailingTestDecides) {
    TempDir dir;
    writeFile(dir / "plain.txt", "text");
    writeFile(dir / "empty.txt", "");
    writeFile(dir / ".hidden", "text");
    writeFile(dir / ".empty", "");
    writeFile(dir / "ro.txt", "text");
    setMode(dir / "ro.txt", 0444);
    writeFile(dir / ".ro", "text");
    setMode(dir / ".ro", 0444);
    for (const char* name : {".hidden", ".empty", ".ro"}) {
        test::hide(dir / name);
    }
    writeFile(dir / "groupro.txt", "text");
    setMode(dir / "groupro.txt", 0600);
    fs::create_directory(fsPath(dir / "folder"));
    const bool links = test::whyNot(Needs::SymbolicLinks).empty();
    if (links) {
        fs::create_symlink("plain.txt", fsPath(dir / "link"));
        fs::create_directory_symlink("folder", fsPath(dir / "folderlink"));
        fs::create_symlink("missing", fsPath(dir / "dangling"));
        fs::create_symlink(".hidden", fsPath(dir / "tohidden"));
    }
    const bool fifos = test::whyNot(Needs::Fifos).empty();
    if (fifos) {
        test::makeFifo(dir / "fifo");
    }
    const bool sockets = test::whyNot(Needs::Sockets).empty();
    const int sock = sockets ? test::makeSocket(dir / "sock") : -1;

    struct Case {
        std::string path;
        TargetCheck expected;
        bool possible = true;
    };
    const Case cases[] = {
        {"", TargetCheck::NoPath},
        {dir / "plain.txt", TargetCheck::Ok},
        {dir / "groupro.txt", TargetCheck::Ok},
        {dir / "missing", TargetCheck::NotFound},
        {dir / "folder", TargetCheck::Folder},
        {dir / "folderlink", TargetCheck::Folder, links},
        {dir / "dangling", TargetCheck::NotFound, links},
        {std::string("\"").append(dir / "plain.txt").append("\""), TargetCheck::NotFound},
        {dir / "empty.txt", TargetCheck::Empty},
        {dir / ".empty", TargetCheck::Empty},
        {dir / "fifo", TargetCheck::System, fifos},  // not "empty", and it must not block
        {dir / "sock", TargetCheck::System, sockets},
        {dir / "ro.txt", TargetCheck::ReadOnly},  // the mode bit decides, also for root
        {dir / ".ro", TargetCheck::ReadOnly},
        {dir / ".hidden", TargetCheck::Hidden},
        {dir / "link", TargetCheck::System, links},
        {dir / "tohidden", TargetCheck::System, links},
    };
    for (const Case& c : cases) {
        if (c.possible) {
            EXPECT_EQ(checkTarget(c.path, defaultFileSystem()), c.expected) << c.path;
        }
    }
    if (sockets) {
        test::closeSocket(sock);
    }
}

// Windows' attribute word, as the file system reports it.
struct AttributeFileSystem : test::FaultyFileSystem {
    std::uint32_t bits = 0;
    FileInfo status(const std::string& p) override {
        FileInfo info = FaultyFileSystem::status(p);
        info.attributes |= bits;
        return info;
    }
};

TEST(TargetChecks, AnyAttributeBitFrom32768UpOrAFailedLookMeansNoFile) {
    TempDir dir;
    writeFile(dir / "empty.txt", "");
    AttributeFileSystem files;
    const std::pair<std::uint32_t, TargetCheck> cases[] = {
        {0x8000, TargetCheck::NotFound},  // before the empty test
        {0x80000000, TargetCheck::NotFound},
        {0x4020, TargetCheck::Empty},  // encrypted and archive: lower bits
    };
    for (const auto& [bits, expected] : cases) {
        files.bits = bits;
        EXPECT_EQ(checkTarget(dir / "empty.txt", files), expected) << bits;
    }
    files.failOn({"status"}, RuntimeError(ErrorKind::Access));
    EXPECT_EQ(checkTarget(dir / "empty.txt", files), TargetCheck::Unexaminable);
}

TEST(TargetChecks, MarkerDecidesTheMode) {
    TempDir dir;
    const std::pair<std::string, bool> cases[] = {
        {"[Grized]", true},  {"[Grized]rest\r\n", true}, {"[grized]rest", false},
        {"[Grized}", false}, {"[Grize", false},          {"x", false},
    };
    for (const auto& [content, encrypted] : cases) {
        writeFile(dir / "f.txt", content);
        EXPECT_EQ(isEncryptedFile(dir / "f.txt", defaultFileSystem()), encrypted) << content;
    }
    try {
        isEncryptedFile(dir / "missing", defaultFileSystem());
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), shownNumber(ErrorKind::FileNotFound));
    }
}

}  // namespace
}  // namespace grize
