// Edge flipping on small hand-made meshes in the plane z = 0.
#include <gtest/gtest.h>

#include <cmath>

#include "support/MeshInvariants.h"

namespace {

using meshtest::TestCloud;

// Two triangles (a, p, b) and (a, b, n) of the unit square split by the diagonal a-b, with
// every corner completed and its fan holding exactly its triangles of the square.
struct SquareMesh {
    enum { a = 0, p = 1, b = 2, n = 3 };
    TestCloud cloud{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}};
    // pAgrees false gives p a fan in which b is not followed by a.
    explicit SquareMesh(bool pAgrees = true) {
        cloud.setFan(a, {p, b, n});
        if (pAgrees) {
            cloud.setFan(p, {b, a});
        } else {
            cloud.setFan(p, {a, n, b});
        }
        cloud.setFan(b, {n, a, p});
        cloud.setFan(n, {a, b});
    }
};

// A quadrilateral (a, p, b, n) whose angle at a is twice halfAngle degrees, closed by a
// far corner b on the x axis; only a is completed.
std::vector<Vector3> kite(double halfAngle) {
    const double r = halfAngle * M_PI / 180.0;
    return {{0, 0, 0}, {std::cos(r), -std::sin(r), 0}, {10, 0, 0}, {std::cos(r), std::sin(r), 0}};
}

TEST(EdgeFlipping, SquareDiagonalIsFlippedAndAllFansFollow) {
    SquareMesh mesh;
    ReconstructionState& state = mesh.cloud.state;
    EXPECT_TRUE(state.tryFlip(SquareMesh::a, SquareMesh::b));
    EXPECT_EQ(mesh.cloud.fan(SquareMesh::a), (std::vector<int32_t>{SquareMesh::p, SquareMesh::n}));
    EXPECT_EQ(mesh.cloud.fan(SquareMesh::p),
              (std::vector<int32_t>{SquareMesh::b, SquareMesh::n, SquareMesh::a}));
    EXPECT_EQ(mesh.cloud.fan(SquareMesh::n),
              (std::vector<int32_t>{SquareMesh::a, SquareMesh::p, SquareMesh::b}));
    EXPECT_EQ(mesh.cloud.fan(SquareMesh::b), (std::vector<int32_t>{SquareMesh::n, SquareMesh::p}));
    EXPECT_TRUE(meshtest::fanLinksConsistent(state));
    EXPECT_TRUE(meshtest::everyFanMemberLinked(state));
}

TEST(EdgeFlipping, RefusedFlipsLeaveTheMeshUntouched) {
    // An existing edge p-n would be created twice.
    {
        SquareMesh mesh;
        ReconstructionState& state = mesh.cloud.state;
        mesh.cloud.setFan(SquareMesh::p, {SquareMesh::b, SquareMesh::a, SquareMesh::n});
        const auto before = mesh.cloud.fan(SquareMesh::a);
        EXPECT_FALSE(state.flipEdge(SquareMesh::a, SquareMesh::b));
        EXPECT_EQ(mesh.cloud.fan(SquareMesh::a), before);
    }
    // Quad angle at a: 148 degrees flips, 152 degrees never does.
    {
        TestCloud cloud(kite(74.0));
        cloud.setFan(0, {1, 2, 3});
        EXPECT_TRUE(cloud.state.tryFlip(0, 2));
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
    {
        TestCloud cloud(kite(76.0));
        cloud.setFan(0, {1, 2, 3});
        EXPECT_FALSE(cloud.state.tryFlip(0, 2));
        EXPECT_FALSE(cloud.state.flipEdge(0, 2));
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 2, 3}));
    }
    // The same wide angle at the other end b of the diagonal.
    {
        TestCloud cloud(kite(76.0));
        cloud.setFan(2, {3, 0, 1});
        EXPECT_FALSE(cloud.state.flipEdge(2, 0));
        EXPECT_EQ(cloud.fan(2), (std::vector<int32_t>{3, 0, 1}));
    }
    // A non-convex quad (reflex corner at b) stays as it is.
    {
        TestCloud cloud({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.5, 2, 0}});
        cloud.setFan(0, {1, 2, 3});
        EXPECT_FALSE(cloud.state.tryFlip(0, 2));
        EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 2, 3}));
    }
    // A flip that would worsen the smallest angle (regular hexagon around a).
    {
        std::vector<Vector3> points{{0, 0, 0}};
        for (int i = 0; i < 6; ++i) {
            points.push_back({std::cos(i * M_PI / 3), std::sin(i * M_PI / 3), 0});
        }
        TestCloud cloud(points);
        cloud.setFan(0, {1, 2, 3, 4, 5, 6});
        for (int32_t m = 1; m <= 6; ++m) {
            EXPECT_FALSE(cloud.state.tryFlip(0, m));
        }
        EXPECT_EQ(cloud.fan(0).size(), 6u);
    }
    // Edges that are not fan edges, or fans too small to hold a quadrilateral.
    {
        SquareMesh mesh;
        EXPECT_FALSE(mesh.cloud.state.tryFlip(SquareMesh::p, SquareMesh::n));
        EXPECT_FALSE(mesh.cloud.state.flipEdge(SquareMesh::n, SquareMesh::b));
        EXPECT_TRUE(meshtest::fanLinksConsistent(mesh.cloud.state));
    }
}

// Centre 0 with four entries at 0, 60, 120 and 240 degrees; entry 2 lies far out, so that
// only the edge to it (sectors of 60 + 60 degrees) can be flipped.
std::vector<Vector3> fourEntryFan() {
    auto at = [](double degrees, double radius) {
        const double r = degrees * M_PI / 180.0;
        return Vector3(radius * std::cos(r), radius * std::sin(r), 0.0);
    };
    return {{0, 0, 0}, at(0, 1), at(60, 3), at(120, 1), at(240, 1)};
}

TEST(EdgeFlipping, FlipStepOnAFanOfFourMakesOneAttempt) {
    TestCloud cloud(fourEntryFan());
    cloud.setFan(0, {1, 2, 3, 4});
    cloud.state.flipStep(0);
    EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    // The edge to entry 1 was flippable all along.
    EXPECT_TRUE(cloud.state.tryFlip(0, 2));
    EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 3, 4}));
}

TEST(EdgeFlipping, FlipAroundPointChecksNeighbourFans) {
    // Completed p whose fan does not continue a's across the edge: the edge stays.
    SquareMesh mesh(false);
    ReconstructionState& state = mesh.cloud.state;
    state.flipEdgeChecked(SquareMesh::a, SquareMesh::b);
    EXPECT_EQ(state.indexInFan(SquareMesh::a, SquareMesh::b), 1);
    EXPECT_TRUE(meshtest::fanLinksConsistent(state));

    // Agreeing fans: the diagonal is flipped and a's normal recomputed.
    SquareMesh agreeing;
    agreeing.cloud.state.flipAroundPoint(SquareMesh::a);
    EXPECT_EQ(agreeing.cloud.fan(SquareMesh::a),
              (std::vector<int32_t>{SquareMesh::p, SquareMesh::n}));
    EXPECT_TRUE(meshtest::fanLinksConsistent(agreeing.cloud.state));
}

TEST(EdgeFlipping, NearEdgePointIsInsertedIntoBothTriangles) {
    // Fan of 0 around the square; 6 lies on the edge 1-2 at about 5 degrees from both ends;
    // 5 owns the triangle (5, 2, 1) beyond that edge.
    for (const double offset : {0.08, 0.4}) {
        TestCloud cloud({{0, 0, 0},
                         {2, -2, 0},
                         {2, 2, 0},
                         {-2, 2, 0},
                         {-2, -2, 0},
                         {4, 0, 0},
                         {2 + offset, 0, 0}});
        cloud.setFan(0, {1, 2, 3, 4});
        cloud.setFan(5, {2, 1});
        cloud.state.insertNearEdgePoints(0);
        const bool inserted = offset < 0.1;
        const std::vector<int32_t> centreFan =
            inserted ? std::vector<int32_t>{1, 6, 2, 3, 4} : std::vector<int32_t>{1, 2, 3, 4};
        const std::vector<int32_t> farFan =
            inserted ? std::vector<int32_t>{2, 6, 1} : std::vector<int32_t>{2, 1};
        EXPECT_EQ(cloud.fan(0), centreFan);
        EXPECT_EQ(cloud.fan(5), farFan);
        EXPECT_TRUE(meshtest::fanLinksConsistent(cloud.state));
    }
}

} // namespace
