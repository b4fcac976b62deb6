// Merging a published fan with the fans around it, on small flat hand-made meshes.
#include <gtest/gtest.h>

#include <cmath>

#include "support/HexLattice.h"
#include "support/MeshInvariants.h"

using meshtest::HexLattice;
using meshtest::TestCloud;

namespace {

// Completes the given lattice points with their full clockwise fans, then publishes the
// centre's ring fan (starting at startEntry) without completing the centre.
void buildCentre(const HexLattice& lattice, TestCloud& cloud, const std::vector<int32_t>& done,
                 int32_t startEntry) {
    for (const int32_t p : done) {
        cloud.setFan(p, lattice.clockwiseRing(p));
    }
    std::vector<int32_t> ring = lattice.clockwiseRing(0);
    std::rotate(ring.begin(), std::find(ring.begin(), ring.end(), startEntry), ring.end());
    cloud.setFan(0, ring, false);
}

} // namespace

TEST(FanMerging, AgreeingFanKeepsItsEntries) {
    const HexLattice lattice(2);
    // Every ring point completed: the walk only runs full fan merges.
    {
        TestCloud cloud(lattice.positions);
        buildCentre(lattice, cloud, {1, 2, 3, 4, 5, 6}, 1);
        const std::vector<int32_t> before = cloud.fan(0);
        EXPECT_TRUE(cloud.state.mergePoint(0));
        EXPECT_EQ(cloud.fan(0), before);
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
        EXPECT_TRUE(meshtest::fanAgreesWithCompletedMembers(cloud, 0));
    }
    // Two completed ring points, the fan starting at an open point: the fan is rotated to
    // start at the first agreeing completed neighbour and keeps its entries.
    {
        TestCloud cloud(lattice.positions);
        buildCentre(lattice, cloud, {3, 4}, 5);
        EXPECT_EQ(cloud.state.vertices[0].connectedPoints, (std::vector<int32_t>{3, 4}));
        std::vector<int32_t> expected = cloud.fan(0);
        std::rotate(expected.begin(), std::find(expected.begin(), expected.end(), 4),
                    expected.end());
        EXPECT_TRUE(cloud.state.mergePoint(0));
        EXPECT_EQ(cloud.fan(0), expected);
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
        EXPECT_TRUE(meshtest::fanAgreesWithCompletedMembers(cloud, 0));
    }
}

TEST(FanMerging, FailsWithoutAnAgreeingCompletedNeighbour) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    // Point 1 is completed, but its fan leaves the centre out.
    std::vector<int32_t> fanOfOne = lattice.clockwiseRing(1);
    fanOfOne.erase(std::find(fanOfOne.begin(), fanOfOne.end(), 0));
    cloud.setFan(1, fanOfOne);
    cloud.setFan(0, lattice.clockwiseRing(0), false);
    const std::vector<int32_t> before = cloud.fan(0);
    EXPECT_FALSE(cloud.state.alignFanStart(0));
    EXPECT_FALSE(cloud.state.mergePoint(0));
    EXPECT_EQ(cloud.fan(0), before);
    EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
}

namespace {

// A centre point with a fan of `size` free points on the unit circle (clockwise) and one
// completed point, entry 0, whose fan [next, centre, previous] agrees with the centre's.
struct Wheel {
    TestCloud cloud;
    explicit Wheel(int32_t size) : cloud(positions(size)) {
        std::vector<int32_t> fan;
        for (int32_t i = 0; i < size; ++i) {
            fan.push_back(1 + i);
        }
        cloud.setFan(1, {2, 0, size});
        cloud.setFan(0, fan, false);
    }
    static std::vector<Vector3> positions(int32_t size) {
        std::vector<Vector3> points{Vector3(0.0, 0.0, 0.0)};
        for (int32_t i = 0; i < size; ++i) {
            const double t = 0.1 - i * 2.0 * 3.14159265358979323846 / size;
            points.emplace_back(std::cos(t), std::sin(t), 0.0);
        }
        return points;
    }
};

} // namespace

TEST(FanMerging, WalkIsLimitedToThirtySteps) {
    // 30 entries: the walk closes after its 29th step.
    Wheel closes(30);
    EXPECT_TRUE(closes.cloud.state.mergePoint(0));
    EXPECT_EQ(closes.cloud.fan(0).size(), 30u);
    EXPECT_TRUE(meshtest::fanLinksConsistent(closes.cloud.state));
    // 31 entries: the 30th step would close the walk, but the limit is reached first.
    Wheel tooLong(31);
    EXPECT_FALSE(tooLong.cloud.state.mergePoint(0));
    EXPECT_TRUE(meshtest::fanLinksConsistent(tooLong.cloud.state));
}

TEST(FanMerging, MergeFansPullsInTheNeighboursOfTheSharedEdge) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    cloud.setFan(1, lattice.clockwiseRing(1));
    // The centre's fan misses 6, which follows 0 in the fan of 1, and starts with an open point.
    cloud.setFan(0, {2, 1, 5, 4, 3}, false);
    EXPECT_EQ(cloud.state.mergeFans(0, 1), 1);
    EXPECT_TRUE(meshtest::fanAgreesWithCompletedMembers(cloud, 0));
    const std::vector<int32_t> fan = cloud.fan(0);
    EXPECT_EQ(meshtest::nextIn(fan, 1), 6);
    EXPECT_EQ(meshtest::nextIn(fan, 2), 1);
    EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    // Points that do not hold each other are refused.
    EXPECT_EQ(cloud.state.mergeFans(0, 10), -1);
}

namespace {

// Centre 0 with the fan [3, 1, 2]: b = 1 on the x axis, its fan neighbours 2 and 3 at
// +-sideAngle degrees. Point 4 owns a fan [5, 6] whose boundary edge 5-6 crosses 0-1.
struct CrossingBoundary {
    TestCloud cloud;
    CrossingBoundary(double sideAngle, bool ownerCompleted) : cloud(positions(sideAngle)) {
        cloud.setFan(4, {5, 6}, ownerCompleted);
        cloud.setFan(0, {3, 1, 2}, false);
    }
    static std::vector<Vector3> positions(double sideAngle) {
        const double t = sideAngle * 3.14159265358979323846 / 180.0;
        return {Vector3(0.0, 0.0, 0.0),
                Vector3(2.0, 0.0, 0.0),
                Vector3(std::cos(t), std::sin(t), 0.0),
                Vector3(std::cos(t), -std::sin(t), 0.0),
                Vector3(1.1, 1.5, 0.0),
                Vector3(1.0, 0.5, 0.0),
                Vector3(1.2, -0.5, 0.0)};
    }
};

} // namespace

TEST(FanMerging, FreePointAcrossABoundaryEdge) {
    // The two fan angles at 0 beside b add up to 200 degrees: the edge is kept, the step fails.
    {
        CrossingBoundary wide(100.0, true);
        TestCloud& cloud = wide.cloud;
        EXPECT_FALSE(cloud.state.solveFreePoint(0, 1));
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{3, 1, 2}));
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
    // 120 degrees: b leaves the fan.
    {
        CrossingBoundary narrow(60.0, true);
        TestCloud& cloud = narrow.cloud;
        EXPECT_TRUE(cloud.state.solveFreePoint(0, 1));
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{3, 2}));
        EXPECT_TRUE(cloud.state.vertices[1].connectedPoints.empty());
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
    // The edge belongs to no completed fan: nothing to cross.
    {
        CrossingBoundary open(60.0, false);
        TestCloud& cloud = open.cloud;
        EXPECT_TRUE(cloud.state.solveFreePoint(0, 1));
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{3, 1, 2}));
    }
}
