#include "core/job/RunMessages.h"

#include "core/files/TargetChecks.h"
#include "core/format/GriHeader.h"
#include "core/job/Job.h"

namespace grize::messages {

namespace {

// The source's warnings after a run that wrote its output.
std::vector<Text> warnings(const job::Outcome& outcome, const std::string& source) {
    std::vector<Text> texts;
    switch (outcome.sourceKept) {
        case SourceKept::No:
            break;
        case SourceKept::Changed:
            texts.push_back({linesOf(sourceChangedKept(source))});
            break;
        case SourceKept::Damaged:
            texts.push_back({linesOf(damagedKept(source))});
            break;
    }
    if (outcome.otherNames) {
        texts.push_back({linesOf(otherNamesKept(source))});
    }
    return texts;
}

}  // namespace

Lines linesOf(std::string_view text) {
    Lines lines;
    for (;;) {
        const std::size_t end = text.find("\r\n");
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            return lines;
        }
        text.remove_prefix(end + 2);
    }
}

std::string boxText(const Lines& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += i == 0 ? "" : "\r\n";
        text += lines[i];
    }
    return text;
}

std::string oneLine(const Lines& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) {
            out.push_back(' ');
        }
        for (const char c : lines[i]) {
            out.push_back(c == '\n' || c == '\r' ? ' ' : c);
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::vector<Text> describe(const job::Outcome& outcome, Operation mode, const Names& names) {
    std::vector<Text> texts;
    switch (outcome.ending) {
        case job::Ending::Refused: {
            texts.push_back({linesOf(targetCheckMessage(outcome.check, names.source)),
                             targetCheckNamesPath(outcome.check)});
            break;
        }
        case job::Ending::NotForThisMode:
            texts.push_back({{notForThisMode(mode, false)}, false});
            break;
        case job::Ending::WrongPassword:
            texts.push_back({{wrongPassword()}, false});
            break;
        case job::Ending::Done:
            return warnings(outcome, names.source);
        case job::Ending::Failed:
            if (const auto text = expectedFailure(*outcome.error, names.source, names.output)) {
                texts.push_back({linesOf(*text)});
            } else {
                texts.push_back(
                    {{errorText(*outcome.error)}, false, true, causeText(*outcome.error, names)});
            }
            break;
        case job::Ending::Cancelled:
            break;
    }
    if (!names.leftover.empty()) {
        texts.push_back({{scratchLeft(names.leftover)}});
    }
    return texts;
}

std::vector<Text> describeStream(const job::Outcome& outcome, Operation mode) {
    switch (outcome.ending) {
        case job::Ending::Refused: {
            Lines lines = linesOf(targetCheckMessage(outcome.check, "standard input"));
            lines.emplace_back("Nothing was written.");
            return {{lines, false}};
        }
        case job::Ending::NotForThisMode:
            return {{{notForThisMode(mode, true)}, false}};
        case job::Ending::WrongPassword:
            return {{{wrongPassword()}, false}};
        case job::Ending::Done:
            if (outcome.sourceKept == SourceKept::No) {
                return {};
            }
            return {
                {{"the input looks damaged, so the output may not be what was encrypted"}, false}};
        case job::Ending::Failed:
        case job::Ending::Cancelled:
            switch (outcome.error->kind()) {
                case ErrorKind::AgeAltered:
                    return {{{"the input was changed or damaged, or is cut short: it does not "
                              "authenticate, so what was written is incomplete"},
                             false}};
                case ErrorKind::AgeHeader:
                case ErrorKind::AgeArmor:
                case ErrorKind::AgeNotPassphrase:
                case ErrorKind::AgeWorkFactor:
                    // Its first line: what stays as it was is a file's.
                    return {{{linesOf(*expectedFailure(*outcome.error, "standard input", {}))[0],
                              "Nothing was written."},
                             false}};
                default:
                    break;
            }
            if (outcome.error->kind() == ErrorKind::Damaged) {
                return {{{"the input is damaged: Grize could not decrypt anything from it.",
                          "Nothing was written."},
                         false}};
            }
            return {{{errorText(*outcome.error) + "; the output is incomplete"},
                     false,
                     true,
                     causeText(*outcome.error, {"standard input", "standard output", {}})}};
    }
    return {};
}

std::string errorText(const RuntimeError& error) {
    return "Error " + std::to_string(error.number()) + " - " + error.description();
}

namespace {

std::string thousands(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            text.push_back(',');
        }
        text.push_back(digits[i]);
    }
    return text;
}

std::string folderName(const std::string& folder) {
    return folder == "." ? "the current folder" : folder;
}

}  // namespace

std::string causeText(const RuntimeError& error, const Names& names) {
    const ErrorContext& context = error.context();
    switch (error.kind()) {
        case ErrorKind::NameTooLong:
            return "the name would be longer than this file system allows" +
                   (context.limit != 0 ? " (" + thousands(context.limit) + " bytes)" : "");
        case ErrorKind::PasswordTooLong:
            return "the password is longer than " + thousands(context.limit) + " bytes";
        default:
            break;
    }
    if (context.cause.empty()) {
        return {};
    }
    const std::string folder = folderName(context.folder);
    const std::string& name = context.name.empty() ? names.source : context.name;
    std::string what;
    switch (context.step) {
        case Step::Open:
            what = "cannot open " + name;
            break;
        case Step::Read:
            what = "cannot read " + names.source;
            break;
        case Step::Write:
        case Step::Create:
        case Step::Sync:
            what = folder.empty() ? "cannot write " + names.output : "cannot write in " + folder;
            break;
        case Step::Rename:
            what = folder.empty() ? "cannot rename " + name : "cannot rename files in " + folder;
            break;
        case Step::Remove:
            what = "cannot remove " + name + (folder.empty() ? "" : " from " + folder);
            break;
        case Step::Inspect:
            what = "cannot look at " + name;
            break;
        case Step::SetAccess:
            what = "cannot give " + names.output + " the permissions of " + names.source;
            break;
        case Step::Unknown:
            return context.cause;
    }
    return what + ": " + context.cause;
}

std::optional<std::string> expectedFailure(const RuntimeError& error, const std::string& source,
                                           const std::string& output) {
    switch (error.kind()) {
        case ErrorKind::SourceChanged:
            return source +
                   " changed while Grize was working on it, so nothing was written.\r\n"
                   "It was left as it is now; please try again.";
        case ErrorKind::DamagedInPlace:
            return source +
                   " looks damaged, so Grize did not replace it with its decrypted text.\r\n"
                   "It was left as it is.";
        case ErrorKind::OutputReadOnly:
            return output + " is read-only; it was left as it is";
        case ErrorKind::Damaged:
            return source +
                   " is damaged: Grize could not decrypt anything from it.\r\n"
                   "It was left as it is.";
        case ErrorKind::FileSizeLimit:
            return output + ": the file-size limit was reached, so nothing was written.\r\n" +
                   source + " was left as it is.";
        case ErrorKind::FolderRefuses:
            return source +
                   ": its folder does not allow files to be renamed or removed "
                   "(append-only or immutable), so nothing was written.\r\n"
                   "It was left as it is.";
        case ErrorKind::AgeHeader:
            return source +
                   " is not a valid age file: its header breaks the format's rules.\r\n"
                   "It was left as it is.";
        case ErrorKind::AgeAltered:
            return source +
                   " was changed or damaged, or is cut short: it does not authenticate, "
                   "so nothing was written.\r\nIt was left as it is.";
        case ErrorKind::AgeArmor:
            return source +
                   " is not a valid armored age file: its text breaks the armor's rules.\r\n"
                   "It was left as it is.";
        case ErrorKind::AgeNotPassphrase:
            return source +
                   " was encrypted to a key, not with a passphrase: open it with age and "
                   "the identity file (age -d -i KEYFILE).\r\nIt was left as it is.";
        case ErrorKind::AgeWorkFactor: {
            const int logN = static_cast<int>(error.context().limit);
            std::string text = source;
            text.append(" asks for a key derivation of 2^").append(std::to_string(logN));
            text.append(" steps, which would take ").append(workFactorCost(logN));
            text.append("; Grize opens age files up to 2^22.\r\nIt was left as it is.");
            return text;
        }
        default:
            return std::nullopt;
    }
}

std::string workFactorCost(int logN) {
    // scrypt with r = 8 takes 1 KiB per step, and about a second per 2^20
    // steps on a current machine.
    const std::uint64_t mib = std::uint64_t{1} << (logN > 10 ? logN - 10 : 0);
    const std::uint64_t seconds = logN > 20 ? std::uint64_t{1} << (logN - 20) : 1;
    std::string text = "about ";
    text.append(std::to_string(seconds)).append(seconds == 1 ? " second" : " seconds");
    text.append(" and ").append(std::to_string(mib >= 1024 ? mib / 1024 : mib));
    text.append(mib >= 1024 ? " GiB" : " MiB").append(" of memory");
    return text;
}

std::string slowKeyDerivation(const std::string& source, int logN) {
    std::string text = "Opening ";
    text.append(source).append(" takes ").append(workFactorCost(logN));
    text.append(" (work factor 2^").append(std::to_string(logN)).append(").");
    return text;
}

std::string emptyPassword() {
    return "An empty password protects nothing: please type a password.";
}

std::string passwordsDiffer() {
    return "The two passwords are not the same.";
}

std::string notForThisMode(Operation mode, bool stream) {
    std::string marker = "\"";
    marker.append(gri::kMarker).append("\"");
    if (mode == Operation::Encrypt) {
        return "already encrypted (begins with " + marker + "), " +
               (stream ? "nothing written" : "left as it is");
    }
    return std::string(stream ? "not encrypted" : "not an encrypted file") +
           " (does not begin with " + marker + "), " +
           (stream ? "nothing written" : "left as it is");
}

std::string replaceQuestion(const std::string& output) {
    return output + " already exists.\r\nDo you want to replace it?";
}

std::string wrongPassword() {
    return "Access denied: password is incorrect!";
}

std::string sourceChangedKept(const std::string& source) {
    return source + " changed while Grize was working, so it was kept.";
}

std::string damagedKept(const std::string& source) {
    return source +
           " looks damaged: the decrypted file may not be what was encrypted.\r\n"
           "The encrypted file was kept.";
}

std::string scratchLeft(const std::string& name) {
    return "Grize could not remove its scratch file " + name +
           "; it was emptied and holds nothing of your file.";
}

std::string alsoNamed(const std::string& output) {
    return output + " is also named on this command line; left both as they are";
}

std::string tooLateToStop(const std::string& output) {
    return "It was too late to stop: Grize had already written " + output + ".";
}

std::string otherNamesKept(const std::string& source) {
    return source +
           " has other names (hard links) in this file system.\r\n"
           "They still hold the plain text; remove them too if that was your intent.";
}

}  // namespace grize::messages
