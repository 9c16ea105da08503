#pragma once

namespace grize {

// Runs a step whose failure the caller can do nothing about (a close after
// an earlier error, a best-effort clean-up, a setting): any exception is
// dropped.
template <class Step>
void quietly(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace grize
