// Marking of near-duplicate points, their move to the tail and the rewrite of their lists.
#include <gtest/gtest.h>

#include <algorithm>

#include "prep/PreparedSetSupport.h"

namespace {

void setList(PointSetPreparation& prep, int32_t record, std::initializer_list<int32_t> head,
             int32_t rest) {
    int32_t l = 0;
    for (const int32_t index : head) {
        prep.vertices[record].neighbours[l++] = index;
    }
    while (l < NEIGHBOUR_COUNT) {
        prep.vertices[record].neighbours[l++] = rest;
    }
}

// Point 0 at the origin with sixteen neighbours at x = 1 .. 16 (the first a duplicate when
// withDuplicate), each listing only the origin.
void buildStar(PointSetPreparation& prep, bool withDuplicate) {
    std::vector<Vector3> positions{Vector3(0, 0, 0)};
    for (int i = 1; i <= 16; ++i) {
        positions.emplace_back(withDuplicate && i == 1 ? 0.0 : i, 0, 0);
    }
    fillPoints(prep, positions);
    for (int32_t i = 0; i < NEIGHBOUR_COUNT; ++i) {
        prep.vertices[0].neighbours[i] = i + 1;
    }
    for (int32_t i = 1; i <= 16; ++i) {
        setList(prep, i, {}, 0);
    }
}

} // namespace

TEST(UnwantedPoints, SixRecordExchangeRewritesRemovedLists) {
    PointSetPreparation prep;
    fillPoints(prep, {Vector3(0, 0, 0), Vector3(0.1, 0, 0), Vector3(1, 0, 0), Vector3(5, 0, 0),
                      Vector3(10, 0, 0), Vector3(10.1, 0, 0)});
    setList(prep, 0, {1}, 2);    // flags 1 (ratio 0.1), stops at 2
    setList(prep, 1, {4, 0}, 2); // flagged: never scans
    setList(prep, 2, {}, 0);
    setList(prep, 3, {}, 2);
    setList(prep, 4, {5}, 3); // flags 5 (ratio 0.02)
    setList(prep, 5, {4, 1}, 3);
    prep.removeUnwantedPoints();
    EXPECT_EQ(prep.keptCount, 4);
    EXPECT_EQ(prep.totalCount, 6);
    const double expectedX[6] = {0, 10, 1, 5, 0.1, 10.1}; // order 0, 4, 2, 3, 1, 5
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(prep.vertices[i].position.x, expectedX[i]) << i;
    }
    EXPECT_EQ(prep.vertices[5].neighbours[0], 1); // former record 4
    EXPECT_EQ(prep.vertices[5].neighbours[1], 4); // former record 1
    EXPECT_EQ(prep.vertices[5].neighbours[2], 3);
    EXPECT_EQ(prep.vertices[4].neighbours[0], 1); // former record 1 named former 4
    EXPECT_EQ(prep.vertices[4].neighbours[1], 0);
    EXPECT_EQ(prep.vertices[1].neighbours[0], 5); // kept lists are not rewritten
}

TEST(UnwantedPoints, RatioZeroOrNegativeRemovesNothingAboveOneRemovesAll) {
    for (const float ratio : {0.0f, -0.05f}) {
        PointSetPreparation prep;
        buildStar(prep, true);
        prep.unwantedRatio = ratio;
        prep.removeUnwantedPoints();
        EXPECT_EQ(prep.keptCount, 17) << ratio;
        EXPECT_EQ(prep.vertices[1].position.x, 0) << ratio;
    }
    PointSetPreparation prep;
    buildStar(prep, false);
    prep.unwantedRatio = 1.5f;
    prep.removeUnwantedPoints();
    EXPECT_EQ(prep.keptCount, 1); // the farthest neighbour has ratio exactly 1
    EXPECT_EQ(prep.vertices[16].position.x, 16);
}

TEST(UnwantedPoints, FlaggedRecordsSwapFrontToBackWithUnflaggedTail) {
    uint64_t seed = 12345;
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t n = 1 + trial % 23;
        std::vector<uint8_t> flags(n);
        int32_t removed = 0;
        for (int32_t i = 0; i < n; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            flags[i] = (seed >> 60) < 5;
            removed += flags[i];
        }
        if (removed == 0) {
            continue;
        }
        std::vector<Vector3> positions;
        for (int32_t i = 0; i < n; ++i) {
            positions.emplace_back(i, 0, 0);
        }
        PointSetPreparation prep;
        fillPoints(prep, positions);
        std::vector<int32_t> map(n);
        for (int32_t i = 0; i < n; ++i) {
            map[i] = i;
        }
        prep.moveFlaggedToTail(flags, map, removed);

        std::vector<int32_t> expected(n);
        for (int32_t i = 0; i < n; ++i) {
            expected[i] = i;
        }
        std::vector<int32_t> frontFlagged, backUnflagged;
        for (int32_t i = 0; i < n - removed; ++i) {
            if (flags[i]) {
                frontFlagged.push_back(i);
            }
        }
        for (int32_t i = n - 1; i >= n - removed; --i) {
            if (!flags[i]) {
                backUnflagged.push_back(i);
            }
        }
        ASSERT_EQ(frontFlagged.size(), backUnflagged.size());
        for (size_t s = 0; s < frontFlagged.size(); ++s) {
            std::swap(expected[frontFlagged[s]], expected[backUnflagged[s]]);
        }
        for (int32_t i = 0; i < n; ++i) {
            ASSERT_EQ(prep.vertices[i].position.x, expected[i]) << "trial " << trial;
            ASSERT_EQ(map[i], expected[i]) << "trial " << trial;
        }
    }
}
