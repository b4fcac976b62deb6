// Push invalidation of the search memos: which announced edits invalidate a subscribed memo,
// that a record put back as it was invalidates nothing, that the subscriber lists stay small,
// and that the memoised searches, trusted without a walk while valid, answer as the searches
// themselves while the records around them are edited through the growth's operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "support/HexLattice.h"

using meshtest::HexLattice;
using meshtest::PointAbovePatch;
using meshtest::TestCloud;

namespace {

// A fan memo of point 0 (key 0) in the memo table, subscribed to the given reads.
uint32_t subscribeFanMemo(ReconstructionState& state,
                          const std::vector<std::pair<int32_t, uint8_t>>& reads) {
    if (state.fanSearchMemos.find(0) == nullptr) {
        state.fanSearchMemos.insert(0);
    }
    state.watchedReads.begin(state.pointState.size());
    for (const auto& [record, kinds] : reads) {
        state.watchedReads.add(record, kinds);
    }
    const uint32_t token =
        state.subscribeMemo(ReconstructionState::fanMemoId(0), state.watchedReads);
    state.fanSearchMemos.find(0)->entries[0].token = token;
    return token;
}

bool fanMemoValid(ReconstructionState& state) {
    state.flushEdits();
    return state.fanSearchMemos.find(0)->entries[0].token != 0;
}

} // namespace

TEST(EditWatch, OnlyEditsThatChangeWhatAMemoReadInvalidateIt) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    lattice.completeRings(cloud, 0, 7);
    ReconstructionState& state = cloud.state;
    state.startEditWatch(state.pointState.size());

    // Outside a growth no memo gets a token: nothing announces the edits there.
    {
        TestCloud idle(lattice.positions);
        idle.state.watchedReads.begin(idle.state.pointState.size());
        EXPECT_EQ(
            idle.state.subscribeMemo(ReconstructionState::fanMemoId(0), idle.state.watchedReads),
            0u);
    }

    // A fan edited and put back before the flush, and a state set and reset: still valid.
    ASSERT_GT(subscribeFanMemo(state, {{0, WATCH_FAN}, {1, WATCH_STATE}}), 0u);
    const int32_t position = state.indexInFan(0, 1);
    state.removeFromFan(0, position);
    state.insertIntoFan(0, position - 1, 1);
    state.setPointState(1, 0);
    state.setPointState(1, 1);
    EXPECT_TRUE(fanMemoValid(state));
    // An edit of a kind the memo did not read of the record: still valid.
    state.setPointState(0, 0);
    state.updateClosedFanNormal(1);
    EXPECT_TRUE(fanMemoValid(state));
    state.setPointState(0, 1);
    // The fan of 0 really changes: invalid.
    state.removeFromFan(0, position);
    EXPECT_FALSE(fanMemoValid(state));

    // Whether a fan has more than one entry: new entries leave it, emptying it does not.
    ASSERT_GT(subscribeFanMemo(state, {{0, WATCH_FAN_SIZE}}), 0u);
    state.insertIntoFan(0, 0, 1);
    EXPECT_TRUE(fanMemoValid(state));
    state.withdrawFan(0);
    EXPECT_FALSE(fanMemoValid(state));

    // Connected points and the normal are watched as well.
    ASSERT_GT(subscribeFanMemo(state, {{3, WATCH_LINKS}}), 0u);
    state.addConnection(3, 5);
    EXPECT_FALSE(fanMemoValid(state));
    ASSERT_GT(subscribeFanMemo(state, {{2, WATCH_NORMAL}}), 0u);
    std::vector<int32_t>& working = cloud.records[2].currentTriangleFan;
    std::reverse(working.begin(), working.end()); // the normal turns round
    state.updateClosedFanNormal(2);
    EXPECT_FALSE(fanMemoValid(state));
}

TEST(EditWatch, SubscriberListsOfAMuchReadRecordStaySmall) {
    const HexLattice lattice(2);
    TestCloud cloud(lattice.positions);
    lattice.completeRings(cloud, 0, 7);
    ReconstructionState& state = cloud.state;
    state.startEditWatch(state.pointState.size());
    // One memo subscribes to records 1 and 2 again and again; record 2 changes each time, so
    // every earlier subscription is dead, but record 1 never changes.
    for (int round = 0; round < 1000; ++round) {
        ASSERT_GT(subscribeFanMemo(state, {{1, WATCH_STATE}, {2, WATCH_STATE}}), 0u);
        state.setPointState(2, static_cast<uint8_t>(round % 2));
        EXPECT_FALSE(fanMemoValid(state));
    }
    const EditWatch& watch = state.editWatch;
    EXPECT_LE(watch.lists[static_cast<size_t>(watch.listOf[1])].subscribers.size(), 16u);
    EXPECT_LE(watch.lists[static_cast<size_t>(watch.listOf[2])].subscribers.size(), 1u);
}

TEST(EditWatch, RememberedCoveringSearchUnderTheWatchFollowsEveryEdit) {
    // Point 37 over the triangle (0, 1, 2) of a completed patch. The fans, normals, links and
    // states around it are edited through the growth's operations; after each edit the
    // remembered search, which trusts a valid memo without walking its inputs, must answer
    // as the search itself.
    PointAbovePatch patch;
    TestCloud& cloud = patch.cloud;
    ReconstructionState& state = cloud.state;
    state.startEditWatch(state.pointState.size());
    const std::vector<std::function<void()>> changes{
        [] {},
        [&] { state.updatePointNormal(0); },
        [&] { state.removeFromFan(0, state.indexInFan(0, 1)); },
        [&] { state.withdrawFan(1); },
        [&] { state.setPointState(2, 0); },
        [&] { state.setPointState(2, 1); },
        [&] {
            cloud.records[1].currentTriangleFan = {0, 6, 7, 8, 9, 2};
            state.publishFan(1, false);
        },
        [&] { state.setPointState(1, 1); },
        [&] { state.withdrawFan(0); },
    };
    std::set<std::vector<int32_t>> answers;
    int64_t replays = 0;
    for (size_t step = 0; step < changes.size(); ++step) {
        changes[step]();
        for (int ask = 0; ask < 3; ++ask) {
            int32_t o = -1, t = -1, v = -1, eo = -1, et = -1, ev = -1;
            double distance = 0.0, expectedDistance = 0.0;
            const bool valid =
                state.coverMemos.find(37) != nullptr && state.coverMemos.find(37)->token != 0;
            const bool found = state.findCoveringTriangleRemembered(37, o, t, v, distance);
            const bool expected = state.findCoveringTriangle(37, eo, et, ev, expectedDistance);
            ASSERT_EQ(found, expected) << "step " << step;
            if (expected) {
                ASSERT_EQ(std::vector<int32_t>({o, t, v}), std::vector<int32_t>({eo, et, ev}))
                    << "step " << step;
                ASSERT_EQ(std::memcmp(&distance, &expectedDistance, sizeof(double)), 0);
            }
            replays += valid ? 1 : 0;
            answers.insert(expected ? std::vector<int32_t>{eo, et, ev} : std::vector<int32_t>{});
        }
    }
    // The edits change the answer, and valid memos answered many of the asks.
    EXPECT_GE(answers.size(), 3u);
    EXPECT_GE(replays, 8);
}
