#include "ui/TextRules.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

using ecu::FormatFixed;
using ecu::FormatRunTime;

// glibc prints the exact binary value; its only difference from the rule is that it sends
// exact halves to the even neighbour.
std::string Printf(double value, int decimals) {
    const int n = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), "%.*f", decimals, value);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

// True when value * 10^decimals lies exactly halfway between two integers.
bool IsExactHalf(double value, int decimals) {
    const std::string exact = Printf(value, 1100); // 1074 digits cover any double exactly
    const auto point = exact.find('.');
    const std::string tail = exact.substr(point + 1 + static_cast<std::size_t>(decimals));
    return tail[0] == '5' && tail.find_first_not_of('0', 1) == std::string::npos;
}

// The rule, built on glibc: an exact half is the exact expansion cut after `decimals`
// digits and raised by one in its last place; any other value is glibc's.
std::string Expected(double value, int width, int decimals) {
    std::string s;
    if (IsExactHalf(value, decimals)) {
        s = Printf(value, 1100);
        s.resize(s.find('.') + static_cast<std::size_t>(decimals) + (decimals > 0 ? 1 : 0));
        std::size_t i = s.size();
        while (i-- > 0 && (s[i] == '9' || s[i] == '.')) {
            if (s[i] == '9') {
                s[i] = '0';
            }
        }
        if (i == std::string::npos || s[i] == '-') {
            s.insert(i + 1, 1, '1');
        } else {
            ++s[i];
        }
    } else {
        s = Printf(value, decimals);
    }
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) {
        s.erase(0, 1); // no sign on a rounded zero
    }
    if (static_cast<int>(s.size()) < width) {
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    }
    return s;
}

TEST(FormatFixed, RoundsExactHalvesAwayFromZero) {
    EXPECT_EQ(FormatFixed(1.25, 0, 1), "1.3");
    EXPECT_EQ(FormatFixed(-39.25, 0, 1), "-39.3");
    EXPECT_EQ(FormatFixed(12.5, 0, 0), "13");
    EXPECT_EQ(FormatFixed(-12.5, 0, 0), "-13");
    EXPECT_EQ(FormatFixed(0.5, 0, 0), "1");
    EXPECT_EQ(FormatFixed(1593.75, 3, 0), "1594");
    EXPECT_EQ(FormatFixed(151.25, 5, 1), "151.3");
    EXPECT_EQ(FormatFixed(0.125, 0, 2), "0.13");
    EXPECT_EQ(FormatFixed(-2.5, 0, 0), "-3");
}

TEST(FormatFixed, RoundsTheBinaryValueNotItsDecimalSpelling) {
    // Each double lies just below the written half.
    EXPECT_EQ(FormatFixed(2.675, 0, 2), "2.67");
    EXPECT_EQ(FormatFixed(1.005, 0, 2), "1.00");
    EXPECT_EQ(FormatFixed(-2.675, 0, 2), "-2.67");
    EXPECT_EQ(FormatFixed(0.15, 0, 1), "0.1");
    // And this one just above.
    EXPECT_EQ(FormatFixed(0.45, 0, 1), "0.5");
}

TEST(FormatFixed, PadsOnTheLeftAndNeverCuts) {
    EXPECT_EQ(FormatFixed(20.0, 5, 1), " 20.0");
    EXPECT_EQ(FormatFixed(4, 3, 0), "  4");
    EXPECT_EQ(FormatFixed(-0.25, 5, 1), " -0.3");
    EXPECT_EQ(FormatFixed(1.25, 5, 1), "  1.3");
    EXPECT_EQ(FormatFixed(0, 5, 2), " 0.00");
    EXPECT_EQ(FormatFixed(123456.789, 2, 1), "123456.8");
    EXPECT_EQ(FormatFixed(7, -4, -1), "7");
}

TEST(FormatFixed, ZeroNeverCarriesASign) {
    EXPECT_EQ(FormatFixed(-0.0, 0, 1), "0.0");
    EXPECT_EQ(FormatFixed(-0.04, 0, 1), "0.0");
    EXPECT_EQ(FormatFixed(-0.4, 3, 0), "  0");
    EXPECT_EQ(FormatFixed(-0.05, 0, 1), "-0.1");
}

TEST(FormatFixed, NonFiniteValues) {
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 5, 1), "  nan");
    EXPECT_EQ(FormatFixed(INFINITY, 0, 2), "inf");
    EXPECT_EQ(FormatFixed(-INFINITY, 5, 0), " -inf");
}

TEST(FormatFixed, ExtremeMagnitudesAndPrecisions) {
    for (double v : {DBL_MAX, -DBL_MAX, 1e300, 0x1p64, 0x1p63 + 0x1p11, 9007199254740993.0, DBL_MIN,
                     DBL_TRUE_MIN, -DBL_TRUE_MIN, 1e-300}) {
        for (int d : {0, 1, 2, 19, 20, 40, 1074}) {
            EXPECT_EQ(FormatFixed(v, 0, d), Expected(v, 0, d)) << v << " d " << d;
        }
    }
    // 2^-1074 = 4.94…e-324: its first digit sits in the 324th place.
    EXPECT_EQ(FormatFixed(DBL_TRUE_MIN, 0, 323), "0." + std::string(323, '0'));
    EXPECT_EQ(FormatFixed(DBL_TRUE_MIN, 0, 324), "0." + std::string(323, '0') + "5");
    EXPECT_EQ(FormatFixed(0x1p60 + 0.0, 0, 0), "1152921504606846976");
    EXPECT_EQ(FormatFixed(0.5, 0, 1100), "0.5" + std::string(1099, '0'));
}

TEST(FormatFixed, AgreesWithTheExactExpansionOnRandomValues) {
    std::mt19937_64 rng(20240611);
    std::uniform_int_distribution<int> decimals(0, 24);
    std::uniform_int_distribution<int> width(0, 12);
    std::uniform_int_distribution<int> kind(0, 3);
    for (int i = 0; i < 40000; ++i) {
        double v = 0;
        switch (kind(rng)) {
        case 0: // any finite double
            do {
                v = std::bit_cast<double>(rng());
            } while (!std::isfinite(v));
            break;
        case 1: // display-sized values
            v = std::ldexp(static_cast<double>(static_cast<std::int64_t>(rng() >> 11)) - 0x1p52,
                           -static_cast<int>(rng() % 60));
            break;
        case 2: // short decimals, mostly near a rounding boundary
            v = static_cast<double>(static_cast<std::int64_t>(rng() % 2000001) - 1000000) / 1000;
            break;
        default: // exact binary halves and quarters
            v = static_cast<double>(static_cast<std::int64_t>(rng() % 200001) - 100000) / 8;
            break;
        }
        const int d = decimals(rng);
        const int w = width(rng);
        ASSERT_EQ(FormatFixed(v, w, d), Expected(v, w, d)) << std::hexfloat << v << " d " << d;
    }
}

TEST(FormatRunTime, HoursAndMinutesWithSecondsDropped) {
    EXPECT_EQ(FormatRunTime(0), "00:00");
    EXPECT_EQ(FormatRunTime(59), "00:00");
    EXPECT_EQ(FormatRunTime(60), "00:01");
    EXPECT_EQ(FormatRunTime(3599), "00:59");
    EXPECT_EQ(FormatRunTime(3600), "01:00");
    EXPECT_EQ(FormatRunTime(36000), "10:00");
    EXPECT_EQ(FormatRunTime(65535), "18:12");
}

TEST(FormatRunTime, EverySecondCountHasTwoDigitFields) {
    for (unsigned s = 0; s <= 65535; ++s) {
        // Room for any two unsigned fields: the compiler cannot see that the hours stay below 19.
        char want[sizeof "4294967295:4294967295"];
        std::snprintf(want, sizeof want, "%02u:%02u", s / 3600, s / 60 % 60);
        ASSERT_EQ(FormatRunTime(static_cast<std::uint16_t>(s)), want) << s;
    }
}

} // namespace
