// The whole preparation: stage results, hand-over values, prepared-point file and failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "prep/PreparedSetSupport.h"

namespace {

// A slightly jittered 10 x 8 x 7 grid (560 points), 40 of them with a near-duplicate placed
// right after them.
std::vector<Vector3> pointsWithNearDuplicates() {
    const std::vector<Vector3> jitter = scatteredPoints(560, 21);
    std::vector<Vector3> points;
    for (int i = 0; i < 560; ++i) {
        const Vector3 p(i % 10 + 0.05 * jitter[i].x, (i / 10) % 8 + 0.05 * jitter[i].y,
                        i / 80 + 0.05 * jitter[i].z);
        points.push_back(p);
        if (i % 14 == 0) {
            points.emplace_back(p.x + 1e-4, p.y, p.z);
        }
    }
    return points;
}

} // namespace

TEST(PreparationPipeline, PreparesRecordsAndWritesTheFile) {
    const std::string dir = scratchDirectory("pipeline");
    PointSetPreparation prep;
    fillPoints(prep, pointsWithNearDuplicates());
    prep.neighbourFileName = dir + "euclideanNeighbours.txt";
    prep.timingFileName = dir + "timingForNeighbours.txt";
    const std::string fileName = prep.neighbourFileName;
    prep.console = &std::cout;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(prep.runPreparation());
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.rfind("Timing for Neighborhood Calculation = ", 0), 0u);
    EXPECT_EQ(console.substr(console.size() - 11), " seconds.\n\n");
    EXPECT_TRUE(prep.neighbourFileName.empty());

    const int32_t n = 600;
    const int32_t kept = prep.keptCount;
    EXPECT_EQ(prep.totalCount, n);
    EXPECT_EQ(kept, 560); // each near-duplicate pair loses one point
    EXPECT_NEAR(prep.meanSpacing, 1.0, 1e-12);
    EXPECT_EQ(prep.handOverCount, n);
    EXPECT_EQ(prep.handOverTop, prep.topIndex);
    EXPECT_EQ(prep.handOverHeader[9], 1.0f);
    EXPECT_EQ(prep.handOverHeader[0], static_cast<float>(prep.xMax));
    EXPECT_EQ(prep.handOverHeader[10], static_cast<float>(prep.maxSpacing));
    for (int32_t i = 0; i < kept; ++i) {
        EXPECT_LE(prep.vertices[i].position.z, prep.vertices[prep.topIndex].position.z);
        EXPECT_NEAR(prep.vertices[i].normal.length(), 1.0, 1e-9);
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            ASSERT_GE(prep.vertices[i].neighbours[l], 0);
            ASSERT_LT(prep.vertices[i].neighbours[l], kept);
        }
    }
    for (int32_t i = kept; i < n; ++i) {
        EXPECT_EQ(prep.vertices[i].normal.x, 0.0);
        EXPECT_EQ(prep.vertices[i].surfaceVariation, 0.0);
        EXPECT_LE(prep.vertices[i].neighbours[0], 0); // negated (0 stays 0)
    }

    const std::vector<std::string> lines = fileLines(fileName);
    ASSERT_EQ(lines.size(), 1u + 3u * n);
    std::istringstream header(lines[0]);
    int32_t count = 0, top = 0;
    header >> count >> top;
    EXPECT_EQ(count, n);
    EXPECT_EQ(top, prep.topIndex);
    EXPECT_NE(lines[0].find(" 0.000000 0.000000 0.000000 1.000000 "), std::string::npos);
    for (int32_t i = 0; i < n; ++i) {
        const Vertex& v = prep.vertices[i];
        char expected[512];
        std::snprintf(expected, sizeof expected, "%lf %lf %lf %lf %lf %lf", v.position.x,
                      v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z);
        ASSERT_EQ(lines[1 + 3 * i], expected);
        std::string list;
        for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
            list += std::to_string(v.neighbours[l]) + " ";
        }
        ASSERT_EQ(lines[2 + 3 * i], list);
        std::snprintf(expected, sizeof expected, "%lf %lf %lf %lf", v.surfaceVariation,
                      v.eigenvalues[0], v.eigenvalues[1], v.eigenvalues[2]);
        ASSERT_EQ(lines[3 + 3 * i], expected);
    }
}

TEST(PreparationPipeline, FailuresAreReportedWithoutWritingTheFile) {
    const struct {
        std::vector<Vector3> points;
        std::string subfolder, message;
    } cases[] = {
        {std::vector<Vector3>(40, Vector3(1, 2, 3)), "",
         "only 1 distinct point remains after setting aside 39 repeated and 0 isolated points"},
        {scatteredPoints(50, 8), "missing/", "euclideanNeighbours.txt"},
    };
    for (const auto& c : cases) {
        const std::string dir = scratchDirectory("pipeline-failure");
        PointSetPreparation prep;
        fillPoints(prep, c.points);
        prep.neighbourFileName = dir + c.subfolder + "euclideanNeighbours.txt";
        prep.timingFileName = dir + "timingForNeighbours.txt";
        EXPECT_FALSE(prep.runPreparation());
        EXPECT_NE(prep.failure.find(c.message), std::string::npos) << prep.failure;
        EXPECT_FALSE(std::filesystem::exists(dir + c.subfolder + "euclideanNeighbours.txt"));
    }
}
