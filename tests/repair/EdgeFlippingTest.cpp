// Edge flipping on small hand-made meshes in the plane z = 0.
#include <gtest/gtest.h>

#include <cmath>

#include "support/MeshInvariants.h"

namespace {

using meshtest::fanLinksConsistent;
using meshtest::TestCloud;
using Fan = std::vector<int32_t>;

// Two triangles (a, p, b) and (a, b, n) of the unit square split by the diagonal a-b, with
// every corner completed and its fan holding exactly its triangles of the square; with
// pAgrees false, p's fan does not have b followed by a.
constexpr int32_t a = 0, p = 1, b = 2, n = 3;
struct SquareMesh {
    TestCloud cloud{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}};
    explicit SquareMesh(bool pAgrees = true) {
        cloud.setFan(a, {p, b, n});
        cloud.setFan(p, pAgrees ? Fan{b, a} : Fan{a, n, b});
        cloud.setFan(b, {n, a, p});
        cloud.setFan(n, {a, b});
    }
};

// A quadrilateral (0, 1, 2, 3) whose angle at 0 is twice halfAngle degrees, closed by a far
// corner 2 on the x axis.
std::vector<Vector3> kite(double halfAngle) {
    const double r = halfAngle * M_PI / 180.0;
    return {{0, 0, 0}, {std::cos(r), -std::sin(r), 0}, {10, 0, 0}, {std::cos(r), std::sin(r), 0}};
}

Vector3 polar(double degrees, double radius) {
    const double r = degrees * M_PI / 180.0;
    return Vector3(radius * std::cos(r), radius * std::sin(r), 0.0);
}

TEST(EdgeFlipping, SquareDiagonalIsFlippedAndAllFansFollow) {
    SquareMesh mesh;
    EXPECT_TRUE(mesh.cloud.state.tryFlip(a, b));
    EXPECT_EQ(mesh.cloud.fan(a), (Fan{p, n}));
    EXPECT_EQ(mesh.cloud.fan(p), (Fan{b, n, a}));
    EXPECT_EQ(mesh.cloud.fan(n), (Fan{a, p, b}));
    EXPECT_EQ(mesh.cloud.fan(b), (Fan{n, p}));
    EXPECT_TRUE(fanLinksConsistent(mesh.cloud.state));

    // Through flipAroundPoint the same flip happens; a completed p whose fan does not
    // continue a's across the edge keeps it.
    SquareMesh agreeing;
    agreeing.cloud.state.flipAroundPoint(a);
    EXPECT_EQ(agreeing.cloud.fan(a), (Fan{p, n}));
    EXPECT_TRUE(fanLinksConsistent(agreeing.cloud.state));
    SquareMesh disagreeing(false);
    disagreeing.cloud.state.flipEdgeChecked(a, b);
    EXPECT_EQ(disagreeing.cloud.state.indexInFan(a, b), 1);
    EXPECT_TRUE(fanLinksConsistent(disagreeing.cloud.state));

    // Quad angle at a: 148 degrees flips.
    TestCloud kiteCloud(kite(74.0));
    kiteCloud.setFan(0, {1, 2, 3});
    EXPECT_TRUE(kiteCloud.state.tryFlip(0, 2));
    EXPECT_TRUE(fanLinksConsistent(kiteCloud.state));
}

TEST(EdgeFlipping, RefusedFlipsLeaveTheMeshUntouched) {
    // An existing edge p-n would be created twice.
    SquareMesh twice;
    twice.cloud.setFan(p, {b, a, n});
    EXPECT_FALSE(twice.cloud.state.flipEdge(a, b));
    EXPECT_EQ(twice.cloud.fan(a), (Fan{p, b, n}));
    // Edges that are not fan edges, or fans too small to hold a quadrilateral.
    SquareMesh square;
    EXPECT_FALSE(square.cloud.state.tryFlip(p, n));
    EXPECT_FALSE(square.cloud.state.flipEdge(n, b));
    EXPECT_TRUE(fanLinksConsistent(square.cloud.state));

    // A 152-degree quad angle at either end of the diagonal, a non-convex quad (reflex
    // corner at 2) and a flip that would worsen the smallest angle (regular hexagon).
    std::vector<Vector3> hexagon{{0, 0, 0}};
    for (int i = 0; i < 6; ++i) {
        hexagon.push_back(polar(60.0 * i, 1.0));
    }
    const struct {
        std::vector<Vector3> points;
        int32_t owner;
        Fan fan;
        std::vector<int32_t> ends;
        bool viaTry, viaFlipEdge;
    } cases[] = {
        {kite(76.0), 0, {1, 2, 3}, {2}, true, true},
        {kite(76.0), 2, {3, 0, 1}, {0}, false, true},
        {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.5, 2, 0}}, 0, {1, 2, 3}, {2}, true, false},
        {hexagon, 0, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, true, false},
    };
    for (const auto& c : cases) {
        TestCloud cloud(c.points);
        cloud.setFan(c.owner, c.fan);
        for (const int32_t end : c.ends) {
            EXPECT_FALSE(c.viaTry && cloud.state.tryFlip(c.owner, end)) << end;
            EXPECT_FALSE(c.viaFlipEdge && cloud.state.flipEdge(c.owner, end)) << end;
        }
        EXPECT_EQ(cloud.fan(c.owner), c.fan);
    }
}

TEST(EdgeFlipping, NewDiagonalHeldByAThirdFanIsRefusedWhenThirdFacesAre) {
    // The square's corners p and n are unfinished, so their own fans do not show the edge
    // p-n; a completed point o above the square holds p and n side by side in its fan.
    // Flipping a-b to p-n would give that edge the faces (a, p, n), (b, n, p) and (o, n, p).
    // The fans of a and b close through q and r, outside the square.
    constexpr int32_t o = 4, q = 5, r = 6, s = 7;
    for (const bool refuse : {false, true}) {
        TestCloud cloud({{0, 0, 0},
                         {1, 0, 0},
                         {1, 1, 0},
                         {0, 1, 0},
                         {0.5, 0.5, 1},
                         {-1, -1, 0},
                         {2, 2, 0},
                         {0.5, 0.5, 2}});
        cloud.setFan(a, {p, b, n, q});
        cloud.setFan(b, {n, a, p, r});
        cloud.setFan(o, {n, p, s});
        cloud.state.refuseThirdFaces = refuse;
        cloud.state.cleaningUp = true;
        int32_t corners[4];
        ASSERT_EQ(cloud.state.edgeFaceCorners(p, n, corners, 4), 1);
        EXPECT_EQ(cloud.state.flipEdge(a, b), !refuse) << refuse;
        EXPECT_EQ(cloud.state.edgeFaceCorners(p, n, corners, 4), refuse ? 1 : 3) << refuse;
        EXPECT_EQ(cloud.fan(a), refuse ? (Fan{p, b, n, q}) : (Fan{p, n, q})) << refuse;
        EXPECT_TRUE(fanLinksConsistent(cloud.state));
    }
}

TEST(EdgeFlipping, FlipThatFoldsACompletedFanIsRefusedWhenAsked) {
    // The diagonal a-b runs along the y axis; p lies on the +x side and its fan closes
    // through c and d further out. n either lies 0.5 above the plane beyond p, where the new
    // diagonal p-n turns p's fan back over itself, or in the plane across from p, where it
    // fits between b and a in p's fan and between a and b in n's (closed through e and f).
    constexpr int32_t c = 4, d = 5, e = 6, f = 7;
    for (const bool folding : {true, false}) {
        for (const bool refuse : {true, false}) {
            TestCloud cloud({{0, -2, 0},
                             {0.5, 0, 0},
                             {0, 2, 0},
                             folding ? Vector3(1.5, 0, 0.5) : Vector3(-0.5, 0, 0),
                             {1.5, -1, 0},
                             {1.5, 1, 0},
                             {-1.5, 1, 0},
                             {-1.5, -1, 0}});
            cloud.setFan(a, {p, b, n});
            cloud.setFan(p, {b, a, c, d});
            if (!folding) {
                cloud.setFan(n, {a, b, e, f});
            }
            cloud.state.refuseFoldingFlips = refuse;
            const bool flips = !(folding && refuse);
            EXPECT_EQ(cloud.state.flipEdge(a, b), flips) << folding << refuse;
            EXPECT_EQ(cloud.fan(p), flips ? (Fan{b, n, a, c, d}) : (Fan{b, a, c, d}))
                << folding << refuse;
            if (!folding) {
                EXPECT_EQ(cloud.fan(n), (Fan{a, p, b, e, f})) << refuse;
            }
            EXPECT_TRUE(fanLinksConsistent(cloud.state));
        }
    }
}

TEST(EdgeFlipping, DroppingAnEntryFromAFullFanCanFoldIt) {
    // A full fan in the plane whose entries but the last turn from 0 to 158 degrees, the
    // last lying at 270: without the last the triangle closing the fan spans 202 degrees and
    // faces against the rest; without the first the fan stays flat.
    std::vector<Vector3> points{{0, 0, 0}};
    for (int32_t k = 0; k + 1 < MAX_FAN_SIZE; ++k) {
        points.push_back(polar(2.0 * k, 1.0));
    }
    points.push_back(polar(270.0, 1.0));
    TestCloud cloud(points);
    Fan fan;
    for (int32_t k = 1; k <= MAX_FAN_SIZE; ++k) {
        fan.push_back(k);
    }
    cloud.setFan(0, fan);
    EXPECT_TRUE(cloud.state.editedFanFolds(0, MAX_FAN_SIZE, -1, -1));
    EXPECT_FALSE(cloud.state.editedFanFolds(0, 1, -1, -1));
}

TEST(EdgeFlipping, FlipStepOnAFanOfFourMakesOneAttempt) {
    // Entries at 0, 60, 120 and 240 degrees; entry 2 lies far out, so that only the edge to
    // it (sectors of 60 + 60 degrees) can be flipped; flipStep makes a single attempt on
    // another edge and leaves the fan as it is.
    TestCloud cloud({{0, 0, 0}, polar(0, 1), polar(60, 3), polar(120, 1), polar(240, 1)});
    cloud.setFan(0, {1, 2, 3, 4});
    cloud.state.flipStep(0);
    EXPECT_EQ(cloud.fan(0), (Fan{1, 2, 3, 4}));
    EXPECT_TRUE(fanLinksConsistent(cloud.state));
    EXPECT_TRUE(cloud.state.tryFlip(0, 2));
    EXPECT_EQ(cloud.fan(0), (Fan{1, 3, 4}));
}

TEST(EdgeFlipping, NearEdgePointIsInsertedIntoBothTriangles) {
    // Fan of 0 around the square; 6 lies on the edge 1-2 (inserted only when close enough to
    // it); 5 owns the triangle (5, 2, 1) beyond that edge.
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
        EXPECT_EQ(cloud.fan(0), (inserted ? Fan{1, 6, 2, 3, 4} : Fan{1, 2, 3, 4}));
        EXPECT_EQ(cloud.fan(5), (inserted ? Fan{2, 6, 1} : Fan{2, 1}));
        EXPECT_TRUE(fanLinksConsistent(cloud.state));
    }
}

} // namespace
