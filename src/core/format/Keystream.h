#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/cipher/Cipher.h"
#include "core/cipher/Kernels.h"
#include "core/format/GriFormat.h"

namespace grize::gri {

// The keystream of a header line, continued chunk by chunk by the kernels.
class Keystream {
  public:
    explicit Keystream(std::string_view key) {
        Cipher cipher;
        cipher.setKey(key);
        state_ = cipher.keystreamState();
    }
    void apply(const kernels::Table& k, char* data, std::size_t n) {
        state_ = k.xorKeystream(state_, bytes(data), n);
    }

  private:
    std::uint32_t state_ = 0;
};

}  // namespace grize::gri
