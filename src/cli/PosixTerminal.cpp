#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "Terminal.h"

namespace grize::cli {

namespace {

class PosixTerminal : public Terminal {
  public:
    std::optional<std::string> readHidden(const std::string& prompt) override {
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
        }
        ::close(fd);
        if (line && !line->empty() && line->back() == '\r') {
            line->pop_back();
        }
        return line;
    }

  private:
    static void writeAll(int fd, const std::string& text) {
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
};

}  // namespace

std::unique_ptr<Terminal> makeSystemTerminal() {
    return std::make_unique<PosixTerminal>();
}

}  // namespace grize::cli
