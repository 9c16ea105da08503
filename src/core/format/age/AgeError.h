#pragma once

#include <stdexcept>
#include <string>

namespace grize::age {

// What went wrong with an age file. Every failure but NotPassphrase and
// WorkFactorTooHigh means the file is damaged or was altered.
enum class Failure {
    Header,             // the header breaks the age format's rules
    Mac,                // the header does not match its MAC: altered
    Payload,            // a chunk fails authentication, or the chunks are cut or extended
    Armor,              // the armored form breaks the strict PEM rules
    NotPassphrase,      // encrypted to a key or plugin, not to a passphrase
    WorkFactorTooHigh,  // the scrypt work factor is above the caller's limit
};

class Error : public std::runtime_error {
  public:
    Error(Failure failure, const std::string& what, int logN = 0)
        : std::runtime_error(what), failure_(failure), logN_(logN) {}

    Failure failure() const noexcept { return failure_; }
    // The header's log2 N, for WorkFactorTooHigh.
    int logN() const noexcept { return logN_; }

  private:
    Failure failure_;
    int logN_;
};

// A key derivation given up because its caller was told to stop; the
// derivation itself ends on its own thread and its result is thrown away.
class Stopped : public std::runtime_error {
  public:
    Stopped() : std::runtime_error("age: the key derivation was stopped") {}
};

}  // namespace grize::age
