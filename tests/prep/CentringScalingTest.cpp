// Bounds, top point, spacing and scaling of the record set.
#include <gtest/gtest.h>

#include "prep/PreparedSetSupport.h"

TEST(CentringScaling, BoundsAndTopIndex) {
    PointSetPreparation prep;
    fillPoints(prep, {Vector3(0, 0, 0), Vector3(4, 2, 6)});
    prep.centerPoints();
    const double bounds[6] = {prep.xMin, prep.xMax, prep.yMin, prep.yMax, prep.zMin, prep.zMax};
    const double expected[6] = {-2, 2, -1, 1, -3, 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(bounds[i], expected[i]) << i;
    }
    EXPECT_EQ(prep.topIndex, 1);
    EXPECT_EQ(prep.centreX, 0);
    EXPECT_EQ(prep.vertices[0].position.x, -2);

    // Records 1 and 2 share the greatest kept z: the first wins. Removed record 3 counts
    // for the bounds and is moved with the rest, but is never the top point.
    fillPoints(prep, {Vector3(0, 0, 1), Vector3(1, 0, 5), Vector3(2, 0, 5), Vector3(3, 0, 9)});
    prep.keptCount = 3;
    prep.centerPoints();
    EXPECT_EQ(prep.zMax, 4);
    EXPECT_EQ(prep.vertices[3].position.z, 4);
    EXPECT_EQ(prep.topIndex, 1);
}

TEST(CentringScaling, SpacingAndScalingUseNearestNeighbourOfKeptPoints) {
    PointSetPreparation prep;
    fillPoints(prep, {Vector3(0, 0, 0), Vector3(3, 4, 0), Vector3(0, 0, 1), Vector3(50, 0, 0)});
    prep.keptCount = 3;                      // record 3 is removed: not measured
    const int32_t nearest[4] = {2, 0, 0, 0}; // distances 1, 5, 1
    for (int i = 0; i < 4; ++i) {
        prep.vertices[i].neighbours[0] = nearest[i];
    }
    prep.centerPoints();
    prep.computeSpacing();
    EXPECT_DOUBLE_EQ(prep.meanSpacing, 7.0 / 3.0);
    EXPECT_DOUBLE_EQ(prep.maxSpacing, 5.0);
    const double xMaxBefore = prep.xMax;
    const double removedXBefore = prep.vertices[3].position.x;
    prep.scalePoints();
    EXPECT_DOUBLE_EQ(prep.meanSpacing, 1.0);
    EXPECT_DOUBLE_EQ(prep.maxSpacing, 15.0 / 7.0);
    EXPECT_DOUBLE_EQ(prep.xMax, xMaxBefore * 3.0 / 7.0);
    EXPECT_DOUBLE_EQ(prep.vertices[3].position.x, removedXBefore / (7.0 / 3.0));
}
