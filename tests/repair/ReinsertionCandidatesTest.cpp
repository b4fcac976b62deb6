// Which points a later reinsertion pass tries again: those from which a path of the form
// "the point or a neighbour, a link, a fan entry, a fan entry, a link" (each step after
// the first optional) reaches a record a kept insertion edited, and no others.
#include <gtest/gtest.h>

#include "repair/ReinsertionCandidates.h"
#include "support/MeshInvariants.h"

using meshtest::TestCloud;

TEST(ReinsertionCandidates, LaterPassesTryThePointsWhosePathsReachAnEdit) {
    // Entries set by hand (no geometry is read): every point is its own only neighbour
    // except 1 and 11. From 1: neighbour 2, link 3, fan entry 4, fan entry 5, link 6.
    // From 11: neighbour 12, link 13, fan entries 14, 15 and 16 (one fan step too many).
    TestCloud cloud(std::vector<Vector3>(20, Vector3(0.0, 0.0, 0.0)));
    for (int32_t p = 0; p < cloud.size(); ++p) {
        std::fill(cloud.records[p].neighbours, cloud.records[p].neighbours + NEIGHBOUR_COUNT, p);
    }
    cloud.records[1].neighbours[5] = 2;
    cloud.records[11].neighbours[9] = 12;
    const auto fanOf = [&](int32_t p, int32_t member) {
        cloud.records[p].triangleFan.assign(&member, 1);
        cloud.records[p].triangleFanCount = 1;
    };
    cloud.records[2].connectedPoints = {3};
    fanOf(3, 4);
    fanOf(4, 5);
    cloud.records[5].connectedPoints = {6};
    cloud.records[12].connectedPoints = {13};
    fanOf(13, 14);
    fanOf(14, 15);
    fanOf(15, 16);
    const ReconstructionState& state = cloud.state;

    ReinsertionCandidates candidates;
    startReinsertionPass(candidates, state);
    EXPECT_TRUE(mayReinsertNow(candidates, state, 11)); // the first pass tries every point
    noteKeptInsertion(candidates, {6, 16});

    startReinsertionPass(candidates, state);
    EXPECT_TRUE(mayReinsertNow(candidates, state, 1));
    EXPECT_FALSE(mayReinsertNow(candidates, state, 11));
    EXPECT_TRUE(mayReinsertNow(candidates, state, 14));
    EXPECT_FALSE(mayReinsertNow(candidates, state, 7));
    // An edit within the pass counts for the points tried after it.
    noteKeptInsertion(candidates, {15});
    EXPECT_TRUE(mayReinsertNow(candidates, state, 11));

    // The next pass starts from this pass's edits only.
    startReinsertionPass(candidates, state);
    EXPECT_FALSE(mayReinsertNow(candidates, state, 1));
    EXPECT_TRUE(mayReinsertNow(candidates, state, 11));
}
