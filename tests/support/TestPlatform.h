#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the tests do differently per platform. tests/support/posix or
// tests/support/windows is built, chosen in CMake; the tests themselves call
// only what is declared here.
namespace grize::test {

// What a test or a case needs beyond plain files.
enum class Needs {
    Nothing,
    PermissionModes,     // group and other bits, not only read-only
    RefusedPermissions,  // a mode that refuses the user who runs the tests
    Fifos,
    Sockets,
    SymbolicLinks,
    RenameOpenFolder,  // a folder renamed while a run works in it
    ForkedChild,       // the test process split in two
    PosixShell,        // sh, tee, localedef
    Terminals,         // a pseudo-terminal with job control
    OtherOwners,       // files given to other users, a child run as one
    AccessLists,       // POSIX access lists and user attributes in the temporary folder
};

// Why the tests cannot do that here; empty when they can.
std::string whyNot(Needs need);

#define GRIZE_SKIP_WITHOUT(need)                                               \
    do {                                                                       \
        if (const std::string why = ::grize::test::whyNot(need); !why.empty()) \
            GTEST_SKIP() << why;                                               \
    } while (0)

void setMode(const std::string& path, unsigned mode);
unsigned modeOf(const std::string& path);  // 0 when nothing is there
// Who may use the file, as text: owner, group, mode, access list, user attribute.
std::string accessOf(const std::string& path);
void setOwner(const std::string& path, const char* user, const char* group);
// A user attribute and an access-list entry that shuts user 65534 (nobody) out.
void addAccessDetails(const std::string& path);
// In a forked child, for good: an ordinary user who is also in `group`; or
// the calls that set owners, modes and attributes failing with ENOSYS, as on
// FAT through FUSE.
void becomeUser(const char* user, const char* group);
void refuseAccessCalls();
// Hidden as this platform sees it: the attribute where there is one; a name
// that starts with "." is hidden anyway elsewhere.
void hide(const std::string& path);
void makeFifo(const std::string& path);
// Of two expected texts, the one this platform words it with.
std::string perPlatform(const std::string& posix, const std::string& windows);
// A listening socket at the path, closed with the returned handle.
int makeSocket(const std::string& path);
void closeSocket(int socket);

// Runs `body` in a forked copy of the test, killed after `killAfter`
// microseconds unless that is negative; its exit status, -1 when killed.
int runInChild(int (*body)(void*), void* context, std::int64_t killAfter);

// One way to stop a running program from outside: the signal or console
// event, and the exit status the program then reports.
struct Interruption {
    const char* name;
    int code;
    int status;
};
std::vector<Interruption> interruptions();

// A program with its standard streams from and to files.
struct ProcessLaunch {
    std::vector<std::string> args;                                      // args[0] is the program
    std::string input = {};                                             // "" for nothing
    std::string output = {}, errors = {};                               // "" throws them away
    std::string folder = {};                                            // "" for the test's own
    std::vector<std::pair<std::string, std::string>> environment = {};  // added
    bool terminal = false;  // a job on a terminal of its own, its streams there
};

class Process {
  public:
    explicit Process(const ProcessLaunch& launch);
    ~Process();  // kills what still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void interrupt(const Interruption& how);
    // No chance to clean up: SIGKILL, TerminateProcess.
    void kill();
    // The exit status; -1 when a signal ended it.
    int wait();

    // On a terminal: keys typed there (Ctrl+Z is "\x1a"), the shell's "fg"
    // after a stop, whether the terminal echoes what is typed.
    void type(const std::string& keys);
    void resume();
    bool echoes();

  private:
    int terminal_ = -1;
    std::intptr_t id_ = 0;
    unsigned long processId_ = 0;
    bool done_ = false;
    int status_ = -1;
};

// Settings written to a scratch place for one test: on Windows a scratch key
// stands in for HKEY_CURRENT_USER, elsewhere XDG_CONFIG_HOME and HOME point
// into `folder` (QSettings, which reads them once, is pointed at
// `folder`/config by the test).
class ScratchSettings {
  public:
    explicit ScratchSettings(const std::string& folder);
    ~ScratchSettings();
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;

    // Forgets everything stored, as on a machine where Grize never ran.
    void clear();
    // Nothing can be stored from now on.
    void makeUnusable();
    // Whether Grize's settings were written after markWrites(), which needs
    // them stored already.
    void markWrites();
    bool writtenSinceMark();

  private:
    std::string folder_;
    std::vector<std::pair<const char*, std::optional<std::string>>> savedEnvironment_;
    std::intptr_t key_ = 0;
    std::intptr_t watchedKey_ = 0, watch_ = 0;
};

}  // namespace grize::test
