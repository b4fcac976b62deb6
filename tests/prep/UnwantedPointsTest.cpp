// Marking of near-duplicate points, their move to the tail and the rewrite of their lists.
#include <gtest/gtest.h>

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
    fillPoints(prep, positions); // every list names only the origin
    for (int32_t i = 0; i < NEIGHBOUR_COUNT; ++i) {
        prep.vertices[0].neighbours[i] = i + 1;
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
    prep.inputIndex = {0, 1, 2, 3, 4, 5};
    prep.removeUnwantedPoints();
    EXPECT_EQ(prep.keptCount, 4);
    // Every record still knows which input point it holds.
    EXPECT_EQ(prep.inputIndex, (std::vector<int32_t>{0, 4, 2, 3, 1, 5}));
    EXPECT_EQ(prep.totalCount, 6);
    const double expectedX[6] = {0, 10, 1, 5, 0.1, 10.1}; // order 0, 4, 2, 3, 1, 5
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(prep.vertices[i].position.x, expectedX[i]) << i;
    }
    // Removed lists name records by their new places (4 -> 1, 1 -> 4); kept lists stay.
    const int32_t lists[3][3] = {{5, 3, 3}, {1, 0, 2}, {1, 4, 3}};
    const int32_t records[3] = {1, 4, 5};
    for (int r = 0; r < 3; ++r) {
        for (int l = 0; l < 3; ++l) {
            EXPECT_EQ(prep.vertices[records[r]].neighbours[l], lists[r][l]) << records[r] << l;
        }
    }
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
