#include "core/job/Job.h"

#include <algorithm>
#include <new>

#include "core/cipher/Kernels.h"
#include "core/format/AgeErrors.h"
#include "core/format/PasswordBytes.h"
#include "core/format/SaltSeed.h"
#include "core/format/age/AgeCrypto.h"
#include "core/format/age/AgeDecoder.h"
#include "core/format/age/AgeEncoder.h"
#include "core/format/age/AgeFormat.h"

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

// The passphrase as the age format takes it, wiped once used.
struct Passphrase {
    explicit Passphrase(std::u32string_view password) : bytes(passphraseUtf8(password)) {}
    ~Passphrase() { age::wipe(bytes.data(), bytes.size()); }
    Passphrase(const Passphrase&) = delete;
    Passphrase& operator=(const Passphrase&) = delete;
    std::string bytes;
};

Outcome ageStream(Operation mode, bool armor, const gri::ReadFn& read, const gri::WriteFn& write,
                  std::u32string_view password) {
    const Passphrase passphrase(password);
    Outcome outcome;
    try {
        if (mode == Operation::Encrypt) {
            age::Encoder(passphrase.bytes, age::kDefaultLogN, armor).run(read, write);
            return outcome;
        }
        age::Decoder decoder(read);
        const std::optional<age::FileKey> key = decoder.unwrap(passphrase.bytes);
        if (!key) {
            outcome.ending = Ending::WrongPassword;
            return outcome;
        }
        decoder.decrypt(*key, write);
    } catch (const age::Error& e) {
        return Outcome::failed(ageError(e));
    }
    return outcome;
}

// An age header's first look: what would refuse the file before a password
// is asked. Only a header read whole can be judged here.
void examineAge(const std::string& head, bool whole, Target& target) {
    std::size_t at = 0;
    age::Decoder decoder([&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, head.size() - at);
        std::copy_n(head.data() + at, n, buffer);
        at += n;
        return n;
    });
    try {
        decoder.header();
        target.workFactor = decoder.logN();
        if (!decoder.header().scrypt()) {
            target.refusal = RuntimeError(ErrorKind::AgeNotPassphrase);
        }
    } catch (const age::Error& e) {
        const bool rule = e.failure() == age::Failure::Header || e.failure() == age::Failure::Armor;
        if (e.failure() == age::Failure::WorkFactorTooHigh ||
            e.failure() == age::Failure::NotPassphrase || (rule && whole)) {
            target.refusal = ageError(e);
        }
    }
}

// Enough for any passphrase header.
constexpr std::size_t kAgeHeadBytes = 64 * 1024;

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
        if (target.check != TargetCheck::Ok) {
            return target;
        }
        const std::string head = firstBytes(path, kAgeHeadBytes, fs);
        if (const std::optional<FileFormat> format = formatOf(head)) {
            target.mode = Operation::Decrypt;
            target.format = *format;
            if (*format == FileFormat::Age) {
                examineAge(head, head.size() < kAgeHeadBytes, target);
            }
        }
        return target;
    });
}

Plan plan(const std::string& source, Operation mode, FileFormat format, FileSystem& fs) {
    return memoryChecked([&] {
        Plan plan;
        plan.source = source;
        plan.mode = mode;
        plan.format = format;
        plan.output = plan.format == FileFormat::Age ? ageOutputPathFor(source, mode)
                                                     : outputPathFor(source, mode);
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

std::optional<Outcome> admit(const Target& target, Operation mode) {
    if (target.check != TargetCheck::Ok) {
        return Outcome::refused(target.check);
    }
    if (target.refusal && mode == Operation::Decrypt) {
        return Outcome::failed(*target.refusal);
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
            if (plan.format == FileFormat::Age) {
                const Passphrase passphrase(password);
                if (plan.mode == Operation::Encrypt) {
                    return encryptAgeFile(plan.source, passphrase.bytes,
                                          {plan.armor, age::kDefaultLogN}, plan.output, options,
                                          fs);
                }
                return decryptAgeFile(plan.source, passphrase.bytes, plan.output, options, fs);
            }
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

Outcome runStream(Operation mode, FileFormat format, bool armor, const gri::ReadFn& read,
                  const gri::WriteFn& write, std::u32string_view password) {
    // The first bytes tell a decryption its format, then are read again.
    std::string head;
    std::size_t replayed = 0;
    const gri::ReadFn input = [&](char* buffer, std::size_t size) {
        if (replayed < head.size()) {
            const std::size_t n = std::min(size, head.size() - replayed);
            std::copy_n(head.data() + replayed, n, buffer);
            replayed += n;
            return n;
        }
        return read(buffer, size);
    };
    try {
        if (mode == Operation::Decrypt) {
            head.resize(formatSniffBytes());
            std::size_t got = 0;
            while (got < head.size()) {
                const std::size_t n = read(head.data() + got, head.size() - got);
                if (n == 0) {
                    break;
                }
                got += n;
            }
            head.resize(got);
            format = formatOf(head).value_or(FileFormat::Gri);
        }
        if (format == FileFormat::Age) {
            return memoryChecked([&] { return ageStream(mode, armor, input, write, password); });
        }
    } catch (const RuntimeError& error) {
        return Outcome::failed(error);
    }
    StreamOutcome stream;
    try {
        stream = memoryChecked([&] {
            if (mode == Operation::Encrypt) {
                return encryptStream(input, write, passwordForEncryption(password), saltSeedNow(),
                                     kernels::fastest());
            }
            return decryptStream(input, write, passwordsForDecryption(password),
                                 kernels::fastest());
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
