#include <fcntl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "GriBytes.h"
#include "GriFormat.h"
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
Result runCli(const TempDir& dir, const std::string& args, const std::string& input,
              const std::string& environment = "") {
    writeFile((dir / "stdin"), input);
    const std::string command = environment + " " + std::string(GRIZE_CLI_PATH) + " " + args +
                                " <" + (dir / "stdin") + " >" + (dir / "stdout") + " 2>" +
                                (dir / "stderr");
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

    // A pipe in, a pipe out; a wrong password writes nothing.
    writeFile(dir / "pw", "pw\n");
    writeFile(dir / "bad", "PW\n");
    const std::string cli = GRIZE_CLI_PATH;
    const std::string pipeline = cli + " encrypt --password-file " + (dir / "pw") + " - <" +
                                 (dir / "back.txt") + " | tee " + (dir / "stream.gri") + " | " +
                                 cli + " decrypt --password-file " + (dir / "pw") + " - >" +
                                 (dir / "piped");
    EXPECT_EQ(std::system(pipeline.c_str()), 0);
    EXPECT_EQ(readFile(dir / "piped"), bytes);
    Result wrong = runCli(dir, "decrypt --password-file " + (dir / "bad") + " -",
                          readFile(dir / "stream.gri").value_or(""));
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");

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

// Runs in the folder of neighbouring names that once emptied it: each run
// must leave what the other made, and two runs on one file keep it whole.
TEST(CliProcess, NeighbouringRunsLoseNothing) {
    TempDir dir, aside;
    writeFile(aside / "pw", "pw\n");
    const std::string plain = "the plaintext of x.txt";
    const std::string other = grize::gri::encryptBytes("what x.gri holds", "pw", "1/1/26 1.5");
    const auto together = [&](const std::string& first, const std::string& second) {
        const std::string cli = std::string(GRIZE_CLI_PATH) + " ";
        const std::string tail = " --password-stdin <" + (aside / "pw") + " 2>/dev/null";
        const std::string both = "cd " + dir.path() + " && (" + cli + first + tail + " & " + cli +
                                 second + tail + " & wait)";
        ASSERT_NE(std::system(both.c_str()), -1);
    };
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        writeFile(dir / "x.txt", plain);
        writeFile(dir / "x.gri", other);
        together("encrypt x.txt", "decrypt x.gri");
        ASSERT_EQ(readFile(dir / "x.txt"), plain);
        ASSERT_EQ(readFile(dir / "x.gri"), other);

        fs::remove(dir / "x.gri");
        together("encrypt x.txt", "encrypt x.txt");
        ASSERT_EQ(dir.names(), std::set<std::string>{"x.gri"});
        ASSERT_EQ(grize::gri::decryptBytes(readFile(dir / "x.gri").value_or(""), "pw"), plain);
        fs::remove(dir / "x.gri");
    }
}

// Ctrl+C, kill or a closed terminal part-way: the source as it was and no
// scratch file left, with the status a shell expects.
TEST(CliProcess, InterruptionsLeaveNothingBehind) {
    TempDir aside;
    writeFile(aside / "pw", "pw\n");
    const std::string big(48 << 20, 'b');
    int interrupted = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        writeFile(dir / "big.txt", big);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(::open((aside / "pw").c_str(), O_RDONLY), 0);
            ::dup2(::open("/dev/null", O_WRONLY), 2);
            ::execl(GRIZE_CLI_PATH, GRIZE_CLI_PATH, "encrypt", "--password-stdin",
                    (dir / "big.txt").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Signal once output is being written: encrypting takes well under a
        // second now, so a fixed wait could miss the run altogether.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        const auto writing = [&] {
            const std::set<std::string> names = dir.names();
            return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
                std::error_code error;
                return n.rfind(".grize-", 0) == 0 && fs::file_size(dir / n, error) > 0 && !error;
            });
        };
        while (std::chrono::steady_clock::now() < deadline && !writing()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 0) {
            EXPECT_EQ(dir.names(), std::set<std::string>{"big.gri"});  // it had finished
            continue;
        }
        ++interrupted;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_EQ(dir.names(), std::set<std::string>{"big.txt"});
        EXPECT_EQ(readFile(dir / "big.txt"), big);
    }
    EXPECT_GT(interrupted, 0);
}

// A password typed under a KOI8-R locale opens the file under a UTF-8 one.
TEST(CliProcess, PasswordsFollowTheLocaleCharacterSet) {
    TempDir locales, dir;
    const std::string make =
        "localedef -i ru_RU -f KOI8-R " + (locales / "ru_RU.KOI8-R") + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "no KOI8-R locale can be made here";
    }
    writeFile(dir / "a.txt", "text");
    const std::string koi8 = "LOCPATH=" + locales.path() + " LC_ALL=ru_RU.KOI8-R";
    Result enc = runCli(dir, "encrypt --password-stdin " + (dir / "a.txt"),
                        "\xd0\xc1\xd2\xcf\xcc\xd8\n", koi8);
    ASSERT_EQ(enc.status, 0) << enc.err;
    Result dec =
        runCli(dir, "decrypt --password-stdin " + (dir / "a.gri"), "пароль\n", "LC_ALL=C.UTF-8");
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(readFile(dir / "a.txt"), "text");
}

}  // namespace
