#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/job/PathHelpers.h"
#include "errors/RuntimeError.h"

namespace grize::job {
struct Outcome;
}

// What the window shows in a box and grize-cli prints on a line (CR LF
// becomes a blank there), for the outcomes a user must hear about. `source`
// and `output` are the names as the front end shows them.
namespace grize::messages {

// A text as its lines: the window's box joins them with CR LF, grize-cli's
// line with blanks.
using Lines = std::vector<std::string>;
Lines linesOf(std::string_view text);
std::string boxText(const Lines& lines);
std::string oneLine(const Lines& lines);

// One text about a run.
struct Text {
    Text(Lines lines_, bool namesFile_ = true, bool fault_ = false, std::string cause_ = {})
        : lines(std::move(lines_)),
          namesFile(namesFile_),
          fault(fault_),
          cause(std::move(cause_)) {}

    Lines lines;
    // The text itself says which file it is about; otherwise grize-cli puts
    // the name before it.
    bool namesFile = true;
    // A fault to report rather than an expected condition: the lines hold
    // errorText(), and the window lays out its own error report instead.
    bool fault = false;
    // A fault's what and why, for grize-cli and the program's own boxes
    // ("cannot write in /media/usb: read-only file system"); empty when
    // nothing more than errorText() is known.
    std::string cause;
};

// The names a run's texts use, as the front end shows them.
struct Names {
    std::string source;
    std::string output;    // the planned output; empty before there is one
    std::string leftover;  // a scratch file the run could not remove
};

// Every text that tells how a file's run in `mode` ended, in the order to
// show them. Done gives only its warnings (the front end says where the
// output went); a stop gives only the scratch file it may have left.
std::vector<Text> describe(const job::Outcome& outcome, Operation mode, const Names& names);

// The same for a run from standard input to standard output; no text names
// a file ("-" goes before each).
std::vector<Text> describeStream(const job::Outcome& outcome, Operation mode);

// "Error N - description", for a fault.
std::string errorText(const RuntimeError& error);

// What failed and why, from the error's context; empty when it holds
// nothing more than the number says. `names` gives the run's files.
std::string causeText(const RuntimeError& error, const Names& names);

// The fixed text of a failure that is an expected condition rather than a
// fault to report; nullopt for any other error.
std::optional<std::string> expectedFailure(const RuntimeError& error, const std::string& source,
                                           const std::string& output);

// What a key derivation of 2^logN steps costs ("about 4 seconds and
// 4 GiB of memory").
std::string workFactorCost(int logN);

// Said before a key derivation above 2^20 starts.
std::string slowKeyDerivation(const std::string& source, int logN);

// Encryption refuses an empty password in both formats; files encrypted
// under one earlier still decrypt.
std::string emptyPassword();

// The password typed twice for encrypting was not the same both times.
std::string passwordsDiffer();

// The file (or the stream with `stream`) is already in the form `mode` makes
// (encrypted for Encrypt, plain for Decrypt); said after its name.
std::string notForThisMode(Operation mode, bool stream);

// Another file has the output name: may it be replaced?
std::string replaceQuestion(const std::string& output);

// A wrong password: nothing was touched.
std::string wrongPassword();

// The source changed after it was read: the output was written, the source kept.
std::string sourceChangedKept(const std::string& source);

// The encrypted file looks damaged: it was decrypted and kept.
std::string damagedKept(const std::string& source);

// The run failed and its scratch file `name` could not be removed: it was
// emptied, so it holds nothing of the file.
std::string scratchLeft(const std::string& name);

// `output` is itself one of the files the same command names: a run never
// replaces another of them.
std::string alsoNamed(const std::string& output);

// A stop was asked for once the output already had its name: the run stands.
std::string tooLateToStop(const std::string& output);

// The source had other names (hard links): they still hold its plain text.
std::string otherNamesKept(const std::string& source);

}  // namespace grize::messages
