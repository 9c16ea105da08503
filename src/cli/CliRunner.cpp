#include "CliRunner.h"

#include <cstdint>
#include <fstream>
#include <istream>
#include <ostream>

#include "FileOperations.h"
#include "PasswordBytes.h"
#include "PathHelpers.h"
#include "RuntimeError.h"
#include "SaltSeed.h"
#include "StreamOperations.h"
#include "TargetChecks.h"
#include "Terminal.h"

#ifndef GRIZE_VERSION
#define GRIZE_VERSION "unknown"
#endif

namespace grize::cli {

namespace {

// Window texts hold CR LF; a terminal line gets a blank instead, so that
// every file's outcome stays on one line.
std::string oneLine(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out.push_back(' ');
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            out.push_back(' ');
        } else {
            out.push_back(text[i]);
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

// Files smaller than this are done before a progress line could be read.
constexpr std::uint64_t kProgressMinBytes = 8u << 20;

// "FILE: 42%" on one terminal line, rewritten as the percentage grows and
// erased before the file's outcome line.
class ProgressLine {
  public:
    ProgressLine(std::ostream& messages, const std::string& file, bool enabled)
        : messages_(messages), file_(file), enabled_(enabled) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    ProgressFn callback() {
        if (!enabled_) {
            return {};
        }
        return [this](std::uint64_t done, std::uint64_t total) {
            if (total < kProgressMinBytes) {
                return;
            }
            const int percent = static_cast<int>(done * 100 / total);
            if (percent != shown_) {
                shown_ = percent;
                messages_ << '\r' << file_ << ": " << percent << '%' << std::flush;
            }
        };
    }
    void clear() {
        if (shown_ >= 0) {
            messages_ << "\r\033[K" << std::flush;
            shown_ = -1;
        }
    }

  private:
    std::ostream& messages_;
    const std::string& file_;
    bool enabled_;
    int shown_ = -1;
};

std::string errorText(const RuntimeError& e) {
    return "Error " + std::to_string(e.number()) + " - " + e.description();
}

// Does one file; true when it was done.
bool processFile(Command command, bool force, const std::string& file, const std::string& password,
                 bool showProgress, std::ostream& messages) {
    const TargetCheck check = checkTarget(file);
    if (check != TargetCheck::Ok) {
        const std::string text = oneLine(targetCheckMessage(check, file));
        // The first two texts do not name the file; the others begin with it.
        if (check == TargetCheck::NoPath || check == TargetCheck::NotFound) {
            messages << file << ": " << text << '\n';
        } else {
            messages << text << '\n';
        }
        return false;
    }
    try {
        const bool encrypted = isEncryptedFile(file);
        if (command == Command::Encrypt && encrypted) {
            messages << file << ": already encrypted (begins with \"[Grized]\"), left as it is\n";
            return false;
        }
        if (command == Command::Decrypt && !encrypted) {
            messages << file << ": not an encrypted file (does not begin with \"[Grized]\"), "
                     << "left as it is\n";
            return false;
        }
        const std::string extension = command == Command::Encrypt ? ".gri" : ".txt";
        const std::string target = replaceExtension(file, extension);
        RunOptions runOptions;
        const ExistingOutput existing = probeOutput(file, target);
        if (existing.state == OutputState::Taken) {
            if (!force) {
                messages << file << ": " << target
                         << " already exists; left both as they are (--force replaces it)\n";
                return false;
            }
            runOptions.replace = existing.info;
        }
        const OutputPathProvider output = [&] { return target; };
        ProgressLine progress(messages, file, showProgress);
        runOptions.progress = progress.callback();
        const RunResult result =
            command == Command::Encrypt
                ? encryptFile(file, password, saltSeedNow(), output, runOptions)
                : decryptFile(file, password, output, runOptions);
        progress.clear();
        if (result.wrongPassword) {
            messages << file << ": Access denied: password is incorrect!\n";
            return false;
        }
        messages << file << " -> " << result.output;
        switch (result.sourceKept) {
            case SourceKept::No:
                messages << '\n';
                return true;
            case SourceKept::Changed:
                messages << " (" << file << " changed during the run and was kept)\n";
                return false;
            case SourceKept::Damaged:
                messages << " (" << file << " looks damaged, so " << result.output
                         << " may not be what was encrypted; " << file << " was kept)\n";
                return false;
        }
        return false;

    } catch (const RuntimeError& e) {
        messages << file << ": " << errorText(e) << '\n';
    } catch (const std::bad_alloc&) {
        messages << file << ": " << errorText(err::outOfMemory()) << '\n';
    }
    return false;
}

// Standard input to standard output; true when it was done.
bool processStreams(Command command, const std::string& password, std::istream& in,
                    std::ostream& out, std::ostream& messages) {
    const gri::ReadFn read = [&](char* buffer, std::size_t size) {
        in.read(buffer, static_cast<std::streamsize>(size));
        if (in.bad()) {
            throw err::deviceIo();
        }
        return static_cast<std::size_t>(in.gcount());
    };
    const gri::WriteFn write = [&](std::string_view data) {
        if (!out.write(data.data(), static_cast<std::streamsize>(data.size()))) {
            throw err::deviceIo();
        }
    };
    try {
        const StreamOutcome outcome = command == Command::Encrypt
                                          ? encryptStream(read, write, password, saltSeedNow())
                                          : decryptStream(read, write, password);
        if (!out.flush()) {
            throw err::deviceIo();
        }
        switch (outcome) {
            case StreamOutcome::Done:
                return true;
            case StreamOutcome::NotForThisMode:
                messages
                    << (command == Command::Encrypt
                            ? "-: already encrypted (begins with \"[Grized]\"), nothing written\n"
                            : "-: not encrypted (does not begin with \"[Grized]\"), nothing "
                              "written\n");
                return false;
            case StreamOutcome::WrongPassword:
                messages << "-: Access denied: password is incorrect!\n";
                return false;
            case StreamOutcome::Damaged:
                messages << "-: the input looks damaged, so the output may not be what was "
                            "encrypted\n";
                return false;
        }
    } catch (const RuntimeError& e) {
        messages << "-: " << errorText(e) << "; the output is incomplete\n";
    } catch (const std::bad_alloc&) {
        messages << "-: " << errorText(err::outOfMemory()) << "; the output is incomplete\n";
    }
    return false;
}

}  // namespace

std::optional<std::string> firstLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) && line.empty()) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

int runCli(const CliOptions& options, std::istream& stdinStream, Terminal& terminal,
           std::ostream& out, std::ostream& messages) {
    switch (options.command) {
        case Command::Help:
            out << usageText();
            return kExitDone;
        case Command::Version:
            out << "grize-cli " << GRIZE_VERSION << '\n';
            return kExitDone;
        default:
            break;
    }
    if (!options.error.empty()) {
        messages << "grize-cli: " << options.error << '\n' << usageText();
        return kExitUsage;
    }

    std::optional<std::string> typed;
    if (!options.passwordFile.empty()) {
        std::ifstream file(options.passwordFile, std::ios::binary);
        typed = file ? firstLine(file) : std::nullopt;
        if (!typed) {
            messages << "grize-cli: no password in " << options.passwordFile << '\n';
            return kExitUsage;
        }
    } else if (options.passwordFromStdin) {
        typed = firstLine(stdinStream);
        if (!typed) {
            messages << "grize-cli: no password on standard input\n";
            return kExitUsage;
        }
    } else {
        typed = terminal.readHidden("Enter password:");
        if (!typed) {
            messages << "grize-cli: no terminal to ask for the password; use --password-stdin\n";
            return kExitUsage;
        }
        if (options.command == Command::Encrypt) {
            const std::optional<std::string> again = terminal.readHidden("Enter password again:");
            if (!again || *again != *typed) {
                messages << "The two passwords are not the same.\n";
                return kExitNotDone;
            }
        }
    }
    const std::string password = passwordBytes(terminal.decodeText(*typed));

    if (options.usesStreams()) {
        return processStreams(options.command, password, stdinStream, out, messages) ? kExitDone
                                                                                     : kExitNotDone;
    }
    bool allDone = true;
    for (const std::string& file : options.files) {
        allDone = processFile(options.command, options.force, file, password,
                              terminal.messagesOnTerminal(), messages) &&
                  allDone;
    }
    return allDone ? kExitDone : kExitNotDone;
}

}  // namespace grize::cli
