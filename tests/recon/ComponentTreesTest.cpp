// Tests of the kept component trees: a kept tree, edited point by point as its component
// loses and gains points, is the tree a fresh build gives, and a ray recorded against an
// earlier version whose cubes are reported unchanged has the same answer in the current tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "recon/ComponentTrees.h"

namespace {

// The leaves as cube corner, edge and sorted points, in child order.
std::vector<std::pair<std::vector<double>, std::vector<int32_t>>> leafSets(const Octree& tree) {
    std::vector<std::pair<std::vector<double>, std::vector<int32_t>>> result;
    for (const Octree::Leaf& leaf : tree.leaves()) {
        std::vector<int32_t> points(leaf.begin, leaf.end);
        std::sort(points.begin(), points.end());
        result.push_back(
            {{leaf.minCorner.x, leaf.minCorner.y, leaf.minCorner.z, leaf.edge}, points});
    }
    return result;
}

struct RecordedRay {
    int32_t origin;
    Vector3 direction;
    bool hit;
    uint64_t lineage;
    int64_t version;
    std::vector<uint64_t> cubes;
};

TEST(ComponentTrees, KeptTreesMatchFreshBuildsAndCarryRayAnswersOverUnchangedCubes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const int32_t count = 1500;
    std::vector<Vertex> records(count);
    for (int32_t i = 0; i < count; ++i) {
        // A thick shell with scattered points inside, and a few large radii that make
        // whole cubes leaves when they join.
        Vector3 v(unit(random), unit(random), unit(random));
        if (i % 4 != 0) {
            v.normalize();
            v.scale(1.0 + 0.1 * unit(random));
        }
        v.scale(12.0);
        records[i].position = v;
        records[i].neighbourhoodRadius = i % 97 == 0 ? 3.0 : 0.5 + 0.4 * std::fabs(unit(random));
    }
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            records[i].neighbours[k] = static_cast<int32_t>(random() % count);
        }
    }
    // The six points at the extremes stay members, so the root cube stays the same.
    std::vector<int32_t> keep;
    for (int axis = 0; axis < 3; ++axis) {
        const auto coordinate = [&](int32_t i) {
            const Vector3& v = records[i].position;
            return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
        };
        std::vector<int32_t> order(count);
        for (int32_t i = 0; i < count; ++i) {
            order[i] = i;
        }
        const auto [low, high] =
            std::minmax_element(order.begin(), order.end(), [&](int32_t a, int32_t b) {
                return coordinate(a) < coordinate(b);
            });
        keep.push_back(*low);
        keep.push_back(*high);
    }
    std::vector<uint8_t> member(count, 0);
    std::vector<int32_t> component;
    for (int32_t i = 0; i < count; ++i) {
        if (i % 3 != 0 || std::find(keep.begin(), keep.end(), i) != keep.end()) {
            member[i] = 1;
            component.push_back(i);
        }
    }

    ComponentTrees trees;
    std::vector<RecordedRay> rays;
    int carried = 0, refused = 0;
    for (int round = 0; round < 40; ++round) {
        std::shuffle(component.begin(), component.end(), random);
        Octree& tree = trees.build(records.data(), component, 2.5, 0.0);
        Octree fresh;
        fresh.buildFor(records.data(), component.data(), static_cast<int32_t>(component.size()),
                       2.5);
        ASSERT_EQ(leafSets(tree), leafSets(fresh)) << round;
        ASSERT_NE(trees.currentLineage(), 0u);

        // Rays recorded in earlier rounds: those the log vouches for keep their answers.
        for (const RecordedRay& ray : rays) {
            if (!trees.unchangedSince(ray.lineage, ray.version, ray.cubes.data(),
                                      ray.cubes.size())) {
                ++refused;
                continue;
            }
            ++carried;
            ASSERT_EQ(tree.castRay(records[ray.origin].position, ray.direction, ray.origin),
                      ray.hit)
                << "round " << round << " origin " << ray.origin;
        }
        // New recordings, kept for several rounds (the oldest are dropped).
        for (int k = 0; k < 60; ++k) {
            RecordedRay ray;
            ray.origin = component[random() % component.size()];
            ray.direction = Vector3(unit(random), unit(random), unit(random));
            ray.hit =
                tree.castRay(records[ray.origin].position, ray.direction, ray.origin, &ray.cubes);
            if (ray.hit) {
                // A hit rests on the leaf that blocked the ray.
                ray.cubes.erase(ray.cubes.begin(), ray.cubes.end() - 1);
            }
            ray.lineage = trees.currentLineage();
            ray.version = trees.currentVersion();
            rays.push_back(ray);
        }
        if (rays.size() > 400) {
            rays.erase(rays.begin(), rays.begin() + 60);
        }
        // A few points leave and join; every fifth round changes nothing.
        if (round % 5 != 4) {
            for (int change = 0; change < 1 + round % 4; ++change) {
                // Every other change is one of the large radii, which flip whole cubes
                // between leaf and split.
                const int32_t p = change % 2 == 0 ? 97 * static_cast<int32_t>(random() % 16)
                                                  : static_cast<int32_t>(random() % count);
                if (std::find(keep.begin(), keep.end(), p) != keep.end()) {
                    continue;
                }
                member[p] ^= 1;
            }
            component.clear();
            for (int32_t i = 0; i < count; ++i) {
                if (member[i] == 1) {
                    component.push_back(i);
                }
            }
        }
    }
    // Both outcomes occur often enough for the comparison to mean something.
    EXPECT_GT(carried, 2000);
    EXPECT_GT(refused, 200);

    // A component with another root cube starts a new history: nothing carries over.
    const uint64_t before = trees.currentLineage();
    const std::vector<int32_t> part(component.begin(), component.begin() + 100);
    trees.build(records.data(), part, 2.5, 0.0);
    EXPECT_NE(trees.currentLineage(), before);
    EXPECT_FALSE(trees.unchangedSince(before, 0, nullptr, 0));
}

TEST(ComponentTrees, ManyComponentsVisitedByTurnsKeepTheirHistories) {
    // A noisy cloud splits into many components that the layer passes visit in the same order
    // pass after pass; each must find its own tree again, with its history, rather than take
    // the place of another one just before that one comes back.
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int32_t groups = 9;
    const int32_t size = 40;
    std::vector<Vertex> records(groups * size);
    std::vector<std::vector<int32_t>> components(groups);
    for (int32_t g = 0; g < groups; ++g) {
        for (int32_t i = 0; i < size; ++i) {
            const int32_t p = g * size + i;
            records[p].position =
                Vector3(20.0 * g + 5.0 * unit(random), 5.0 * unit(random), 5.0 * unit(random));
            records[p].neighbourhoodRadius = 0.5;
            std::fill(records[p].neighbours, records[p].neighbours + NEIGHBOUR_COUNT, -1);
            components[g].push_back(p);
        }
    }
    ComponentTrees trees;
    std::vector<uint64_t> lineages(groups, 0);
    for (int round = 0; round < 3; ++round) {
        for (int32_t g = 0; g < groups; ++g) {
            Octree& tree = trees.build(records.data(), components[g], 1.0, 0.0);
            Octree fresh;
            fresh.buildFor(records.data(), components[g].data(), size, 1.0);
            ASSERT_EQ(leafSets(tree), leafSets(fresh)) << "round " << round << " group " << g;
            ASSERT_NE(trees.currentLineage(), 0u);
            if (round > 0) {
                EXPECT_EQ(trees.currentLineage(), lineages[g])
                    << "round " << round << " group " << g;
            }
            lineages[g] = trees.currentLineage();
        }
    }
    std::sort(lineages.begin(), lineages.end());
    EXPECT_EQ(std::unique(lineages.begin(), lineages.end()), lineages.end());
}

TEST(ComponentTrees, HundredsOfSmallComponentsKeepTheirTreesAndCastRaysAsFreshTrees) {
    // A noisy sheet keeps about a thousand small components with a growing front: each finds
    // its own tree and history again however many others came between, and the exclusion
    // marks the trees share leave every ray the answer of a fresh tree of its own.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int32_t groups = 300;
    const int32_t size = 6;
    std::vector<Vertex> records(groups * size);
    std::vector<std::vector<int32_t>> components(groups);
    for (int32_t g = 0; g < groups; ++g) {
        for (int32_t i = 0; i < size; ++i) {
            const int32_t p = g * size + i;
            records[p].position = Vector3(10.0 * (g % 20) + 2.0 * unit(random),
                                          10.0 * (g / 20) + 2.0 * unit(random), unit(random));
            records[p].neighbourhoodRadius = 0.4;
            // Each point's neighbours are the other points of its group, so a ray from one
            // of them passes its own group only while the marks exclude it.
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                records[p].neighbours[k] = g * size + (i + 1 + k % (size - 1)) % size;
            }
            components[g].push_back(p);
        }
    }
    ComponentTrees trees;
    std::vector<uint64_t> lineages(groups, 0);
    for (int round = 0; round < 3; ++round) {
        for (int32_t g = 0; g < groups; ++g) {
            Octree& tree = trees.build(records.data(), components[g], 0.5, 0.3);
            Octree fresh;
            fresh.rayHitDistance = 0.3;
            fresh.buildFor(records.data(), components[g].data(), size, 0.5);
            ASSERT_EQ(leafSets(tree), leafSets(fresh)) << "round " << round << " group " << g;
            if (round > 0) {
                ASSERT_EQ(trees.currentLineage(), lineages[g])
                    << "round " << round << " group " << g;
            }
            lineages[g] = trees.currentLineage();
            for (const int32_t p : components[g]) {
                const Vector3 direction(unit(random) - 0.5, unit(random) - 0.5, 0.2);
                ASSERT_EQ(tree.castRay(records[p].position, direction, p),
                          fresh.castRay(records[p].position, direction, p))
                    << "round " << round << " point " << p;
            }
        }
    }
    std::sort(lineages.begin(), lineages.end());
    EXPECT_EQ(std::unique(lineages.begin(), lineages.end()), lineages.end());
}

TEST(ComponentTrees, RootCubeFollowsPointsLeavingAndJoiningAtTheBoxSides) {
    // A component listed from the same lowest point each time: its root cube is found from the
    // box it had and the points that changed. A point leaving from a side of the box, or joining
    // beyond it, moves the root cube (a new history); changes inside the box keep the history.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const int32_t count = 200;
    std::vector<Vertex> records(count);
    for (int32_t i = 0; i < count; ++i) {
        records[i].position = Vector3(4.0 * unit(random), 3.0 * unit(random), 2.0 * unit(random));
        records[i].neighbourhoodRadius = 0.3;
    }
    records[0].position = Vector3(0.0, 0.0, 0.0); // the first point, never on a side
    const auto lowestX = [&](const std::vector<int32_t>& points) {
        return *std::min_element(points.begin(), points.end(), [&](int32_t a, int32_t b) {
            return records[a].position.x < records[b].position.x;
        });
    };
    std::vector<int32_t> component;
    for (int32_t i = 0; i < count - 1; ++i) {
        component.push_back(i); // the last point joins later, beyond the box
    }
    records[count - 1].position = Vector3(0.5, 9.0, 0.5);
    ComponentTrees trees;
    uint64_t lineage = 0;
    // Each step: the change, and whether the root cube stays.
    const auto step = [&](int32_t leaving, int32_t joining, bool sameCube, int line) {
        if (leaving >= 0) {
            component.erase(std::find(component.begin(), component.end(), leaving));
        }
        if (joining >= 0) {
            component.push_back(joining);
        }
        Octree& tree = trees.build(records.data(), component, 0.5, 0.0);
        Octree fresh;
        fresh.buildFor(records.data(), component.data(), static_cast<int32_t>(component.size()),
                       0.5);
        EXPECT_EQ(leafSets(tree), leafSets(fresh)) << "line " << line;
        EXPECT_EQ(trees.currentLineage() == lineage, sameCube) << "line " << line;
        lineage = trees.currentLineage();
    };
    step(-1, -1, false, __LINE__);
    step(7, -1, true, __LINE__);                   // strictly inside the box
    step(lowestX(component), -1, false, __LINE__); // on the low x side
    step(-1, 7, true, __LINE__);                   // back inside
    step(-1, count - 1, false, __LINE__);          // beyond the high y side
    step(count - 1, -1, false, __LINE__);          // and away again
}

} // namespace
