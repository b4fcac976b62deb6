// Hand-over of prepared records to the reconstruction state: removed records at the tail
// get their negated neighbour entries back (an entry naming record 0 included), the
// per-record reconstruction fields are reset, and the random layer vectors are reproducible.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/MeshInvariants.h"

namespace {

std::vector<Vector3> gridPoints(int count) {
    std::vector<Vector3> points;
    for (int i = 0; i < count; ++i) {
        points.emplace_back(i % 5, i / 5, 0.1 * (i % 3));
    }
    return points;
}

double distance(const Vector3& a, const Vector3& b) {
    return difference(a, b).length();
}

} // namespace

TEST(HandOver, RemovedRecordsGetTheirNeighboursBack) {
    meshtest::TestCloud cloud(gridPoints(20));
    std::vector<Vertex>& records = cloud.records;
    // Records 17..19 are removed; the preparation stored their entries negated, so an entry
    // naming record 0 reads 0 and the first removed record is not marked by a negative
    // first entry.
    for (int32_t i = 17; i < 20; ++i) {
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            records[i].neighbours[k] = -((i - 17 + k) % 17);
        }
    }
    ASSERT_EQ(records[17].neighbours[0], 0);
    records[3].triangleFanCount = 5;
    records[3].connectedPoints = {1, 2};
    records[3].currentTriangleFan = {4, 5};
    int32_t keptNeighbours[NEIGHBOUR_COUNT];
    std::copy(records[2].neighbours, records[2].neighbours + NEIGHBOUR_COUNT, keptNeighbours);

    ReconstructionState state;
    state.attachPoints(records.data(), 20, 17, 4.0, 3.0, 0.2, 2.5);

    EXPECT_EQ(state.totalCount, 20);
    EXPECT_EQ(state.activeCount, 17);
    EXPECT_EQ(state.searchRadius, 2.5);
    EXPECT_EQ(state.halfSearchRadius, 1.25);
    EXPECT_EQ(state.pointState.size(), 20u);
    for (int32_t i = 17; i < 20; ++i) {
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            EXPECT_EQ(records[i].neighbours[k], (i - 17 + k) % 17) << i << " " << k;
        }
        EXPECT_EQ(records[i].neighbourhoodRadius,
                  distance(records[i].position, records[records[i].neighbours[15]].position));
    }
    EXPECT_TRUE(
        std::equal(keptNeighbours, keptNeighbours + NEIGHBOUR_COUNT, records[2].neighbours));
    EXPECT_EQ(records[2].neighbourhoodRadius,
              distance(records[2].position, records[keptNeighbours[15]].position));
    EXPECT_EQ(records[3].triangleFanCount, 0);
    EXPECT_TRUE(records[3].connectedPoints.empty());
    EXPECT_TRUE(records[3].currentTriangleFan.empty());

    // Without removed records every record takes part and no entry changes sign.
    meshtest::TestCloud plain(gridPoints(18));
    ReconstructionState plainState;
    plainState.attachPoints(plain.records.data(), 18, 18, 4.0, 3.0, 0.2, 2.5);
    EXPECT_EQ(plainState.activeCount, 18);
    for (const Vertex& record : plain.records) {
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            EXPECT_GE(record.neighbours[k], 0);
        }
    }
}

TEST(HandOver, RandomVectorsAreReproducible) {
    ReconstructionState first, second;
    first.seedRandom(RANDOM_SEED);
    second.seedRandom(RANDOM_SEED);
    const Vector3 v = first.randomVector();
    // The first three draws after seed 1 are 41, 18467 and 6334; the first goes to z.
    if (RANDOM_SEED == 1u) {
        EXPECT_EQ(v.z, 41 * (1.0 / 32767.0));
        EXPECT_EQ(v.y, 18467 * (1.0 / 32767.0));
        EXPECT_EQ(v.x, 6334 * (1.0 / 32767.0));
    }
    const Vector3 w = second.randomVector();
    EXPECT_TRUE(v.x == w.x && v.y == w.y && v.z == w.z);
}
