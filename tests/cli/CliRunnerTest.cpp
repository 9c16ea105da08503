#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <set>
#include <sstream>

#include "GriBytes.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/Terminal.h"
#include "platform/FileSystem.h"

using namespace grize::cli;
using grize::test::perPlatform;
using grize::test::readFile;
using grize::test::TempDir;
using grize::test::writeFile;
namespace fs = std::filesystem;

namespace {

class ScriptedTerminal : public Terminal {
  public:
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> prompts;
    std::optional<std::string> readHidden(const std::string& prompt) override {
        prompts.push_back(prompt);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool messagesOnTerminal() override { return onTerminal; }
    bool onTerminal = false;
};

struct Outcome {
    int status;
    std::string messages;
};

Outcome run(const std::vector<std::string>& args, const std::string& stdinText,
            ScriptedTerminal terminal = {}) {
    std::istringstream in(stdinText);
    std::ostringstream out, messages;
    const int status =
        runCli(parseArguments(args), in, terminal, out, messages, grize::defaultFileSystem());
    return {status, messages.str()};
}

const std::string kPlain = std::string("Line one\r\nbytes \x00\xff\x80 and more\n", 29);

TEST(CliOptions, Parsing) {
    struct Case {
        std::vector<std::string> args;
        Command command;
        bool fromStdin;
        std::size_t files;
        bool error;
    };
    const std::vector<Case> cases = {
        {{"encrypt", "a.txt"}, Command::Encrypt, false, 1, false},
        {{"decrypt", "--password-stdin", "a.gri", "b.gri"}, Command::Decrypt, true, 2, false},
        {{"--password-stdin", "encrypt", "--", "--odd.txt"}, Command::Encrypt, true, 1, false},
        {{"--help"}, Command::Help, false, 0, false},
        {{"encrypt", "--version"}, Command::Version, false, 0, false},
        {{}, Command::None, false, 0, true},
        {{"encrypt"}, Command::Encrypt, false, 0, true},
        {{"shred", "a.txt"}, Command::None, false, 0, true},
        {{"encrypt", "--force", "a.txt"}, Command::Encrypt, false, 1, false},
        {{"encrypt", "--password-file", "pw", "-"}, Command::Encrypt, false, 1, false},
        {{"encrypt", "--password-stdin", "-"}, Command::Encrypt, true, 1, true},
        {{"encrypt", "-", "a.txt"}, Command::Encrypt, false, 2, true},
        {{"decrypt", "a.gri", "--password-file"}, Command::Decrypt, false, 1, true},
    };
    for (const Case& c : cases) {
        const CliOptions o = parseArguments(c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(o.command, c.command);
        EXPECT_EQ(o.passwordFromStdin, c.fromStdin);
        EXPECT_EQ(o.files.size(), c.files);
        EXPECT_EQ(!o.error.empty(), c.error);
    }
}

TEST(CliRunner, EncryptThenDecryptRestoresTheBytes) {
    TempDir dir;
    const std::string plain = (dir / "notes.txt");
    writeFile(plain, kPlain);

    Outcome enc = run({"encrypt", "--password-stdin", plain}, "s3cret\r\n");
    EXPECT_EQ(enc.status, kExitDone) << enc.messages;
    EXPECT_EQ(enc.messages, plain + " -> " + (dir / "notes.gri") + "\n");
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_EQ(readFile(dir / "notes.gri").value_or("").substr(0, 8), "[Grized]");

    Outcome dec = run({"decrypt", "--password-stdin", (dir / "notes.gri")}, "s3cret\n");
    EXPECT_EQ(dec.status, kExitDone) << dec.messages;
    EXPECT_EQ(readFile(plain), kPlain);
    EXPECT_FALSE(fs::exists((dir / "notes.gri")));
}

// Both forms open again with the passphrase alone; a changed, cut or
// unopenable age file is refused and left as it was.
TEST(CliRunner, AgeFilesRoundTripAndRefuseWhatCannotOpen) {
    TempDir dir;
    const std::string plain = dir / "notes.txt", sealed = dir / "notes.txt.age";
    for (const bool armor : {false, true}) {
        writeFile(plain, kPlain);
        std::vector<std::string> args = {"encrypt", "--age", "--password-stdin", plain};
        if (armor) {
            args.insert(args.begin() + 2, "--armor");
        }
        EXPECT_EQ(run(args, "p\xc3\xa4ss\n").status, kExitDone);
        EXPECT_EQ(run({"decrypt", "--password-stdin", sealed}, "pass\n").status, kExitNotDone);
        EXPECT_EQ(run({"decrypt", "--password-stdin", sealed}, "p\xc3\xa4ss\n").status, kExitDone);
        EXPECT_EQ(readFile(plain), kPlain) << armor;
    }
    for (const char* format : {"--age", "--force"}) {
        const Outcome empty = run({"encrypt", format, "--password-stdin", plain}, "\n");
        EXPECT_EQ(empty.status, kExitNotDone) << format;
        EXPECT_EQ(empty.messages, "An empty password protects nothing: please type a password.\n");
        EXPECT_EQ(readFile(plain), kPlain);
    }
    ASSERT_EQ(run({"encrypt", "--age", "--password-stdin", plain}, "pw\n").status, kExitDone);
    const std::string file = readFile(sealed).value_or("");
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = file;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::pair<std::string, std::string> cases[] = {
        {file.substr(0, file.size() - 5), "does not authenticate"},
        {replaced(" 18\n", " 23\n"), "2^23 steps"},
        {replaced("-> scrypt ", "-> X25519 "), "encrypted to a key"},
    };
    for (const auto& [content, message] : cases) {
        writeFile(sealed, content);
        const Outcome r = run({"decrypt", "--password-stdin", sealed}, "pw\n");
        EXPECT_EQ(r.status, kExitNotDone);
        EXPECT_NE(r.messages.find(message), std::string::npos) << r.messages;
        EXPECT_EQ(readFile(sealed), content);
        EXPECT_FALSE(fs::exists(plain));
    }
}

// Files keyed on a Windows with another ANSI code page open with the same
// password typed here.
TEST(CliRunner, PasswordsFromOtherCodePagesOpen) {
    const struct {
        const char* typed;  // UTF-8
        const char* keyed;  // as that system keyed it
    } cases[] = {
        {"\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c", "\xef\xe0\xf0\xee\xeb\xfc"},  // 1251
        {"\xce\xba\xcf\x89\xce\xb4", "\xea\xf9\xe4"},                                      // 1253
        {"\xc5\x99\xc5\xbe", "\xf8\x9e"},                                                  // 1250
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(dir / "k.gri", grize::gri::encryptBytes(kPlain, c.keyed, "01/02/2031 3600.5"));
        Outcome dec =
            run({"decrypt", "--password-stdin", dir / "k.gri"}, std::string(c.typed) + "\n");
        EXPECT_EQ(dec.status, kExitDone) << dec.messages;
        EXPECT_EQ(readFile(dir / "k.txt"), kPlain);
    }
}

// A progress line only on a terminal and only for a large file, erased
// before the outcome line so that logs and short runs read as before.
TEST(CliRunner, ProgressLineOnATerminalOnly) {
    struct Case {
        bool onTerminal;
        std::size_t size;
        bool progress;
    };
    for (const Case& c :
         {Case{true, 9u << 20, true}, Case{false, 9u << 20, false}, Case{true, 1u << 20, false}}) {
        SCOPED_TRACE(testing::Message() << c.onTerminal << " " << c.size);
        TempDir dir;
        writeFile(dir / "big.txt", std::string(c.size, 'b'));
        ScriptedTerminal terminal;
        terminal.onTerminal = c.onTerminal;
        const Outcome enc = run({"encrypt", "--password-stdin", dir / "big.txt"}, "pw\n", terminal);
        EXPECT_EQ(enc.status, kExitDone);
        const std::string outcome = (dir / "big.txt") + " -> " + (dir / "big.gri") + "\n";
        if (c.progress) {
            EXPECT_NE(enc.messages.find("\r" + (dir / "big.txt") + ": 100%\r\033[K" + outcome),
                      std::string::npos)
                << enc.messages;
        } else {
            EXPECT_EQ(enc.messages, outcome);
        }
    }
}

TEST(CliRunner, WrongPasswordLeavesTheFile) {
    TempDir dir;
    const std::string plain = (dir / "notes.txt");
    writeFile(plain, kPlain);
    ASSERT_EQ(run({"encrypt", "--password-stdin", plain}, "right\n").status, kExitDone);
    const std::string encrypted = (dir / "notes.gri");
    const auto before = readFile(encrypted);

    Outcome dec = run({"decrypt", "--password-stdin", encrypted}, "Right\n");
    EXPECT_EQ(dec.status, kExitNotDone);
    EXPECT_EQ(dec.messages, encrypted + ": Access denied: password is incorrect!\n");
    EXPECT_EQ(readFile(encrypted), before);
    EXPECT_FALSE(fs::exists(plain));
}

TEST(CliRunner, RefusesFilesInTheWrongModeOrFailingTheChecks) {
    TempDir dir;
    writeFile((dir / "marked.txt"), "[Grized]not really");
    writeFile((dir / "plain.gri"), "hello");
    writeFile((dir / "empty.txt"), "");
    writeFile((dir / ".hidden.txt"), "x");
    grize::test::hide(dir / ".hidden.txt");
    writeFile((dir / "plan.txt"), "plan");
    writeFile((dir / "plan.gri"), "an older plan");
    struct Case {
        std::string command, file, message;
    };
    const std::vector<Case> cases = {
        {"encrypt", (dir / "marked.txt"), "already encrypted"},
        {"decrypt", (dir / "plain.gri"), "not an encrypted file"},
        {"encrypt", (dir / "missing.txt"),
         perPlatform("missing.txt: there is no such file in " + dir.path() + "\n",
                     "There is no file found to work with. If you are running Grize from a DOS "
                     "prompt")},
        {"encrypt", "missing.txt",  // in the current folder, said in full
         perPlatform("missing.txt: there is no such file in " + fs::current_path().string() + "\n",
                     "There is no file found to work with.")},
        {"encrypt", (dir / "empty.txt"),
         (dir / "empty.txt") + " is empty: Grize will NOT work with empty files."},
        {"encrypt", (dir / ".hidden.txt"),
         perPlatform(" is hidden: Rename it without the leading dot",
                     " is Hidden: Change this file's file-attribute")},
        {"encrypt", dir.path(),
         perPlatform(dir.path() + " is a folder, not a file\n",
                     "There is no file found to work with.")},
        {"encrypt", (dir / "plan.txt"),
         (dir / "plan.gri") + " already exists; left both as they are (--force replaces it)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string before = readFile(c.file).value_or("");
        Outcome r = run({c.command, "--password-stdin", c.file}, "pw\n");
        EXPECT_EQ(r.status, kExitNotDone);
        EXPECT_NE(r.messages.find(c.message), std::string::npos) << r.messages;
        EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), '\n'), 1) << r.messages;
        if (fs::is_regular_file(c.file)) {
            EXPECT_EQ(readFile(c.file), before);
        }
    }
}

TEST(CliRunner, ForceReplacesAnOutputButNeverAReadOnlyOne) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt"}) {
        writeFile(dir / name, kPlain);
    }
    writeFile(dir / "a.gri", "old");
    writeFile(dir / "b.gri", "old, read-only");
    fs::permissions(dir / "b.gri", fs::perms::owner_read);
    Outcome r =
        run({"encrypt", "--force", "--password-stdin", dir / "a.txt", dir / "b.txt"}, "pw\n");
    EXPECT_EQ(r.status, kExitNotDone);
    EXPECT_EQ(r.messages, (dir / "a.txt") + " -> " + (dir / "a.gri") + "\n" + (dir / "b.gri") +
                              " is read-only; it was left as it is\n");
    EXPECT_EQ(readFile(dir / "b.gri"), "old, read-only");
    EXPECT_EQ(readFile(dir / "b.txt"), kPlain);
    EXPECT_EQ(run({"decrypt", "--password-stdin", dir / "a.gri"}, "pw\n").status, kExitDone);
    EXPECT_EQ(readFile(dir / "a.txt"), kPlain);
}

TEST(CliRunner, OneFailureDoesNotStopTheOthers) {
    TempDir dir;
    writeFile((dir / "a.txt"), "first");
    writeFile((dir / "c.txt"), "third");
    Outcome r = run(
        {"encrypt", "--password-stdin", (dir / "a.txt"), (dir / "b.txt"), (dir / "c.txt")}, "pw\n");
    EXPECT_EQ(r.status, kExitNotDone);
    EXPECT_TRUE(fs::exists((dir / "a.gri")));
    EXPECT_TRUE(fs::exists((dir / "c.gri")));
    EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), '\n'), 3) << r.messages;
}

// Other names of a source still hold its plain text: done, but not quietly.
TEST(CliRunner, HardLinkedSourceIsEncryptedWithAWord) {
    TempDir dir;
    writeFile(dir / "h.txt", kPlain);
    fs::create_hard_link(dir / "h.txt", dir / "other.txt");
    Outcome r = run({"encrypt", "--password-stdin", dir / "h.txt"}, "pw\n");
    EXPECT_EQ(r.status, kExitNotDone);
    EXPECT_NE(r.messages.find("other names"), std::string::npos) << r.messages;
    EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), '\n'), 1) << r.messages;
    EXPECT_TRUE(fs::exists(dir / "h.gri"));
    EXPECT_EQ(readFile(dir / "other.txt"), kPlain);
}

// Neither an output this command wrote nor another FILE it was given is
// replaced, whatever the order and with --force or not; the other FILE is
// then done as usual. Each folder holds "first" and "second", plain or
// encrypted: replacing a FILE would lose one of them.
TEST(CliRunner, OneCommandNeverReplacesItsOwnOutput) {
    const std::string written = " was written by this command already; left both as they are\n";
    const std::string named = " is also named on this command line; left both as they are\n";
    using Files = std::vector<std::pair<std::string, std::string>>;
    const Files plain{{"a.gri", "first"}, {"a.txt", "second"}};  // a.gri is done in place
    const Files encrypted{{"a.gri", grize::gri::encryptBytes("first", "pw", "1/1/26 1.5")},
                          {"a.txt", grize::gri::encryptBytes("second", "pw", "1/1/26 1.5")}};
    const Files linked{{"b.txt", "first"}, {"a.txt", "second"}, {"b.gri", "a.txt"}};
    const struct {
        std::vector<std::string> args;
        const Files& files;
        std::string refused;  // "SOURCE OUTPUT": the line for the FILE not done
        const std::string& why;
    } cases[] = {
        {{"encrypt", "--force", "a.gri", "a.txt"}, plain, "a.txt a.gri", written},
        {{"encrypt", "--force", "a.txt", "a.gri"}, plain, "a.txt a.gri", named},
        {{"encrypt", "a.txt", "a.gri"}, plain, "a.txt a.gri", named},
        {{"decrypt", "--force", "a.gri", "a.txt"}, encrypted, "a.gri a.txt", named},
        {{"decrypt", "a.gri", "a.txt"}, encrypted, "a.gri a.txt", named},
        {{"decrypt", "--force", "a.txt", "a.gri"}, encrypted, "a.gri a.txt", written},
        {{"encrypt", "--force", "b.txt", "a.txt"}, linked, "b.txt b.gri", named},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        TempDir dir;
        for (const auto& [name, bytes] : c.files) {
            if (name == "b.gri") {
                fs::create_hard_link(dir / bytes, dir / name);
            } else {
                writeFile(dir / name, bytes);
            }
        }
        std::vector<std::string> args{c.args[0], "--password-stdin"};
        for (std::size_t i = 1; i < c.args.size(); ++i) {
            args.push_back(c.args[i][0] == '-' ? c.args[i] : dir / c.args[i]);
        }
        const Outcome r = run(args, "pw\n");
        EXPECT_EQ(r.status, kExitNotDone);
        const std::size_t space = c.refused.find(' ');
        const std::string line =
            (dir / c.refused.substr(0, space)) + ": " + (dir / c.refused.substr(space + 1)) + c.why;
        EXPECT_NE(r.messages.find(line), std::string::npos) << r.messages;
        EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), '\n'), 2) << r.messages;
        std::set<std::string> texts;
        for (const std::string& name : dir.names()) {
            const std::string now = readFile(dir / name).value_or("");
            texts.insert(now.starts_with("[Grized]")
                             ? grize::gri::decryptBytes(now, "pw").value_or("?")
                             : now);
        }
        EXPECT_TRUE(texts.contains("first") && texts.contains("second"))
            << testing::PrintToString(texts);
    }
}

// Names are shown with every control and every byte that is not UTF-8
// escaped, so that none can drive the terminal; other characters stay.
TEST(CliRunner, NamesAreShownWithControlsEscaped) {
    const std::pair<const char*, const char*> cases[] = {
        {"line\nbreak\x1b[2J", "line\\x0abreak\\x1b[2J"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9bJ", "csi\\xc2\\x9bJ"},  // C1 as UTF-8
        {"nel\xc2\x85", "nel\\xc2\\x85"},
        {"raw\x9bJ", "raw\\x9bJ"},  // C1 as a lone byte
        {"latin1 caf\xe9", "latin1 caf\\xe9"},
        {"cut\xe2\x82", "cut\\xe2\\x82"},
        {"overlong\xc0\xaf", "overlong\\xc0\\xaf"},
        {"surrogate\xed\xa0\x80", "surrogate\\xed\\xa0\\x80"},
        {"past\xf4\x90\x80\x80", "past\\xf4\\x90\\x80\\x80"},
        {"caf\xc3\xa9 \xe2\x82\xac \xe6\x96\x87 \xf0\x9f\x98\x80 \xc2\xa0",
         "caf\xc3\xa9 \xe2\x82\xac \xe6\x96\x87 \xf0\x9f\x98\x80 \xc2\xa0"},
    };
    TempDir dir;
    for (const auto& [name, shown] : cases) {
        const Outcome r = run({"encrypt", "--password-stdin", dir / name}, "pw\n");
        const std::string line =
            perPlatform(std::string(shown) + ": there is no such file in " + dir.path() + "\n",
                        (dir / shown) + ": ");
        EXPECT_EQ(r.messages.rfind(line, 0), 0u) << r.messages;
    }
}

TEST(CliRunner, TerminalPasswords) {
    TempDir dir;
    const std::string plain = (dir / "notes.txt");
    writeFile(plain, kPlain);

    ScriptedTerminal differ;
    differ.answers = {"one", "One"};
    Outcome r = run({"encrypt", plain}, "", differ);
    EXPECT_EQ(r.status, kExitNotDone);
    EXPECT_EQ(r.messages, "The two passwords are not the same.\n");
    EXPECT_EQ(readFile(plain), kPlain);

    ScriptedTerminal same;
    same.answers = {"pässword", "pässword"};
    EXPECT_EQ(run({"encrypt", plain}, "", same).status, kExitDone);

    ScriptedTerminal once;
    once.answers = {"pässword"};
    Outcome dec = run({"decrypt", (dir / "notes.gri")}, "", once);
    EXPECT_EQ(dec.status, kExitDone) << dec.messages;
    EXPECT_EQ(readFile(plain), kPlain);
}

TEST(CliRunner, UsageErrorsTakeOneLine) {
    TempDir dir;
    writeFile(dir / "x.txt", "x");
    const std::vector<std::string> cases[] = {
        {"encrypt"},
        {"scramble", dir / "x.txt"},
        {"encrypt", "--bogus", dir / "x.txt"},
        {"encrypt", "--password-stdin", dir / "x.txt"},  // nothing on standard input
        {"encrypt", dir / "x.txt"},                      // no terminal to ask
        {"encrypt", "--password-file", dir / "none", dir / "x.txt"},
    };
    for (const auto& args : cases) {
        const Outcome r = run(args, "");
        EXPECT_EQ(r.status, kExitUsage) << args[0];
        EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), '\n'),
                  r.messages.find("Try 'grize-cli --help'.") == std::string::npos ? 1 : 2)
            << r.messages;
    }
    const std::pair<std::vector<std::string>, std::string> texts[] = {
        {{"encrypt", "--password-file", dir / "none", dir / "x.txt"},
         "grize-cli: cannot read " + (dir / "none") + ": No such file or directory\n"},
        {{"encrypt", dir / "x.txt"},
         "grize-cli: no terminal to ask for the password; use --password-stdin or "
         "--password-file PWFILE\n"},
        {{"decrypt", "-"},
         "grize-cli: no terminal to ask for the password; use --password-file PWFILE\n"},
    };
    for (const auto& [args, text] : texts) {
        EXPECT_EQ(run(args, "").messages, text);
    }
    EXPECT_EQ(run({"--help"}, "").status, kExitDone);
}

// Files that cannot be done, and outputs in the way, are named before anyone
// types a password.
TEST(CliRunner, FilesAreCheckedBeforeThePrompt) {
    TempDir dir;
    writeFile(dir / "empty.txt", "");
    writeFile(dir / "done.gri", grize::gri::encryptBytes("x", "pw", "seed"));
    writeFile(dir / "done.txt", "in the way");
    writeFile(dir / "plan.txt", "plan");
    writeFile(dir / "plan.gri", "an older plan");
    writeFile(dir / "plan.txt.age", "an older plan");
    fs::create_directory(dir / "folder");
    const std::vector<std::string> cases[] = {
        {"encrypt", dir / "missing.txt"},
        {"encrypt", dir / "empty.txt"},
        {"encrypt", dir / "folder"},
        {"encrypt", dir / "done.gri"},
        {"decrypt", dir / "empty.txt", dir / "missing.txt"},
        {"encrypt", dir / "line\nbreak\x1b[2J"},  // shown escaped, on one line
        {"encrypt", dir / "plan.txt"},
        {"encrypt", "--age", dir / "plan.txt", dir / "missing.txt"},
        {"decrypt", dir / "done.gri"},
    };
    for (const auto& args : cases) {
        ScriptedTerminal terminal;
        std::istringstream in;
        std::ostringstream out, messages;
        EXPECT_EQ(
            runCli(parseArguments(args), in, terminal, out, messages, grize::defaultFileSystem()),
            kExitNotDone);
        EXPECT_TRUE(terminal.prompts.empty()) << args.back();
        const std::string said = messages.str();
        const auto files = std::count_if(args.begin() + 1, args.end(),
                                         [](const std::string& a) { return a[0] != '-'; });
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), files) << said;
        EXPECT_EQ(said.find('\x1b'), std::string::npos) << said;
    }
}

}  // namespace
