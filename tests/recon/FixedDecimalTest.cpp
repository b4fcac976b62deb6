// Number conversions of the text writer. Fixed six decimals: every double it converts in
// integer arithmetic must give the characters of printf "%f", including exact ties, values a
// unit in the last place either side of a rounding boundary, signed zeros, subnormals and the
// edge of the integer path at 2^33. Integers: the characters of printf "%d" over the whole
// int32 range, at every change in the number of digits.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "recon/TextWriter.h"

namespace {

std::string printfFixed(double value) {
    char text[512];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

std::string writerFixed(double value) {
    char text[512];
    return std::string(text, writeFixedSix(text, text + sizeof text, value));
}

// Compares the two conversions on value and its neighbours one unit in the last place away.
int countMismatches(double value) {
    int mismatches = 0;
    const double inf = std::numeric_limits<double>::infinity();
    const double around[3] = {std::nextafter(value, -inf), value, std::nextafter(value, inf)};
    for (const double v : around) {
        for (const double signedValue : {v, -v}) {
            if (printfFixed(signedValue) != writerFixed(signedValue)) {
                ADD_FAILURE() << "value " << std::hexfloat << signedValue << ": printf \""
                              << printfFixed(signedValue) << "\", writer \""
                              << writerFixed(signedValue) << "\"";
                ++mismatches;
            }
        }
    }
    return mismatches;
}

TEST(FixedDecimal, MatchesPrintfOnRandomValuesOfEveryScale) {
    std::mt19937_64 generator(20261208);
    int mismatches = 0;
    // Random bit patterns over the exponents from subnormal up to well past 2^33.
    std::uniform_int_distribution<uint64_t> fraction(0, (uint64_t{1} << 52) - 1);
    std::uniform_int_distribution<uint64_t> exponentField(0, 1023 + 40);
    for (int n = 0; n < 200000 && mismatches < 10; ++n) {
        const uint64_t bits = (exponentField(generator) << 52) | fraction(generator);
        mismatches += countMismatches(std::bit_cast<double>(bits));
    }
    // Values of the sizes the files hold: scaled coordinates, unit normals, eigenvalues.
    std::uniform_real_distribution<double> coordinate(-3.0, 3.0);
    std::uniform_real_distribution<double> tiny(0.0, 1e-5);
    for (int n = 0; n < 200000 && mismatches < 10; ++n) {
        mismatches += countMismatches(coordinate(generator));
        mismatches += countMismatches(tiny(generator));
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FixedDecimal, MatchesPrintfAtTiesAndRoundingBoundaries) {
    int mismatches = 0;
    // Exact ties: k / 128 has a 5 in its seventh decimal and nothing after it for odd k,
    // so printf rounds it to the even sixth decimal; so do odd multiples of 2^-n for n >= 7.
    for (int64_t k = 1; k < 20000 && mismatches < 10; k += 2) {
        mismatches += countMismatches(static_cast<double>(k) / 128.0);
        mismatches += countMismatches(static_cast<double>(k) / 1024.0);
        mismatches += countMismatches(std::ldexp(static_cast<double>(k), -20));
    }
    // The doubles nearest to the halfway points n + 0.5 of the sixth decimal, at several
    // magnitudes; with their neighbours they fall on both sides of the boundary.
    std::mt19937_64 generator(7);
    for (const double scale : {1.0, 1e3, 1e6, 1e9, 8e9}) {
        std::uniform_int_distribution<int64_t> units(0, static_cast<int64_t>(scale * 1e6));
        for (int n = 0; n < 20000 && mismatches < 10; ++n) {
            mismatches += countMismatches((static_cast<double>(units(generator)) + 0.5) / 1e6);
        }
    }
    // Around 2^33, where the integer path ends, and rounding up into a new integer digit.
    for (const double value :
         {std::ldexp(1.0, 33), 9.9999995, 999999.9999995, 0.0000005, 0.00000049999999999999, 0.0,
          std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(), 1e-300,
          1e300, std::numeric_limits<double>::max()}) {
        mismatches += countMismatches(value);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(writerFixed(-0.0), "-0.000000");
    EXPECT_EQ(writerFixed(-1e-9), "-0.000000");
    EXPECT_EQ(writerFixed(0.0078125), "0.007812"); // 7812.5 millionths: ties to even
    EXPECT_EQ(writerFixed(0.0234375), "0.023438"); // 23437.5 millionths: ties to even
}

TEST(FixedDecimal, InfinityAndNanKeepTheirPreviousText) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double value : {inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
        char expected[64];
        char* end =
            std::to_chars(expected, expected + sizeof expected, value, std::chars_format::fixed, 6)
                .ptr;
        EXPECT_EQ(writerFixed(value), std::string(expected, end));
    }
}

TEST(FixedDecimal, IntegersMatchPrintfAtEveryDigitCountAndAtRandom) {
    const auto matches = [](int32_t value) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%d", value);
        char text[32];
        const std::string written(text, writeDecimal(text, value));
        EXPECT_EQ(written, expected);
        return written == expected;
    };
    int mismatches = 0;
    for (int64_t power = 1; power <= 1000000000; power *= 10) {
        for (const int64_t value : {power - 1, power, power + 1, -power + 1, -power, -power - 1}) {
            mismatches += matches(static_cast<int32_t>(value)) ? 0 : 1;
        }
    }
    for (const int32_t value : {std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max(), 0, -1, 99, 100, -99, -100}) {
        mismatches += matches(value) ? 0 : 1;
    }
    std::mt19937 generator(11);
    std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max());
    std::uniform_int_distribution<int32_t> index(-1, 2000000);
    for (int n = 0; n < 100000 && mismatches < 10; ++n) {
        mismatches += matches(any(generator)) ? 0 : 1;
        mismatches += matches(index(generator)) ? 0 : 1;
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
