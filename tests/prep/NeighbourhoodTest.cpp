// Exact 16-nearest-neighbour lists for every thread count, equal distances, and the timing file.
#include <gtest/gtest.h>

#include <ANN/ANN.h>

#include <algorithm>
#include <set>

#include "prep/NeighbourTree.h"
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

// Scattered points with some exact duplicates and some points that share one coordinate
// with another, so that equal distances occur among otherwise distinct distances.
std::vector<Vector3> scatteredWithRepeats(int count, uint64_t seed) {
    std::vector<Vector3> points = scatteredPoints(count, seed);
    for (int i = 0; i + 1 < count; i += 37) {
        points[i + 1] = points[i];
    }
    for (int i = 0; i + 2 < count; i += 53) {
        points[i + 2].x = points[i].x + 0.25;
        points[i + 2].y = points[i].y;
        points[i + 2].z = points[i].z;
    }
    return points;
}

} // namespace

TEST(Neighbourhood, ListsMatchTheAnnSearchForEveryThreadCountIncludingTies) {
    // The large set spans many work chunks and a deep tree; the grid is all ties.
    const std::vector<Vector3> sets[] = {scrambledGrid(), scatteredPoints(3000, 5),
                                         scatteredWithRepeats(20000, 9)};
    for (const std::vector<Vector3>& positions : sets) {
        const std::vector<std::vector<int32_t>> expected = indexOrderSearch(positions);
        for (const int threads : {1, 2, 3, 8}) {
            const std::string dir = scratchDirectory("neighbour-order");
            PointSetPreparation prep;
            fillPoints(prep, positions);
            prep.threads = threads;
            prep.timingFileName = dir + "timingForNeighbours.txt";
            ASSERT_TRUE(prep.computeNeighbours());
            for (int32_t i = 0; i < prep.keptCount; ++i) {
                const std::vector<int32_t> got(prep.vertices[i].neighbours,
                                               prep.vertices[i].neighbours + NEIGHBOUR_COUNT);
                ASSERT_EQ(got, expected[i]) << "point " << i << ", " << threads << " threads";
            }
            std::vector<int32_t> order = prep.spatialOrder;
            std::sort(order.begin(), order.end());
            for (int32_t i = 0; i < prep.keptCount; ++i) {
                ASSERT_EQ(order[i], i) << "the spatial order is a permutation";
            }
        }
    }
}

TEST(Neighbourhood, TreeSearchReportsEqualDistances) {
    NeighbourTree tree;
    std::vector<NeighbourTree::Entry> entries;
    for (int i = 0; i < 40; ++i) {
        entries.push_back({static_cast<double>(i), 0.0, 0.0, i}); // points on a line, 1 apart
    }
    tree.build(entries, 2);
    NeighbourTree::Result result;
    const double end[3] = {-0.5, 0.0, 0.0};
    tree.search(end, 18, result);
    ASSERT_EQ(result.count, 18);
    EXPECT_TRUE(result.strictlyIncreasing());
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(result.indices[i], i);
        EXPECT_EQ(result.squaredDistances[i], (i + 0.5) * (i + 0.5));
    }
    const double middle[3] = {20.0, 0.0, 0.0}; // neighbours pair up left and right
    tree.search(middle, 18, result);
    EXPECT_FALSE(result.strictlyIncreasing());
    EXPECT_EQ(result.indices[0], 20);
    EXPECT_EQ(result.squaredDistances[17], 81.0);
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
