#include "cli/CliRunner.h"

#include <algorithm>
#include <cstdint>
#include <istream>
#include <ostream>
#include <system_error>
#include <vector>

#include "Version.h"
#include "cli/Terminal.h"
#include "core/job/Job.h"
#include "core/job/PathHelpers.h"
#include "core/job/RunMessages.h"
#include "errors/Quietly.h"
#include "errors/RuntimeError.h"
#include "platform/Console.h"

namespace grize::cli {

namespace {

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

// A line typed on Windows ends in CR LF.
void dropCarriageReturn(std::string& line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
}

Operation operationOf(Command command) {
    return command == Command::Encrypt ? Operation::Encrypt : Operation::Decrypt;
}

// The length of the valid UTF-8 character at `text[at]` that is printable
// (not a C1 control); 0 for a control, a stray byte or a broken sequence.
std::size_t printableCharacterAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned lead = byte(0);
    if (lead >= 0x20 && lead < 0x7F) {
        return 1;
    }
    const std::size_t length = lead >= 0xC2 && lead < 0xE0   ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i) & 0x3F);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid =
        code >= kShortest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid && code > 0x9F ? length : 0;
}

// A name as a terminal line shows it: every control (C0, DEL, C1) and every
// byte that is not valid UTF-8 escaped as \xHH, so that a name can neither
// break the line nor send the terminal commands.
std::string shown(const std::string& name) {
    static const char* const digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        if (const std::size_t length = printableCharacterAt(name, i); length != 0) {
            out.append(name, i, length);
            i += length;
            continue;
        }
        // A C1 control's two bytes each come here in turn, as a broken
        // sequence's do.
        const auto code = static_cast<unsigned char>(name[i]);
        out += "\\x";
        out.push_back(digits[code >> 4]);
        out.push_back(digits[code & 15]);
        ++i;
    }
    return out;
}

// The files one command must not replace: the FILEs it was given, recorded
// before the first run so that their order does not matter, and the outputs
// it has written.
class CommandFiles {
  public:
    enum class Conflict { None, Written, AlsoNamed };

    explicit CommandFiles(FileSystem& fs) : fs_(fs) {}

    void addGiven(const std::string& path) { add(given_, path); }
    void addWritten(const std::string& path) { add(written_, path); }

    // Whether the planned output would take the place of one of them. A run
    // in place replaces only its own source.
    Conflict conflict(const job::Plan& plan) const {
        const OutputState state = plan.existing.state;
        if (state == OutputState::Free || plan.output == plan.source) {
            return Conflict::None;
        }
        // Case is ignored: on a case-insensitive file system both names are one file.
        const auto matches = [&](const Entry& entry) {
            return sameIgnoringCase(entry.path, plan.output) ||
                   entry.info.sameFileAs(plan.existing.info);
        };
        if (std::any_of(written_.begin(), written_.end(), matches)) {
            return Conflict::Written;
        }
        if (state != OutputState::Source &&
            std::any_of(given_.begin(), given_.end(),
                        [&](const Entry& e) { return e.path != plan.source && matches(e); })) {
            return Conflict::AlsoNamed;
        }
        return Conflict::None;
    }

  private:
    struct Entry {
        std::string path;
        FileInfo info;
    };
    void add(std::vector<Entry>& entries, const std::string& path) {
        Entry entry{path, {}};
        quietly([&] { entry.info = fs_.linkStatus(path); });
        entries.push_back(std::move(entry));
    }

    FileSystem& fs_;
    std::vector<Entry> given_;
    std::vector<Entry> written_;
};

struct FileJob {
    const CliOptions& options;
    const std::u32string& password;
    bool showProgress;
    FileSystem& fs;
};

// Prints the texts on one line each, after `name` where they do not name
// their file. A text may add a path of its own (the current folder), escaped
// here too; the names already shown stay as they are.
void printTexts(const std::vector<messages::Text>& texts, const std::string& name,
                std::ostream& messages) {
    for (const messages::Text& text : texts) {
        if (!text.namesFile) {
            messages << name << ": ";
        }
        if (text.cause.empty()) {
            messages << shown(messages::oneLine(text.lines)) << '\n';
        } else {
            messages << text.cause << " (" << messages::oneLine(text.lines) << ")\n";
        }
    }
}

// Prints how a file's run, or its start-up checks, ended: one line for the
// file. `target` is the planned output as shown; empty before there is a
// plan. True when it was done as asked.
bool printOutcome(const job::Outcome& outcome, Command command, const std::string& name,
                  const std::string& target, std::ostream& messages) {
    messages::Names names{name, target, {}};
    if (outcome.error && !outcome.error->leftover().empty()) {
        names.leftover = shown(outcome.error->leftover());
    }
    const std::vector<messages::Text> texts =
        messages::describe(outcome, operationOf(command), names);
    if (outcome.ending != job::Ending::Done) {
        printTexts(texts, name, messages);
        return false;
    }
    messages << name << " -> " << shown(outcome.output);
    for (const messages::Text& warning : texts) {
        messages << " (" << messages::oneLine(warning.lines) << ')';
    }
    messages << '\n';
    return texts.empty();
}

// The start-up checks and the mode: whether `file` can be done at all, and
// what it is. Says why not on `messages`. Throws RuntimeError when it cannot
// be read.
std::optional<job::Target> checkFile(Command command, const std::string& file,
                                     const std::string& name, std::ostream& messages,
                                     FileSystem& fs) {
    const job::Target target = job::examine(file, fs);
    if (const auto refused = job::admit(target, operationOf(command))) {
        printOutcome(*refused, command, name, {}, messages);
        return std::nullopt;
    }
    return target;
}

// Where `file`, which the checks found to be `target`, is written.
job::Plan planFor(const CliOptions& options, const std::string& file, const job::Target& target,
                  FileSystem& fs) {
    const Operation mode = operationOf(options.command);
    const FileFormat format = mode == Operation::Decrypt ? target.format
                              : options.age              ? FileFormat::Age
                                                         : FileFormat::Gri;
    job::Plan plan = job::plan(file, mode, format, fs);
    plan.armor = options.armor;
    return plan;
}

std::string outputTaken(const std::string& target) {
    return target + " already exists; left both as they are (--force replaces it)";
}

// Whether `file` is worth asking a password for: it passes the checks and,
// without --force, its output name is free. Another FILE of the command at
// that name is left for its own line when its turn comes.
bool fileIsReady(const CliOptions& options, const std::string& file, const CommandFiles& files,
                 std::ostream& messages, FileSystem& fs) {
    const std::string name = shown(file);
    try {
        const std::optional<job::Target> checked =
            checkFile(options.command, file, name, messages, fs);
        if (!checked) {
            return false;
        }
        const job::Plan plan = planFor(options, file, *checked, fs);
        if (!options.force && plan.needsConsent() &&
            files.conflict(plan) == CommandFiles::Conflict::None) {
            messages << name << ": " << outputTaken(shown(plan.output)) << '\n';
            return false;
        }
        return true;
    } catch (const RuntimeError& e) {
        printOutcome(job::Outcome::failed(e), options.command, name, {}, messages);
    }
    return false;
}

// Does one file; true when it was done. The checks run again: the file may
// have changed while the password was typed.
bool processFile(const FileJob& job, const std::string& file, CommandFiles& files,
                 std::ostream& messages) {
    const std::string name = shown(file);
    try {
        const std::optional<job::Target> checked =
            checkFile(job.options.command, file, name, messages, job.fs);
        if (!checked) {
            return false;
        }
        job::Plan plan = planFor(job.options, file, *checked, job.fs);
        const std::string target = shown(plan.output);
        switch (files.conflict(plan)) {
            case CommandFiles::Conflict::None:
                break;
            case CommandFiles::Conflict::Written:
                messages << name << ": " << target
                         << " was written by this command already; left both as they are\n";
                return false;
            case CommandFiles::Conflict::AlsoNamed:
                messages << name << ": " << messages::alsoNamed(target) << '\n';
                return false;
        }
        if (plan.needsConsent()) {
            if (!job.options.force) {
                messages << name << ": " << outputTaken(target) << '\n';
                return false;
            }
            plan.replace = true;
        }
        if (plan.format == FileFormat::Age && checked->workFactor > job::kSlowWorkFactor) {
            messages << messages::slowKeyDerivation(name, checked->workFactor) << '\n';
        }
        ProgressLine progress(messages, name, job.showProgress);
        job::Controls controls;
        controls.progress = progress.callback();
        const job::Outcome outcome = job::run(plan, job.password, controls, job.fs);
        progress.clear();
        if (outcome.ending == job::Ending::Done) {
            files.addWritten(outcome.output);
        }
        return printOutcome(outcome, job.options.command, name, target, messages);
    } catch (const RuntimeError& e) {
        printOutcome(job::Outcome::failed(e), job.options.command, name, {}, messages);
    }
    return false;
}

// Standard input to standard output; true when it was done.
bool processStreams(const FileJob& job, std::istream& in, std::ostream& out,
                    std::ostream& messages) {
    const CliOptions& options = job.options;
    const gri::ReadFn read = [&](char* buffer, std::size_t size) {
        in.read(buffer, static_cast<std::streamsize>(size));
        if (in.bad()) {
            throw RuntimeError(ErrorKind::DeviceIo);
        }
        return static_cast<std::size_t>(in.gcount());
    };
    const gri::WriteFn write = [&](std::string_view data) {
        if (!out.write(data.data(), static_cast<std::streamsize>(data.size()))) {
            throw RuntimeError(ErrorKind::DeviceIo);
        }
    };
    job::Outcome outcome = job::runStream(operationOf(options.command),
                                          options.age ? FileFormat::Age : FileFormat::Gri,
                                          options.armor, read, write, job.password);
    if (outcome.ending != job::Ending::Failed && !out.flush()) {
        outcome = job::Outcome::failed(RuntimeError(ErrorKind::DeviceIo));
    }
    const std::vector<messages::Text> texts =
        messages::describeStream(outcome, operationOf(options.command));
    printTexts(texts, "-", messages);
    return outcome.ending == job::Ending::Done && texts.empty();
}

}  // namespace

std::optional<std::string> firstLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) && line.empty()) {
        return std::nullopt;
    }
    dropCarriageReturn(line);
    return line;
}

int runCli(const CliOptions& options, std::istream& stdinStream, Terminal& terminal,
           std::ostream& out, std::ostream& messages, FileSystem& fs) {
    switch (options.command) {
        case Command::Help:
            out << usageText();
            return kExitDone;
        case Command::Version:
            out << "grize-cli " << version::kText << '\n';
            return kExitDone;
        default:
            break;
    }
    if (!options.error.empty()) {
        messages << "grize-cli: " << options.error << "\nTry 'grize-cli --help'.\n";
        return kExitUsage;
    }
    // Nobody types a password for files that cannot be done, or whose output
    // is in the way.
    std::vector<std::string> ready;
    CommandFiles files(fs);
    if (!options.usesStreams()) {
        for (const std::string& file : options.files) {
            files.addGiven(file);
        }
        for (const std::string& file : options.files) {
            if (fileIsReady(options, file, files, messages, fs)) {
                ready.push_back(file);
            }
        }
        if (ready.empty()) {
            return kExitNotDone;
        }
    }

    std::optional<std::string> typed;
    if (!options.passwordFile.empty()) {
        // With -, standard input is the data: a password read from it would
        // be cut from the data's start.
        PasswordFileLine read = readPasswordFile(options.passwordFile, options.usesStreams());
        const std::string name = shown(options.passwordFile);
        if (read.isStandardInput) {
            messages << "grize-cli: --password-file " << name
                     << " (standard input) cannot be used with -, whose data comes on standard "
                        "input\nTry 'grize-cli --help'.\n";
            return kExitUsage;
        }
        if (read.error) {
            messages << "grize-cli: cannot read " << name << ": " << read.error.message() << '\n';
            return kExitUsage;
        }
        typed = std::move(read.line);
        if (!typed) {
            messages << "grize-cli: no password in " << name << '\n';
            return kExitUsage;
        }
        dropCarriageReturn(*typed);
    } else if (options.passwordFromStdin) {
        typed = firstLine(stdinStream);
        if (!typed) {
            messages << "grize-cli: no password on standard input\n";
            return kExitUsage;
        }
    } else {
        typed = terminal.readHidden("Enter password:");
        if (!typed) {
            // With -, standard input is the data.
            messages << "grize-cli: no terminal to ask for the password; use "
                     << (options.usesStreams() ? "" : "--password-stdin or ")
                     << "--password-file PWFILE\n";
            return kExitUsage;
        }
        if (options.command == Command::Encrypt) {
            const std::optional<std::string> again = terminal.readHidden("Enter password again:");
            if (!again || *again != *typed) {
                messages << messages::passwordsDiffer() << '\n';
                return kExitNotDone;
            }
        }
    }
    const std::u32string password = terminal.decodeText(*typed);
    if (options.command == Command::Encrypt && password.empty()) {
        messages << messages::emptyPassword() << '\n';
        return kExitNotDone;
    }
    const FileJob job{options, password, terminal.messagesOnTerminal(), fs};

    if (options.usesStreams()) {
        return processStreams(job, stdinStream, out, messages) ? kExitDone : kExitNotDone;
    }
    bool allDone = ready.size() == options.files.size();
    for (const std::string& file : ready) {
        allDone = processFile(job, file, files, messages) && allDone;
    }
    return allDone ? kExitDone : kExitNotDone;
}

}  // namespace grize::cli
