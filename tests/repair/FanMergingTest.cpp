// Merging a published fan with the fans around it, on small flat hand-made meshes.
#include <gtest/gtest.h>

#include <cmath>

#include "support/HexLattice.h"

using meshtest::HexLattice;
using meshtest::TestCloud;

namespace {

// Completes the given lattice points with their full clockwise fans, then publishes the
// centre's ring fan (starting at startEntry) without completing the centre.
void buildCentre(const HexLattice& lattice, TestCloud& cloud, int32_t lastDone,
                 int32_t startEntry) {
    lattice.completeRings(cloud, 3, lastDone + 1);
    std::vector<int32_t> ring = lattice.clockwiseRing(0);
    std::rotate(ring.begin(), std::find(ring.begin(), ring.end(), startEntry), ring.end());
    cloud.setFan(0, ring, false);
}

} // namespace

TEST(FanMerging, AgreeingFanKeepsItsEntries) {
    const HexLattice lattice(2);
    // Every ring point completed: the walk only runs full fan merges. With only 3 and 4
    // completed and the fan starting at an open point, the fan is rotated to start at the
    // first agreeing completed neighbour.
    for (const bool allDone : {true, false}) {
        TestCloud cloud(lattice.positions);
        if (allDone) {
            lattice.completeRings(cloud, {1, 2});
        }
        buildCentre(lattice, cloud, allDone ? 6 : 4, allDone ? 1 : 5);
        std::vector<int32_t> expected = cloud.fan(0);
        if (!allDone) {
            ASSERT_EQ(cloud.records[0].connectedPoints, (std::vector<int32_t>{3, 4}));
            std::rotate(expected.begin(), std::find(expected.begin(), expected.end(), 4),
                        expected.end());
        }
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

TEST(FanMerging, WalkIsLimitedToThirtySteps) {
    // A centre with a fan of `size` free points on the unit circle (clockwise) and one
    // completed point, entry 1, whose fan [2, centre, size] agrees with the centre's. With
    // 30 entries the walk closes after its 29th step; with 31 the 30th step would close it,
    // but the limit is reached first.
    for (const int32_t size : {30, 31}) {
        std::vector<Vector3> points{Vector3(0.0, 0.0, 0.0)};
        std::vector<int32_t> fan;
        for (int32_t i = 0; i < size; ++i) {
            const double t = 0.1 - i * 2.0 * M_PI / size;
            points.emplace_back(std::cos(t), std::sin(t), 0.0);
            fan.push_back(1 + i);
        }
        TestCloud cloud(points);
        cloud.setFan(1, {2, 0, size});
        cloud.setFan(0, fan, false);
        EXPECT_EQ(cloud.state.mergePoint(0), size == 30) << size;
        EXPECT_EQ(cloud.fan(0).size(), static_cast<size_t>(size));
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
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

TEST(FanMerging, FreePointAcrossABoundaryEdge) {
    // Centre 0 with the fan [3, 1, 2]: b = 1 on the x axis, its fan neighbours 2 and 3 at
    // +-side degrees. Point 4 owns a fan [5, 6] whose boundary edge 5-6 crosses 0-1. Fan
    // angles beside b adding up to 200 degrees keep the edge (the step fails); 120 degrees
    // take b out; an edge of no completed fan is nothing to cross.
    const struct {
        double side;
        bool ownerCompleted, solved;
        std::vector<int32_t> fan;
    } cases[] = {
        {100.0, true, false, {3, 1, 2}},
        {60.0, true, true, {3, 2}},
        {60.0, false, true, {3, 1, 2}},
    };
    for (const auto& c : cases) {
        const double t = c.side * M_PI / 180.0;
        TestCloud cloud({{0, 0, 0},
                         {2, 0, 0},
                         {std::cos(t), std::sin(t), 0},
                         {std::cos(t), -std::sin(t), 0},
                         {1.1, 1.5, 0},
                         {1, 0.5, 0},
                         {1.2, -0.5, 0}});
        cloud.setFan(4, {5, 6}, c.ownerCompleted);
        cloud.setFan(0, {3, 1, 2}, false);
        EXPECT_EQ(cloud.state.solveFreePoint(0, 1), c.solved) << c.side;
        EXPECT_EQ(cloud.fan(0), c.fan);
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
}
