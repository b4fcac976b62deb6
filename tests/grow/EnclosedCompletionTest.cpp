// Completing a point from the fans that surround it (enclosed) or that leave a single gap
// whose ends are already joined (flow merge), on a flat hand-made lattice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "support/HexLattice.h"

using meshtest::HexLattice;
using meshtest::TestCloud;

namespace {

// The centre's fan is the ring 1..6, published, completed and agreeing with every owner.
void expectRingFanCompleted(const TestCloud& cloud) {
    std::vector<int32_t> fan = cloud.fan(0);
    EXPECT_EQ(cloud.state.pointState[0], 1);
    std::sort(fan.begin(), fan.end());
    EXPECT_EQ(fan, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(meshtest::fanAgreesWithCompletedMembers(cloud, 0));
    EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    EXPECT_NEAR(cloud.state.vertices[0].normal.z, 1.0, 1e-12);
}

} // namespace

TEST(EnclosedCompletion, RingOfFansFillsTheCentre) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    EXPECT_FALSE(cloud.state.isEnclosed(0)); // nothing reaches the centre yet
    lattice.completeRings(cloud, {1, 2, 3, 4});
    EXPECT_FALSE(cloud.state.isEnclosed(0)); // the fans leave a gap between 5 and 6
    // Fans of 1 and 5 both hold 6, so the triangles (0, 5, 6) and (0, 6, 1) close the ring.
    lattice.completeRings(cloud, {5});
    ASSERT_TRUE(cloud.state.isEnclosed(0));
    ASSERT_TRUE(cloud.state.fillEnclosedFan(0));
    expectRingFanCompleted(cloud);
}

TEST(EnclosedCompletion, SingleConnectedPointIsNeverFilled) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    // The only owner's fan closes on itself around 0, so its rim has no open end.
    cloud.setFan(1, {0, 2});
    EXPECT_TRUE(cloud.state.isEnclosed(0));
    EXPECT_FALSE(cloud.state.fillEnclosedFan(0));
    EXPECT_EQ(cloud.state.pointState[0], 0);
    EXPECT_EQ(cloud.state.vertices[0].triangleFanCount, 0);
    EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
}

TEST(EnclosedCompletion, FlowMergeOnlyAcrossAJoinedGap) {
    // The edge 5-6 that joins the gap is found in an owner's fan whichever way round that fan
    // runs (6 after 5, or 6 before 5).
    for (const bool reversed : {false, true}) {
        const HexLattice lattice(3);
        TestCloud cloud(lattice.positions);
        lattice.completeRings(cloud, {1, 2, 3, 4});
        // The open ends 5 and 6 are not joined anywhere.
        EXPECT_FALSE(cloud.state.isEnclosed(0));
        EXPECT_FALSE(cloud.state.isFlowMerge(0));
        EXPECT_EQ(cloud.state.pointState[0], 0);
        EXPECT_EQ(cloud.state.vertices[0].triangleFanCount, 0);

        // A completed outer point whose fan holds the edge 5-6 joins them.
        const int32_t q = lattice.index(1, -2);
        ASSERT_GE(q, 0);
        std::vector<int32_t> ringOfQ = lattice.clockwiseRing(q);
        ASSERT_EQ(meshtest::nextIn(ringOfQ, 5), 6);
        if (reversed) {
            std::reverse(ringOfQ.begin(), ringOfQ.end());
        }
        cloud.setFan(q, ringOfQ);
        EXPECT_FALSE(cloud.state.isEnclosed(0));
        ASSERT_TRUE(cloud.state.isFlowMerge(0)) << reversed;
        expectRingFanCompleted(cloud);
    }
}

TEST(EnclosedCompletion, LayerPassClosesTheCentreFromNeighbourFans) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    lattice.completeRings(cloud, {1, 2, 3, 4, 5});
    cloud.state.closeFromNeighbourFans();
    expectRingFanCompleted(cloud);
    EXPECT_EQ(cloud.state.completionOrder, (std::vector<int32_t>{0}));
    EXPECT_EQ(cloud.state.completedCount, 1);
}

TEST(EnclosedCompletion, EveryMemberIsTriedForAFlipAfterTheFanIsRead) {
    // The centre's fan is read as 2 1 6 5 4 3. Members 1 and 6 stick out far to the right,
    // so the edge 0-1 flips to 2-6, after which 0-6 flips to 2-5; 6 has moved into 1's
    // place in the fan by then but must still be tried.
    auto polar = [](double radius, double degrees) {
        const double t = degrees * M_PI / 180.0;
        return Vector3(radius * std::cos(t), radius * std::sin(t), 0.0);
    };
    const HexLattice lattice(2);
    std::vector<Vector3> positions = lattice.positions;
    positions[1] = polar(2.5, 15.0);
    positions[5] = polar(1.0, 300.0);
    positions[6] = polar(2.5, 345.0);
    for (const bool fromLayerPass : {false, true}) {
        TestCloud cloud(positions);
        lattice.completeRings(cloud, {1, 2, 3, 4, 5});
        if (fromLayerPass) {
            cloud.state.closeFromNeighbourFans();
        } else {
            ASSERT_TRUE(cloud.state.fillEnclosedFan(0));
        }
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{2, 5, 4, 3})) << fromLayerPass;
        EXPECT_EQ(meshtest::nextIn(cloud.fan(2), 5), 0) << fromLayerPass; // 2 took both new edges
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
}

TEST(EnclosedCompletion, RimEntriesAreOpenExactlyWhenTheirPointOccursOnce) {
    // Rims of every point of a patch, one after the other, while fans are broken up: an end
    // entry is open exactly when no other entry of the same rim names its point (counted
    // here over the list itself), whatever rims were built before.
    const HexLattice lattice(3);
    TestCloud cloud(lattice.positions);
    lattice.completeRings(cloud, 0, 19);
    ReconstructionState& state = cloud.state;
    int openSeen = 0;
    for (int round = 0; round < 3; ++round) {
        for (int32_t p = 0; p < cloud.size(); ++p) {
            state.buildRimList(p);
            const auto& rim = state.rimList;
            for (size_t i = 0; i < rim.size(); ++i) {
                const auto occurrences =
                    std::count_if(rim.begin(), rim.end(),
                                  [&](const auto& other) { return other.point == rim[i].point; });
                const bool open = rim[i].kind != 0 && occurrences == 1;
                ASSERT_EQ(state.rimEntryOpen(i), open) << "round " << round << " point " << p;
                openSeen += open ? 1 : 0;
            }
        }
        // Break fans up: a member dropped from a fan leaves ends that occur once (or -1).
        for (const int32_t p : {3 * round, 3 * round + 1}) {
            cloud.records[p].triangleFanCount -= 2;
        }
    }
    EXPECT_GT(openSeen, 20);
}

TEST(EnclosedCompletion, RememberedRefusalFollowsTheFansAroundThePoint) {
    // The ring around the centre is completed fan by fan, each edit announced as growth
    // announces it. After each step the centre is asked twice: the answer must be that of the
    // rim itself, and a refusal remembered at the first ask must stand at the second only
    // when nothing it read changed.
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    ReconstructionState& state = cloud.state;
    state.startEditWatch(state.pointState.size());
    // Refusals are remembered from a point's second growth with one on.
    EXPECT_FALSE(state.isEnclosed(0));
    EXPECT_FALSE(state.passRefusalStands(ReconstructionState::ENCLOSED_REFUSAL, 0));
    state.growthIndex = 1;
    const auto complete = [&](int32_t p) {
        const std::vector<int32_t> ring = lattice.clockwiseRing(p);
        state.noteEdit(WATCH_FAN, p);
        for (const int32_t member : ring) {
            state.noteEdit(WATCH_LINKS, member);
        }
        cloud.setFan(p, ring);
    };
    // Per step: the edit, and whether a refusal remembered before it still stands after it.
    const std::vector<std::pair<std::function<void()>, bool>> steps{
        {[] {}, false},
        {[&] { complete(1); }, false}, // a new owner of the centre
        {[&] { complete(2); }, false},
        {[&] { state.updatePointNormal(3); }, true}, // nothing the rim reads
        {[&] { state.setPointState(2, 0); }, true},  // neither
        {[&] { complete(3); }, false},
        {[&] { complete(4); }, false},
        {[&] { complete(5); }, false}, // closes the ring
    };
    for (size_t step = 0; step < steps.size(); ++step) {
        steps[step].first();
        const bool stood = state.passRefusalStands(ReconstructionState::ENCLOSED_REFUSAL, 0);
        EXPECT_EQ(stood, steps[step].second && step > 0) << "step " << step;
        for (int ask = 0; ask < 2; ++ask) {
            const bool expected = state.rimEncloses(0);
            ASSERT_EQ(state.isEnclosed(0), expected) << "step " << step;
            EXPECT_EQ(expected, step + 1 == steps.size()) << "step " << step;
            EXPECT_EQ(state.passRefusalStands(ReconstructionState::ENCLOSED_REFUSAL, 0), !expected);
        }
    }
}

TEST(EnclosedCompletion, RememberedFlowMergeRefusalFollowsTheGapAndItsEnds) {
    // Rings 1 to 4 leave the centre one gap whose ends, 5 and 6, are not joined. A refusal
    // remembered at the first ask must stand at the second only while nothing it read has
    // changed: the rim, and at the gap the ends' states and the first end's owners.
    const HexLattice lattice(3);
    TestCloud cloud(lattice.positions);
    ReconstructionState& state = cloud.state;
    lattice.completeRings(cloud, {1, 2, 3, 4});
    state.startEditWatch(state.pointState.size());
    const auto stands = [&] {
        return state.passRefusalStands(ReconstructionState::FLOW_MERGE_REFUSAL, 0);
    };
    // Refusals are remembered from a point's second growth with one on.
    EXPECT_FALSE(state.isFlowMergeRemembered(0));
    EXPECT_FALSE(stands());
    state.growthIndex = 1;
    const int32_t q = lattice.index(1, -2); // an outer point whose ring holds the edge 5-6
    ASSERT_GE(q, 0);
    // Per step: the edit, and whether the refusal remembered before it still stands after it.
    const std::vector<std::pair<std::function<void()>, bool>> steps{
        {[] {}, true},
        {[&] { state.updatePointNormal(3); }, true}, // nothing the refusal reads
        {[&] { state.setPointState(5, 1); }, false}, // an end's state
        {[&] { state.setPointState(5, 0); }, false},
        {[&] { state.setPointState(6, 1); }, false}, // the other end's
        {[&] { state.setPointState(6, 0); }, false},
        {[&] { state.setPointState(q, 1); }, true}, // not read: q holds neither end yet
        {[&] {
             // q's fan joins the ends: the first end gains an owner.
             const std::vector<int32_t> ring = lattice.clockwiseRing(q);
             state.noteEdit(WATCH_FAN, q);
             for (const int32_t member : ring) {
                 state.noteEdit(WATCH_LINKS, member);
             }
             cloud.setFan(q, ring);
         },
         false},
    };
    EXPECT_FALSE(state.isFlowMergeRemembered(0));
    for (size_t step = 0; step < steps.size(); ++step) {
        steps[step].first();
        EXPECT_EQ(stands(), steps[step].second) << "step " << step;
        const bool last = step + 1 == steps.size();
        ASSERT_EQ(state.isFlowMergeRemembered(0), last) << "step " << step;
        EXPECT_EQ(stands(), !last) << "step " << step;
    }
    expectRingFanCompleted(cloud);
}
