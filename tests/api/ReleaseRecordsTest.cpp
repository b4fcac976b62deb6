// Freeing a finished run's records before its mesh is written: the faces and figures taken
// before the release are those of a run that keeps them, and what stays readable is intact.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "api/ReconstructionRun.h"
#include "api/RunFigures.h"

namespace {

// Points on a sphere of radius 5 (golden-angle spiral), as x y z triples.
std::vector<double> spherePoints(int count) {
    std::vector<double> xyz;
    for (int i = 0; i < count; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / count;
        const double r = std::sqrt(1.0 - z * z);
        const double angle = i * 3.14159265358979323846 * (3.0 - std::sqrt(5.0));
        xyz.insert(xyz.end(), {5.0 * r * std::cos(angle), 5.0 * r * std::sin(angle), 5.0 * z});
    }
    return xyz;
}

} // namespace

TEST(ReleaseRecords, FiguresAndCountsSurviveAndTheRecordsAreFreed) {
    std::vector<double> xyz = spherePoints(700);
    // A repeated point is set aside, so the record order differs from the input's.
    xyz.insert(xyz.end(), {xyz[30], xyz[31], xyz[32]});
    ReconstructionRun kept;
    ReconstructionRun released;
    for (ReconstructionRun* run : {&kept, &released}) {
        run->preparation.storePoints(xyz.data(), static_cast<int32_t>(xyz.size() / 3));
        ASSERT_TRUE(run->run(Settings{}, nullptr, nullptr));
    }
    const std::vector<int32_t> faces = released.facesInInputOrder();
    ASSERT_FALSE(faces.empty());
    released.releaseRecords();

    EXPECT_EQ(faces, kept.facesInInputOrder());
    EXPECT_EQ(released.pointCount(), kept.pointCount());
    EXPECT_EQ(released.pointCount(), 701);
    const fanmesh::Report before = reportOf(kept, faces);
    const fanmesh::Report after = reportOf(released, faces);
    EXPECT_EQ(after.pointsRead, before.pointsRead);
    EXPECT_EQ(after.pointsUsed, before.pointsUsed);
    EXPECT_EQ(after.faces, before.faces);
    EXPECT_EQ(after.components, before.components);
    EXPECT_EQ(after.boundaryLoops, before.boundaryLoops);
    EXPECT_TRUE(released.faces.empty());
    EXPECT_TRUE(released.preparation.vertices.empty());
    EXPECT_TRUE(released.preparation.inputIndex.empty());
    EXPECT_EQ(released.builder.vertices, nullptr);
    EXPECT_EQ(released.builder.state.vertices, nullptr);
}
