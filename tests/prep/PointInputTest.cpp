// Point file reading: the line grammar, the 6-character end-of-data rule, the float range
// check and the record array.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "prep/PointSetPreparation.h"
#include "support/RunDirectory.h"

namespace {

struct LoadResult {
    bool ok;
    std::string output;
};

// Loads the given file content into `preparation` and returns the console output.
LoadResult load(PointSetPreparation& preparation, const std::string& content) {
    const meshtest::RunDirectory folder;
    const std::string path = folder.write("rawPoints.txt", content);
    preparation.console = &std::cout;
    ::testing::internal::CaptureStdout();
    const bool ok = preparation.loadPoints(path);
    return LoadResult{ok, ::testing::internal::GetCapturedStdout()};
}

int32_t loadedCount(const std::string& content) {
    PointSetPreparation preparation;
    return load(preparation, content).ok ? preparation.totalCount : -1;
}

bool parses(const char* line) {
    double x, y, z;
    return parsePointLine(line, x, y, z);
}

TEST(PointLine, AcceptsDecimalNumbersWithMixedSeparators) {
    double x, y, z;
    ASSERT_TRUE(parsePointLine("\t -1.5\t+2.  .5e-3 extra junk\n", x, y, z));
    EXPECT_EQ(x, -1.5);
    EXPECT_EQ(y, 2.0);
    EXPECT_EQ(z, 0.0005);
    ASSERT_TRUE(parsePointLine("1E2 2e+1 -3E-0\r\n", x, y, z));
    EXPECT_EQ(x, 100.0);
    EXPECT_EQ(y, 20.0);
    EXPECT_EQ(z, -3.0);
    EXPECT_TRUE(parses("1e-400 0 0\n")); // underflow to zero is a valid number
}

TEST(PointLine, RefusesAnythingButThreeWholeDecimalNumbers) {
    for (const char* line : {"1 2\n", "1 2  \n", "1 2 3m\n", "0x10 1 2\n", "inf 1 2\n", "1 nan 2\n",
                             "1 2 infinity\n", "1e 2 3\n", ". 1 2\n", "1..2 3 4\n", "--1 2 3\n",
                             "1 2 3,\n", "1,2 3 4\n", "1 2 3e+\n", "x y z\n"}) {
        EXPECT_FALSE(parses(line)) << line;
    }
}

TEST(PointLine, ConversionIsCorrectlyRounded) {
    std::mt19937_64 generator(12345);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    char line[1024];
    for (int i = 0; i < 2000; ++i) {
        const double a = std::ldexp(mantissa(generator), exponent(generator));
        std::snprintf(line, sizeof line, "%.17g %.6f %.25e\n", a, a, a);
        double x, y, z;
        ASSERT_TRUE(parsePointLine(line, x, y, z)) << line;
        char* end;
        EXPECT_EQ(x, std::strtod(line, &end)) << line;
        EXPECT_EQ(y, std::strtod(end, &end)) << line;
        EXPECT_EQ(z, std::strtod(end, &end)) << line;
    }
}

TEST(PointFile, ShortLineEndsTheDataAndBadLinesFail) {
    EXPECT_EQ(loadedCount("1 2 3\n4 5 6\n7 8 9"), 2); // last line is 5 characters
    EXPECT_EQ(loadedCount("1 2 3\n4 5 6\n7 8 9\n"), 3);
    EXPECT_EQ(loadedCount("1 2 3\r\n4 5 6\r\n"), 2); // CR LF counts as one line end
    // Lines of any length are read whole; what follows the third number is ignored.
    const std::string longLine = "1 2 3" + std::string(4089, ' ');
    EXPECT_EQ(loadedCount(longLine + "\r\n4 5 6\r\n"), 2);
    EXPECT_EQ(loadedCount(longLine + " \n4 5 6\n"), 2);
    EXPECT_EQ(loadedCount("1 2 3\n1.0 2.0 3.0" + std::string(4085, ' ') + " 5 6 7\n4 5 6\n"), 3);
    EXPECT_EQ(loadedCount("1 2 3\n1 2 3." + std::string(9000, '0') + "\n"), 2);
    EXPECT_EQ(loadedCount("1 2 3\n1 2 1" + std::string(9000, '0') + "\n"), -1); // 1e9000
    EXPECT_EQ(loadedCount("1 2 3\n" + std::string(20, '\0') + "\n4 5 6\n"), -1);
    EXPECT_EQ(loadedCount("1 2 3\n4 5 6" + std::string(1, '\0') + "\n"), -1);
    EXPECT_EQ(loadedCount("1 2 3\n\n4 5 6\nbad line here\n"), 1);
    EXPECT_EQ(loadedCount("1 2 3\n1 2\nanything\n"), 1);
    EXPECT_EQ(loadedCount("1 2 3 4 5\n"), 1);
    EXPECT_EQ(loadedCount(""), -1);
    EXPECT_EQ(loadedCount("1 2\n4 5 6\n"), -1); // no point before the end of the data
    EXPECT_EQ(loadedCount("1 2 3\n4 5 6\n1 2  \n"), -1);
    EXPECT_EQ(loadedCount("1 2 3\n# comment\n"), -1);
    EXPECT_EQ(loadedCount("1 2 3\n1e39 0 0\n"), -1);
    EXPECT_EQ(loadedCount("1 2 3\n0 0 -1e39\n"), -1);
    EXPECT_EQ(loadedCount("1 2 3\n1e38 0 -3.4028234663852886e38\n"), 2);

    PointSetPreparation preparation;
    const LoadResult result = load(preparation, "1 2 3\n4 5 6\n7 8 9mm\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(preparation.keptCount, 0);
    EXPECT_TRUE(preparation.vertices.empty());
    EXPECT_EQ(result.output.find("Finished"), std::string::npos);
    EXPECT_NE(preparation.failure.find(", line 3: the third value '9mm' is not a decimal number"),
              std::string::npos)
        << preparation.failure;
    // Each refusal names its line and what is wrong.
    const struct {
        std::string content;
        long line;
        std::string reason;
    } refusals[] = {
        {std::string("1 2 3\n4 5\0 6\n", 13), 2, "the line holds a NUL byte"},
        {"1 2 3\n4 5  \n", 2, "only two values where three decimal numbers are needed"},
        {"1 2 3\n4 5 6\n7 -1e39 0\n", 3,
         "the second value '-1e39' is beyond the single-precision range (3.4e38)"},
        {"x\x01" + std::string(60, 'y') + " 1 2\n", 1,
         "the first value 'x?" + std::string(38, 'y') + "...' is not a decimal number"},
        {"\n1 2 3\n", 0,
         "no point before the end of the data (an empty line or one shorter than 6 "
         "characters ends it)"},
    };
    for (const auto& refusal : refusals) {
        PointSetPreparation refused;
        EXPECT_FALSE(load(refused, refusal.content).ok);
        const std::string where =
            refusal.line > 0 ? ", line " + std::to_string(refusal.line) + ": " : ": ";
        EXPECT_NE(refused.failure.find(where + refusal.reason), std::string::npos)
            << refused.failure;
    }
}

TEST(PointFile, RecordsHoldThePointsInFileOrder) {
    PointSetPreparation preparation;
    ASSERT_TRUE(load(preparation, "1 2 3\n-4.5 0.25 6e2\n").ok);
    EXPECT_EQ(preparation.keptCount, 2);
    EXPECT_EQ(preparation.totalCount, 2);
    ASSERT_EQ(preparation.vertices.size(), 2u);
    const Vertex& second = preparation.vertices[1];
    EXPECT_EQ(second.position.x, -4.5);
    EXPECT_EQ(second.position.y, 0.25);
    EXPECT_EQ(second.position.z, 600.0);
    EXPECT_EQ(second.normal.z, 0.0);
    EXPECT_EQ(second.eigenvalues[2], 0.0);

    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(preparation.loadPoints("/nonexistent/rawPoints.txt"));
    EXPECT_FALSE(preparation.loadPoints(::testing::TempDir()));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(preparation.failure,
              ::testing::TempDir() + ": this is a directory, not a point file");
}

} // namespace
