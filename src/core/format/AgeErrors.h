#pragma once

#include "core/format/age/AgeError.h"
#include "errors/RuntimeError.h"

namespace grize {

// What an age file's failure is to the user.
inline RuntimeError ageError(const age::Error& error) {
    ErrorContext context;
    context.cause = error.what();
    switch (error.failure()) {
        case age::Failure::Header:
            return RuntimeError(ErrorKind::AgeHeader, std::move(context));
        case age::Failure::Mac:
        case age::Failure::Payload:
            return RuntimeError(ErrorKind::AgeAltered, std::move(context));
        case age::Failure::Armor:
            return RuntimeError(ErrorKind::AgeArmor, std::move(context));
        case age::Failure::NotPassphrase:
            return RuntimeError(ErrorKind::AgeNotPassphrase, std::move(context));
        case age::Failure::WorkFactorTooHigh:
            context.limit = static_cast<std::uint64_t>(error.logN());
            return RuntimeError(ErrorKind::AgeWorkFactor, std::move(context));
    }
    return RuntimeError(ErrorKind::AgeHeader, std::move(context));
}

}  // namespace grize
