#pragma once

#include <string>
#include <string_view>

namespace grize {

// Longest input hash accepts; its second pass keys with the armoured first
// pass, which outgrows the cipher's key limit beyond this.
inline constexpr std::size_t kMaxHashInput = 24568;

// 8-character digest over the armour alphabet.
std::string hash(std::string_view text);

}  // namespace grize
