#pragma once

#include <QFont>

namespace grize {

// The size the window's text is laid out for.
inline constexpr double kWindowFontPoints = 8.25;

// The window's font (windowFontFamily()) at `points`.
QFont windowFont(double points = kWindowFontPoints, bool bold = false);

}  // namespace grize
