#pragma once

#include <cmath>

namespace grize {

// The layouts are given in twips; the screen has 15 of them to a pixel.
inline constexpr int kTwipsPerPixel = 15;

inline int px(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

}  // namespace grize
