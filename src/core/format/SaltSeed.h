#pragma once

#include <ctime>
#include <string>

namespace grize {

// Seed text for a new file's salt: the short date of the current locale
// ("%x") followed by the seconds since local midnight as a single-precision
// number, up to 7 significant digits, with one leading blank (" 14523.45").
std::string saltSeed(const std::tm& localTime, float secondsSinceMidnight);

// The same from the clock, now.
std::string saltSeedNow();

}  // namespace grize
