#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "TestFiles.h"

using grize::test::readFile;
using grize::test::TempDir;
using grize::test::writeFile;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

// Runs the real grize-cli through the shell, so that exit codes, standard
// input and the two output streams are the ones a user gets.
Result runCli(const TempDir& dir, const std::string& args, const std::string& input) {
    writeFile((dir / "stdin"), input);
    const std::string command = std::string(GRIZE_CLI_PATH) + " " + args + " <" + (dir / "stdin") +
                                " >" + (dir / "stdout") + " 2>" + (dir / "stderr");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(dir / "stdout").value_or(""),
            readFile(dir / "stderr").value_or("")};
}

TEST(CliProcess, RoundTripAndExitCodes) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100000; ++i) {
        bytes.push_back(static_cast<char>(i * 31 % 256));
    }
    writeFile((dir / "data.bin"), bytes);

    Result enc = runCli(dir, "encrypt --password-stdin " + (dir / "data.bin"), "pw\n");
    EXPECT_EQ(enc.status, 0) << enc.err;
    EXPECT_TRUE(fs::exists((dir / "data.gri")));
    fs::rename((dir / "data.gri"), (dir / "back.gri"));
    Result dec = runCli(dir, "decrypt --password-stdin " + (dir / "back.gri"), "pw\n");
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(readFile(dir / "back.txt"), bytes);

    EXPECT_EQ(runCli(dir, "--version", "").out, "grize-cli 1.0.3\n");
    EXPECT_EQ(runCli(dir, "--help", "").status, 0);
    Result usage = runCli(dir, "scramble x", "");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("Usage:"), std::string::npos);
}

TEST(CliProcess, RefusedAccessIsError75) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root is never refused by file permissions";
    }
    TempDir dir;
    const fs::path locked = fs::path(dir.path()) / "locked";
    fs::create_directory(locked);
    const std::string file = (locked / "notes.txt").string();
    writeFile(file, "secret text");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    Result r = runCli(dir, "encrypt --password-stdin " + file, "pw\n");
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, file + ": Error 75 - Path/File access error\n");
    EXPECT_EQ(readFile(file), "secret text");
}

}  // namespace
