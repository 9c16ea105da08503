#include "core/job/RunMessages.h"

#include <gtest/gtest.h>

#include "core/job/Job.h"

namespace grize {
namespace {

using job::Ending;
using job::Outcome;

Outcome ended(Ending ending) {
    Outcome outcome;
    outcome.ending = ending;
    return outcome;
}

Outcome done(SourceKept kept, bool otherNames) {
    Outcome outcome;
    outcome.sourceKept = kept;
    outcome.otherNames = otherNames;
    return outcome;
}

// Each text as "name?" ("+" names its file, "-" gets the name before it,
// "!" is a fault) and its box.
std::vector<std::string> shownAs(const std::vector<messages::Text>& texts) {
    std::vector<std::string> out;
    for (const messages::Text& text : texts) {
        out.push_back(std::string(text.fault       ? "!"
                                  : text.namesFile ? "+"
                                                   : "-") +
                      messages::boxText(text.lines));
    }
    return out;
}

// Which texts each ending gives, in which order, and which of them the
// front ends lay out themselves.
TEST(RunMessages, EveryEndingHasItsTexts) {
    const std::string left = "a.gri.tmp";
    const std::string scratch = "+" + messages::scratchLeft(left);
    const struct Case {
        const char* name;
        Outcome outcome;
        std::string leftover;
        bool stream;
        std::vector<std::string> texts;
    } cases[] = {
        {"no path",
         Outcome::refused(TargetCheck::NoPath),
         "",
         false,
         {"-" + targetCheckMessage(TargetCheck::NoPath, "a.txt")}},
        {"empty",
         Outcome::refused(TargetCheck::Empty),
         "",
         false,
         {"+a.txt is empty:\r\nGrize will NOT work with empty files."}},
        {"wrong mode",
         ended(Ending::NotForThisMode),
         "",
         false,
         {"-already encrypted (begins with \"[Grized]\"), left as it is"}},
        {"wrong password",
         ended(Ending::WrongPassword),
         "",
         false,
         {"-" + messages::wrongPassword()}},
        {"done", done(SourceKept::No, false), "", false, {}},
        {"done with warnings",
         done(SourceKept::Changed, true),
         "",
         false,
         {"+" + messages::sourceChangedKept("a.txt"), "+" + messages::otherNamesKept("a.txt")}},
        {"expected failure, scratch left",
         Outcome::failed(RuntimeError(ErrorKind::SourceChanged)),
         left,
         false,
         {"+" +
              *messages::expectedFailure(RuntimeError(ErrorKind::SourceChanged), "a.txt", "a.gri"),
          scratch}},
        {"fault",
         Outcome::failed(RuntimeError(ErrorKind::DeviceIo)),
         "",
         false,
         {"!" + messages::errorText(RuntimeError(ErrorKind::DeviceIo))}},
        // A stop is what the user asked for: only what it left is told.
        {"cancelled", Outcome::failed(RuntimeError(ErrorKind::Cancelled)), "", false, {}},
        {"cancelled, scratch left",
         Outcome::failed(RuntimeError(ErrorKind::Cancelled)),
         left,
         false,
         {scratch}},
        {"stream done", done(SourceKept::No, false), "", true, {}},
        {"stream damaged",
         done(SourceKept::Damaged, false),
         "",
         true,
         {"-the input looks damaged, so the output may not be what was encrypted"}},
        {"stream undecryptable",
         Outcome::failed(RuntimeError(ErrorKind::Damaged)),
         "",
         true,
         {"-the input is damaged: Grize could not decrypt anything from it.\r\n"
          "Nothing was written."}},
        {"stream fault",
         Outcome::failed(RuntimeError(ErrorKind::DeviceIo)),
         "",
         true,
         {"!" + messages::errorText(RuntimeError(ErrorKind::DeviceIo)) +
          "; the output is incomplete"}},
        {"stream age altered",
         Outcome::failed(RuntimeError(ErrorKind::AgeAltered)),
         "",
         true,
         {"-the input was changed or damaged, or is cut short: it does not authenticate, so what "
          "was written is incomplete"}},
        {"stream age key",
         Outcome::failed(RuntimeError(ErrorKind::AgeNotPassphrase)),
         "",
         true,
         {"-standard input was encrypted to a key, not with a passphrase: open it with age and "
          "the identity file (age -d -i KEYFILE).\r\nNothing was written."}},
        {"stream empty",
         Outcome::refused(TargetCheck::Empty),
         "",
         true,
         {"-standard input is empty:\r\nGrize will NOT work with empty files.\r\n"
          "Nothing was written."}},
    };
    for (const Case& c : cases) {
        const auto texts = c.stream ? messages::describeStream(c.outcome, Operation::Encrypt)
                                    : messages::describe(c.outcome, Operation::Encrypt,
                                                         {"a.txt", "a.gri", c.leftover});
        EXPECT_EQ(shownAs(texts), c.texts) << c.name;
    }
}

// What failed and why, from what the failing layer knew.
TEST(RunMessages, CauseSaysWhatFailedAndWhy) {
    const auto failed = [](ErrorKind kind, Step step, std::string name, std::string folder,
                           std::uint64_t limit = 0) {
        ErrorContext context{step, std::move(name),         std::move(folder),
                             30,   "read-only file system", limit};
        return RuntimeError(kind, std::move(context));
    };
    const struct Case {
        RuntimeError error;
        std::string cause;
    } cases[] = {
        {failed(ErrorKind::ReadOnlyFileSystem, Step::Create, ".grize-1.tmp", "/media/usb"),
         "cannot write in /media/usb: read-only file system"},
        {failed(ErrorKind::ReadOnlyFileSystem, Step::Write, "", "."),
         "cannot write in the current folder: read-only file system"},
        {failed(ErrorKind::Access, Step::Remove, "a.txt", "/m"),
         "cannot remove a.txt from /m: read-only file system"},
        {failed(ErrorKind::DeviceIo, Step::Read, "", "/m"),
         "cannot read a.txt: read-only file system"},
        {failed(ErrorKind::NameTooLong, Step::Inspect, "a.gri", "/m", 255),
         "the name would be longer than this file system allows (255 bytes)"},
        {failed(ErrorKind::PasswordTooLong, Step::Unknown, "", "", 24560),
         "the password is longer than 24,560 bytes"},
        {RuntimeError(ErrorKind::DeviceIo), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messages::causeText(c.error, {"a.txt", "a.gri", {}}), c.cause) << c.cause;
    }
}

TEST(RunMessages, OneLineJoinsWithBlanks) {
    EXPECT_EQ(messages::oneLine(messages::linesOf("a\r\nb\nc \r\n")), "a b c");
    EXPECT_EQ(messages::boxText(messages::linesOf("a\r\nb")), "a\r\nb");
}

}  // namespace
}  // namespace grize
