// Tests of the octree: root sizing, splitting and membership, and ray queries checked
// against a brute-force walk over all leaves.
#include <gtest/gtest.h>

#include <array>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "recon/Octree.h"

namespace {

Vertex makeRecord(double x, double y, double z, double radius) {
    Vertex v;
    v.position = Vector3(x, y, z);
    v.normal = Vector3(0.0, 0.0, 1.0);
    v.neighbourhoodRadius = radius;
    for (int32_t& n : v.neighbours) {
        n = -1;
    }
    return v;
}

// Every listed record is held by exactly one leaf, whose cube contains it (lower planes
// and upper planes inclusive), and every leaf obeys the split rule.
void expectValidTree(const Octree& root, const std::vector<Vertex>& records,
                     const std::vector<int32_t>& listed) {
    std::vector<int32_t> seen(records.size(), 0);
    for (const Octree::Leaf& leaf : root.leaves()) {
        double r = 0.0;
        for (const int32_t* it = leaf.begin; it != leaf.end; ++it) {
            const int32_t index = *it;
            ++seen[index];
            const Vector3& v = records[index].position;
            const Vector3& lo = leaf.minCorner;
            EXPECT_TRUE(v.x >= lo.x && v.x <= lo.x + leaf.edge && v.y >= lo.y &&
                        v.y <= lo.y + leaf.edge && v.z >= lo.z && v.z <= lo.z + leaf.edge);
            r = std::max(r, records[index].neighbourhoodRadius);
        }
        if (!leaf.empty()) {
            EXPECT_LE(leaf.edge / 2, r);
        }
    }
    for (const int32_t index : listed) {
        EXPECT_EQ(seen[index], 1) << "record " << index;
        seen[index] = 0;
    }
    for (const int32_t count : seen) {
        EXPECT_EQ(count, 0);
    }
}

// Reference ray query: the entry and exit parameters of the ray with every leaf cube; a
// leaf counts when the ray pierces it wholly ahead of the origin and it holds points of
// which none is excluded. Returns -1 when the ray runs too close to a cell edge or corner
// for the answer to be well defined, else 0 or 1. With a positive hitDistance a leaf
// counts only when one of its points lies within hitDistance of its radii of the ray. With
// perPoint as well, every point ahead of the origin that is not excluded and lies that near
// counts, whatever else its leaf holds, also in the leaf that holds the origin.
int referenceHit(const std::vector<Octree::Leaf>& leaves, Vector3 o, Vector3 d,
                 const std::vector<uint8_t>& marks, const std::vector<Vertex>* records = nullptr,
                 double hitDistance = 0.0, bool perPoint = false, double reach = INFINITY) {
    perPoint = perPoint && hitDistance > 0.0;
    const Vector3 unitDirection = [&] {
        Vector3 u = d;
        u.normalize();
        return u;
    }();
    bool tie = false; // a point at the reach, within rounding
    const auto nearRay = [&](const Vertex& v) {
        const Vector3 w(v.position.x - o.x, v.position.y - o.y, v.position.z - o.z);
        tie = tie || std::fabs(w.dot(unitDirection) - reach) <= 1e-9 * std::max(1.0, reach);
        if (w.dot(unitDirection) > reach) {
            return false;
        }
        const double t = std::max(0.0, w.dot(unitDirection));
        const Vector3 gap(w.x - t * unitDirection.x, w.y - t * unitDirection.y,
                          w.z - t * unitDirection.z);
        return gap.length() <= hitDistance * v.neighbourhoodRadius;
    };
    for (double* component : {&d.x, &d.y, &d.z}) {
        *component = std::fabs(*component) < 1e-6 ? 1e-7 : *component;
    }
    const auto slab = [](double lo, double hi, double origin, double dir, double& t0, double& t1) {
        t0 = (lo - origin) / dir;
        t1 = (hi - origin) / dir;
        if (t1 < t0) {
            std::swap(t0, t1);
        }
    };
    const auto near = [](double a, double b) {
        return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
    };
    int hit = 0;
    for (const Octree::Leaf& leaf : leaves) {
        double x0, x1, y0, y1, z0, z1;
        const Vector3& lo = leaf.minCorner;
        slab(lo.x, lo.x + leaf.edge, o.x, d.x, x0, x1);
        slab(lo.y, lo.y + leaf.edge, o.y, d.y, y0, y1);
        slab(lo.z, lo.z + leaf.edge, o.z, d.z, z0, z1);
        const double tEnter = std::max({x0, y0, z0});
        const double tExit = std::min({x1, y1, z1});
        // A ray that only touches a cube (along an edge or at a corner), or enters or
        // leaves it within rounding of the origin, has no well-defined answer. An exact 0
        // (origin on a cell plane) is well defined.
        if (near(tEnter, tExit) || (tEnter != 0.0 && near(tEnter, 0.0)) ||
            (tExit != 0.0 && near(tExit, 0.0))) {
            return -1;
        }
        if (perPoint) {
            if (tEnter > tExit || tExit < 0) {
                continue;
            }
            for (const int32_t* it = leaf.begin; it != leaf.end; ++it) {
                const Vertex& v = (*records)[static_cast<size_t>(*it)];
                const Vector3 w(v.position.x - o.x, v.position.y - o.y, v.position.z - o.z);
                if (marks[*it] == 0 && w.dot(unitDirection) > 0.0 && nearRay(v)) {
                    hit = 1;
                }
            }
            continue;
        }
        if (tEnter > tExit || tEnter < 0 || tExit < 0 || leaf.empty()) {
            continue;
        }
        bool marked = false;
        bool near = hitDistance <= 0.0;
        for (const int32_t* it = leaf.begin; it != leaf.end; ++it) {
            const int32_t index = *it;
            marked = marked || marks[index] != 0;
            near = near || nearRay((*records)[static_cast<size_t>(index)]);
        }
        if (!marked && near) {
            hit = 1;
        }
    }
    return tie ? -1 : hit;
}

} // namespace

TEST(Octree, RootSizeAndSplitRule) {
    // Largest extent at most the cell size: one unsplit root of edge 2.5.
    std::vector<Vertex> records = {makeRecord(0, 0, 0, 1.25), makeRecord(2.5, 1, 2, 1.25),
                                   makeRecord(1, 2.5, 0.5, 1.25)};
    Octree tree;
    tree.buildAll(records.data(), 3, 2.5);
    EXPECT_EQ(tree.edge, 2.5);
    EXPECT_TRUE(tree.rootIsLeaf());
    ASSERT_EQ(tree.leaves().size(), 1u);
    EXPECT_EQ(tree.leaves()[0].size(), 3u);
    EXPECT_EQ(tree.minCorner.x, 1.25 - 1.25);
    EXPECT_EQ(tree.center.y, 1.25);

    records = {makeRecord(0, 0, 0, 100), makeRecord(10, 10, 3, 100)};
    tree.reset();
    tree.buildAll(records.data(), 2, 2.5);
    EXPECT_EQ(tree.edge, 10.0);
    records = {makeRecord(0, 0, 0, 100), makeRecord(10.1, 4, 4, 100)};
    tree.reset();
    tree.buildAll(records.data(), 2, 2.5);
    EXPECT_EQ(tree.edge, 20.0);
    EXPECT_DOUBLE_EQ(tree.minCorner.x, 5.05 - 10.0);

    // Empty build: one empty leaf.
    tree.reset();
    tree.buildAll(records.data(), 0, 2.5);
    EXPECT_TRUE(tree.rootIsLeaf());
    EXPECT_EQ(tree.nodeCount(), 1);
    EXPECT_TRUE(tree.leaves()[0].empty());
    EXPECT_FALSE(tree.castRay(Vector3(0, 0, 0), Vector3(1, 0, 0), -1));
}

TEST(Octree, MidPlanePointGoesUpAndCoincidentPointsTerminate) {
    // Root edge 10 centred at (5,5,5); radius 1 forces splits. The point (5, 2, 7) lies
    // on the x mid-plane: it must end in the upper x half (child bit 2), lower y, upper z.
    std::vector<Vertex> records = {makeRecord(0, 0, 0, 1), makeRecord(10, 10, 10, 1),
                                   makeRecord(5, 2, 7, 1)};
    Octree tree;
    tree.buildAll(records.data(), 3, 2.5);
    ASSERT_FALSE(tree.rootIsLeaf());
    // The leaf holding record 2 lies in root child 4 + 0 + 1: x and z from 5 up, y below 5.
    int found = 0;
    for (const Octree::Leaf& leaf : tree.leaves()) {
        if (std::count(leaf.begin, leaf.end, 2) == 1) {
            ++found;
            EXPECT_GE(leaf.minCorner.x, 5.0);
            EXPECT_LT(leaf.minCorner.y + leaf.edge, 5.0 + 1e-12);
            EXPECT_GE(leaf.minCorner.z, 5.0);
        }
    }
    EXPECT_EQ(found, 1);
    expectValidTree(tree, records, {0, 1, 2});

    // 17 coincident points of radius 0 plus a distant one: splitting must end.
    records.assign(17, makeRecord(1, 1, 1, 0.0));
    records.push_back(makeRecord(30, -4, 2, 0.0));
    tree.reset();
    tree.buildAll(records.data(), 18, 2.5);
    EXPECT_LT(tree.nodeCount(), 8 * Octree::MAX_DEPTH + 1);
    size_t held = 0;
    for (const Octree::Leaf& leaf : tree.leaves()) {
        held += leaf.size();
    }
    EXPECT_EQ(held, 18u);
}

TEST(Octree, BuildForHoldsOnlyListedPointsAndAddressesTheirIndices) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-20.0, 20.0);
    std::uniform_real_distribution<double> radius(0.3, 3.0);
    std::vector<Vertex> records;
    for (int i = 0; i < 3000; ++i) {
        records.push_back(makeRecord(coordinate(random), coordinate(random),
                                     coordinate(random) * 0.2, radius(random)));
    }
    std::vector<int32_t> all(3000);
    std::iota(all.begin(), all.end(), 0);
    Octree whole;
    whole.buildAll(records.data(), 3000, 2.5);
    expectValidTree(whole, records, all);

    // A component of high indices: the marks must cover them although the list is short.
    std::vector<int32_t> component = {2999, 2500, 10, 1500, 2998};
    Octree tree;
    tree.buildFor(records.data(), component.data(), static_cast<int32_t>(component.size()), 2.5);
    expectValidTree(tree, records, component);
    EXPECT_GE(tree.excluded.size(), 3000u);
    EXPECT_TRUE(
        std::all_of(tree.excluded.begin(), tree.excluded.end(), [](uint8_t m) { return m == 0; }));

    // One tree object rebuilt over other lists (as per component of a layer pass) holds
    // exactly what a fresh tree over the same list holds, whatever it held before.
    for (const int32_t step : {3, 1, 7}) {
        std::vector<int32_t> every;
        for (int32_t i = step - 1; i < 3000; i += step) {
            every.push_back(i);
        }
        tree.reset();
        tree.buildFor(records.data(), every.data(), static_cast<int32_t>(every.size()), 2.5);
        expectValidTree(tree, records, every);
        Octree fresh;
        fresh.buildFor(records.data(), every.data(), static_cast<int32_t>(every.size()), 2.5);
        EXPECT_EQ(tree.nodeCount(), fresh.nodeCount());
        EXPECT_EQ(tree.edge, fresh.edge);
    }
    // release returns the storage and leaves an empty tree that can be built again.
    tree.release();
    EXPECT_TRUE(tree.excluded.empty());
    EXPECT_EQ(tree.nodeCount(), 1);
    tree.buildFor(records.data(), component.data(), static_cast<int32_t>(component.size()), 2.5);
    expectValidTree(tree, records, component);
}

TEST(Octree, RaysNeighboursAndBlockedBothWays) {
    // Record 0 with two occupied cells ahead along +x (records 1 and 2) and none behind.
    std::vector<Vertex> records = {makeRecord(0.1, 0.1, 0.1, 0.5), makeRecord(4.1, 0.1, 0.1, 0.5),
                                   makeRecord(8.1, 0.1, 0.1, 0.5), makeRecord(-8.1, 8.1, 8.1, 0.5)};
    records[0].neighbours[0] = 1;
    Octree tree;
    tree.buildAll(records.data(), 4, 2.5);
    // The first occupied cell holds only a neighbour: the ray goes on to record 2.
    EXPECT_TRUE(tree.castRay(records[0].position, Vector3(1, 0, 0), 0));
    records[0].neighbours[1] = 2;
    EXPECT_FALSE(tree.castRay(records[0].position, Vector3(1, 0, 0), 0));
    EXPECT_TRUE(tree.castRay(records[0].position, Vector3(1, 0, 0), -1));
    EXPECT_TRUE(
        std::all_of(tree.excluded.begin(), tree.excluded.end(), [](uint8_t m) { return m == 0; }));
    // Starting outside the root and pointing away.
    EXPECT_FALSE(tree.castRay(Vector3(100, 0.1, 0.1), Vector3(1, 0, 0), -1));
    EXPECT_TRUE(tree.castRay(Vector3(-100, 0.1, 0.1), Vector3(1, 0, 0), -1));

    // Forward free: not blocked, normal kept.
    records[0].neighbours[1] = -1;
    records[0].normal = Vector3(-1, 0, 0);
    EXPECT_FALSE(tree.blockedBothWays(0));
    EXPECT_EQ(records[0].normal.x, -1.0);
    // Forward hit, backward free: not blocked, normal reversed.
    records[0].normal = Vector3(1, 0, 0);
    EXPECT_FALSE(tree.blockedBothWays(0));
    EXPECT_EQ(records[0].normal.x, -1.0);
    // Both sides occupied.
    records.push_back(makeRecord(-6.1, 0.1, 0.1, 0.5));
    tree.reset();
    tree.buildAll(records.data(), 5, 2.5);
    records[0].normal = Vector3(1, 0, 0);
    EXPECT_TRUE(tree.blockedBothWays(0));
    EXPECT_EQ(records[0].normal.x, -1.0);

    // A single point with empty surroundings.
    std::vector<Vertex> single = {makeRecord(3, 3, 3, 1.5)};
    Octree lone;
    lone.buildAll(single.data(), 1, 2.5);
    EXPECT_FALSE(lone.blockedBothWays(0));
    EXPECT_EQ(single[0].normal.z, 1.0);
}

// Thousands of rays through random trees against the brute-force reference: general
// directions, axis-parallel directions, origins outside the root and origins on the
// root's mid-planes.
TEST(Octree, RayTraversalMatchesBruteForce) {
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int compared = 0, hits = 0;
    for (int treeRound = 0; treeRound < 12; ++treeRound) {
        const int32_t count = 200 + 150 * treeRound;
        std::vector<Vertex> records;
        const double spread = 10.0 + 3.0 * treeRound;
        for (int32_t i = 0; i < count; ++i) {
            // Points near a sphere shell, plus some scattered ones.
            Vector3 v(unit(random), unit(random), unit(random));
            if (i % 5 != 0) {
                v.normalize();
            }
            v.scale(spread);
            records.push_back(makeRecord(v.x, v.y, v.z, 0.4 + 1.5 * std::fabs(unit(random))));
        }
        for (int32_t i = 0; i < count; ++i) {
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                records[i].neighbours[k] = static_cast<int32_t>(random() % count);
            }
        }
        Octree tree;
        if (treeRound % 2 == 0) {
            tree.buildAll(records.data(), count, 2.5);
        } else {
            std::vector<int32_t> half;
            for (int32_t i = 0; i < count; i += 2) {
                half.push_back(i);
            }
            tree.buildFor(records.data(), half.data(), static_cast<int32_t>(half.size()), 2.5);
        }
        const std::vector<Octree::Leaf> leaves = tree.leaves();
        std::vector<uint8_t> marks(records.size(), 0);
        for (int ray = 0; ray < 400; ++ray) {
            const int32_t p = static_cast<int32_t>(random() % count);
            Vector3 origin = records[p].position;
            Vector3 direction(unit(random), unit(random), unit(random));
            const int kind = ray % 5;
            if (kind == 1) {
                // Axis-parallel: one or two components zero.
                direction = Vector3(0, 0, 0);
                const int axis = static_cast<int>(random() % 3);
                const double sign = unit(random) < 0 ? -1.0 : 1.0;
                (axis == 0 ? direction.x : axis == 1 ? direction.y : direction.z) = sign;
                if (random() % 2 == 0) {
                    (axis == 0 ? direction.y : direction.x) = 0.5 * sign;
                }
            } else if (kind == 2) {
                origin = Vector3(3 * spread * unit(random), 3 * spread * unit(random),
                                 3 * spread * unit(random));
            } else if (kind == 3) {
                (ray % 2 == 0 ? origin.x : origin.z) = ray % 2 == 0 ? tree.center.x : tree.center.z;
            }
            for (const int32_t n : records[p].neighbours) {
                marks[n] = 1;
            }
            // Every third ray uses the plain leaf rule, the others the finer test, and every
            // other ray judges each point on its own (ignored under the plain rule).
            tree.rayHitDistance = ray % 3 == 0 ? 0.0 : 0.1 + 0.2 * (ray % 3);
            tree.perPointRays = ray % 2 == 1;
            // Reaches of none, a few and many neighbourhood radii of the origin point.
            tree.rayReach = std::array<double, 4>{0.0, 2.0, 5.0, 12.0}[(ray / 5) % 4];
            const double reach = tree.rayReach > 0.0 && tree.rayHitDistance > 0.0
                                     ? tree.rayReach * records[p].neighbourhoodRadius
                                     : INFINITY;
            const int expected = referenceHit(leaves, origin, direction, marks, &records,
                                              tree.rayHitDistance, tree.perPointRays, reach);
            for (const int32_t n : records[p].neighbours) {
                marks[n] = 0;
            }
            if (expected < 0) {
                continue;
            }
            ++compared;
            hits += expected;
            ASSERT_EQ(tree.castRay(origin, direction, p) ? 1 : 0, expected)
                << "tree " << treeRound << " ray " << ray;
        }
    }
    EXPECT_GT(compared, 4000);
    EXPECT_GT(hits, compared / 10);
    EXPECT_LT(hits, compared - compared / 10);
}

TEST(Octree, FinerRayTestCountsOnlyPointsNearTheRay) {
    // Two far corners fix the root to [-20, 20]^3, so the cells around the ray from
    // record 0 along +x are the cubes of edge 1.25 on the grid through 0. Record 1 lies in
    // the second occupied cell, 0.5 beside the ray; record 2 farther on, on the ray. All
    // radii are 1, so record 1 blocks from a hit distance of 0.5 radii on.
    std::vector<Vertex> records = {makeRecord(0.6, 0.5, 0.6, 1.0), makeRecord(4.4, 1.0, 0.6, 1.0),
                                   makeRecord(8.1, 0.5, 0.6, 1.0), makeRecord(-20, -20, -20, 1.0),
                                   makeRecord(20, 20, 20, 1.0)};
    Octree tree;
    tree.buildAll(records.data(), 5, 2.5);
    ASSERT_EQ(tree.edge, 40.0);
    const Vector3 origin = records[0].position;
    records[0].neighbours[0] = 2; // hides record 2 until the last part
    EXPECT_TRUE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    tree.rayHitDistance = 0.45;
    EXPECT_FALSE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    EXPECT_FALSE(tree.castRay(origin, Vector3(3, 0, 0), 0)); // the length does not matter
    tree.rayHitDistance = 0.55;
    EXPECT_TRUE(tree.castRay(origin, Vector3(3, 0, 0), 0));
    // A near point that is a neighbour of the origin point does not block.
    records[0].neighbours[1] = 1;
    EXPECT_FALSE(tree.castRay(origin, Vector3(1, 0, 0), 0));

    // Past the cell whose only point is too far to the side, a point on the ray blocks.
    records[0].neighbours[0] = -1;
    records[0].neighbours[1] = -1;
    tree.rayHitDistance = 0.45;
    EXPECT_TRUE(tree.castRay(origin, Vector3(1, 0, 0), 0));

    // Distance to the half-line: behind the origin it is the distance to the origin.
    const Octree::RayQuery ray{Vector3(0, 0, 0), Vector3(2, 0, 0), nullptr, nullptr, 0.2};
    EXPECT_TRUE(Octree::pointNearRay(ray, Vector3(5, 0.15, 0), 1.0));
    EXPECT_FALSE(Octree::pointNearRay(ray, Vector3(-0.3, 0.1, 0), 1.0));
    EXPECT_TRUE(Octree::pointNearRay(ray, Vector3(-0.3, 0.1, 0), 2.0));
}

TEST(Octree, RayReachIgnoresPointsFarAhead) {
    // The root is [-20, 20]^3 with cells of edge 1.25 on the grid through 0. Record 1 lies
    // on the ray from record 0 along +x, 7.5 ahead; record 2 1.0 ahead but 0.7 to the side.
    std::vector<Vertex> records = {makeRecord(0.6, 0.5, 0.6, 1.0), makeRecord(8.1, 0.5, 0.6, 1.0),
                                   makeRecord(1.6, 1.2, 0.6, 1.0), makeRecord(-20, -20, -20, 1.0),
                                   makeRecord(20, 20, 20, 1.0)};
    Octree tree;
    tree.buildAll(records.data(), 5, 2.5);
    ASSERT_EQ(tree.edge, 40.0);
    const Vector3 origin = records[0].position;
    tree.rayHitDistance = 0.5;
    EXPECT_TRUE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    tree.rayReach = 7.0;
    EXPECT_FALSE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    EXPECT_FALSE(tree.castRay(origin, Vector3(4, 0, 0), 0)); // the length does not matter
    tree.rayReach = 8.0;
    EXPECT_TRUE(tree.castRay(origin, Vector3(4, 0, 0), 0));
    // The reach is counted in radii of the ray's origin point, not of the point ahead.
    tree.rayReach = 4.0;
    EXPECT_FALSE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    records[0].neighbourhoodRadius = 2.0;
    EXPECT_TRUE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    // A near point within reach still blocks: record 2, 0.7 radii from the ray.
    records[0].neighbourhoodRadius = 1.0;
    tree.rayReach = 1.5;
    EXPECT_FALSE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    tree.rayHitDistance = 0.75;
    EXPECT_TRUE(tree.castRay(origin, Vector3(1, 0, 0), 0));
    // Under the plain leaf rule the reach does not apply.
    tree.rayHitDistance = 0.0;
    tree.rayReach = 0.5;
    EXPECT_TRUE(tree.castRay(origin, Vector3(1, 0, 0), 0));
}

TEST(Octree, PerPointRaysCountTheCellsOfTheOriginAndOfItsNeighbours) {
    // The root is [-20, 20]^3 again, with cells of edge 1.25 on the grid through 0. In the
    // origin's own cell, record 1 lies on the ray 0.5 ahead (a wall across a thin part) and
    // record 2 0.5 behind; in the next cell, record 3 lies on the ray beside record 4.
    std::vector<Vertex> records = {makeRecord(0.6, 0.5, 0.6, 1.0),  makeRecord(1.1, 0.5, 0.6, 1.0),
                                   makeRecord(0.1, 0.5, 0.6, 1.0),  makeRecord(2.0, 0.5, 0.6, 1.0),
                                   makeRecord(2.2, 0.55, 0.6, 1.0), makeRecord(-20, -20, -20, 1.0),
                                   makeRecord(20, 20, 20, 1.0)};
    Octree tree;
    tree.buildAll(records.data(), 7, 2.5);
    ASSERT_EQ(tree.edge, 40.0);
    const Vector3 origin = records[0].position;
    const Vector3 ahead(1, 0, 0);
    records[0].neighbours[0] = 4;
    tree.rayHitDistance = 0.75;
    // The leaf rule skips the origin's cell and the cell holding neighbour 4.
    EXPECT_FALSE(tree.castRay(origin, ahead, 0));
    tree.perPointRays = true;
    EXPECT_TRUE(tree.castRay(origin, ahead, 0));
    // A neighbour never blocks; with records 1 and 4 neighbours, record 3 still does.
    records[0].neighbours[1] = 1;
    EXPECT_TRUE(tree.castRay(origin, ahead, 0));
    records[0].neighbours[2] = 3;
    EXPECT_FALSE(tree.castRay(origin, ahead, 0));
    // Record 2, behind the origin and 0.5 from it, does not block a ray away from it.
    EXPECT_TRUE(tree.castRay(origin, Vector3(-1, 0, 0), 0));
    EXPECT_FALSE(tree.castRay(origin, Vector3(0, 0, 1), 0));
    // Under the plain rule (no hit distance) the per-point switch changes nothing.
    tree.rayHitDistance = 0.0;
    EXPECT_FALSE(tree.castRay(origin, Vector3(-1, 0, 0), 0));

    // The seed check: a seed facing the wall ahead of it is turned round only when the
    // wall's points are judged one by one.
    tree.rayHitDistance = 0.75;
    records[0].neighbours[1] = -1;
    records[0].neighbours[2] = -1;
    records[2].position = Vector3(0.6, 0.5, 0.1); // out of the way of the -x ray
    tree.reset();
    tree.buildAll(records.data(), 7, 2.5);
    tree.perPointRays = false;
    records[0].normal = Vector3(1, 0, 0);
    EXPECT_FALSE(tree.blockedBothWays(0));
    EXPECT_EQ(records[0].normal.x, 1.0);
    tree.perPointRays = true;
    EXPECT_FALSE(tree.blockedBothWays(0));
    EXPECT_EQ(records[0].normal.x, -1.0);
}

TEST(Octree, SeedCheckCanExemptTheNeighboursOfTheSeedsNeighbours) {
    // Seed 0 faces +x. Record 2 lies on its ray 0.5 ahead: a wall so close that it is a
    // neighbour of the seed's neighbour 1. Record 3 lies 3.4 ahead, out of reach of both
    // neighbourhoods, but starts off the ray. Records 4 and 5 span the root [-20, 20]^3.
    std::vector<Vertex> records = {makeRecord(0.6, 0.5, 0.6, 1.0), makeRecord(0.6, 1.1, 0.6, 1.0),
                                   makeRecord(1.1, 0.5, 0.6, 1.0), makeRecord(4.0, 5.0, 0.6, 1.0),
                                   makeRecord(-20, -20, -20, 1.0), makeRecord(20, 20, 20, 1.0)};
    records[0].neighbours[0] = 1;
    records[1].neighbours[0] = 2;
    Octree tree;
    tree.buildAll(records.data(), 6, 2.5);
    tree.rayHitDistance = 0.75;
    tree.perPointRays = true;
    const auto facing = [&](bool exempt) {
        records[0].normal = Vector3(1, 0, 0);
        tree.exemptNeighbourRing = exempt;
        EXPECT_FALSE(tree.blockedBothWays(0));
        return records[0].normal.x;
    };
    // Without the exemption the close wall turns the seed round; with it the seed keeps
    // facing the wall.
    EXPECT_EQ(facing(false), -1.0);
    EXPECT_EQ(facing(true), 1.0);
    // The marks are gone after the check: a plain ray from the seed meets the wall again.
    EXPECT_TRUE(tree.castRay(records[0].position, Vector3(1, 0, 0), 0));
    for (const uint8_t mark : tree.excluded) {
        EXPECT_EQ(mark, 0);
    }

    // A wall beyond the neighbourhoods still turns the seed round, and with a wall behind
    // it as well the seed is blocked both ways.
    records[3].position = Vector3(4.0, 0.5, 0.6);
    tree.reset();
    tree.buildAll(records.data(), 6, 2.5);
    EXPECT_EQ(facing(true), -1.0);
    records[3].position = Vector3(-3.0, 0.5, 0.6);
    records.push_back(makeRecord(4.0, 0.5, 0.6, 1.0));
    tree.reset();
    tree.buildAll(records.data(), 7, 2.5);
    records[0].normal = Vector3(1, 0, 0);
    EXPECT_TRUE(tree.blockedBothWays(0));

    // The exemption belongs to the per-point rule: under the leaf rule it changes nothing
    // (the seed's own cell, holding the close wall, never blocks).
    tree.perPointRays = false;
    records.pop_back();
    records[3].position = Vector3(4.0, 5.0, 0.6);
    tree.reset();
    tree.buildAll(records.data(), 6, 2.5);
    EXPECT_EQ(facing(false), 1.0);
    EXPECT_EQ(facing(true), 1.0);
}

TEST(Octree, KeySpansMeetExactlyForNestedCubes) {
    // Random cubes down to the deepest keyed level, each paired with an ancestor, a
    // descendant, a sibling and an unrelated cube: the spans of two keys meet exactly when
    // one key is a prefix of the other, and TOO_DEEP meets everything.
    std::mt19937_64 random(7);
    auto randomKey = [&](int32_t depth) {
        uint64_t key = 1;
        for (int32_t d = 0; d < depth; ++d) {
            key = 8 * key + random() % 8;
        }
        return key;
    };
    auto spansMeet = [](uint64_t a, uint64_t b) {
        uint64_t aLo = 0, aHi = 0, bLo = 0, bHi = 0;
        Octree::keySpan(a, aLo, aHi);
        Octree::keySpan(b, bLo, bHi);
        return aLo <= bHi && bLo <= aHi;
    };
    int nested = 0;
    int apart = 0;
    for (int round = 0; round < 2000; ++round) {
        const int32_t depth = static_cast<int32_t>(random() % (Octree::MAX_KEY_DEPTH + 1));
        const uint64_t key = randomKey(depth);
        const int32_t up = static_cast<int32_t>(random() % (depth + 1));
        std::vector<uint64_t> others{key >> (3 * up), randomKey(depth), Octree::TOO_DEEP, key ^ 1};
        uint64_t down = key;
        for (int32_t d = depth; d < Octree::MAX_KEY_DEPTH && random() % 3 != 0; ++d) {
            down = 8 * down + random() % 8;
        }
        others.push_back(down);
        for (const uint64_t other : others) {
            uint64_t a = key;
            uint64_t b = other;
            if (b != Octree::TOO_DEEP && (b >> 3) == 0 && b != 1) {
                continue; // not a key
            }
            const bool prefix = [&] {
                if (a == Octree::TOO_DEEP || b == Octree::TOO_DEEP) {
                    return true;
                }
                // Climb from the deeper cube until both are as deep.
                while (std::bit_width(a) > std::bit_width(b)) {
                    a >>= 3;
                }
                while (std::bit_width(b) > std::bit_width(a)) {
                    b >>= 3;
                }
                return a == b;
            }();
            ASSERT_EQ(spansMeet(key, other), prefix) << key << " " << other;
            ASSERT_EQ(Octree::keysNested(key, other), prefix) << key << " " << other;
            (prefix ? nested : apart) += 1;
        }
    }
    EXPECT_GT(nested, 4000);
    EXPECT_GT(apart, 2000);
}
