// Whether a point's neighbourhood reaches round a thin part, on hand-made neighbourhoods.
#include <gtest/gtest.h>

#include <cmath>

#include "support/MeshInvariants.h"

namespace {

using meshtest::TestCloud;

// Completes every point of the cloud, with the given normal per point.
void completeWithNormals(TestCloud& cloud, const std::vector<Vector3>& normals) {
    for (int32_t p = 0; p < cloud.size(); ++p) {
        cloud.records[p].normal = normals[static_cast<size_t>(p)];
        cloud.state.setPointState(p, 1);
    }
}

TEST(ThinParts, OppositeFacingNeighboursMarkAThinPart) {
    // Two rings of nine points round a tube of radius 1, normals pointing outwards: the
    // neighbourhood of a point reaches the far wall, whose normals face back.
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;
    for (int ring = 0; ring < 2; ++ring) {
        for (int k = 0; k < 9; ++k) {
            const double a = 2.0 * M_PI * k / 9.0;
            positions.emplace_back(std::cos(a), std::sin(a), 0.7 * ring);
            normals.emplace_back(std::cos(a), std::sin(a), 0.0);
        }
    }
    TestCloud tube(positions);
    completeWithNormals(tube, normals);
    const std::vector<uint8_t> none(positions.size(), 0);
    EXPECT_TRUE(tube.state.neighbourhoodSpansThinPart(0, none));
    // Open points tell nothing: the walls must be completed.
    for (int32_t p = 0; p < tube.size(); ++p) {
        tube.state.setPointState(p, 0);
    }
    EXPECT_FALSE(tube.state.neighbourhoodSpansThinPart(0, none));

    // Round the edge of a cube, the normals of the two faces are a right angle apart.
    positions.clear();
    normals.clear();
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            positions.emplace_back(i, j, 0.0);
            normals.emplace_back(0.0, 0.0, 1.0);
            positions.emplace_back(0.0, j, -1.0 - i);
            normals.emplace_back(-1.0, 0.0, 0.0);
        }
    }
    TestCloud edge(positions);
    completeWithNormals(edge, normals);
    const std::vector<uint8_t> noFolds(positions.size(), 0);
    EXPECT_FALSE(edge.state.neighbourhoodSpansThinPart(0, noFolds));

    // A flat patch with one neighbour facing back: a fold of the patch, not a far wall,
    // whether or not it is marked as folded.
    for (size_t k = 0; k < positions.size(); ++k) {
        positions[k] = Vector3(static_cast<double>(k % 6), static_cast<double>(k / 6), 0.0);
    }
    normals.assign(positions.size(), Vector3(0.0, 0.0, 1.0));
    normals[1] = Vector3(0.0, 0.0, -1.0);
    TestCloud patch(positions);
    completeWithNormals(patch, normals);
    EXPECT_FALSE(patch.state.neighbourhoodSpansThinPart(0, noFolds));
}

TEST(ThinParts, CloseSheetsAreNoThinPart) {
    // Two parallel sheets a spacing apart, facing away from each other: walls of a slab, but
    // nothing turns from one to the other. Bridging points between them facing sideways
    // make it a part; marked as folded they are left out again.
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;
    for (int sheet = 0; sheet < 2; ++sheet) {
        for (int k = 0; k < 8; ++k) {
            positions.emplace_back(k % 4, k / 4, sheet);
            normals.emplace_back(0.0, 0.0, sheet == 0 ? -1.0 : 1.0);
        }
    }
    TestCloud sheets(positions);
    completeWithNormals(sheets, normals);
    const std::vector<uint8_t> none(positions.size(), 0);
    EXPECT_FALSE(sheets.state.neighbourhoodSpansThinPart(0, none));

    positions.emplace_back(1.0, 0.0, 0.5);
    normals.emplace_back(0.0, -1.0, 0.0);
    TestCloud bridged(positions);
    completeWithNormals(bridged, normals);
    std::vector<uint8_t> folded(positions.size(), 0);
    EXPECT_TRUE(bridged.state.neighbourhoodSpansThinPart(0, folded));
    folded.back() = 1;
    EXPECT_FALSE(bridged.state.neighbourhoodSpansThinPart(0, folded));
}

} // namespace
