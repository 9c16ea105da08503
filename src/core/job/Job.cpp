#include "core/job/Job.h"

#include <new>

#include "core/cipher/Kernels.h"
#include "core/format/PasswordBytes.h"
#include "core/format/SaltSeed.h"

namespace grize::job {

namespace {

// Running out of memory is reported as the error it is, like any other.
template <class Step>
auto memoryChecked(Step step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        throw RuntimeError(ErrorKind::OutOfMemory);
    }
}

}  // namespace

RuntimeError asError(const std::exception& error) {
    if (const auto* known = dynamic_cast<const RuntimeError*>(&error)) {
        return *known;
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return RuntimeError(ErrorKind::OutOfMemory);
    }
    return RuntimeError::internal(error.what());
}

Target examine(const std::string& path, FileSystem& fs) {
    return memoryChecked([&] {
        Target target;
        target.check = checkTarget(path, fs);
        if (target.check == TargetCheck::Ok && isEncryptedFile(path, fs)) {
            target.mode = Operation::Decrypt;
        }
        return target;
    });
}

Plan plan(const std::string& source, Operation mode, FileSystem& fs) {
    return memoryChecked([&] {
        Plan plan;
        plan.source = source;
        plan.mode = mode;
        plan.output = outputPathFor(source, mode);
        plan.existing = probeOutput(source, plan.output, fs);
        return plan;
    });
}

Outcome Outcome::refused(TargetCheck check) {
    Outcome outcome;
    outcome.ending = Ending::Refused;
    outcome.check = check;
    return outcome;
}

Outcome Outcome::failed(const RuntimeError& error) {
    Outcome outcome;
    outcome.ending = error.kind() == ErrorKind::Cancelled ? Ending::Cancelled : Ending::Failed;
    outcome.error = error;
    return outcome;
}

std::optional<Outcome> admit(const std::string& path, Operation mode, FileSystem& fs) {
    const Target target = examine(path, fs);
    if (target.check != TargetCheck::Ok) {
        return Outcome::refused(target.check);
    }
    if (target.mode != mode) {
        Outcome outcome;
        outcome.ending = Ending::NotForThisMode;
        return outcome;
    }
    return std::nullopt;
}

Outcome run(const Plan& plan, std::u32string_view password, const Controls& controls,
            FileSystem& fs) {
    RunOptions options;
    options.progress = controls.progress;
    options.cancel = controls.cancel;
    if (plan.replace && plan.needsConsent()) {
        options.replace = plan.existing.info;
    }
    try {
        const RunResult result = memoryChecked([&] {
            if (plan.mode == Operation::Encrypt) {
                return encryptFile(plan.source, passwordForEncryption(password), saltSeedNow(),
                                   plan.output, options, fs);
            }
            return decryptFile(plan.source, passwordsForDecryption(password), plan.output, options,
                               fs);
        });
        Outcome outcome;
        outcome.ending = result.wrongPassword ? Ending::WrongPassword : Ending::Done;
        outcome.output = result.output;
        outcome.sourceKept = result.sourceKept;
        outcome.otherNames = result.otherNames;
        return outcome;
    } catch (const RuntimeError& error) {
        return Outcome::failed(error);
    }
}

Outcome runStream(Operation mode, const gri::ReadFn& read, const gri::WriteFn& write,
                  std::u32string_view password) {
    StreamOutcome stream;
    try {
        stream = memoryChecked([&] {
            if (mode == Operation::Encrypt) {
                return encryptStream(read, write, passwordForEncryption(password), saltSeedNow(),
                                     kernels::fastest());
            }
            return decryptStream(read, write, passwordsForDecryption(password), kernels::fastest());
        });
    } catch (const RuntimeError& error) {
        return Outcome::failed(error);
    }
    Outcome outcome;
    switch (stream) {
        case StreamOutcome::Done:
            break;
        case StreamOutcome::NotForThisMode:
            outcome.ending = Ending::NotForThisMode;
            break;
        case StreamOutcome::WrongPassword:
            outcome.ending = Ending::WrongPassword;
            break;
        case StreamOutcome::Damaged:
            outcome.sourceKept = SourceKept::Damaged;
            break;
        case StreamOutcome::Undecryptable:
            return Outcome::failed(RuntimeError(ErrorKind::Damaged));
        case StreamOutcome::Empty:
            return Outcome::refused(TargetCheck::Empty);
    }
    return outcome;
}

}  // namespace grize::job
