// Number conversions of the text writer against printf: "%f" for doubles of every scale,
// exact ties, both sides of rounding boundaries, signed zeros, subnormals and the edge of the
// integer path at 2^33 (infinities and NaN as std::to_chars wrote them); "%d" over int32.
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

// Compares "%f" with the writer on value, its negation and their neighbours one unit in
// the last place away; returns the number of differences.
int fixedMismatches(double value) {
    const double inf = std::numeric_limits<double>::infinity();
    int mismatches = 0;
    for (const double v : {std::nextafter(value, -inf), value, std::nextafter(value, inf)}) {
        for (const double x : {v, -v}) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "%f", x);
            char text[512];
            const std::string written(text, writeFixedSix(text, text + sizeof text, x));
            EXPECT_EQ(written, expected) << std::hexfloat << x;
            mismatches += written == expected ? 0 : 1;
        }
    }
    return mismatches;
}

TEST(FixedDecimal, DoublesMatchPrintfAtEveryScaleTieAndBoundary) {
    std::mt19937_64 generator(20261208);
    std::uniform_int_distribution<uint64_t> fraction(0, (uint64_t{1} << 52) - 1);
    std::uniform_int_distribution<uint64_t> exponentField(0, 1023 + 40);
    std::uniform_real_distribution<double> coordinate(-3.0, 3.0);
    int mismatches = 0;
    for (int n = 0; n < 100000 && mismatches < 10; ++n) {
        const uint64_t bits = (exponentField(generator) << 52) | fraction(generator);
        mismatches += fixedMismatches(std::bit_cast<double>(bits));
        mismatches += fixedMismatches(coordinate(generator));
    }
    // Exact ties (odd multiples of 2^-7: ties to even) and the doubles nearest to halfway
    // points of the sixth decimal, spread from 0 to about 160.
    for (int64_t k = 1; k < 20000 && mismatches < 10; k += 2) {
        mismatches += fixedMismatches(static_cast<double>(k) / 128.0);
        mismatches += fixedMismatches((static_cast<double>(k * 7919 % 8000000000) + 0.5) / 1e6);
    }
    for (const double value : {std::ldexp(1.0, 33), 9.9999995, 0.0000005, 0.0, 1e300,
                               std::numeric_limits<double>::denorm_min()}) {
        mismatches += fixedMismatches(value);
    }
    EXPECT_EQ(mismatches, 0);
    for (const double value : {std::numeric_limits<double>::infinity(), std::nan("")}) {
        char expected[64]; // as std::to_chars wrote them
        char* end = std::to_chars(expected, expected + 64, value, std::chars_format::fixed, 6).ptr;
        char text[64];
        EXPECT_EQ(std::string(text, writeFixedSix(text, text + 64, value)),
                  std::string(expected, end));
    }
}

TEST(FixedDecimal, IntegersMatchPrintfAtEveryDigitCountAndAtRandom) {
    const auto mismatch = [](int32_t value) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%d", value);
        char text[32];
        const std::string written(text, writeDecimal(text, value));
        EXPECT_EQ(written, expected);
        return written == expected ? 0 : 1;
    };
    int mismatches = mismatch(std::numeric_limits<int32_t>::min()) +
                     mismatch(std::numeric_limits<int32_t>::max());
    for (int64_t power = 1; power <= 1000000000; power *= 10) {
        for (const int64_t value : {power - 1, power, power + 1, -power + 1, -power, -power - 1}) {
            mismatches += mismatch(static_cast<int32_t>(value));
        }
    }
    std::mt19937 generator(11);
    std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max());
    for (int n = 0; n < 100000 && mismatches < 10; ++n) {
        mismatches += mismatch(any(generator)) + mismatch(static_cast<int32_t>(n) - 1);
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
