#pragma once

#include <memory>
#include <optional>
#include <string>

namespace grize::cli {

// Where an interactive password comes from: the controlling terminal, with
// echo off.
class Terminal {
  public:
    virtual ~Terminal() = default;
    // Shows the prompt and reads one line without echo; nullopt when there is
    // no terminal or reading failed.
    virtual std::optional<std::string> readHidden(const std::string& prompt) = 0;
    // Text typed or piped in, from the character set of the user's locale.
    virtual std::u32string decodeText(const std::string& bytes);
    // Whether standard error is a terminal, where a progress line is seen and
    // then overwritten; in a log or a pipe it would only be noise.
    virtual bool messagesOnTerminal() { return false; }
};

std::unique_ptr<Terminal> makeSystemTerminal();

}  // namespace grize::cli
