// Exact 16-nearest-neighbour lists, independence from the query order, and the timing file.
#include <gtest/gtest.h>

#include <ANN/ANN.h>

#include <set>

#include "prep/PreparedSetSupport.h"

namespace {

// The lists a plain search in record order gives, on a tree built as the preparation builds it.
std::vector<std::vector<int32_t>> indexOrderSearch(const std::vector<Vector3>& positions) {
    const int n = static_cast<int>(positions.size());
    ANNpointArray points = annAllocPts(n, 3);
    for (int i = 0; i < n; ++i) {
        points[i][0] = positions[i].x;
        points[i][1] = positions[i].y;
        points[i][2] = positions[i].z;
    }
    ANNkd_tree tree(points, n, 3, 1, ANN_KD_SUGGEST);
    ANNidx indices[17];
    ANNdist distances[17];
    std::vector<std::vector<int32_t>> lists(n);
    for (int i = 0; i < n; ++i) {
        tree.annkSearch(points[i], 17, indices, distances, 0.0);
        lists[i].assign(indices + 1, indices + 17);
    }
    annDeallocPts(points);
    return lists;
}

// A 7 x 6 x 5 unit grid stored in a scrambled order: every point has many neighbours at
// exactly equal distances.
std::vector<Vector3> scrambledGrid() {
    std::vector<Vector3> grid;
    for (int i = 0; i < 210; ++i) {
        const int cell = (i * 97) % 210;
        grid.emplace_back(cell % 7, (cell / 7) % 6, cell / 42);
    }
    return grid;
}

} // namespace

TEST(Neighbourhood, CoherentQueriesMatchIndexOrderQueriesIncludingTies) {
    for (const std::vector<Vector3>& positions : {scrambledGrid(), scatteredPoints(3000, 5)}) {
        const std::string dir = scratchDirectory("neighbour-order");
        PointSetPreparation prep;
        fillPoints(prep, positions);
        prep.timingFileName = dir + "timingForNeighbours.txt";
        ASSERT_TRUE(prep.computeNeighbours());
        const std::vector<std::vector<int32_t>> expected = indexOrderSearch(positions);
        for (int32_t i = 0; i < prep.keptCount; ++i) {
            const std::vector<int32_t> got(prep.vertices[i].neighbours,
                                           prep.vertices[i].neighbours + NEIGHBOUR_COUNT);
            ASSERT_EQ(got, expected[i]) << "point " << i;
        }
    }
}

TEST(Neighbourhood, TimingFileHoldsTheLastSearchOnly) {
    const std::string dir = scratchDirectory("neighbour-timing");
    PointSetPreparation prep;
    fillPoints(prep, scatteredPoints(100, 3));
    prep.timingFileName = dir + "timingForNeighbours.txt";
    ASSERT_TRUE(prep.computeNeighbours());
    ASSERT_TRUE(prep.computeNeighbours());
    const std::vector<std::string> lines = fileLines(prep.timingFileName);
    ASSERT_EQ(lines.size(), 6u);
    const char* const starts[5] = {
        "Start: Current date and time are: ", "End: Current date and time are: ", "start = ",
        "finish = ", "CLOCKS_PER_SEC = 1000"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i].rfind(starts[i], 0), 0u) << lines[i];
    }
    const long start = std::stol(lines[2].substr(8));
    const long finish = std::stol(lines[3].substr(9));
    char expected[64];
    std::snprintf(expected, sizeof expected, "detailed timing = %f", (finish - start) * 0.001);
    EXPECT_EQ(lines[5], expected);
    EXPECT_EQ(prep.timingFile, nullptr);
}

TEST(Neighbourhood, RefusesTooFewPointsOrMissingTimingFile) {
    PointSetPreparation prep;
    fillPoints(prep, scatteredPoints(16, 1));
    prep.timingFileName = scratchDirectory("neighbour-few") + "timingForNeighbours.txt";
    EXPECT_FALSE(prep.computeNeighbours());
    fillPoints(prep, scatteredPoints(17, 1));
    EXPECT_TRUE(prep.computeNeighbours()); // each list then holds all other 16 points
    std::set<int32_t> others(prep.vertices[3].neighbours, prep.vertices[3].neighbours + 16);
    EXPECT_EQ(others.size(), 16u);
    EXPECT_EQ(others.count(3), 0u);
    prep.timingFileName = "/nonexistent-directory/timingForNeighbours.txt";
    EXPECT_FALSE(prep.computeNeighbours());
}
