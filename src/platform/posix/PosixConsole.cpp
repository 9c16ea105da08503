#include "platform/Console.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace grize {

namespace {

// The terminal's settings while a password is read with echo off, for the
// signal handlers to put back.
volatile sig_atomic_t echoOff = 0;
int echoOffTerminal = -1;
termios savedSettings{};
termios quietSettings{};

void setHandler(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

// Ctrl+\: the echo back, then the signal's own action (a core dump, the
// status a shell reports).
void onQuit(int signal) {
    restoreConsole();
    setHandler(signal, SIG_DFL);
    ::raise(signal);  // blocked until this handler returns
}

// Echo off again while the prompt still reads, but only in the foreground:
// in the background the terminal is another job's, and the read stops the
// process until it is brought back.
void onContinue(int) {
    const int error = errno;
    if (echoOff && ::tcgetpgrp(echoOffTerminal) == ::getpgrp()) {
        ::tcsetattr(echoOffTerminal, TCSANOW, &quietSettings);
    }
    errno = error;
}

// Ctrl+Z: the echo back while stopped, then the stop the signal would have
// made.
void onStop(int signal) {
    const int error = errno;
    if (echoOff) {
        ::tcsetattr(echoOffTerminal, TCSANOW, &savedSettings);
    }
    setHandler(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);  // no stop in an orphaned process group
    setHandler(signal, onStop);
    onContinue(SIGCONT);
    errno = error;
}

// The handlers above while a prompt reads; signals ignored on purpose stay
// ignored.
class PromptSignals {
  public:
    PromptSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) {
                setHandler(kSignals[i], kHandlers[i]);
            }
        }
    }
    ~PromptSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        }
    }
    PromptSignals(const PromptSignals&) = delete;
    PromptSignals& operator=(const PromptSignals&) = delete;

  private:
    static constexpr std::array kSignals{SIGQUIT, SIGTSTP, SIGCONT};
    static constexpr std::array<void (*)(int), 3> kHandlers{onQuit, onStop, onContinue};
    std::array<struct sigaction, 3> previous_{};
};

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

// Text in `codeset` as UTF-32; nothing when it is not valid there.
std::optional<std::u32string> convert(const std::string& bytes, const char* codeset) {
    const iconv_t cd = ::iconv_open("UTF-32LE", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in = bytes;
    std::string out(4 * in.size() + 8, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    std::u32string text;
    const std::size_t length = out.size() - outLeft;
    for (std::size_t i = 0; i + 3 < length; i += 4) {
        const auto byte = [&](std::size_t k) {
            return static_cast<char32_t>(static_cast<unsigned char>(out[i + k]));
        };
        text.push_back(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
    }
    return text;
}

}  // namespace

std::optional<std::string> readHiddenLine(const std::string& prompt) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    writeAll(fd, prompt + " ");
    const PromptSignals signals;
    termios saved{};
    const bool haveAttrs = ::tcgetattr(fd, &saved) == 0;
    if (haveAttrs) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        savedSettings = saved;
        quietSettings = quiet;
        echoOffTerminal = fd;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        echoOff = 1;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::optional<std::string> line = std::string();
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (line->empty()) {
                line.reset();
            }
            break;
        }
        if (c == '\n') {
            break;
        }
        line->push_back(c);
    }
    if (haveAttrs) {
        // A stop and resumption in between would turn the echo off again.
        sigset_t jobControl;
        sigset_t before;
        sigemptyset(&jobControl);
        sigaddset(&jobControl, SIGTSTP);
        sigaddset(&jobControl, SIGCONT);
        ::sigprocmask(SIG_BLOCK, &jobControl, &before);
        ::tcsetattr(fd, TCSAFLUSH, &saved);
        echoOff = 0;
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
    }
    ::close(fd);
    if (line && !line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    return line;
}

PasswordFileLine readPasswordFile(const std::string& path, bool refuseStandardInput) {
    PasswordFileLine result;
    const auto failed = [&](int error) {
        result.error = std::error_code(error, std::generic_category());
        return result;
    };
    if (path.find('\0') != std::string::npos) {
        return failed(EINVAL);
    }
    // Taken before the open, which could be given descriptor 0 were it closed.
    struct stat input {};
    const bool haveInput = ::fstat(STDIN_FILENO, &input) == 0;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return failed(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(error);
    }
    if (refuseStandardInput && haveInput && st.st_dev == input.st_dev &&
        st.st_ino == input.st_ino) {
        ::close(fd);
        result.isStandardInput = true;
        return result;
    }
    std::array<char, 4096> buffer{};
    const std::size_t step = S_ISREG(st.st_mode) ? buffer.size() : 1;
    std::string line;
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), step);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return failed(error);
        }
        if (n == 0) {
            break;
        }
        any = true;
        const auto got = static_cast<std::size_t>(n);
        const auto* end = static_cast<const char*>(std::memchr(buffer.data(), '\n', got));
        line.append(buffer.data(), end ? static_cast<std::size_t>(end - buffer.data()) : got);
        if (end) {
            break;
        }
    }
    ::close(fd);
    if (any) {
        result.line = std::move(line);
    }
    return result;
}

std::optional<std::u32string> decodeLocaleText(const std::string& bytes) {
    const char* codeset = ::nl_langinfo(CODESET);
    if (codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0) {
        return std::nullopt;
    }
    return convert(bytes, codeset);
}

bool standardErrorIsConsole() {
    return ::isatty(STDERR_FILENO) == 1;
}

void restoreConsole() {
    if (echoOff) {
        ::tcsetattr(echoOffTerminal, TCSANOW, &savedSettings);
        [[maybe_unused]] const ssize_t n = ::write(echoOffTerminal, "\n", 1);
    }
}

}  // namespace grize
