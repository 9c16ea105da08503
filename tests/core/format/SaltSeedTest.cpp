#include "core/format/SaltSeed.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>

namespace grize {
namespace {

TEST(SaltSeed, DateThenSecondsWithoutExponentOrTrailingZeros) {
    std::setlocale(LC_TIME, "C");
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 6;
    t.tm_mday = 12;
    struct Case {
        float seconds;
        const char* text;
    } const cases[] = {
        {14523.45f, "07/12/26 14523.45"},
        {0.0f, "07/12/26 0"},
        {86399.99f, "07/12/26 86399.99"},
        {3600.0f, "07/12/26 3600"},
        {0.5f, "07/12/26 0.5"},
        {0.0000125f, "07/12/26 0.0000125"},
        {12.3456789f, "07/12/26 12.34568"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(saltSeed(t, c.seconds), c.text);
    }
    EXPECT_NE(saltSeedNow().find(' '), std::string::npos);
}

}  // namespace
}  // namespace grize
