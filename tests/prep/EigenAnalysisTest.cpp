// Eigen-decomposition of the 17-point scatter matrix: normals, eigenvalues, surface variation.
#include <gtest/gtest.h>

#include <cmath>

#include "prep/PreparedSetSupport.h"

namespace {

// Analyses point 0 of the given 17 positions, with records 1 .. 16 as its neighbours.
Vertex analysedCentre(const std::vector<Vector3>& positions) {
    PointSetPreparation prep;
    fillPoints(prep, positions);
    for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
        prep.vertices[0].neighbours[l] = l + 1;
    }
    prep.keptCount = 1; // only point 0 is analysed
    prep.computeEigenvectors();
    return prep.vertices[0];
}

std::vector<Vector3> tiltedCloud(double spread) {
    std::vector<Vector3> points = scatteredPoints(17, 99);
    for (Vector3& p : points) {
        p = Vector3(1 + spread * (p.x + 0.3 * p.y), 2 + spread * p.y,
                    -1 + spread * 0.3 * (p.z + 0.2 * p.x));
    }
    return points;
}

} // namespace

TEST(EigenAnalysis, PlaneScaleAndCoincidentPoints) {
    std::vector<Vector3> plane;
    for (int i = 0; i < 17; ++i) {
        plane.emplace_back(i % 5 + 0.1 * i, i / 5 - 0.05 * i * i, 2.5);
    }
    const Vertex flat = analysedCentre(plane);
    EXPECT_NEAR(std::fabs(flat.normal.z), 1.0, 1e-12);
    EXPECT_NEAR(std::fabs(flat.normal.x) + std::fabs(flat.normal.y), 0.0, 1e-12);
    EXPECT_NEAR(flat.surfaceVariation, 0.0, 1e-12);
    EXPECT_LE(flat.eigenvalues[0], flat.eigenvalues[1]);
    EXPECT_LE(flat.eigenvalues[1], flat.eigenvalues[2]);

    // Doubling every offset quadruples the eigenvalues and keeps variation and normal.
    const Vertex a = analysedCentre(tiltedCloud(1.0));
    const Vertex b = analysedCentre(tiltedCloud(2.0));
    EXPECT_GT(a.surfaceVariation, 0.001);
    EXPECT_NEAR(b.surfaceVariation, a.surfaceVariation, 1e-12);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(b.eigenvalues[i], 4.0 * a.eigenvalues[i], 1e-9 * b.eigenvalues[2]);
    }
    EXPECT_NEAR(std::fabs(a.normal.dot(b.normal)), 1.0, 1e-12);

    // Coincident points: identity normal and the largest variation.
    const Vertex point = analysedCentre(std::vector<Vector3>(17, Vector3(3, 3, 3)));
    EXPECT_EQ(point.normal.x, 1.0);
    EXPECT_EQ(point.normal.y, 0.0);
    EXPECT_EQ(point.normal.z, 0.0);
    EXPECT_EQ(point.eigenvalues[2], 0.0);
    EXPECT_DOUBLE_EQ(point.surfaceVariation, 1.0 / 3.0);
}

// The two procedures together must diagonalise any symmetric matrix: A z = z diag(d), z
// orthonormal, d ascending.
TEST(EigenAnalysis, DecompositionSolvesRandomSymmetricMatrices) {
    uint64_t seed = 7;
    for (int trial = 0; trial < 500; ++trial) {
        double a[3][3];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j <= i; ++j) {
                a[i][j] = a[j][i] = nextScattered(seed) * (trial % 3 == 0 ? 0.1 : 10.0);
            }
        }
        double d[3], e[3], z[3][3];
        PointSetPreparation::householderTridiagonalize(a, d, e, z, 3, 1e-10);
        ASSERT_EQ(PointSetPreparation::qlImplicit(d, e, z, 3, 1e-10), 0);
        const double scale = std::max({std::fabs(d[0]), std::fabs(d[1]), std::fabs(d[2])});
        EXPECT_LE(d[0], d[1]);
        EXPECT_LE(d[1], d[2]);
        for (int c = 0; c < 3; ++c) {
            for (int r = 0; r < 3; ++r) {
                const double az = a[r][0] * z[0][c] + a[r][1] * z[1][c] + a[r][2] * z[2][c];
                ASSERT_NEAR(az, d[c] * z[r][c], 1e-9 * scale) << trial;
                const double dot = z[0][c] * z[0][r] + z[1][c] * z[1][r] + z[2][c] * z[2][r];
                ASSERT_NEAR(dot, c == r ? 1.0 : 0.0, 1e-12) << trial;
            }
        }
    }
}
