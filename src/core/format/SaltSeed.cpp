#include "core/format/SaltSeed.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace grize {

namespace {

// Fixed notation with at most 7 significant digits (what a single-precision
// number holds) and no trailing zeros: " 14523.45", never " 1.452345e+04".
std::string formatSeconds(float seconds) {
    if (!std::isfinite(seconds)) {
        return "0";
    }
    char sci[32];
    std::snprintf(sci, sizeof sci, "%.6e", static_cast<double>(seconds));
    std::string s(sci);
    std::string sign;
    if (s[0] == '-') {
        sign = "-";
        s.erase(0, 1);
    }
    const std::size_t e = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);  // 7 digits
    const int exponent = std::atoi(s.c_str() + e + 1);
    if (digits == "0000000") {
        return "0";
    }
    std::string whole;
    std::string fraction;
    if (exponent >= 0) {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        if (intDigits >= digits.size()) {
            whole = digits + std::string(intDigits - digits.size(), '0');
        } else {
            whole = digits.substr(0, intDigits);
            fraction = digits.substr(intDigits);
        }
    } else {
        whole = "0";
        fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    return sign + whole + (fraction.empty() ? "" : "." + fraction);
}

}  // namespace

std::string saltSeed(const std::tm& localTime, float secondsSinceMidnight) {
    char date[128];
    const std::size_t n = std::strftime(date, sizeof date, "%x", &localTime);
    return std::string(date, n) + " " + formatSeconds(secondsSinceMidnight);
}

std::string saltSeedNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    {
        // std::localtime shares one buffer per process.
        static std::mutex m;
        const std::lock_guard lock(m);
        if (const std::tm* p = std::localtime(&t)) {
            local = *p;
        }
    }
    const auto sub = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
    const double secs = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                        static_cast<double>(std::abs(sub.count())) / 1e6;
    return saltSeed(local, static_cast<float>(secs));
}

}  // namespace grize
