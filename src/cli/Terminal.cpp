#include "cli/Terminal.h"

#include "core/format/PasswordBytes.h"
#include "platform/Console.h"

namespace grize::cli {

std::u32string Terminal::decodeText(const std::string& bytes) {
    return decodeUtf8(bytes);
}

namespace {

// The console, through the platform layer.
class SystemTerminal : public Terminal {
  public:
    std::optional<std::string> readHidden(const std::string& prompt) override {
        return readHiddenLine(prompt);
    }

    std::u32string decodeText(const std::string& bytes) override {
        // Text that is not valid in the locale's set (often UTF-8 typed under
        // the C locale) is read as UTF-8.
        if (std::optional<std::u32string> text = decodeLocaleText(bytes)) {
            return *text;
        }
        return decodeUtf8(bytes);
    }

    bool messagesOnTerminal() override { return standardErrorIsConsole(); }
};

}  // namespace

std::unique_ptr<Terminal> makeSystemTerminal() {
    return std::make_unique<SystemTerminal>();
}

}  // namespace grize::cli
