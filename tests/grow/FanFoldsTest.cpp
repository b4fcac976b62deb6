// The fold test of a fan: a triangle facing away from the whole fan's normal by clearly more
// than a right angle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "grow/FanFolds.h"

namespace {

// A fan around the origin through the unit points on the x and y axes, then back to a
// fifth entry at 225 degrees (between the third and fourth as seen along z) lifted by
// height: the triangle from the fourth entry to it runs backwards, facing against the rest
// of the fan when flat and turning up as it is lifted.
std::vector<Vector3> fanTurningBack(double height) {
    const double r = 225.0 * M_PI / 180.0;
    return {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {std::cos(r), std::sin(r), height}};
}

TEST(FanFolds, OnlyATriangleClearlyPastARightAngleFolds) {
    const Vector3 centre(0, 0, 0);
    // Angle of the backward triangle from the fan's normal: 180 degrees at height 0, 111 at
    // 1 (cosine -0.37), 99 at 1.5 (cosine -0.16, a crease let through).
    for (const auto& [height, folds] :
         {std::pair{0.0, true}, std::pair{1.0, true}, std::pair{1.5, false}}) {
        std::vector<Vector3> ring = fanTurningBack(height);
        EXPECT_EQ(ringFoldsOver(centre, ring.data(), 5), folds) << height;
        // The orientation of the ring and the size of the fan do not matter.
        std::reverse(ring.begin(), ring.end());
        EXPECT_EQ(ringFoldsOver(centre, ring.data(), 5), folds) << height;
        for (Vector3& entry : ring) {
            entry.scale(3.0);
        }
        EXPECT_EQ(ringFoldsOver(centre, ring.data(), 5), folds) << height;
    }
    // Without the fifth entry the fan is flat.
    const std::vector<Vector3> flat = fanTurningBack(0.0);
    EXPECT_FALSE(ringFoldsOver(centre, flat.data(), 4));
}

} // namespace
