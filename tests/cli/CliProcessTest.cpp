#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include "GriBytes.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "Version.h"
#include "core/format/GriFormat.h"

using grize::test::fsPath;
using grize::test::Needs;
using grize::test::Process;
using grize::test::readFile;
using grize::test::TempDir;
using grize::test::writeFile;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

// The real grize-cli with its arguments.
std::vector<std::string> cli(std::vector<std::string> args) {
    args.insert(args.begin(), GRIZE_CLI_PATH);
    return args;
}

// Runs the real grize-cli with its streams from and to files, so that exit
// codes, standard input and the two output streams are the ones a user gets.
Result runCli(const TempDir& dir, const std::vector<std::string>& args, const std::string& input,
              const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    writeFile((dir / "stdin"), input);
    Process run({cli(args), dir / "stdin", dir / "stdout", dir / "stderr", "", environment});
    return {run.wait(), readFile(dir / "stdout").value_or(""),
            readFile(dir / "stderr").value_or("")};
}

// Waits until a run writes its output, or five seconds have passed:
// encrypting takes well under a second now, so a fixed wait could miss it.
void waitForOutput(const TempDir& dir) {
    const auto writing = [&] {
        const std::set<std::string> names = dir.names();
        return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            std::error_code error;
            return n.rfind(".grize-", 0) == 0 && fs::file_size(fsPath(dir / n), error) > 0 &&
                   !error;
        });
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline && !writing()) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

TEST(CliProcess, RoundTripAndExitCodes) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100000; ++i) {
        bytes.push_back(static_cast<char>(i * 31 % 256));
    }
    writeFile((dir / "data.bin"), bytes);

    Result enc = runCli(dir, {"encrypt", "--password-stdin", dir / "data.bin"}, "pw\n");
    EXPECT_EQ(enc.status, 0) << enc.err;
    EXPECT_TRUE(fs::exists(fsPath(dir / "data.bin.gri")));
    fs::rename(fsPath(dir / "data.bin.gri"), fsPath(dir / "back.gri"));
    Result dec = runCli(dir, {"decrypt", "--password-stdin", dir / "back.gri"}, "pw\n");
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(readFile(dir / "back.txt"), bytes);

    // A pipe in, a pipe out; a wrong password writes nothing.
    writeFile(dir / "pw", "pw\n");
    writeFile(dir / "bad", "PW\n");
    if (grize::test::whyNot(Needs::PosixShell).empty()) {
        const std::string cli = GRIZE_CLI_PATH;
        const std::string pipeline = cli + " encrypt --password-file " + (dir / "pw") + " - <" +
                                     (dir / "back.txt") + " | tee " + (dir / "stream.gri") + " | " +
                                     cli + " decrypt --password-file " + (dir / "pw") + " - >" +
                                     (dir / "piped");
        EXPECT_EQ(std::system(pipeline.c_str()), 0);
        EXPECT_EQ(readFile(dir / "piped"), bytes);
    } else {  // a file in and out, which binary streams must keep byte for byte
        const Result stream = runCli(dir, {"encrypt", "--password-file", dir / "pw", "-"}, bytes);
        writeFile(dir / "stream.gri", stream.out);
        EXPECT_EQ(runCli(dir, {"decrypt", "--password-file", dir / "pw", "-"}, stream.out).out,
                  bytes);
    }
    Result wrong = runCli(dir, {"decrypt", "--password-file", dir / "bad", "-"},
                          readFile(dir / "stream.gri").value_or(""));
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    // Streams that cannot be what was encrypted end with 1 and say why.
    const std::string good = readFile(dir / "stream.gri").value_or("");
    const struct {
        const char* command;
        std::string in;
        const char* says;
    } streams[] = {
        {"decrypt", good.substr(0, good.size() - 2), "looks damaged"},
        {"decrypt", good.substr(0, 26), "is damaged: Grize could not decrypt anything"},
        {"encrypt", "", "standard input is empty"},
        {"encrypt", good, "-: already encrypted (begins with \"[Grized]\"), nothing written"},
        {"decrypt", "plain",
         "-: not encrypted (does not begin with \"[Grized]\"), nothing written"},
    };
    for (const auto& c : streams) {
        const Result r = runCli(dir, {c.command, "--password-file", dir / "pw", "-"}, c.in);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }

    EXPECT_EQ(runCli(dir, {"--version"}, "").out,
              std::string("grize-cli ") + grize::version::kText + "\n");
    EXPECT_EQ(runCli(dir, {"--help"}, "").status, 0);
    Result usage = runCli(dir, {"scramble", "x"}, "");
    EXPECT_EQ(usage.status, 2);
    std::erase(usage.err, '\r');  // Windows' text mode
    EXPECT_EQ(usage.err,
              "grize-cli: unknown command scramble (use encrypt or decrypt)\n"
              "Try 'grize-cli --help'.\n");
}

TEST(CliProcess, RefusedAccessIsError75) {
    GRIZE_SKIP_WITHOUT(Needs::RefusedPermissions);
    TempDir dir;
    const fs::path locked = fs::path(dir.path()) / "locked";
    fs::create_directory(locked);
    const std::string file = (locked / "notes.txt").string();
    writeFile(file, "secret text");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    Result r = runCli(dir, {"encrypt", "--password-stdin", file}, "pw\n");
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, file + ": cannot write in " + locked.string() +
                         ": permission denied (Error 75 - Path/File access error)\n");
    EXPECT_EQ(readFile(file), "secret text");
}

// What the folder or the source's other names allow: a folder or source that
// refuses the rename or removal is refused before anything is written, and
// only names the output did not replace count as other names.
TEST(CliProcess, MarkedFilesAndHardLinks) {
    GRIZE_SKIP_WITHOUT(Needs::PosixShell);
    const struct {
        const char* name;
        const char* prepare;  // a shell command in the folder; its failure skips the row
        int status;
        const char* says;  // in the messages
        std::set<std::string> after;
    } cases[] = {
        {"append-only folder",
         "chattr +a .",
         1,
         "its folder does not allow files to be renamed",
         {"x.txt"}},
        {"immutable folder",
         "chattr +i .",
         1,
         "its folder does not allow files to be renamed",
         {"x.txt"}},
        {"append-only source", "chattr +a x.txt", 1, "Error 75", {"x.txt"}},
        {"output name a hard link of the source", "ln x.txt x.gri", 0, "/x.gri\n", {"x.gri"}},
        {"another hard link",
         "ln x.txt y.txt",
         1,
         "has other names (hard links)",
         {"x.gri", "y.txt"}},
    };
    std::string skipped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir, aside;
        writeFile(dir / "x.txt", "plain text");
        const std::string prepare = "cd " + dir.path() + " && " + c.prepare + " 2>/dev/null";
        if (std::system(prepare.c_str()) != 0) {
            skipped += std::string(skipped.empty() ? "" : ", ") + c.name;
            continue;
        }
        const Result r = runCli(aside, {"encrypt", "--password-stdin", dir / "x.txt"}, "pw\n");
        const std::string unmark =
            "chattr -a -i " + dir.path() + " " + (dir / "x.txt") + " >/dev/null 2>&1";
        std::system(unmark.c_str());
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(dir.names(), c.after);
        if (c.after.count("x.txt")) {
            EXPECT_EQ(readFile(dir / "x.txt"), "plain text");
        }
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << "could not be set up here (chattr needs root on ext4): " << skipped;
    }
}

// Runs in the folder of neighbouring names that once emptied it: each run
// must leave what the other made, and two runs on one file keep it whole.
TEST(CliProcess, NeighbouringRunsLoseNothing) {
    TempDir dir, aside;
    writeFile(aside / "pw", "pw\n");
    const std::string plain = "the plaintext of x.txt";
    const std::string other = grize::gri::encryptBytes("what x.gri holds", "pw", "1/1/26 1.5");
    using Args = std::vector<std::string>;
    const auto together = [&](Args first, Args second) {
        first.push_back("--password-stdin");
        second.push_back("--password-stdin");
        Process one({.args = cli(first), .input = aside / "pw", .folder = dir.path()});
        Process two({.args = cli(second), .input = aside / "pw", .folder = dir.path()});
        one.wait();
        two.wait();
    };
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        writeFile(dir / "x.txt", plain);
        writeFile(dir / "x.gri", other);
        together({"encrypt", "x.txt"}, {"decrypt", "x.gri"});
        ASSERT_EQ(readFile(dir / "x.txt"), plain);
        ASSERT_EQ(readFile(dir / "x.gri"), other);

        fs::remove(dir / "x.gri");
        together({"encrypt", "x.txt"}, {"encrypt", "x.txt"});
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
    for (const grize::test::Interruption& how : grize::test::interruptions()) {
        SCOPED_TRACE(how.name);
        TempDir dir;
        writeFile(dir / "big.txt", big);
        Process run(
            {.args = cli({"encrypt", "--password-stdin", dir / "big.txt"}), .input = aside / "pw"});
        waitForOutput(dir);
        run.interrupt(how);
        const int status = run.wait();
        ASSERT_GE(status, 0);  // it exited by itself
        if (status == 0) {
            EXPECT_EQ(dir.names(), std::set<std::string>{"big.gri"});  // it had finished
            continue;
        }
        ++interrupted;
        EXPECT_EQ(status, how.status);
        EXPECT_EQ(dir.names(), std::set<std::string>{"big.txt"});
        EXPECT_EQ(readFile(dir / "big.txt"), big);
    }
    EXPECT_GT(interrupted, 0);
}

// Ctrl+\ and Ctrl+Z at the hidden password prompt: the terminal echoes
// again after a quit and while stopped, and the prompt, resumed, hides again.
TEST(CliProcess, PromptGivesTheTerminalItsEchoBack) {
    GRIZE_SKIP_WITHOUT(Needs::Terminals);
    TempDir dir;
    writeFile(dir / "a.gri", grize::gri::encryptBytes("text", "pw", "1/1/26 1.5"));
    const auto settles = [](Process& run, bool echo) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (run.echoes() != echo && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return run.echoes() == echo;
    };
    const struct {
        const char* name;
        const char* keys;
        bool resume;
        std::optional<int> status;  // none while stopped; resumed, it takes the password
    } cases[] = {
        {"quit", "\x1c", false, -1},            // echo left off; an exit of its own
        {"stop", "\x1a", false, std::nullopt},  // stopped with the echo off
        {"stop, fg", "\x1a", true, 0},          // the password shown, or no longer read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Process run({.args = cli({"decrypt", dir / "a.gri"}), .terminal = true});
        ASSERT_TRUE(settles(run, false));
        run.type(c.keys);
        EXPECT_TRUE(settles(run, true));
        if (c.resume) {
            run.resume();
            EXPECT_TRUE(settles(run, false));
            run.type("pw\n");
        }
        if (c.status) {
            EXPECT_EQ(run.wait(), *c.status);
        }
    }
    EXPECT_EQ(readFile(dir / "a.txt"), "text");
}

// Standard input is read once: with -, a --password-file that is standard
// input under any name is refused, and a password read from a stream takes
// only its first line, leaving the rest to the next reader. "$0" is grize-cli.
TEST(CliProcess, StandardInputIsUsedOnce) {
    GRIZE_SKIP_WITHOUT(Needs::PosixShell);
    const auto refused = [](const std::string& name) {
        return "grize-cli: --password-file " + name +
               " (standard input) cannot be used with -, whose data comes on standard input\n"
               "Try 'grize-cli --help'.\n";
    };
    const struct {
        const char* script;
        int status;
        std::string out, err;
    } cases[] = {
        {"\"$0\" encrypt --password-file /dev/stdin - <data", 2, "", refused("/dev/stdin")},
        {"cat data | \"$0\" encrypt --password-file /dev/fd/0 -", 2, "", refused("/dev/fd/0")},
        {"\"$0\" decrypt --password-file pw - <pw", 2, "", refused("pw")},
        {"printf 'pw\\nrest\\n' | { \"$0\" encrypt --password-file /dev/stdin a.txt && cat; }", 0,
         "rest\n", "a.txt -> a.gri\n"},
        // A FIFO is read once a writer comes.
        {"echo pw >fifo & \"$0\" encrypt --password-file fifo a.txt", 0, "", "a.txt -> a.gri\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        TempDir dir;
        writeFile(dir / "data", "the data");
        writeFile(dir / "pw", "pw\n");
        writeFile(dir / "a.txt", "plain");
        grize::test::makeFifo(dir / "fifo");
        Process run({.args = {"/bin/sh", "-c", c.script, GRIZE_CLI_PATH},
                     .output = dir / "out",
                     .errors = dir / "err",
                     .folder = dir.path()});
        EXPECT_EQ(run.wait(), c.status);
        EXPECT_EQ(readFile(dir / "out"), c.out);
        EXPECT_EQ(readFile(dir / "err"), c.err);
    }
}

// A write that meets the file-size limit (ulimit -f, 64 KiB at most) ends
// that run, not the process: the source as it was, no scratch file, no plain
// text, and a line that names the file.
TEST(CliProcess, FileSizeLimitEndsTheRunNotTheProcess) {
    GRIZE_SKIP_WITHOUT(Needs::PosixShell);
    TempDir aside;
    writeFile(aside / "pw", "pw\n");
    const std::string plain(1 << 20, 'p');
    const std::string encrypted = grize::gri::encryptBytes(plain, "pw", "1/1/26 1.5");
    for (const auto& [command, name, bytes] :
         {std::tuple("encrypt", "big.txt", plain), std::tuple("decrypt", "big.gri", encrypted)}) {
        SCOPED_TRACE(command);
        TempDir dir;
        writeFile(dir / name, bytes);
        Process run({.args = {"/bin/sh", "-c", "ulimit -f 64 && exec \"$0\" \"$@\"", GRIZE_CLI_PATH,
                              command, "--password-stdin", dir / name},
                     .input = aside / "pw",
                     .errors = aside / "err"});
        EXPECT_EQ(run.wait(), 1);
        EXPECT_EQ(dir.names(), std::set<std::string>{name});
        EXPECT_EQ(readFile(dir / name), bytes);
        const std::string err = readFile(aside / "err").value_or("");
        EXPECT_NE(err.find(dir / name), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

// A kill gives no chance to clean up: the source stays whole, the run's one
// scratch file may stay, and the next run in the folder removes it.
TEST(CliProcess, KilledRunLeavesOnlyItsScratchFile) {
    TempDir aside;
    writeFile(aside / "pw", "pw\n");
    const std::string big(48 << 20, 'k');
    const std::regex scratch(R"(\.grize-[0-9a-f]{16}\.tmp)");
    bool killed = false;
    for (int attempt = 0; attempt < 3 && !killed; ++attempt) {
        TempDir dir;
        writeFile(dir / "big.txt", big);
        {
            Process run({.args = cli({"encrypt", "--password-stdin", dir / "big.txt"}),
                         .input = aside / "pw"});
            waitForOutput(dir);
            run.kill();
            run.wait();
        }
        std::set<std::string> left = dir.names();
        killed = left.erase("big.txt") == 1;
        if (!killed) {
            continue;  // it had finished
        }
        EXPECT_EQ(readFile(dir / "big.txt"), big);
        EXPECT_LE(left.size(), 1u);
        for (const std::string& name : left) {
            EXPECT_TRUE(std::regex_match(name, scratch)) << name;
        }
        writeFile(dir / "small.txt", "small");
        EXPECT_EQ(runCli(aside, {"encrypt", "--password-stdin", dir / "small.txt"}, "pw\n").status,
                  0);
        EXPECT_EQ(dir.names(), (std::set<std::string>{"big.txt", "small.gri"}));
    }
    EXPECT_TRUE(killed);
}

// A password typed under a KOI8-R locale opens the file under a UTF-8 one.
TEST(CliProcess, PasswordsFollowTheLocaleCharacterSet) {
    GRIZE_SKIP_WITHOUT(Needs::PosixShell);
    TempDir locales, dir;
    const std::string make =
        "localedef -i ru_RU -f KOI8-R " + (locales / "ru_RU.KOI8-R") + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "no KOI8-R locale can be made here";
    }
    writeFile(dir / "a.txt", "text");
    Result enc =
        runCli(dir, {"encrypt", "--password-stdin", dir / "a.txt"}, "\xd0\xc1\xd2\xcf\xcc\xd8\n",
               {{"LOCPATH", locales.path()}, {"LC_ALL", "ru_RU.KOI8-R"}});
    ASSERT_EQ(enc.status, 0) << enc.err;
    Result dec = runCli(dir, {"decrypt", "--password-stdin", dir / "a.gri"}, "пароль\n",
                        {{"LC_ALL", "C.UTF-8"}});
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(readFile(dir / "a.txt"), "text");
}

}  // namespace
