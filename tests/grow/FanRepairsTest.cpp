// Fan repairs before acceptance: folded members and missed neighbours.
#include <gtest/gtest.h>

#include <cmath>

#include "support/MeshInvariants.h"

namespace {

using meshtest::TestCloud;

TEST(FanRepairs, FoldedMemberIsRemovedByTheSignOfItsFolds) {
    // Fan 1..5 around 0 turns back at member 4; lifting 4 above or below the plane makes
    // the fold fall (+157 to -148 degrees: member 4 goes) or rise (-157 to +148: member 3).
    for (const double lift : {0.3, -0.3}) {
        TestCloud cloud(
            {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {-0.7, 0.7, lift}, {0, -1, 0}});
        cloud.setFan(0, {1, 2, 3, 4, 5});
        ReconstructionState& state = cloud.state;
        const double before = state.foldAngle(0, 2, 3, 4);
        const double after = state.foldAngle(0, 3, 4, 5);
        EXPECT_GT(std::fabs(before), 150.0);
        EXPECT_LT(before * after, 0.0);
        EXPECT_DOUBLE_EQ(state.foldAngle(0, 5, 1, 2), 0.0);
        state.removeFoldedFanPoints(0);
        const std::vector<int32_t> expected =
            lift > 0 ? std::vector<int32_t>{1, 2, 3, 5} : std::vector<int32_t>{1, 2, 4, 5};
        EXPECT_EQ(cloud.fan(0), expected);
        EXPECT_TRUE(meshtest::fanLinksConsistent(state));
    }
    // A flat fan keeps every member.
    TestCloud flat({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}});
    flat.setFan(0, {1, 2, 3, 4});
    flat.state.removeFoldedFanPoints(0);
    EXPECT_EQ(flat.fan(0).size(), 4u);
}

// Centre 0 with the hexagon 1..6 of radius 2; 7 lies inside the triangle (0, 1, 2) and is
// bordered by the fan of 8, which lies outside beyond the edge 1-2.
struct MissedNeighbourMesh {
    TestCloud cloud;
    static std::vector<Vector3> points() {
        std::vector<Vector3> result{{0, 0, 0}};
        for (int i = 0; i < 6; ++i) {
            result.push_back({2 * std::cos(i * M_PI / 3), 2 * std::sin(i * M_PI / 3), 0});
        }
        result.push_back({1.0, 0.6, 0});
        result.push_back({2.2, 1.4, 0});
        return result;
    }
    MissedNeighbourMesh(bool firstCompleted, bool secondCompleted) : cloud(points()) {
        cloud.setFan(0, {1, 2, 3, 4, 5, 6});
        cloud.setFan(8, {7, 2});
        cloud.records[8].normal = Vector3(0, 0, -1); // fans here turn counter-clockwise
        cloud.state.setPointState(1, firstCompleted ? 1 : 0);
        cloud.state.setPointState(2, secondCompleted ? 1 : 0);
    }
};

TEST(FanRepairs, MissedNeighbourGoesIntoTheTriangleItLiesOver) {
    const struct {
        bool first, second;
        std::vector<int32_t> fan;
    } cases[] = {
        {false, false, {1, 7, 2, 3, 4, 5, 6}},
        {true, true, {1, 7, 2, 3, 4, 5, 6}},
        {true, false, {1, 2, 7, 3, 4, 5, 6}},
        {false, true, {1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& c : cases) {
        MissedNeighbourMesh mesh(c.first, c.second);
        EXPECT_TRUE(mesh.cloud.state.insertMissedNeighbours(0));
        EXPECT_EQ(mesh.cloud.fan(0), c.fan) << c.first << c.second;
        EXPECT_TRUE(meshtest::fanLinksConsistent(mesh.cloud.state));
    }
}

TEST(FanRepairs, MissedNeighbourSkippedOrRefused) {
    {
        MissedNeighbourMesh mesh(false, false);
        mesh.cloud.state.setPointState(7, 1); // completed
        EXPECT_TRUE(mesh.cloud.state.insertMissedNeighbours(0));
        EXPECT_EQ(mesh.cloud.fan(0).size(), 6u);
    }
    {
        TestCloud cloud(MissedNeighbourMesh::points());
        cloud.setFan(0, {1, 2, 3, 4, 5, 6}); // 7 has no links
        EXPECT_TRUE(cloud.state.insertMissedNeighbours(0));
        EXPECT_EQ(cloud.fan(0).size(), 6u);
    }
    {
        // A link from 7 to a point across the far side of the fan crosses its edges.
        std::vector<Vector3> points = MissedNeighbourMesh::points();
        points[8] = Vector3(-3, 0.5, 0);
        TestCloud cloud(points);
        cloud.setFan(0, {1, 2, 3, 4, 5, 6});
        cloud.setFan(8, {7, 4});
        cloud.records[8].normal = Vector3(0, 0, -1);
        EXPECT_FALSE(cloud.state.insertMissedNeighbours(0));
        EXPECT_EQ(cloud.fan(0).size(), 6u);
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
}

} // namespace
