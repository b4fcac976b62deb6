// Post test and global convexity test on small hand-made meshes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "support/MeshInvariants.h"

namespace {

using meshtest::TestCloud;

// count points drawn uniformly from the box [0, width]^2 x [0, depth], in that order.
std::vector<Vector3> randomSlab(std::mt19937& random, int count, double width, double depth) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Vector3> positions;
    for (int i = 0; i < count; ++i) {
        positions.emplace_back(width * unit(random), width * unit(random), depth * unit(random));
    }
    return positions;
}

std::vector<Vector3> hexagon() {
    std::vector<Vector3> result{{0, 0, 0}};
    for (int i = 0; i < 6; ++i) {
        result.push_back({std::cos(i * M_PI / 3), std::sin(i * M_PI / 3), 0});
    }
    return result;
}

TEST(PostTest, AgreeingAndDisagreeingFans) {
    // Fans set on the hexagon around 0, and the expected post test of 0 and of 1. A
    // completed 1 must hold the two triangles at the edge 0-1 in the same turn as the fan
    // of 0; a third fan claiming that edge next to the two triangles spoils it.
    const std::vector<int32_t> ring{1, 2, 3, 4, 5, 6};
    const struct {
        int32_t owner;
        std::vector<int32_t> fan;
        bool completed, centreFull, centrePasses, onePasses;
    } cases[] = {
        {-1, {}, true, true, true, false},        {1, {2, 0, 6}, true, true, true, true},
        {1, {6, 0, 2}, true, true, false, false}, {4, {0, 1}, false, true, false, false},
        {-1, {}, true, false, false, false},
    };
    for (const auto& c : cases) {
        TestCloud cloud(hexagon());
        cloud.setFan(0, c.centreFull ? ring : std::vector<int32_t>{1, 2});
        if (c.owner >= 0) {
            cloud.setFan(c.owner, c.fan, c.completed);
        }
        EXPECT_EQ(cloud.state.postTest(0), c.centrePasses) << c.owner;
        if (c.owner == 1) {
            EXPECT_EQ(cloud.state.postTest(1), c.onePasses);
        }
        if (c.owner == 4) {
            EXPECT_FALSE(cloud.state.edgeOwnersAgree(0, 1));
        }
    }
}

TEST(PostTest, ConnectionChainsAroundAnUnfinishedPoint) {
    TestCloud cloud(hexagon());
    // Two fans around 0 that continue one another close nothing: passes.
    cloud.setFan(1, {2, 0}, false);
    cloud.setFan(2, {3, 0}, false);
    EXPECT_TRUE(cloud.state.connectionsConsistent(0));
    // Fans that close a ring without taking in the owner 5 fail.
    TestCloud ring(hexagon());
    ring.setFan(1, {2, 0, 3}, false);
    ring.setFan(3, {1, 0, 2}, false);
    ring.setFan(5, {4, 0, 6}, false);
    EXPECT_FALSE(ring.state.connectionsConsistent(0));
    // A completed point must hold every owner in its fan.
    TestCloud completed(hexagon());
    completed.setFan(0, {1, 2, 3});
    completed.setFan(4, {0, 5});
    EXPECT_FALSE(completed.state.connectionsConsistent(0));
}

// A 5 x 5 grid in the plane z = 0 around point 0 (with the fan of 0 its ring of eight) and a
// second grid at z = 8 over it.
struct TwoSheets {
    TestCloud cloud;
    static std::vector<Vector3> points() {
        std::vector<Vector3> result{{0, 0, 0}};
        for (const double z : {0.0, 8.0}) {
            for (int x = -2; x <= 2; ++x) {
                for (int y = -2; y <= 2; ++y) {
                    if (z != 0.0 || x != 0 || y != 0) {
                        result.push_back({double(x), double(y), z});
                    }
                }
            }
        }
        return result;
    }
    static int32_t at(int x, int y) { // index of a point of the lower grid
        const int32_t linear = (x + 2) * 5 + (y + 2);
        return linear < 12 ? linear + 1 : linear;
    }
    TwoSheets() : cloud(points()) {
        cloud.setFan(0, {at(1, 0), at(1, 1), at(0, 1), at(-1, 1), at(-1, 0), at(-1, -1), at(0, -1),
                         at(1, -1)});
        std::vector<int32_t> all(cloud.size());
        for (int32_t i = 0; i < cloud.size(); ++i) {
            all[i] = i;
        }
        tree.buildFor(cloud.records.data(), all.data(), cloud.size(), 2.5);
    }
    Octree tree;
};

TEST(GlobalConvexity, RaysAlongAndAgainstTheNormal) {
    TwoSheets sheets;
    ReconstructionState& state = sheets.cloud.state;
    // The normal (0, 0, 1) points at the upper sheet; reversed, every ray runs free.
    EXPECT_FALSE(state.globalConvexityTest(0, sheets.tree, false));
    EXPECT_TRUE(state.globalConvexityTest(0, sheets.tree, true));
    sheets.cloud.records[0].normal = Vector3(0, 0, -1);
    EXPECT_TRUE(state.globalConvexityTest(0, sheets.tree, false));
    EXPECT_FALSE(state.globalConvexityTest(0, sheets.tree, true));
    // A zero normal always fails; an empty fan always passes.
    sheets.cloud.records[0].normal = Vector3(0, 0, 0);
    EXPECT_FALSE(state.globalConvexityTest(0, sheets.tree, true));
    sheets.cloud.records[0].normal = Vector3(0, 0, 1);
    EXPECT_TRUE(state.globalConvexityTest(TwoSheets::at(2, 2), sheets.tree, false));
    EXPECT_TRUE(meshtest::fanLinksConsistent(state));
}

TEST(GlobalConvexity, OpenRiseRefusesAFanClosingOverOpenSurfaceOnItsOuterSide) {
    // Point 0 with a flat fan of the hexagon ring (normal +z), held by the completed fan of 1,
    // and one more open point 7. Where the completed fan faces -z, the outer side is below the
    // fan: 7 steeply below (76 degrees) is the wall of a tube under a lid.
    std::vector<Vector3> points = hexagon();
    points.push_back({0.3, 0.0, -1.2});
    const struct {
        Vector3 wall;        // position of 7
        double ownerNormalZ; // the completed fan's normal: (0, 0, this)
        bool wallCompleted, wallInFan, ownerCompleted;
        double limitDegrees;
        bool refused;
    } cases[] = {
        {{0.3, 0.0, -1.2}, -1.0, false, false, true, 60.0, true},
        {{0.3, 0.0, -1.2}, -1.0, false, false, true, 80.0, false},  // rises less than 80
        {{0.3, 0.0, -1.2}, 1.0, false, false, true, 60.0, false},   // on the inner side
        {{0.3, 0.0, -1.2}, -1.0, true, false, true, 60.0, false},   // finished already
        {{0.3, 0.0, -1.2}, -1.0, false, true, true, 60.0, false},   // in the fan
        {{0.3, 0.0, -1.2}, -1.0, false, false, false, 60.0, false}, // no side known
        {{1.5, 0.0, -0.5}, -1.0, false, false, true, 60.0, false},  // a gentle slope (18)
        {{1.5, 0.0, -0.5}, -1.0, false, false, true, 15.0, true},
    };
    for (const auto& c : cases) {
        points[7] = c.wall;
        TestCloud cloud(points);
        ReconstructionState& state = cloud.state;
        std::vector<int32_t> fan{1, 2, 3, 4, 5, 6};
        if (c.wallInFan) {
            fan.push_back(7);
        }
        cloud.setFan(0, fan, false);
        cloud.setFan(1, {2, 0, 6}, c.ownerCompleted);
        cloud.records[1].normal = Vector3(0.0, 0.0, c.ownerNormalZ);
        if (c.wallCompleted) {
            state.setPointState(7, 1);
        }
        state.openRiseSine = std::sin(c.limitDegrees * M_PI / 180.0);
        EXPECT_EQ(state.openNeighbourRisesOver(0), c.refused)
            << c.wall.x << " " << c.ownerNormalZ << " " << c.limitDegrees;
        // The rays alone pass (every point is a neighbour of every other, so none blocks);
        // the rule decides the test on a reversed layer, and only while it is on.
        Octree tree;
        std::vector<int32_t> all(cloud.size());
        for (int32_t i = 0; i < cloud.size(); ++i) {
            all[i] = i;
        }
        tree.buildFor(cloud.records.data(), all.data(), cloud.size(), 2.5);
        state.growingReversedLayer = true;
        EXPECT_EQ(state.globalConvexityTest(0, tree, false), !c.refused);
        state.growingReversedLayer = false;
        EXPECT_TRUE(state.globalConvexityTest(0, tree, false));
        state.growingReversedLayer = true;
        state.openRiseSine = 0.0;
        EXPECT_TRUE(state.globalConvexityTest(0, tree, false));
    }
}

TEST(GlobalConvexity, RefusedExactlyWhenARayFromThePointOrAFanMemberIsBlocked) {
    // A noisy slab of points, each given a fan of its nearest neighbours in a shuffled order
    // and random normals in turn. Whichever rays the test casts, and in whatever order (it
    // starts from the member that refused the point's previous test), its answer must be that
    // of casting the ray from the point and from every fan member, both ways.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    TestCloud cloud(randomSlab(random, 120, 6.0, 1.5));
    ReconstructionState& state = cloud.state;
    std::vector<int32_t> all(cloud.size());
    for (int32_t i = 0; i < cloud.size(); ++i) {
        all[i] = i;
    }
    Octree tree;
    tree.buildFor(cloud.records.data(), all.data(), cloud.size(), 0.5);
    int outcomes[2] = {0, 0};
    int memberRefusals = 0;
    for (int32_t p = 0; p < cloud.size(); ++p) {
        Vertex& v = cloud.records[p];
        std::vector<int32_t> fan(v.neighbours, v.neighbours + 3 + p % 6);
        std::shuffle(fan.begin(), fan.end(), random);
        cloud.setFan(p, fan, false);
        for (int turn = 0; turn < 6; ++turn) {
            const double a = 2.0 * M_PI * unit(random);
            const double z = 2.0 * unit(random) - 1.0;
            const double r = std::sqrt(1.0 - z * z);
            const bool flip = turn % 2 == 1;
            v.normal = Vector3(r * std::cos(a), r * std::sin(a), z);
            Vector3 d = v.normal;
            if (flip) {
                d.negate();
            }
            bool blocked = tree.castRay(v.position, d, p);
            for (const int32_t m : fan) {
                blocked = blocked || tree.castRay(cloud.records[m].position, d, m);
            }
            ASSERT_EQ(state.globalConvexityTest(p, tree, flip), !blocked) << p << " " << turn;
            ++outcomes[blocked ? 1 : 0];
            if (state.blockedOrigins[p] >= 0) {
                ++memberRefusals;
            }
        }
    }
    // Both answers occur often enough for the comparison to mean something, and tests start
    // from a remembered member often.
    EXPECT_GT(outcomes[0], 20);
    EXPECT_GT(outcomes[1], 20);
    EXPECT_GT(memberRefusals, 20);
}

TEST(GlobalConvexity, RecordedTestsAgainstAKeptTreeGiveTheRaysAnswers) {
    // A noisy slab whose component loses and regains a few points per round, with now and
    // then an edited neighbour list, tested through the kept component tree round after
    // round: every answer, recorded or cast, must be that of casting every ray in a fresh
    // tree over the same component.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    TestCloud cloud(randomSlab(random, 260, 8.0, 2.0));
    ReconstructionState& state = cloud.state;
    for (int32_t p = 0; p < cloud.size(); ++p) {
        Vertex& v = cloud.records[p];
        cloud.setFan(p, std::vector<int32_t>(v.neighbours, v.neighbours + 3 + p % 5), false);
        const double a = 2.0 * M_PI * unit(random);
        const double z = 2.0 * unit(random) - 1.0;
        v.normal =
            Vector3(std::sqrt(1.0 - z * z) * std::cos(a), std::sqrt(1.0 - z * z) * std::sin(a), z);
    }
    std::vector<uint8_t> member(cloud.size(), 1);
    int outcomes[2] = {0, 0};
    for (int round = 0; round < 30; ++round) {
        std::vector<int32_t> component;
        for (int32_t i = 0; i < cloud.size(); ++i) {
            if (member[i] == 1) {
                component.push_back(i);
            }
        }
        Octree& tree = state.componentTrees.build(cloud.records.data(), component, 0.5, 0.0);
        Octree fresh;
        fresh.buildFor(cloud.records.data(), component.data(),
                       static_cast<int32_t>(component.size()), 0.5);
        for (const int32_t p : component) {
            const Vertex& v = cloud.records[p];
            for (const bool flip : {false, true}) {
                Vector3 d = v.normal;
                if (flip) {
                    d.negate();
                }
                bool blocked = fresh.castRay(v.position, d, p);
                for (int32_t i = 0; i < v.triangleFanCount; ++i) {
                    const int32_t m = v.triangleFan[i];
                    blocked = blocked || fresh.castRay(cloud.records[m].position, d, m);
                }
                ASSERT_EQ(state.globalConvexityTest(p, tree, flip), !blocked)
                    << "round " << round << " point " << p << " flip " << flip;
                ++outcomes[blocked ? 1 : 0];
            }
        }
        // Points far from the slab's faces leave or rejoin; a neighbour list changes.
        for (int change = 0; change < 3; ++change) {
            const int32_t p = static_cast<int32_t>(random() % cloud.size());
            const Vector3& at = cloud.records[p].position;
            if (at.x > 0.5 && at.x < 7.5 && at.y > 0.5 && at.y < 7.5 && at.z > 0.2 && at.z < 1.8) {
                member[p] ^= 1;
            }
        }
        for (int edit = 0; edit < 8; ++edit) {
            const int32_t m = static_cast<int32_t>(random() % cloud.size());
            cloud.records[m].neighbours[edit % NEIGHBOUR_COUNT] =
                static_cast<int32_t>(random() % cloud.size());
            state.noteNeighbourEdit(m);
        }
    }
    EXPECT_GT(outcomes[0], 500);
    EXPECT_GT(outcomes[1], 500);
    // The tests were recorded, so later rounds took answers from the records.
    int recorded = 0;
    for (const auto& records : state.convexityRecords) {
        recorded += records != nullptr ? 1 : 0;
    }
    EXPECT_GT(recorded, cloud.size() / 2);
}

TEST(GlobalConvexity, RecordedTestStandsOnlyWithTheNeighbourListsItsRaysIgnored) {
    // A ray ignores the neighbours of its origin. A stuck point's last neighbour slot may be
    // set to one point and another by turns; a recorded test must then answer with the list
    // as it is now: refused while the point blocking its ray is not its neighbour, passed
    // while it is, over and over.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    TestCloud cloud(randomSlab(random, 200, 8.0, 2.0));
    ReconstructionState& state = cloud.state;
    for (int32_t p = 0; p < cloud.size(); ++p) {
        Vertex& v = cloud.records[p];
        cloud.setFan(p, std::vector<int32_t>(v.neighbours, v.neighbours + 4), false);
        const double a = 2.0 * M_PI * unit(random);
        const double z = 2.0 * unit(random) - 1.0;
        v.normal =
            Vector3(std::sqrt(1.0 - z * z) * std::cos(a), std::sqrt(1.0 - z * z) * std::sin(a), z);
    }
    std::vector<int32_t> component(cloud.size());
    for (int32_t i = 0; i < cloud.size(); ++i) {
        component[i] = i;
    }
    Octree& tree = state.componentTrees.build(cloud.records.data(), component, 0.5, 0.0);
    // A point whose test is refused by its own ray alone, and the point whose joining its
    // neighbours lets that ray pass.
    int32_t point = -1;
    int32_t blocker = -1;
    for (int32_t p = 0; p < cloud.size() && blocker < 0; ++p) {
        Vertex& v = cloud.records[p];
        if (!tree.castRay(v.position, v.normal, p)) {
            continue;
        }
        bool membersFree = true;
        for (int32_t i = 0; i < v.triangleFanCount && membersFree; ++i) {
            const int32_t m = v.triangleFan[i];
            membersFree = !tree.castRay(cloud.records[m].position, v.normal, m);
        }
        const int32_t last = v.neighbours[NEIGHBOUR_COUNT - 1];
        for (int32_t x = 0; x < cloud.size() && membersFree && blocker < 0; ++x) {
            if (x == p || std::find(v.neighbours, v.neighbours + NEIGHBOUR_COUNT, x) !=
                              v.neighbours + NEIGHBOUR_COUNT) {
                continue;
            }
            v.neighbours[NEIGHBOUR_COUNT - 1] = x;
            if (!tree.castRay(v.position, v.normal, p)) {
                point = p;
                blocker = x;
            }
            v.neighbours[NEIGHBOUR_COUNT - 1] = last;
        }
    }
    ASSERT_GE(blocker, 0);
    Vertex& v = cloud.records[point];
    const int32_t last = v.neighbours[NEIGHBOUR_COUNT - 1];
    const std::vector<int32_t> lastEntries{last, last,    blocker, last, blocker, blocker,
                                           last, blocker, last,    last, blocker, last};
    for (size_t round = 0; round < lastEntries.size(); ++round) {
        if (v.neighbours[NEIGHBOUR_COUNT - 1] != lastEntries[round]) {
            v.neighbours[NEIGHBOUR_COUNT - 1] = lastEntries[round];
            state.noteNeighbourEdit(point);
        }
        ASSERT_EQ(state.globalConvexityTest(point, tree, false), lastEntries[round] == blocker)
            << "round " << round;
    }
    // The tests were recorded once both lists had been seen.
    ASSERT_NE(state.convexityRecords[static_cast<size_t>(point)], nullptr);
}

} // namespace

namespace {

// The hexagon with its ring turned by degrees about the x axis, so that the fan of 0 over
// the ring faces that far from the z axis (the normal its points had before the growth),
// and a point 0.7 off the ring's plane along the fan's normal on each side listed (+1, -1):
// the surface going on beyond a lid across a tube.
std::vector<Vector3> tiltedHexagon(double degrees, const std::vector<double>& sides) {
    std::vector<Vector3> points = hexagon();
    const double a = degrees * M_PI / 180.0;
    for (Vector3& p : points) {
        p = Vector3(p.x, p.y * std::cos(a), p.y * std::sin(a));
    }
    for (const double side : sides) {
        points.emplace_back(0.0, -0.7 * side * std::sin(a), 0.7 * side * std::cos(a));
    }
    return points;
}

} // namespace

TEST(FanTilt, RefusesFansTurnedAwayFromTheNeighbourhoodNormalAcrossAPart) {
    // Turns of the fan (either way round; a fan in reversed order faces the other way along
    // the same line) against the limit in degrees (0: no limit), with surface beyond the
    // fan on both sides or on one side only (the edge of an open sheet, where the surface
    // may turn round to a second sheet).
    const std::vector<double> bothSides{1.0, -1.0};
    const std::vector<double> oneSide{1.0, 1.0};
    const struct {
        double turn, limit;
        const std::vector<double>& sides;
        bool reversed, refused;
    } cases[] = {
        {0.0, 45.0, bothSides, false, false},  {30.0, 45.0, bothSides, false, false},
        {44.0, 45.0, bothSides, true, false},  {46.0, 45.0, bothSides, false, true},
        {60.0, 45.0, bothSides, true, true},   {-60.0, 45.0, bothSides, false, true},
        {90.0, 45.0, bothSides, false, true},  {120.0, 45.0, bothSides, false, true},
        {170.0, 45.0, bothSides, true, false}, {60.0, 70.0, bothSides, false, false},
        {80.0, 70.0, bothSides, false, true},  {89.0, 0.0, bothSides, false, false},
        {90.0, 45.0, oneSide, false, false},   {-60.0, 45.0, oneSide, true, false},
    };
    for (const auto& c : cases) {
        TestCloud cloud(tiltedHexagon(c.turn, c.sides));
        cloud.state.maxFanTilt = c.limit;
        cloud.state.keepNeighbourhoodNormals();
        cloud.setFan(0, c.reversed ? std::vector<int32_t>{6, 5, 4, 3, 2, 1}
                                   : std::vector<int32_t>{1, 2, 3, 4, 5, 6});
        // The fan search moves the point's own normal with the fan; the kept one counts.
        cloud.records[0].normal = Vector3(1.0, 0.0, 0.0);
        EXPECT_EQ(cloud.state.fanTiltsAway(0), c.refused) << c.turn << " " << c.limit;
        // A refused fan fails the global convexity test before any ray is cast.
        if (c.refused) {
            EXPECT_FALSE(cloud.state.globalConvexityTest(0, cloud.state.octree, false));
        }
    }
    // Without a limit no normals are kept; a point without a fan never tilts.
    TestCloud cloud(tiltedHexagon(80.0, bothSides));
    cloud.state.keepNeighbourhoodNormals();
    EXPECT_TRUE(cloud.state.neighbourhoodNormals.empty());
    cloud.state.maxFanTilt = 45.0;
    cloud.state.keepNeighbourhoodNormals();
    EXPECT_FALSE(cloud.state.fanTiltsAway(0));
    cloud.setFan(0, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(cloud.state.fanTiltsAway(0));
    // Tested again with the same fan, the side test still reads the current neighbours:
    // with every neighbour in the fan's plane the fan stays.
    EXPECT_TRUE(cloud.state.fanTiltsAway(0));
    std::fill(cloud.records[0].neighbours, cloud.records[0].neighbours + NEIGHBOUR_COUNT, 1);
    EXPECT_FALSE(cloud.state.fanTiltsAway(0));
}
