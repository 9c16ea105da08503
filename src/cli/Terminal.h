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
};

std::unique_ptr<Terminal> makeSystemTerminal();

}  // namespace grize::cli
