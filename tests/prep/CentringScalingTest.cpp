// Bounds, top point, spacing and scaling of the record set.
#include <gtest/gtest.h>

#include "prep/PreparedSetSupport.h"

TEST(CentringScaling, TwoPointsGiveCentredBoundsAndTopIndex) {
    PointSetPreparation prep;
    fillPoints(prep, {Vector3(0, 0, 0), Vector3(4, 2, 6)});
    prep.centerPoints();
    EXPECT_EQ(prep.xMin, -2);
    EXPECT_EQ(prep.xMax, 2);
    EXPECT_EQ(prep.yMin, -1);
    EXPECT_EQ(prep.yMax, 1);
    EXPECT_EQ(prep.zMin, -3);
    EXPECT_EQ(prep.zMax, 3);
    EXPECT_EQ(prep.topIndex, 1);
    EXPECT_EQ(prep.centreX, 0);
    EXPECT_EQ(prep.vertices[0].position.x, -2);
    EXPECT_EQ(prep.vertices[1].position.z, 3);
}

TEST(CentringScaling, RemovedTopPointSetsBoundsButNotTopIndex) {
    PointSetPreparation prep;
    // Records 1 and 2 share the greatest kept z: the first wins. Record 3 is removed.
    fillPoints(prep, {Vector3(0, 0, 1), Vector3(1, 0, 5), Vector3(2, 0, 5), Vector3(3, 0, 9)});
    prep.keptCount = 3;
    prep.centerPoints();
    EXPECT_EQ(prep.zMax, 4);                   // (9 - 1) / 2: removed record counts
    EXPECT_EQ(prep.vertices[3].position.z, 4); // and is moved with the rest
    EXPECT_EQ(prep.topIndex, 1);
}

TEST(CentringScaling, SpacingAndScalingUseNearestNeighbourOfKeptPoints) {
    PointSetPreparation prep;
    fillPoints(prep, {Vector3(0, 0, 0), Vector3(3, 4, 0), Vector3(0, 0, 1), Vector3(50, 0, 0)});
    prep.keptCount = 3;
    prep.vertices[0].neighbours[0] = 2; // distance 1
    prep.vertices[1].neighbours[0] = 0; // distance 5
    prep.vertices[2].neighbours[0] = 0; // distance 1
    prep.vertices[3].neighbours[0] = 0; // removed: not measured
    prep.centerPoints();
    prep.computeSpacing();
    EXPECT_DOUBLE_EQ(prep.meanSpacing, 7.0 / 3.0);
    EXPECT_DOUBLE_EQ(prep.maxSpacing, 5.0);
    const double xMaxBefore = prep.xMax;
    const Vector3 removedBefore = prep.vertices[3].position;
    prep.scalePoints();
    EXPECT_DOUBLE_EQ(prep.meanSpacing, 1.0);
    EXPECT_DOUBLE_EQ(prep.maxSpacing, 15.0 / 7.0);
    EXPECT_DOUBLE_EQ(prep.xMax, xMaxBefore * 3.0 / 7.0);
    EXPECT_DOUBLE_EQ(prep.vertices[3].position.x, removedBefore.x / (7.0 / 3.0));
}
