#include "TargetChecks.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "RuntimeError.h"
#include "TestSupport.h"

namespace grize {
namespace {

using test::TempDir;
using test::writeFile;

TEST(TargetChecks, FirstFailingTestDecides) {
    TempDir dir;
    writeFile(dir / "plain.txt", "text");
    writeFile(dir / "empty.txt", "");
    writeFile(dir / ".hidden", "text");
    writeFile(dir / ".empty", "");
    writeFile(dir / "ro.txt", "text");
    ::chmod((dir / "ro.txt").c_str(), 0444);
    writeFile(dir / ".ro", "text");
    ::chmod((dir / ".ro").c_str(), 0444);
    writeFile(dir / "groupro.txt", "text");
    ::chmod((dir / "groupro.txt").c_str(), 0600);
    ::mkdir((dir / "folder").c_str(), 0700);
    ::mkfifo((dir / "fifo").c_str(), 0600);
    ::symlink("plain.txt", (dir / "link").c_str());
    ::symlink("folder", (dir / "folderlink").c_str());
    ::symlink("missing", (dir / "dangling").c_str());
    ::symlink(".hidden", (dir / "tohidden").c_str());

    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = dir / "sock";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    sockPath.copy(addr.sun_path, sockPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    const std::pair<std::string, TargetCheck> cases[] = {
        {"", TargetCheck::NoPath},
        {dir / "plain.txt", TargetCheck::Ok},
        {dir / "groupro.txt", TargetCheck::Ok},
        {dir / "missing", TargetCheck::NotFound},
        {dir / "folder", TargetCheck::NotFound},
        {dir / "folderlink", TargetCheck::NotFound},
        {dir / "dangling", TargetCheck::NotFound},
        {std::string("\"").append(dir / "plain.txt").append("\""), TargetCheck::NotFound},
        {dir / "empty.txt", TargetCheck::Empty},
        {dir / ".empty", TargetCheck::Empty},
        {dir / "fifo", TargetCheck::System},  // not "empty", and it must not block
        {dir / "sock", TargetCheck::System},
        {dir / "ro.txt", TargetCheck::ReadOnly},  // the mode bit decides, also for root
        {dir / ".ro", TargetCheck::ReadOnly},
        {dir / ".hidden", TargetCheck::Hidden},
        {dir / "link", TargetCheck::System},
        {dir / "tohidden", TargetCheck::System},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(checkTarget(path), expected) << path;
    }
    ::close(sock);
}

TEST(TargetChecks, MarkerDecidesTheMode) {
    TempDir dir;
    const std::pair<std::string, bool> cases[] = {
        {"[Grized]", true},  {"[Grized]rest\r\n", true}, {"[grized]rest", false},
        {"[Grized}", false}, {"[Grize", false},          {"x", false},
    };
    for (const auto& [content, encrypted] : cases) {
        writeFile(dir / "f.txt", content);
        EXPECT_EQ(isEncryptedFile(dir / "f.txt"), encrypted) << content;
    }
    try {
        isEncryptedFile(dir / "missing");
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::kFileNotFound);
    }
}

}  // namespace
}  // namespace grize
