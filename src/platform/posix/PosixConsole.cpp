#include "Console.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace grize {

namespace {

// The terminal's settings while a password is read with echo off, for
// restoreConsole to put back from a signal handler.
volatile sig_atomic_t echoOff = 0;
int echoOffTerminal = -1;
termios savedSettings{};

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
    termios saved{};
    const bool haveAttrs = ::tcgetattr(fd, &saved) == 0;
    if (haveAttrs) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        savedSettings = saved;
        echoOffTerminal = fd;
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
        ::tcsetattr(fd, TCSAFLUSH, &saved);
        echoOff = 0;
    }
    ::close(fd);
    if (line && !line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    return line;
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
