// Point file reading: the line grammar, the 6-character end-of-data rule, the float range
// check and the record array.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <unistd.h>

#include "prep/PointSetPreparation.h"

namespace {

struct LoadResult {
    bool ok;
    std::string output;
};

// Loads the given file content into `preparation` and returns the console output.
LoadResult load(PointSetPreparation& preparation, const std::string& content) {
    std::string path = ::testing::TempDir() + "pointsXXXXXX";
    const int fd = mkstemp(path.data());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    preparation.console = &std::cout;
    ::testing::internal::CaptureStdout();
    const bool ok = preparation.loadPoints(path);
    LoadResult result{ok, ::testing::internal::GetCapturedStdout()};
    std::remove(path.c_str());
    return result;
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
    // A 4094-character line with CR LF fills one 4095-character piece exactly; the LF
    // beyond the piece must not be read as an empty line that ends the data.
    const std::string longLine = "1 2 3" + std::string(4089, ' ');
    EXPECT_EQ(loadedCount(longLine + "\r\n4 5 6\r\n"), 2);
    EXPECT_EQ(loadedCount(longLine + " \n4 5 6\n"), 1); // LF in a piece of its own
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
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

} // namespace
