#include "TestPlatform.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
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
    return {};
}

void setMode(const std::string& path, unsigned mode) {
    ::chmod(path.c_str(), mode);
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777u) : 0;
}

void hide(const std::string&) {}

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
            {"SIGHUP", SIGHUP, 128 + SIGHUP}};
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

namespace {

fs::path keyFolder(const std::string& folder, const std::string& subKey) {
    fs::path path = fs::path(folder) / "config" / "grize" / "registry" / "HKEY_CURRENT_USER";
    for (std::size_t start = 0; start < subKey.size();) {
        const std::size_t end = std::min(subKey.find('\\', start), subKey.size());
        path /= subKey.substr(start, end - start);
        start = end + 1;
    }
    return path;
}

}  // namespace

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

bool ScratchSettings::holdsAnything() {
    return fs::exists(keyFolder(folder_, "").parent_path());
}

bool ScratchSettings::holdsKey(const std::string& subKey) {
    return fs::exists(keyFolder(folder_, subKey));
}

void ScratchSettings::forgetValue(const std::string& subKey, const std::string& name) {
    std::error_code ec;
    fs::remove(keyFolder(folder_, subKey) / ("=" + name), ec);
}

void ScratchSettings::makeUnusable() {
    writeFile(folder_ + "/config", "not a folder");
}

}  // namespace grize::test
