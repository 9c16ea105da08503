#include "TestPlatform.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pty.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "TestFiles.h"

namespace grize::test {

namespace fs = std::filesystem;

std::string whyNot(Needs need) {
    if (need == Needs::RefusedPermissions && ::geteuid() == 0) {
        return "root is never refused by file permissions";
    }
    if (need == Needs::OtherOwners && ::geteuid() != 0) {
        return "only root gives files to other users";
    }
    if (need == Needs::AccessLists &&
        ::setxattr(TempDir().path().c_str(), "user.grize", "", 0, 0) != 0) {
        return "the temporary folder keeps no user attributes";
    }
    return {};
}

void setMode(const std::string& path, unsigned mode) {
    ::chmod(path.c_str(), mode);
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777u) : 0;
}

std::string accessOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %o", ::getpwuid(st.st_uid)->pw_name,
                  ::getgrgid(st.st_gid)->gr_name, st.st_mode & 0777u);
    std::string access = text;
    for (const char* name : {"system.posix_acl_access", "user.grize"}) {
        char value[256];
        const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
        if (size >= 0) {
            access += std::string(" ") + name + "=" + std::string(value, size);
        }
    }
    return access;
}

void setOwner(const std::string& path, const char* user, const char* group) {
    ::chown(path.c_str(), ::getpwnam(user)->pw_uid, ::getgrnam(group)->gr_gid);
}

void addAccessDetails(const std::string& path) {
    // Version 2, then tag, permissions, id for each entry:
    // user::rw- user:65534:--- group::r-- mask::r-- other::---
    static const char acl[] =
        "\2\0\0\0\1\0\6\0\377\377\377\377\2\0\0\0\376\377\0\0\4\0\4\0\377\377\377\377"
        "\20\0\4\0\377\377\377\377\40\0\0\0\377\377\377\377";
    if (::setxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl - 1, 0) != 0 ||
        ::setxattr(path.c_str(), "user.grize", "kept", 4, 0) != 0) {
        throw std::runtime_error("no access list at " + path);
    }
}

void becomeUser(const char* user, const char* group) {
    const passwd* who = ::getpwnam(user);
    const gid_t also = ::getgrnam(group)->gr_gid;
    if (::setgroups(1, &also) != 0 || ::setgid(who->pw_gid) != 0 || ::setuid(who->pw_uid) != 0) {
        ::_exit(126);
    }
}

void refuseAccessCalls() {
    std::vector<sock_filter> filter{BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (const long call :
         {SYS_fchmod, SYS_fchown, SYS_fgetxattr, SYS_fsetxattr, SYS_flistxattr, SYS_fremovexattr}) {
        filter.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        ::_exit(125);
    }
}

void hide(const std::string&) {}

std::string perPlatform(const std::string& posix, const std::string&) {
    return posix;
}

void makeFifo(const std::string& path) {
    if (::mkfifo(path.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
}

int makeSocket(const std::string& path) {
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sock < 0 || path.size() >= sizeof addr.sun_path) {
        throw std::runtime_error("no socket at " + path);
    }
    path.copy(addr.sun_path, path.size());
    if (::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(sock);
        throw std::runtime_error("bind failed at " + path);
    }
    return sock;
}

void closeSocket(int socket) {
    ::close(socket);
}

int runInChild(int (*body)(void*), void* context, std::int64_t killAfter) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body(context));
    }
    if (killAfter >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(killAfter));
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<Interruption> interruptions() {
    return {{"SIGINT", SIGINT, 128 + SIGINT},
            {"SIGTERM", SIGTERM, 128 + SIGTERM},
            {"SIGHUP", SIGHUP, 128 + SIGHUP},
            {"SIGXCPU", SIGXCPU, 128 + SIGXCPU}};
}

namespace {

// What a shell with job control does: the program runs as a foreground job
// of its own, which Ctrl+Z can stop, and its end is passed on. Killing the
// leader hangs the terminal up, which ends the job too.
[[noreturn]] void runAsJob(const std::vector<char*>& argv) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const pid_t job = ::fork();
    if (job == 0) {
        ::setpgid(0, 0);
        ::signal(SIGTTOU, SIG_IGN);
        ::tcsetpgrp(STDIN_FILENO, ::getpid());
        ::signal(SIGTTOU, SIG_DFL);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int raw = 0;
    ::waitpid(job, &raw, 0);
    if (WIFSIGNALED(raw)) {
        ::signal(WTERMSIG(raw), SIG_DFL);
        ::raise(WTERMSIG(raw));
    }
    ::_exit(WIFEXITED(raw) ? WEXITSTATUS(raw) : 127);
}

}  // namespace

Process::Process(const ProcessLaunch& launch) {
    const pid_t child =
        launch.terminal ? ::forkpty(&terminal_, nullptr, nullptr, nullptr) : ::fork();
    if (child == 0) {
        const auto redirect = [](const std::string& file, int flags, int to) {
            const int fd = ::open(file.empty() ? "/dev/null" : file.c_str(), flags, 0600);
            if (fd < 0 || ::dup2(fd, to) < 0) {
                ::_exit(127);
            }
        };
        if (!launch.terminal) {
            redirect(launch.input, O_RDONLY, 0);
            redirect(launch.output, O_WRONLY | O_CREAT | O_TRUNC, 1);
            redirect(launch.errors, O_WRONLY | O_CREAT | O_TRUNC, 2);
        }
        if (!launch.folder.empty() && ::chdir(launch.folder.c_str()) != 0) {
            ::_exit(127);
        }
        for (const auto& [name, value] : launch.environment) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& arg : launch.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        if (launch.terminal) {
            runAsJob(argv);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    id_ = child;
}

Process::~Process() {
    if (!done_) {
        kill();
        wait();
    }
    if (terminal_ >= 0) {
        ::close(terminal_);
    }
}

void Process::interrupt(const Interruption& how) {
    ::kill(static_cast<pid_t>(id_), how.code);
}

void Process::kill() {
    ::kill(static_cast<pid_t>(id_), SIGKILL);
}

int Process::wait() {
    if (!done_) {
        int raw = 0;
        ::waitpid(static_cast<pid_t>(id_), &raw, 0);
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        done_ = true;
    }
    return status_;
}

void Process::type(const std::string& keys) {
    if (::write(terminal_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("typing on the terminal failed");
    }
}

void Process::resume() {
    ::kill(-::tcgetpgrp(terminal_), SIGCONT);
}

bool Process::echoes() {
    termios settings{};
    return ::tcgetattr(terminal_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

ScratchSettings::ScratchSettings(const std::string& folder) : folder_(folder) {
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
        const char* value = std::getenv(name);
        savedEnvironment_.emplace_back(name,
                                       value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    ::setenv("HOME", (folder + "/home").c_str(), 1);
}

ScratchSettings::~ScratchSettings() {
    for (const auto& [name, value] : savedEnvironment_) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
}

void ScratchSettings::clear() {
    fs::remove_all(fs::path(folder_) / "config");
}

void ScratchSettings::makeUnusable() {
    writeFile(folder_ + "/config", "not a folder");
}

// QSettings writes a new file and renames it over the old one, without the
// comment added here.
void ScratchSettings::markWrites() {
    const std::string file = folder_ + "/config/Ashgrove/Grize.conf";
    writeFile(file, readFile(file).value_or("") + "; before the mark\n");
}

bool ScratchSettings::writtenSinceMark() {
    const auto text = readFile(folder_ + "/config/Ashgrove/Grize.conf");
    return !text || text->find("; before the mark") == std::string::npos;
}

}  // namespace grize::test
