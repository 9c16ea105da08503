#include "core/job/RunMessages.h"

#include "core/format/GriHeader.h"

namespace grize::messages {

std::optional<std::string> expectedFailure(const RuntimeError& error, const std::string& source,
                                           const std::string& output) {
    switch (error.number()) {
        case err::kSourceChanged:
            return source +
                   " changed while Grize was working on it, so nothing was written.\r\n"
                   "It was left as it is now; please try again.";
        case err::kDamagedInPlace:
            return source +
                   " looks damaged, so Grize did not replace it with its decrypted text.\r\n"
                   "It was left as it is.";
        case err::kOutputReadOnly:
            return output + " is read-only; it was left as it is";
        case err::kDamaged:
            return source +
                   " is damaged: Grize could not decrypt anything from it.\r\n"
                   "It was left as it is.";
        case err::kFileSizeLimit:
            return output + ": the file-size limit was reached, so nothing was written.\r\n" +
                   source + " was left as it is.";
        case err::kFolderRefuses:
            return source +
                   ": its folder does not allow files to be renamed or removed "
                   "(append-only or immutable), so nothing was written.\r\n"
                   "It was left as it is.";
        default:
            return std::nullopt;
    }
}

std::string passwordsDiffer() {
    return "The two passwords are not the same.";
}

std::string notForThisMode(Operation mode, bool stream) {
    const std::string marker = "\"" + std::string(gri::kMarker) + "\"";
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
