// Fan editing: range and entry replacement (also across the end of the list), refused
// insertions, lookups at the edges of a fan, the fan normal and the link invariants.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/Geometry.h"
#include "support/MeshInvariants.h"

namespace {

using meshtest::fanLinksConsistent;
using meshtest::TestCloud;

// Point 0 at the origin, then `ring` points on the unit circle (counter-clockwise seen
// from +z), then `extra` further points above the plane.
std::vector<Vector3> ringCloud(int ring, int extra) {
    std::vector<Vector3> points{Vector3(0.0, 0.0, 0.0)};
    for (int i = 0; i < ring; ++i) {
        const double angle = 2.0 * M_PI * i / ring;
        points.emplace_back(std::cos(angle), std::sin(angle), 0.0);
    }
    for (int i = 0; i < extra; ++i) {
        points.emplace_back(0.1 * i, 0.2, 1.0 + i);
    }
    return points;
}

// Fills the fan of point 0 with the ring points 1..ring through the editing operations.
void fillRingFan(TestCloud& cloud, int ring) {
    cloud.state.setPointState(0, 1);
    for (int i = 1; i <= ring; ++i) {
        ASSERT_TRUE(cloud.state.insertIntoFan(0, cloud.records[0].triangleFanCount - 1, i));
    }
}

std::vector<int32_t> links(const TestCloud& cloud, int32_t p) {
    return cloud.records[p].connectedPoints;
}

} // namespace

TEST(FanEditing, ReplaceRangeInsideAndAcrossTheEnd) {
    // Positions 0..7 hold points 1..8; the entries strictly between the two positions give
    // way to point 9 (across the end for (6, 1)).
    const struct {
        int32_t from, to, result;
        std::vector<int32_t> fan, unlinked;
    } cases[] = {
        {2, 5, 3, {1, 2, 3, 9, 6, 7, 8}, {4, 5}},
        {6, 1, 5, {2, 3, 4, 5, 6, 7, 9}, {1, 8}},
    };
    for (const auto& c : cases) {
        TestCloud cloud(ringCloud(8, 1));
        fillRingFan(cloud, 8);
        EXPECT_EQ(cloud.state.replaceFanRange(0, c.from, c.to, 9), c.result);
        EXPECT_EQ(cloud.fan(0), c.fan);
        for (const int32_t m : c.unlinked) {
            EXPECT_TRUE(links(cloud, m).empty()) << m;
        }
        EXPECT_EQ(links(cloud, 9), std::vector<int32_t>{0});
        EXPECT_TRUE(fanLinksConsistent(cloud.state));
    }
    // Replacing an entry in a fan of three keeps its place; an absent key changes nothing.
    TestCloud cloud(ringCloud(4, 0));
    fillRingFan(cloud, 3);
    EXPECT_EQ(cloud.state.replaceFanEntry(0, 2, 4), 1);
    EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 4, 3}));
    EXPECT_EQ(cloud.state.replaceFanEntry(0, 2, 4), -1);
    EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 4, 3}));
    EXPECT_TRUE(fanLinksConsistent(cloud.state));
}

TEST(FanEditing, RefusedInsertionsChangeNothing) {
    {
        TestCloud cloud(ringCloud(4, 0));
        fillRingFan(cloud, 3);
        const Vector3 normal = cloud.records[0].normal;
        EXPECT_FALSE(cloud.state.insertIntoFan(0, 0, 2));
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 2, 3}));
        EXPECT_EQ(links(cloud, 2), std::vector<int32_t>{0});
        EXPECT_EQ(cloud.records[0].normal.z, normal.z);
        // A position outside the fan is refused as well.
        EXPECT_FALSE(cloud.state.insertIntoFan(0, 5, 4));
        EXPECT_TRUE(links(cloud, 4).empty());
    }
    {
        TestCloud cloud(ringCloud(MAX_FAN_SIZE + 1, 0));
        fillRingFan(cloud, MAX_FAN_SIZE);
        ASSERT_EQ(cloud.records[0].triangleFanCount, MAX_FAN_SIZE);
        const int32_t extra = MAX_FAN_SIZE + 1;
        EXPECT_FALSE(cloud.state.insertIntoFan(0, 3, extra));
        EXPECT_FALSE(cloud.state.insertIntoFan(0, MAX_FAN_SIZE - 1, extra));
        EXPECT_EQ(cloud.records[0].triangleFanCount, MAX_FAN_SIZE);
        EXPECT_TRUE(links(cloud, extra).empty());
        // Replacing a single entry of a full fan still works: one removal, one insertion.
        EXPECT_EQ(cloud.state.replaceFanEntry(0, 5, extra), 4);
        EXPECT_EQ(cloud.records[0].triangleFanCount, MAX_FAN_SIZE);
        EXPECT_TRUE(fanLinksConsistent(cloud.state));
    }
}

TEST(FanEditing, LookupsAtTheEdgesOfAFan) {
    TestCloud cloud(ringCloud(4, 1));
    ReconstructionState& state = cloud.state;
    // Empty fan: no entry to return anywhere.
    EXPECT_EQ(state.nextInFan(0, 1), -1);
    EXPECT_EQ(state.prevInFan(0, 1), -1);
    EXPECT_EQ(state.fanSectorStart(0, Vector3(1.0, 1.0, 0.0)), -1);
    EXPECT_EQ(state.insertionAnchor(0, 5), -1);

    cloud.setFan(0, {1, 2, 3, 4});
    cloud.records[0].normal = Vector3(0.0, 0.0, -1.0);
    EXPECT_EQ(state.nextInFan(0, 4), 1);
    EXPECT_EQ(state.nextInFan(0, 5), 1); // absent key: first entry
    EXPECT_EQ(state.prevInFan(0, 1), 4);
    EXPECT_EQ(state.prevInFan(0, 5), -1);
    EXPECT_EQ(state.indexInFan(0, 3), 2);
    // The diagonal direction (-1, 1) lies in the wedge between (0,1) and (-1,0).
    EXPECT_EQ(state.fanSectorStart(0, Vector3(-0.5, 0.6, 0.0)), 2);
    EXPECT_EQ(state.insertionAnchor(0, 3), 2);

    // Apex of an edge: from the accepted fan of p, else from the fan of q, else from the
    // owners listed in p's links.
    EXPECT_EQ(state.triangleApex(-1, 0, 2), 1);
    EXPECT_EQ(state.triangleApex(-1, 2, 0), 3);
    EXPECT_EQ(state.triangleApex(-1, 1, 2), -1);
    cloud.setFan(3, {4, 2, 0}, false);
    EXPECT_EQ(state.triangleApex(-1, 2, 4), 3);
    EXPECT_EQ(state.triangleApex(3, 2, 4), -1);

    // Both entries beside a key with one look-up: as prevInFan and nextInFan, for every key
    // of fans of one to four entries, an absent key and an empty fan.
    cloud.setFan(2, {}, false);
    cloud.setFan(1, {3}, false);
    cloud.setFan(4, {0, 2}, false);
    for (const int32_t p : {0, 1, 2, 3, 4}) {
        for (int32_t key = 0; key <= 5; ++key) {
            int32_t before = -2;
            int32_t after = -2;
            state.fanEntriesBeside(p, key, before, after);
            EXPECT_EQ(before, state.prevInFan(p, key)) << p << " " << key;
            EXPECT_EQ(after, state.nextInFan(p, key)) << p << " " << key;
        }
    }
}

TEST(FanEditing, NormalAndWorkingFanFollowEveryEdit) {
    TestCloud cloud(ringCloud(4, 1));
    cloud.state.setPointState(0, 1);
    ASSERT_TRUE(cloud.state.insertIntoFan(0, -1, 3));
    ASSERT_TRUE(cloud.state.insertIntoFan(0, -1, 1));
    ASSERT_TRUE(cloud.state.insertIntoFan(0, 0, 2));
    ASSERT_TRUE(cloud.state.insertIntoFan(0, 2, 4));
    EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_NEAR(difference(cloud.records[0].normal, Vector3(0, 0, -1)).length(), 0.0, 1e-12);
    EXPECT_TRUE(fanLinksConsistent(cloud.state));

    cloud.state.removeFromFan(0, 7); // beyond the end: ignored
    cloud.state.removeFromFan(0, -1);
    EXPECT_EQ(cloud.fan(0).size(), 4u);
    cloud.state.removeFromFan(0, 0);
    EXPECT_EQ(cloud.records[0].currentTriangleFan, (std::vector<int32_t>{2, 3, 4}));
    EXPECT_TRUE(links(cloud, 1).empty());
    EXPECT_TRUE(fanLinksConsistent(cloud.state));
}
