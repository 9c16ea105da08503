#include "core/job/Job.h"

#include "core/format/PasswordBytes.h"
#include "core/format/SaltSeed.h"
#include "core/job/RunMessages.h"

namespace grize::job {

Target examine(const std::string& path, FileSystem& fs) {
    Target target;
    target.check = checkTarget(path, fs);
    if (target.check == TargetCheck::Ok && isEncryptedFile(path, fs)) {
        target.mode = Operation::Decrypt;
    }
    return target;
}

Plan plan(const std::string& source, Operation mode, FileSystem& fs) {
    Plan plan;
    plan.source = source;
    plan.mode = mode;
    plan.output = outputPathFor(source, mode);
    plan.existing = probeOutput(source, plan.output, fs);
    return plan;
}

RunResult run(const Plan& plan, std::u32string_view password, RunOptions options, FileSystem& fs) {
    options.replace.reset();
    if (plan.replace && plan.needsConsent()) {
        options.replace = plan.existing.info;
    }
    const OutputPathProvider output = [&plan] { return plan.output; };
    if (plan.mode == Operation::Encrypt) {
        return encryptFile(plan.source, passwordForEncryption(password), saltSeedNow(), output,
                           options, fs);
    }
    return decryptFile(plan.source, passwordsForDecryption(password), output, options, fs);
}

std::vector<std::string> warnings(const RunResult& result, const std::string& source) {
    std::vector<std::string> texts;
    switch (result.sourceKept) {
        case SourceKept::No:
            break;
        case SourceKept::Changed:
            texts.push_back(messages::sourceChangedKept(source));
            break;
        case SourceKept::Damaged:
            texts.push_back(messages::damagedKept(source));
            break;
    }
    if (result.otherNames) {
        texts.push_back(messages::otherNamesKept(source));
    }
    return texts;
}

}  // namespace grize::job
