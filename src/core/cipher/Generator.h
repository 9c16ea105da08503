#pragma once

#include <cstdint>

namespace grize {

// The pseudo-random generator a cipher draws its keystream from; each
// Cipher owns one. Stored files were written with exactly this generator, so every
// operation here is bit for bit what those files need: a 24-bit linear
// congruential state, draws returned as exact single-precision fractions.
class Generator {
  public:
    static constexpr std::uint32_t kModulusMask = 0xFFFFFF;
    static constexpr std::uint32_t kMultiplier = 0x43FD43FDu;
    static constexpr std::uint32_t kIncrement = 0xC39EC3u;
    static constexpr std::uint32_t kInitialState = 0x050000;

    // Draw with no argument (or a positive one): step, then return the state.
    float draw() noexcept {
        step();
        return value();
    }

    // Draw with an argument: zero returns the current value without a step,
    // a negative value restarts the sequence from the argument's bit pattern.
    float draw(float p) noexcept;

    // Fold a value into the state's upper 16 bits.
    void reseed(float v) noexcept;

    std::uint32_t state() const noexcept { return x_; }
    void setState(std::uint32_t x) noexcept { x_ = x & kModulusMask; }

    static constexpr std::uint32_t next(std::uint32_t x) noexcept {
        return (x * kMultiplier + kIncrement) & kModulusMask;
    }
    void step() noexcept { x_ = next(x_); }
    float value() const noexcept { return static_cast<float>(x_) / 16777216.0f; }

  private:
    std::uint32_t x_ = kInitialState;
};

}  // namespace grize
