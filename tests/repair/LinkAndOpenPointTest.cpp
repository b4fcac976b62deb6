// Link checks and open-point passes on flat hexagonal patches.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/HexLattice.h"

using meshtest::fanLinksConsistent;
using meshtest::HexLattice;
using meshtest::TestCloud;

namespace {

// Fans, links and states of every point.
struct MeshSnapshot {
    std::vector<std::vector<int32_t>> fans, links;
    std::vector<uint8_t> states;
    explicit MeshSnapshot(const TestCloud& cloud) : states(cloud.state.pointState) {
        for (int32_t p = 0; p < cloud.size(); ++p) {
            fans.push_back(cloud.fan(p));
            links.push_back(cloud.records[p].connectedPoints);
        }
    }
    bool operator==(const MeshSnapshot& other) const {
        return fans == other.fans && links == other.links && states == other.states;
    }
};

TEST(CleanupLinks, ConsistentPatchPassesUnchanged) {
    const HexLattice lattice(3);
    TestCloud cloud(lattice.positions);
    lattice.completeRings(cloud, 0, 19); // rings 0-2 complete, ring 3 is the rim
    ReconstructionState& state = cloud.state;
    const MeshSnapshot before(cloud);
    for (int32_t k = 0; k < state.activeCount; ++k) {
        if (state.pointState[k] == 1) {
            state.checkCompletedLinks(k);
        } else {
            state.repairOpenPoint(k);
        }
    }
    state.checkFanAgreement();
    EXPECT_FALSE(state.withdrawOpenPoints());
    EXPECT_TRUE(MeshSnapshot(cloud) == before);
    EXPECT_EQ(state.openEndCount(19), 2);
}

TEST(CleanupLinks, ContradictingFansAreWithdrawn) {
    const HexLattice lattice(3);
    // A far point 37 whose fan holds the centre, which does not hold it back.
    std::vector<Vector3> positions = lattice.positions;
    positions.push_back(Vector3(0.0, 0.0, 5.0));
    TestCloud cloud(positions);
    lattice.completeRings(cloud, 0, 19);
    ReconstructionState& state = cloud.state;
    cloud.setFan(37, {0, 1, 2});
    // A stale link: 20 lists 3 although the fan of 3 does not hold 20.
    cloud.records[3].connectedPoints.push_back(20);
    state.checkCompletedLinks(0);
    EXPECT_EQ(state.pointState[37], 0);
    EXPECT_EQ(cloud.records[37].triangleFanCount, 0);
    state.checkCompletedLinks(3); // must end, dropping the stale link
    EXPECT_EQ(std::count(cloud.records[3].connectedPoints.begin(),
                         cloud.records[3].connectedPoints.end(), 20),
              0);
    EXPECT_TRUE(fanLinksConsistent(state));

    // The centre's fan turned the other way disagrees with every neighbour: only it goes.
    TestCloud reversed(lattice.positions);
    lattice.completeRings(reversed, 1, 19);
    std::vector<int32_t> ring = lattice.clockwiseRing(0);
    std::reverse(ring.begin(), ring.end());
    reversed.setFan(0, ring);
    reversed.state.checkFanAgreement();
    EXPECT_EQ(reversed.state.pointState[0], 0);
    for (int32_t p = 1; p < 19; ++p) {
        EXPECT_EQ(reversed.state.pointState[p], 1) << p;
    }
    EXPECT_TRUE(fanLinksConsistent(reversed.state));
}

TEST(CleanupOpenPoints, ChainsAroundAnOpenPoint) {
    const HexLattice lattice(2);
    // One chain of fans around the centre: it stays.
    TestCloud single(lattice.positions);
    lattice.completeRings(single, {1});
    const MeshSnapshot before(single);
    EXPECT_EQ(single.state.openEndCount(0), 2);
    EXPECT_FALSE(single.state.withdrawOpenPoints());
    EXPECT_TRUE(MeshSnapshot(single) == before);

    // Two separate chains (opposite ring points): both fans are withdrawn.
    TestCloud split(lattice.positions);
    lattice.completeRings(split, {1, 4});
    EXPECT_EQ(split.state.openEndCount(0), 4);
    EXPECT_TRUE(split.state.withdrawOpenPoints());
    EXPECT_EQ(split.state.pointState[1], 0);
    EXPECT_EQ(split.state.pointState[4], 0);
    EXPECT_TRUE(fanLinksConsistent(split.state));
    EXPECT_FALSE(split.state.withdrawOpenPoints());

    // A closed ring: withdrawn by the withdrawal pass, closed by the open-point repair.
    TestCloud ring(lattice.positions);
    lattice.completeRings(ring, 1, 7);
    EXPECT_EQ(ring.state.openEndCount(0), 0);
    ring.state.repairOpenPoint(0);
    ASSERT_EQ(ring.state.pointState[0], 1);
    std::vector<int32_t> fan = ring.fan(0);
    std::vector<int32_t> expected = lattice.clockwiseRing(0);
    std::rotate(expected.begin(), std::find(expected.begin(), expected.end(), fan[0]),
                expected.end());
    EXPECT_EQ(fan, expected);
    for (int32_t p = 1; p < 7; ++p) {
        EXPECT_EQ(ring.state.pointState[p], 0) << p;
    }
    EXPECT_EQ(ring.state.completionOrder, std::vector<int32_t>{0});
    EXPECT_TRUE(fanLinksConsistent(ring.state));

    TestCloud ringWithdrawn(lattice.positions);
    lattice.completeRings(ringWithdrawn, 1, 7);
    EXPECT_TRUE(ringWithdrawn.state.withdrawOpenPoints());
    for (int32_t p = 1; p < 7; ++p) {
        EXPECT_EQ(ringWithdrawn.state.pointState[p], 0) << p;
    }
}

TEST(CleanupOpenPoints, PinchedPointIsBridgedOrLosesOnlyItsSmallerChains) {
    const HexLattice lattice(2);
    // Two patches meet at the centre: the fans of 1 and 4 hold it in two separate chains,
    // with a 60-degree gap on either side. Bridging completes the centre with the whole ring,
    // and every fan around it then agrees with it.
    TestCloud pinch(lattice.positions);
    lattice.completeRings(pinch, {1, 4});
    ReconstructionState& state = pinch.state;
    state.bridgePinchedPoints = true;
    EXPECT_FALSE(state.bridgePinchedPoint(1)); // completed points are not pinched
    ASSERT_TRUE(state.bridgePinchedPointsPass());
    ASSERT_EQ(state.pointState[0], 1);
    std::vector<int32_t> fan = pinch.fan(0);
    std::vector<int32_t> expected = lattice.clockwiseRing(0);
    std::rotate(expected.begin(), std::find(expected.begin(), expected.end(), fan[0]),
                expected.end());
    EXPECT_EQ(fan, expected);
    EXPECT_EQ(state.completionOrder, std::vector<int32_t>{0});
    EXPECT_TRUE(fanLinksConsistent(state));
    EXPECT_TRUE(meshtest::fanAgreesWithCompletedMembers(pinch, 0));
    EXPECT_FALSE(state.bridgePinchedPointsPass()); // nothing left to bridge
    EXPECT_FALSE(state.withdrawOpenPoints());

    // A gap whose corner is completed already cannot be bridged: withdrawal around the
    // centre then keeps the first of the two equal chains and withdraws only the fan of 4,
    // where the rule without bridging withdraws both (ChainsAroundAnOpenPoint).
    TestCloud blocked(lattice.positions);
    lattice.completeRings(blocked, {1, 4});
    // Point 2 (60 degrees) ends the chain of 1; its fan covers the lattice beyond it only.
    blocked.setFan(2, {lattice.index(1, 1), lattice.index(0, 2), lattice.index(-1, 2)});
    blocked.state.bridgePinchedPoints = true;
    EXPECT_FALSE(blocked.state.bridgePinchedPoint(0));
    EXPECT_EQ(blocked.state.pointState[0], 0);
    blocked.state.withdrawAroundOpenPoint(0);
    EXPECT_EQ(blocked.state.pointState[1], 1);
    EXPECT_EQ(blocked.state.pointState[4], 0);
    EXPECT_TRUE(fanLinksConsistent(blocked.state));
}

} // namespace
