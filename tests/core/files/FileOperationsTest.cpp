#include "core/files/FileOperations.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "GriBytes.h"
#include "TestSupport.h"
#include "core/format/GriFormat.h"
#include "core/job/PathHelpers.h"
#include "errors/RuntimeError.h"

namespace grize {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileSystem;
using test::fsPath;
using test::modeOf;
using test::Needs;
using test::readFile;
using test::setMode;
using test::TempDir;
using test::writeFile;

constexpr std::string_view kSeed = "12/7/2026 14523.45";
const std::string kPlain = test::allCodes(1000);

TEST(FileOperations, RoundTripThroughFiles) {
    TempDir dir;
    writeFile(dir / "notes.txt", kPlain);
    const std::string gri =
        encryptFile(dir / "notes.txt", "pw", kSeed, replaceExtension(dir / "notes.txt", ".gri"), {},
                    defaultFileSystem())
            .output;
    EXPECT_EQ(gri, dir / "notes.gri");
    EXPECT_EQ(dir.names(), std::set<std::string>{"notes.gri"});
    EXPECT_EQ(readFile(gri), gri::encryptBytes(kPlain, "pw", kSeed));

    // A wrong password changes nothing and never looks at the output name:
    // an empty one would fail the run.
    EXPECT_TRUE(decryptFile(gri, {"PW"}, "", {}, defaultFileSystem()).wrongPassword);
    EXPECT_EQ(readFile(gri), gri::encryptBytes(kPlain, "pw", kSeed));

    const RunResult back = decryptFile(gri, {"pw"}, dir / "back.txt", {}, defaultFileSystem());
    EXPECT_FALSE(back.wrongPassword);
    EXPECT_EQ(back.output, dir / "back.txt");
    EXPECT_EQ(back.sourceKept, SourceKept::No);
    EXPECT_EQ(dir.names(), std::set<std::string>{"back.txt"});
    EXPECT_EQ(readFile(dir / "back.txt"), kPlain);
}

// The window's progress bar and grize-cli's progress line rely on these
// calls: rising, against the size read at the start, ending at the size.
TEST(FileOperations, ProgressCountsTheSourceBytes) {
    TempDir dir;
    writeFile(dir / "big.txt", std::string(3 << 20, 'x'));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    RunOptions options;
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
        calls.emplace_back(done, total);
    };
    const auto check = [&](std::uint64_t size) {
        ASSERT_GE(calls.size(), 2u);
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].second, size);
            EXPECT_LE(calls[i].first, size);
            if (i > 0) {
                EXPECT_GE(calls[i].first, calls[i - 1].first);
            }
        }
        EXPECT_EQ(calls.back().first, size);
        calls.clear();
    };
    encryptFile(dir / "big.txt", "pw", kSeed, dir / "big.gri", options, defaultFileSystem());
    check(3 << 20);
    const std::uint64_t encrypted = readFile(dir / "big.gri")->size();
    decryptFile(dir / "big.gri", {"pw"}, dir / "big.txt", options, defaultFileSystem());
    check(encrypted);
}

// The output is for whoever could use the source, both ways: owner and group
// where the runner may set them, mode, access list and user attributes.
TEST(FileOperations, OutputKeepsTheSourcesAccess) {
    GRIZE_SKIP_WITHOUT(Needs::ForkedChild);
    const auto source = [](unsigned mode, const char* user = nullptr, const char* group = "") {
        return [=](const std::string& file) {
            if (user) {
                test::setOwner(file, user, group);
            }
            setMode(file, mode);
        };
    };
    struct Case {
        const char* name;
        std::function<void(const std::string&)> prepare;
        Needs need = Needs::PermissionModes;
        void (*runner)() = [] {};        // what the forked run becomes first
        const char* expected = nullptr;  // the output's access; null: the source's
    } const cases[] = {
        {"0600", source(0600)},
        {"0640", source(0640)},
        {"0604", source(0604)},
        {"0444", source(0444)},
        {"0755", source(0755)},
        {"nobody:nogroup", source(0640, "nobody", "nogroup"), Needs::OtherOwners},
        {"access list and user attribute", test::addAccessDetails, Needs::AccessLists},
        {"ordinary user: the group but not the owner", source(0660, "root", "users"),
         Needs::OtherOwners, [] { test::becomeUser("nobody", "users"); }, "nobody users 660"},
        {"calls refused, as on FAT through FUSE", source(0600), Needs::Nothing,
         test::refuseAccessCalls},
    };
    using Run = std::pair<const Case&, const TempDir&>;
    const auto bothWays = [](void* context) {
        const auto& [c, dir] = *static_cast<Run*>(context);
        c.runner();
        try {
            encryptFile(dir / "a.txt", "", kSeed, dir / "a.gri", {}, defaultFileSystem());
            decryptFile(dir / "a.gri", {""}, dir / "a.txt", {}, defaultFileSystem());
            return 0;
        } catch (...) {
            return 1;
        }
    };
    std::string skipped;
    for (const Case& c : cases) {
        if (const std::string why = test::whyNot(c.need); !why.empty()) {
            skipped += std::string(skipped.empty() ? "" : "; ") + c.name + ": " + why;
            continue;
        }
        SCOPED_TRACE(c.name);
        TempDir dir;
        setMode(dir.path(), 0777);  // an ordinary user's run works in it too
        writeFile(dir / "a.txt", kPlain);
        c.prepare(dir / "a.txt");
        const std::string access = c.expected ? c.expected : test::accessOf(dir / "a.txt");
        Run run{c, dir};
        EXPECT_EQ(test::runInChild(bothWays, &run, -1), 0);
        EXPECT_EQ(test::accessOf(dir / "a.txt"), access);
        EXPECT_EQ(readFile(dir / "a.txt"), kPlain);
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << "rows not run here: " << skipped;
    }
}

// Other spellings of the source, and other things at the output name: only
// the source itself, or a file the user agreed to, is ever replaced.
TEST(FileOperations, OutputNameCases) {
    TempDir dir;
    const std::string src = dir / "notes.gri";
    const std::string encrypted = gri::encryptBytes(kPlain, "pw", kSeed);
    const std::string old(5000, 'o');
    enum Consent { None, Agreed, AgreedThenSwapped };
    struct Case {
        const char* name;
        std::function<std::string()> prepare;  // gives the output path
        Consent consent;
        int error;  // 0: the run succeeds
        std::set<std::string> after;
        Needs need = Needs::Nothing;
    };
    const auto oldFile = [&](unsigned mode) {
        return [&, mode] {
            writeFile(dir / "out", old);
            setMode(dir / "out", mode);
            return dir / "out";
        };
    };
    const Case cases[] = {
        {"same path", [&] { return src; }, None, 0, {"notes.gri"}},
        {"other spelling", [&] { return dir.path() + "/./notes.gri"; }, None, 0, {"notes.gri"}},
        {"hard link of the source",
         [&] {
             fs::create_hard_link(fsPath(src), fsPath(dir / "alias"));
             return dir / "alias";
         },
         None,
         0,
         {"alias"}},
        {"old file, not agreed",
         oldFile(0644),
         None,
         shownNumber(ErrorKind::FileExists),
         {"notes.gri", "out"}},
        {"old file, agreed", oldFile(0644), Agreed, 0, {"out"}},
        {"old file swapped after the question",
         oldFile(0644),
         AgreedThenSwapped,
         shownNumber(ErrorKind::FileExists),
         {"notes.gri", "out"}},
        {"read-only old file, agreed",
         oldFile(0444),
         Agreed,
         shownNumber(ErrorKind::OutputReadOnly),
         {"notes.gri", "out"}},
        // May be the source itself on a case-insensitive file system.
        {"name in another case", [&] { return dir / "Notes.GRI"; }, None, 0, {"notes.gri"}},
        {"symbolic link to the source, agreed",
         [&] {
             fs::create_symlink("notes.gri", fsPath(dir / "link"));
             return dir / "link";
         },
         Agreed,
         0,
         {"link"},
         Needs::SymbolicLinks},
        {"folder in another place",
         [&] { return std::string("/tmp/notes.gri"); },
         None,
         shownNumber(ErrorKind::BadFileName),
         {"notes.gri"}},
    };
    for (const Case& c : cases) {
        if (!test::whyNot(c.need).empty()) {
            continue;
        }
        SCOPED_TRACE(c.name);
        writeFile(src, kPlain);
        const std::string out = c.prepare();
        const std::optional<std::string> oldOut = readFile(out);
        RunOptions options;
        if (c.consent != None) {
            const ExistingOutput existing = probeOutput(src, out, defaultFileSystem());
            EXPECT_EQ(existing.state, c.error == shownNumber(ErrorKind::OutputReadOnly)
                                          ? OutputState::Refused
                                          : OutputState::Taken);
            options.replace = existing.info;
        }
        if (c.consent == AgreedThenSwapped) {
            writeFile(dir / "new", old);
            fs::rename(fsPath(dir / "new"), fsPath(out));
        }
        try {
            const RunResult result =
                encryptFile(src, "pw", kSeed, out, options, defaultFileSystem());
            EXPECT_EQ(c.error, 0);
            EXPECT_EQ(readFile(result.output), encrypted);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error);
            EXPECT_EQ(readFile(src), kPlain);
            EXPECT_EQ(readFile(out), oldOut);
        }
        EXPECT_EQ(dir.names(), c.after);
        for (const std::string& n : dir.names()) {
            setMode(dir / n, 0600);  // Windows removes no read-only file
            fs::remove(fsPath(dir / n));
        }
    }
}

TEST(FileOperations, RefusalsChangeNothing) {
    TempDir dir;
    const std::string src = dir / "a.txt";
    writeFile(src, kPlain);
    fs::create_directory(fsPath(dir / "folder"));
    const auto expectError = [&](int number, const std::function<std::string()>& out) {
        try {
            encryptFile(src, "pw", kSeed, out(), {}, defaultFileSystem());
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number);
        }
        EXPECT_EQ(readFile(src), kPlain);
        EXPECT_EQ(dir.names(), (std::set<std::string>{"a.txt", "folder"}));
    };
    expectError(shownNumber(ErrorKind::InvalidCall),
                [&] { return replaceExtension("a.b", ".gri"); });
    expectError(shownNumber(ErrorKind::BadFileName), [&] { return std::string(""); });
    expectError(shownNumber(ErrorKind::Access), [&] { return std::string(dir / "folder"); });
    expectError(shownNumber(ErrorKind::FileNotFound),
                [&] { return std::string(dir / "missing/a.gri"); });
    expectError(shownNumber(ErrorKind::BadFileName),
                [&] { return std::string(dir / "folder/a.gri"); });
    expectError(shownNumber(ErrorKind::BadFileName),
                [&] { return replaceExtension(dir / "folder/ab", ".gri"); });
    EXPECT_THROW(encryptFile(dir / "nothing", "pw", kSeed, dir / "x", {}, defaultFileSystem()),
                 RuntimeError);
}

TEST(FileOperations, RefusedFolderKeepsTheSource) {
    GRIZE_SKIP_WITHOUT(Needs::RefusedPermissions);  // the fault-injection tests cover it
    TempDir dir;
    fs::create_directory(fsPath(dir / "locked"));
    fs::create_directory(fsPath(dir / "open"));
    const std::string src = dir / "locked/a.txt";
    writeFile(src, kPlain);
    setMode(dir / "locked", 0500);
    for (const auto& [out, error] :
         {std::pair{dir / "open/a.gri", shownNumber(ErrorKind::BadFileName)},
          std::pair{dir / "locked/a.gri", shownNumber(ErrorKind::Access)}}) {
        try {
            encryptFile(src, "pw", kSeed, out, {}, defaultFileSystem());
            ADD_FAILURE() << out;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), error);
        }
        EXPECT_EQ(readFile(src), kPlain);
        EXPECT_TRUE(dir.names().count("open"));
        EXPECT_TRUE(fs::is_empty(fsPath(dir / "open")));
    }
}

// Someone else changes the folder at an exact step of a run: whatever they
// did stays as they left it, and every byte read stays somewhere.
TEST(FileOperations, FolderChangesDuringTheRun) {
    const std::string encrypted = gri::encryptBytes(kPlain, "pw", kSeed);
    struct Case {
        const char* name;
        const char* step;  // the file-system call before which the change happens
        std::function<void(const TempDir&)> change;
        int error;  // 0: the run succeeds
        SourceKept kept;
        std::function<void(const TempDir&)> check;
        Needs need = Needs::Nothing;
    };
    const Case cases[] = {
        {"data appended while reading", "read",
         [](const TempDir& d) { std::ofstream(d / "sub/a.txt", std::ios::app) << "more"; },
         shownNumber(ErrorKind::SourceChanged), SourceKept::No,
         [&](const TempDir& d) {
             EXPECT_EQ(readFile(d / "sub/a.txt"), kPlain + "more");
             EXPECT_EQ(test::namesIn(d / "sub"), std::set<std::string>{"a.txt"});
         }},
        {"source replaced before its removal", "renameNoReplaceAt",
         [](const TempDir& d) {
             writeFile(d / "sub/new", "newer");
             fs::rename(fsPath(d / "sub/new"), fsPath(d / "sub/a.txt"));
         },
         0, SourceKept::Changed,
         [&](const TempDir& d) {
             EXPECT_EQ(readFile(d / "sub/a.txt"), "newer");
             EXPECT_EQ(readFile(d / "sub/a.gri"), encrypted);
         }},
        {"folder swapped for a link to another", "renameNoReplaceAt",
         [](const TempDir& d) {
             fs::rename(fsPath(d / "sub"), fsPath(d / "moved"));
             fs::create_directory_symlink("other", fsPath(d / "sub"));
         },
         0, SourceKept::No,
         [&](const TempDir& d) {
             EXPECT_EQ(readFile(d / "other/a.txt"), "someone else's");
             EXPECT_EQ(test::namesIn(d / "other"), std::set<std::string>{"a.txt"});
             EXPECT_EQ(test::namesIn(d / "moved"), std::set<std::string>{"a.gri"});
             EXPECT_EQ(readFile(d / "moved/a.gri"), encrypted);
         },
         Needs::RenameOpenFolder},
        // Until it is complete the output is for its owner alone.
        {"source opened to all while the output is written", "write",
         [](const TempDir& d) {
             setMode(d / "sub/a.txt", 0644);
             EXPECT_EQ(modeOf(d / ("sub/" + *test::namesIn(d / "sub").begin())), 0600u);
         },
         0, SourceKept::No, [](const TempDir& d) { EXPECT_EQ(modeOf(d / "sub/a.gri"), 0644u); },
         Needs::PermissionModes},
        {"output name taken during the run", "renameNoReplaceAt",
         [](const TempDir& d) { writeFile(d / "sub/a.gri", "someone else's"); },
         shownNumber(ErrorKind::FileExists), SourceKept::No,
         [&](const TempDir& d) {
             EXPECT_EQ(readFile(d / "sub/a.gri"), "someone else's");
             EXPECT_EQ(readFile(d / "sub/a.txt"), kPlain);
             EXPECT_EQ(test::namesIn(d / "sub"), (std::set<std::string>{"a.gri", "a.txt"}));
         }},
    };
    for (const Case& c : cases) {
        if (!test::whyNot(c.need).empty()) {
            continue;
        }
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(fsPath(dir / "sub"));
        fs::create_directory(fsPath(dir / "other"));
        writeFile(dir / "sub/a.txt", kPlain);
        writeFile(dir / "other/a.txt", "someone else's");
        FaultyFileSystem fs;
        bool changed = false;
        fs.before = [&](const std::string& op, const std::string&) {
            if (!changed && op == c.step) {
                changed = true;
                c.change(dir);
            }
        };
        try {
            const RunResult result =
                encryptFile(dir / "sub/a.txt", "pw", kSeed, dir / "sub/a.gri", {}, fs);
            EXPECT_EQ(c.error, 0);
            EXPECT_EQ(result.sourceKept, c.kept);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error);
        }
        EXPECT_TRUE(changed);
        c.check(dir);
    }
}

// Cancel pressed while a slow device takes the output in (a call that does
// not return until another thread has pressed it) holds until the rename and
// leaves everything as it was; pressed later, the run completes.
TEST(FileOperations, CancelHoldsUntilTheRename) {
    const std::string plain = test::allCodes(9 << 20);  // a few writeback steps
    const std::string encrypted = gri::encryptBytes(plain, "pw", kSeed);
    const std::pair<const char*, bool> cases[] = {
        {"waitWriteback", false},     // a step of the flush
        {"sync", false},              // the final flush
        {"renameNoReplaceAt", true},  // past the last look
        {"syncFolder", true},
    };
    for (const auto& [step, done] : cases) {
        SCOPED_TRACE(step);
        TempDir dir;
        writeFile(dir / "a.txt", plain);
        FaultyFileSystem fs;
        std::atomic<bool> cancel{false};
        fs.before = [&](const std::string& op, const std::string&) {
            if (op == step && !cancel) {
                std::thread([&] { cancel = true; }).join();
            }
        };
        RunOptions options;
        options.cancel = &cancel;
        try {
            encryptFile(dir / "a.txt", "pw", kSeed, dir / "a.gri", options, fs);
            EXPECT_TRUE(done);
            EXPECT_EQ(readFile(dir / "a.gri"), encrypted);
        } catch (const RuntimeError& e) {
            EXPECT_FALSE(done);
            EXPECT_EQ(e.number(), shownNumber(ErrorKind::Cancelled));
            EXPECT_EQ(readFile(dir / "a.txt"), plain);
        }
        EXPECT_TRUE(cancel);
        EXPECT_EQ(dir.names(), std::set<std::string>{done ? "a.gri" : "a.txt"});
    }
}

// A stop during an age key derivation ends the run without waiting for it,
// encrypting or decrypting, and leaves the folder as it was.
TEST(FileOperations, AgeRunsStopDuringTheKeyDerivation) {
    TempDir dir;
    writeFile(dir / "a.txt", kPlain);
    encryptAgeFile(dir / "a.txt", "pw", {}, dir / "a.txt.age", {}, defaultFileSystem());
    const std::string sealed = readFile(dir / "a.txt.age").value_or("");
    std::filesystem::remove(dir / "a.txt.age");
    std::atomic<bool> cancel{false};
    RunOptions options;
    options.cancel = &cancel;
    for (const bool encrypting : {true, false}) {
        SCOPED_TRACE(encrypting);
        const std::string source = encrypting ? "a.age.txt" : "a.txt.age";
        writeFile(dir / source, encrypting ? kPlain : sealed);
        cancel = false;
        std::thread stopper([&] { cancel = true; });
        try {
            if (encrypting) {
                encryptAgeFile(dir / source, "pw", {}, dir / "out", options, defaultFileSystem());
            } else {
                decryptAgeFile(dir / source, "pw", dir / "out", options, defaultFileSystem());
            }
            ADD_FAILURE() << "not stopped";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Cancelled);
        }
        stopper.join();
        EXPECT_EQ(dir.names(), std::set<std::string>{source}) << source;
        std::filesystem::remove(dir / source);
    }
}

// --force over a file of a live system's lower layer: the backup link copies
// it up under a new identity (ramfs below, like a squashfs without file
// handles; tmpfs above), still the file agreed to; one swapped in is not.
TEST(FileOperations, OverlayLowerFilesAreReplaced) {
    GRIZE_SKIP_WITHOUT(Needs::PosixShell);
    const std::string encrypted = gri::encryptBytes(kPlain, "pw", kSeed);
    const struct {
        const char* output;
        bool swapped;  // another file takes the output's name before the link
        int error;
    } cases[] = {{"a.gri", false, 0},
                 {"a.txt", false, 0},
                 {"a.gri", true, shownNumber(ErrorKind::FileExists)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.output << (c.swapped ? ", swapped" : ""));
        TempDir dir;
        const struct Unmount {
            const TempDir& d;
            ~Unmount() { std::system(("cd " + d.path() + " && umount m u l 2>/dev/null").c_str()); }
        } unmount{dir};
        const std::string mount = "cd " + dir.path() +
                                  " && mkdir l u m && mount -t ramfs r l && mount -t tmpfs t u && "
                                  "mkdir u/f u/w && mount -t overlay o -o "
                                  "lowerdir=l,upperdir=u/f,workdir=u/w m 2>/dev/null";
        if (std::system(mount.c_str()) != 0) {
            GTEST_SKIP() << "no overlay mount here (root, ramfs, tmpfs and overlayfs)";
        }
        writeFile(dir / "l/a.txt", kPlain);
        writeFile(dir / "l/a.gri", "old output");
        const std::string out = dir / ("m/" + std::string(c.output));
        RunOptions options;
        options.replace = probeOutput(dir / "m/a.txt", out, defaultFileSystem()).info;
        FaultyFileSystem fs;
        fs.before = [&](const std::string& op, const std::string&) {
            if (c.swapped && op == "linkAt" && !readFile(dir / "m/new")) {
                writeFile(dir / "m/new", "someone else's");
                fs::rename(fsPath(dir / "m/new"), fsPath(out));
            }
        };
        try {
            encryptFile(dir / "m/a.txt", "pw", kSeed, out, options, fs);
            EXPECT_EQ(c.error, 0);
            EXPECT_EQ(readFile(out), encrypted);
            EXPECT_EQ(test::namesIn(dir / "m"), (std::set<std::string>{"a.gri", c.output}));
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error);
            EXPECT_EQ(readFile(dir / "m/a.txt"), kPlain);
            EXPECT_EQ(readFile(out), "someone else's");
        }
    }
}

// Another run holding the folder makes this one wait, then give up; files a
// crashed run left are removed once nobody holds them.
TEST(FileOperations, OtherRunsAndLeftovers) {
    TempDir dir;
    writeFile(dir / "a.txt", kPlain);
    FileSystem& files = defaultFileSystem();
    FileHandle folder = files.openFolder(dir.path());
    ASSERT_EQ(files.tryLock(folder), LockResult::Locked);
    RunOptions options;
    options.folderWait = std::chrono::milliseconds(100);
    try {
        encryptFile(dir / "a.txt", "pw", kSeed, dir / "a.gri", options, defaultFileSystem());
        ADD_FAILURE() << "ran in a busy folder";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), shownNumber(ErrorKind::FolderBusy));
    }
    EXPECT_EQ(dir.names(), std::set<std::string>{"a.txt"});
    folder.close();

    const std::string held = ".grize-00000000000000aa.tmp";
    for (const char* name : {".grize-0123456789abcdef.tmp", ".grize-fedcba9876543210.old",
                             held.c_str(), ".grize-notes.tmp"}) {
        writeFile(dir / name, "left over");
    }
    FileHandle live = files.openRead(dir / held);
    ASSERT_EQ(files.tryLock(live), LockResult::Locked);
    encryptFile(dir / "a.txt", "pw", kSeed, dir / "a.gri", {}, defaultFileSystem());
    EXPECT_EQ(dir.names(), (std::set<std::string>{"a.gri", held, ".grize-notes.tmp"}));
}

// Damage the reading rules let pass is decrypted, but the .gri is kept.
TEST(FileOperations, DamagedFilesAreKept) {
    const std::string clean = gri::encryptBytes(kPlain, "pw", kSeed);
    const std::size_t bodyStart = clean.find("\r\n") + 2;
    std::string aboveAlphabet = clean;
    aboveAlphabet[bodyStart + 10] = '{';
    std::string blankHighBits = clean;
    blankHighBits[bodyStart + 3] = ' ';  // shrink fails on it only at a data position
    std::string extraCharacter = clean;
    extraCharacter.insert(extraCharacter.size() - 2, "\r\n;;;");  // 1334 + 3 characters
    std::string lfOnly = clean;
    std::erase(lfOnly, '\r');
    struct Case {
        const char* name;
        std::string bytes;
        const char* source;
        int error;
        SourceKept kept;
    } const cases[] = {
        {"clean", clean, "a.gri", 0, SourceKept::No},
        {"blank after the header", std::string(clean).insert(24, " "), "a.gri", 0,
         SourceKept::Damaged},
        {"character above the alphabet", aboveAlphabet, "a.gri", 0, SourceKept::Damaged},
        {"length no encryption makes", extraCharacter, "a.gri", 0, SourceKept::Damaged},
        {"below the alphabet, high bits", blankHighBits, "a.gri", 0, SourceKept::Damaged},
        {"cut before the last line end", clean.substr(0, clean.size() - 2), "a.gri", 0,
         SourceKept::Damaged},
        {"cut between CR and LF", clean.substr(0, clean.size() - 1), "a.gri", 0, SourceKept::No},
        {"LF line ends", lfOnly, "a.gri", 0, SourceKept::No},
        {"NUL padding after a crash", clean + std::string(4096, '\0'), "a.gri", 0,
         SourceKept::Damaged},
        {"nothing after the header", clean.substr(0, bodyStart), "a.gri",
         shownNumber(ErrorKind::Damaged), SourceKept::No},
        {"damaged and decrypted in place", aboveAlphabet, "a.txt",
         shownNumber(ErrorKind::DamagedInPlace), SourceKept::No},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFile(dir / c.source, c.bytes);
        try {
            const RunResult result =
                decryptFile(dir / c.source, {"pw"}, dir / "a.txt", {}, defaultFileSystem());
            EXPECT_EQ(c.error, 0);
            EXPECT_EQ(result.sourceKept, c.kept);
            EXPECT_EQ(readFile(dir / c.source).has_value(), c.kept == SourceKept::Damaged);
            EXPECT_TRUE(readFile(dir / "a.txt"));
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error);
            EXPECT_EQ(readFile(dir / c.source), c.bytes);
            EXPECT_EQ(dir.names(), std::set<std::string>{c.source});
        }
    }
}

// Fails every single file step of a run in turn and checks that the data
// survives: on failure the source unchanged and nothing of the run left, on
// success the output complete and the source gone.
TEST(FileOperations, FailureAtEveryStepLosesNothing) {
    const std::string encrypted = gri::encryptBytes(kPlain, "pw", kSeed);
    struct Scenario {
        bool encrypt;
        const char* source;
        const char* output;
        bool outputExists;
    };
    const Scenario scenarios[] = {
        {true, "a.txt", "a.gri", false}, {true, "a.txt", "a.gri", true},
        {true, "a.gri", "a.gri", false}, {false, "a.gri", "a.txt", false},
        {false, "a.gri", "a.txt", true}, {false, "a.txt", "a.txt", false},
    };
    const std::string oldOutput(3000, 'o');
    for (bool hardLinks : {true, false}) {
        for (const Scenario& s : scenarios) {
            const std::string before = s.encrypt ? kPlain : encrypted;
            const std::string after = s.encrypt ? encrypted : kPlain;
            const bool inPlace = std::string(s.source) == s.output;
            int leftoversNamed = 0;
            // One run with a fault at step `failAt` (none when 0); returns the
            // steps taken. `scratchStays`: no scratch file can be removed.
            const auto run = [&](int failAt, int error, bool scratchStays = false) {
                SCOPED_TRACE(testing::Message() << s.source << " -> " << s.output
                                                << (s.outputExists ? " (exists)" : "") << " links "
                                                << hardLinks << " step " << failAt << " errno "
                                                << error << (scratchStays ? " scratch stays" : ""));
                TempDir dir;
                writeFile(dir / s.source, before);
                setMode(dir / s.source, 0640);
                const unsigned mode = modeOf(dir / s.source);
                if (s.outputExists) {
                    writeFile(dir / s.output, oldOutput);
                }
                FaultyFileSystem fs;
                fs.hardLinks = hardLinks;
                fs.failAt = failAt;
                fs.error = error;
                fs.scratchStays = scratchStays;
                bool failed = false;
                std::string leftover;
                RunOptions options;
                options.replace =
                    probeOutput(dir / s.source, dir / s.output, defaultFileSystem()).info;
                try {
                    if (s.encrypt) {
                        encryptFile(dir / s.source, "pw", kSeed, dir / s.output, options, fs);
                    } else {
                        EXPECT_FALSE(
                            decryptFile(dir / s.source, {"pw"}, dir / s.output, options, fs)
                                .wrongPassword);
                    }
                } catch (const RuntimeError& e) {
                    failed = true;
                    leftover = e.leftover();
                    EXPECT_EQ(e.number(), test::nativeError(error).number()) << fs.failedStep;
                    EXPECT_EQ(e.context().folder, dir.path()) << fs.failedStep;
                }
                // What stays is empty, or a second name of the file the
                // output replaces; the error names an emptied one.
                std::set<std::string> stayed;
                for (const std::string& n : scratchStays ? dir.names() : std::set<std::string>{}) {
                    if (n.starts_with(".grize-")) {
                        stayed.insert(n);
                        const std::string bytes = readFile(dir / n).value_or("?");
                        EXPECT_TRUE(bytes.empty() || (n.ends_with(".old") &&
                                                      bytes == (inPlace ? before : oldOutput)))
                            << n << " " << fs.failedStep;
                        EXPECT_TRUE(failed || n.ends_with(".old")) << n;
                    }
                }
                if (!leftover.empty()) {
                    ++leftoversNamed;
                    EXPECT_TRUE(leftover.starts_with(dir.path() + "/") &&
                                stayed.count(leftover.substr(dir.path().size() + 1)))
                        << leftover;
                }
                if (failed) {
                    EXPECT_EQ(readFile(dir / s.source), before) << fs.failedStep;
                    EXPECT_EQ(modeOf(dir / s.source), mode);
                    std::set<std::string> expected{s.source};
                    if (s.outputExists) {
                        EXPECT_EQ(readFile(dir / s.output), oldOutput);
                        expected.insert(s.output);
                    }
                    expected.insert(stayed.begin(), stayed.end());
                    EXPECT_EQ(dir.names(), expected) << fs.failedStep;
                } else {
                    EXPECT_EQ(readFile(dir / s.output), after) << fs.failedStep;
                    EXPECT_EQ(modeOf(dir / s.output), mode);
                    std::set<std::string> names = dir.names();
                    // A failed tidy-up may leave the old output's scratch copy,
                    // for the next run in the folder to remove.
                    if (fs.failedStep.find(" .grize-") != std::string::npos) {
                        names.erase(fs.failedStep.substr(fs.failedStep.find(' ') + 1));
                    }
                    for (const std::string& n : stayed) {
                        names.erase(n);
                    }
                    EXPECT_EQ(names, std::set<std::string>{s.output}) << fs.failedStep;
                    EXPECT_TRUE(inPlace || !readFile(dir / s.source));
                }
                return fs.calls;
            };
            const int steps = run(0, 0);
            ASSERT_GT(steps, 5);
            for (int failAt = 1; failAt <= steps; ++failAt) {
                for (int error : {EACCES, ENOSPC, EIO}) {
                    run(failAt, error);
                }
                run(failAt, EIO, true);
            }
            EXPECT_GT(leftoversNamed, 0);
        }
    }
}

// Kills a real process part-way at varying moments: the data must always be
// complete under the source's name or the output's (scratch files may stay).
TEST(FileOperations, KilledRunLeavesTheDataComplete) {
    GRIZE_SKIP_WITHOUT(Needs::ForkedChild);
    const std::string plain = test::allCodes(4 << 20);
    const std::string encrypted = gri::encryptBytes(plain, "pw", kSeed);
    for (bool encrypt : {true, false}) {
        const std::string before = encrypt ? plain : encrypted;
        const std::string after = encrypt ? encrypted : plain;
        struct Run {
            const TempDir& dir;
            bool encrypt;
        };
        const auto runChild = [&](const TempDir& dir, std::chrono::microseconds delay) {
            Run run{dir, encrypt};
            return test::runInChild(
                [](void* context) {
                    const Run& r = *static_cast<Run*>(context);
                    try {
                        if (r.encrypt) {
                            encryptFile(r.dir / "src", "pw", kSeed, r.dir / "out", {},
                                        defaultFileSystem());
                        } else {
                            decryptFile(r.dir / "src", {"pw"}, r.dir / "out", {},
                                        defaultFileSystem());
                        }
                    } catch (...) {
                        return 1;
                    }
                    return 0;
                },
                &run, delay.count());
        };
        std::chrono::microseconds full{};
        {
            TempDir dir;
            writeFile(dir / "src", before);
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(runChild(dir, std::chrono::microseconds(-1)), 0);
            full = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - start);
            ASSERT_EQ(readFile(dir / "out"), after);
        }
        for (int i = 0; i <= 24; ++i) {
            TempDir dir;
            writeFile(dir / "src", before);
            const int status = runChild(dir, full * i / 20);
            const bool sourceComplete = readFile(dir / "src") == before;
            const bool outputComplete = readFile(dir / "out") == after;
            EXPECT_TRUE(sourceComplete || outputComplete) << i;
            if (status >= 0) {  // exited by itself
                EXPECT_TRUE(outputComplete && !readFile(dir / "src")) << i;
            }
        }
    }
}

}  // namespace
}  // namespace grize
