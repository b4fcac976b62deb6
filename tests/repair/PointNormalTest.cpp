// Point normals recomputed from the triangles around a point.
#include <gtest/gtest.h>

#include <cmath>

#include "support/MeshInvariants.h"

namespace {

void expectDirection(const Vector3& actual, Vector3 expected) {
    expected.normalize();
    EXPECT_NEAR(actual.x, expected.x, 1e-12);
    EXPECT_NEAR(actual.y, expected.y, 1e-12);
    EXPECT_NEAR(actual.z, expected.z, 1e-12);
}

TEST(PointNormal, CornerWeightsAndShortEdges) {
    // Corners of 90, 90 and 135 degrees weigh 0.5, 0.5 and 0.5 sin 135.
    meshtest::TestCloud cloud({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 1}, {-0.0004, 0, 0.0004}});
    cloud.setFan(0, {1, 2, 3});
    cloud.state.updatePointNormal(0);
    expectDirection(cloud.records[0].normal, Vector3(-1, -1, -(1 + std::sqrt(2.0))));

    // A member closer than 0.001 removes both its triangles from the sum.
    meshtest::TestCloud shortEdge(
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 1}, {0.0004, -0.0004, 0}});
    shortEdge.setFan(0, {1, 2, 3, 4});
    shortEdge.state.updatePointNormal(0);
    expectDirection(shortEdge.records[0].normal, Vector3(-std::sqrt(0.5), 0, -1 - std::sqrt(0.5)));
}

TEST(PointNormal, UnfinishedAndIsolatedPoints) {
    meshtest::TestCloud cloud({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {5, 5, 5}});
    cloud.setFan(0, {1, 2, 3});
    cloud.state.updatePointNormal(2); // unfinished, linked to 0
    expectDirection(cloud.records[2].normal, Vector3(0, 0, -1));
    cloud.state.updatePointNormal(4); // no links
    EXPECT_EQ(cloud.records[4].normal.length(), 0.0);
}

} // namespace
