#pragma once

#include <string>
#include <vector>

namespace grize::cli {

enum class Command { None, Encrypt, Decrypt, Help, Version };

struct CliOptions {
    Command command = Command::None;
    bool passwordFromStdin = false;
    bool force = false;        // replace an existing output file
    bool age = false;          // encrypt: the age format instead of .gri
    bool armor = false;        // with age: the armored text form
    std::string passwordFile;  // non-empty: the password is its first line
    std::vector<std::string> files;
    std::string error;  // non-empty: a usage error to report

    // "-": standard input to standard output instead of files.
    bool usesStreams() const { return files.size() == 1 && files[0] == "-"; }
};

CliOptions parseArguments(const std::vector<std::string>& args);

std::string usageText();

}  // namespace grize::cli
