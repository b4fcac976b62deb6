// Why a run built no face: each case is told apart, and a cloud that is nearly but not
// exactly flat is not taken for a plane. Exactly flat clouds through the library: a random
// patch whose first point cannot seed is meshed from another seed; a square grid is not,
// and says why.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/NoFaceReason.h"
#include "fanmesh/fanmesh.h"

namespace {

// Records at the given positions, in order.
std::vector<Vertex> records(const std::vector<Vector3>& positions) {
    std::vector<Vertex> result(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        result[i].position = positions[i];
    }
    return result;
}

// A w x h grid of unit spacing, tilted so that no coordinate is constant; `lift` raises the
// middle point off the plane by that much.
std::vector<Vector3> tiltedGrid(int w, int h, double lift) {
    std::vector<Vector3> points;
    for (int i = 0; i < w; ++i) {
        for (int j = 0; j < h; ++j) {
            const bool middle = i == w / 2 && j == h / 2;
            points.emplace_back(i + 0.5 * j, j, 0.25 * i + 0.125 * j + (middle ? lift : 0.0));
        }
    }
    return points;
}

TEST(NoFaceReason, EachCaseIsNamed) {
    std::vector<Vector3> line;
    for (int i = 0; i < 60; ++i) {
        line.emplace_back(3.0 * i, -2.0 * i, 0.5 * i + 1.0);
    }
    const std::vector<Vector3> few = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                      {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    const struct {
        std::vector<Vector3> points;
        bool seedAccepted;
        std::string reason;
    } cases[] = {
        {line, false, "all 60 usable points lie on one line"},
        {line, true, "all 60 usable points lie on one line"},
        {tiltedGrid(8, 8, 0.0), false,
         "all 64 usable points lie exactly in one plane and no seed point got a first fan"},
        {tiltedGrid(8, 8, 0.0), true,
         "all 64 usable points lie exactly in one plane, where the growth stalled and the "
         "clean-up removed what it built"},
        // One point 1e-6 off the plane: not exactly flat.
        {tiltedGrid(8, 8, 1e-6), false, "no seed point among the 64 usable points got a first fan"},
        {tiltedGrid(8, 8, 1e-6), true,
         "every face the growth built was removed again by the clean-up passes"},
        {few, false, "only 8 usable points, too few to grow a surface over them"},
        {few, true, "only 8 usable points, too few to grow a surface over them"},
    };
    for (const auto& c : cases) {
        const std::vector<Vertex> points = records(c.points);
        EXPECT_EQ(
            describeNoFace(points.data(), static_cast<int32_t>(points.size()), c.seedAccepted),
            c.reason);
    }
}

TEST(NoFaceReason, ExactlyFlatClouds) {
    // Uniform points at z = 0 in a 30 x 30 square (a 64-bit LCG), starting at a corner: every
    // point has surface variation 0, and the corner, offered first, gets no first fan.
    std::vector<double> patch = {0.0, 0.0, 0.0};
    uint64_t state = 4;
    const auto uniform = [&state] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return 30.0 * static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    while (patch.size() < 3000) {
        const double x = uniform();
        patch.insert(patch.end(), {x, uniform(), 0.0});
    }
    const fanmesh::Result meshed = fanmesh::reconstruct(patch);
    EXPECT_GT(meshed.report.pointsUsed, 900);
    EXPECT_EQ(meshed.noFaceReason, "");

    std::vector<double> grid;
    for (int i = 0; i < 50; ++i) {
        for (int j = 0; j < 50; ++j) {
            grid.insert(grid.end(), {double(i), double(j), 0.0});
        }
    }
    const fanmesh::Result none = fanmesh::reconstruct(grid);
    EXPECT_TRUE(none.faces.empty());
    EXPECT_EQ(none.noFaceReason,
              "all 2500 usable points lie exactly in one plane and no seed point got a first fan");
}

} // namespace
