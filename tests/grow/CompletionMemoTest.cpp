// Remembered refusals of the completion chain: a repeat on unchanged inputs gets the
// attempt's whole effect without running it, and a change of anything it read runs it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "support/HexLattice.h"

using meshtest::HexLattice;
using meshtest::TestCloud;

namespace {

// How far beneath the rough dome the smooth one of the second growth lies, in spacings.
constexpr double SHEET_GAP = 1.5;

bool sameBits(const Vector3& a, const Vector3& b) {
    return std::memcmp(&a, &b, sizeof(Vector3)) == 0;
}

// The layers of growth on positions from a fan at point 0 (the centre of lattice), with the
// edit watch (refusals remembered and replayed) and without (every attempt run): both must
// leave the same records behind, bit for bit. Returns the number of replayed refusals by the
// final convexity test.
int64_t expectSameGrowth(const HexLattice& lattice, const std::vector<Vector3>& positions) {
    std::vector<std::unique_ptr<TestCloud>> clouds;
    for (const bool watched : {true, false}) {
        clouds.push_back(std::make_unique<TestCloud>(positions));
        TestCloud& cloud = *clouds.back();
        ReconstructionState& state = cloud.state;
        cloud.setFan(0, lattice.clockwiseRing(0));
        state.completionOrder = {0};
        state.completedCount = 1;
        if (watched) {
            state.startEditWatch(static_cast<size_t>(cloud.size()));
        }
        for (int32_t layer = 0; layer < 10; ++layer) {
            state.processLayer(layer % 2 == 1);
            state.completeFlowMergedPoints();
            state.closeFromNeighbourFans();
        }
    }
    const TestCloud& remembered = *clouds[0];
    const TestCloud& plain = *clouds[1];
    EXPECT_GT(remembered.state.attemptReplays, 0);
    EXPECT_EQ(plain.state.attemptReplays, 0);
    EXPECT_GT(remembered.state.completedCount, 1);
    EXPECT_EQ(remembered.state.completionOrder, plain.state.completionOrder);
    EXPECT_EQ(remembered.state.withdrawnFanCount, plain.state.withdrawnFanCount);
    for (int32_t p = 0; p < remembered.size(); ++p) {
        const Vertex& a = remembered.records[p];
        const Vertex& b = plain.records[p];
        EXPECT_EQ(remembered.state.pointState[p], plain.state.pointState[p]) << p;
        EXPECT_EQ(remembered.fan(p), plain.fan(p)) << p;
        EXPECT_EQ(a.connectedPoints, b.connectedPoints) << p;
        EXPECT_EQ(a.currentTriangleFan, b.currentTriangleFan) << p;
        EXPECT_TRUE(sameBits(a.normal, b.normal)) << p;
    }
    return remembered.state.finalTestReplays;
}

} // namespace

TEST(CompletionMemo, RepeatIsReplayedUntilSomethingReadChanges) {
    // Point 1 is completed with a fan that leaves the centre out, so the centre's published
    // ring fan finds no agreeing neighbour and the merge refuses it.
    const HexLattice lattice(3);
    TestCloud cloud(lattice.positions);
    ReconstructionState& state = cloud.state;
    std::vector<int32_t> fanOfOne = lattice.clockwiseRing(1);
    fanOfOne.erase(std::find(fanOfOne.begin(), fanOfOne.end(), 0));
    cloud.setFan(1, fanOfOne);
    const std::vector<int32_t> ring = lattice.clockwiseRing(0);
    cloud.records[0].currentTriangleFan = ring;
    state.startEditWatch(static_cast<size_t>(cloud.size()));
    state.creationRejected.assign(static_cast<size_t>(cloud.size()), 0);
    const std::vector<std::vector<int32_t>> linksBefore = [&] {
        std::vector<std::vector<int32_t>> links;
        for (const Vertex& record : cloud.records) {
            links.push_back(record.connectedPoints);
        }
        return links;
    }();

    std::vector<int32_t> working = ring;
    const auto attempt = [&](int64_t replays) {
        state.creationRejected[0] = 0;
        const int64_t withdrawn = state.withdrawnFanCount;
        state.saveFan(0); // as the completion loop does before any chain
        EXPECT_FALSE(state.attemptCompletion(0, state.octree, false));
        EXPECT_EQ(state.attemptReplays, replays);
        EXPECT_EQ(state.creationRejected[0], 1);
        EXPECT_EQ(state.withdrawnFanCount, withdrawn + 1);
        EXPECT_EQ(state.pointState[0], 0);
        EXPECT_EQ(cloud.records[0].triangleFanCount, 0);
        EXPECT_EQ(cloud.records[0].currentTriangleFan, working);
        for (int32_t p = 0; p < cloud.size(); ++p) {
            EXPECT_EQ(cloud.records[p].connectedPoints, linksBefore[p]) << p;
        }
    };
    attempt(0); // the first refusal of a point only marks it
    attempt(0);
    const Vector3 normalAfter = cloud.records[0].normal;
    attempt(1);
    EXPECT_TRUE(sameBits(cloud.records[0].normal, normalAfter));

    // An edit put back before the next look-up, and an edit of a kind nobody read, keep the
    // memo; a real change of a read record or of the point's own inputs runs the attempt.
    Vertex& one = cloud.records[1];
    const Vector3 normalOfOne = one.normal;
    state.noteEdit(WATCH_NORMAL, 1);
    one.normal = Vector3(0.0, 1.0, 0.0);
    one.normal = normalOfOne;
    attempt(2);
    const int32_t far = cloud.size() - 1;
    state.noteEdit(WATCH_NORMAL, far);
    cloud.records[far].normal = Vector3(1.0, 0.0, 0.0);
    attempt(3);
    state.noteEdit(WATCH_NORMAL, 1);
    one.normal = Vector3(0.0, 0.6, 0.8);
    attempt(3);
    attempt(4);
    state.setPointState(far, 1);
    state.setPointState(far, 0);
    attempt(5);
    std::rotate(working.begin(), working.begin() + 1, working.end());
    cloud.records[0].currentTriangleFan = working;
    attempt(5);
    working = ring;
    cloud.records[0].currentTriangleFan = working;
    attempt(5); // the memo holds the turned fan's refusal now
}

TEST(CompletionMemo, GrowthWithRememberedRefusalsMatchesPlainGrowth) {
    // A rough dome whose height jitters by up to 0.6 spacings: many candidates are
    // refused by the merge and its tests, again in every layer.
    const HexLattice lattice(5);
    std::vector<Vector3> positions = lattice.positions;
    uint32_t draw = 12345u;
    for (Vector3& v : positions) {
        draw = draw * 1103515245u + 12345u;
        v.z = -0.03 * (v.x * v.x + v.y * v.y) + 1.2 * (((draw >> 16) & 1023u) / 1023.0 - 0.5);
    }
    expectSameGrowth(lattice, positions);

    // The same dome over a smooth one close beneath it: on the reversed layers rays of fans
    // that pass every other test run into the lower dome, and such refusals are replayed
    // after the test has been run again on the remembered fan.
    std::vector<Vector3> twoSheets = positions;
    for (Vector3 v : lattice.positions) {
        v.z = -SHEET_GAP - 0.03 * (v.x * v.x + v.y * v.y);
        twoSheets.push_back(v);
    }
    EXPECT_GT(expectSameGrowth(lattice, twoSheets), 0);
}
