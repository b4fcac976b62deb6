// Eigen-decomposition of the 17-point scatter matrix: normals, eigenvalues, surface variation.
#include <gtest/gtest.h>

#include <cmath>

#include "prep/PreparedSetSupport.h"

namespace {

// Point 0 with records 1 .. 16 as its neighbours; the others list point 0 sixteen times.
PointSetPreparation seventeenPoints(const std::vector<Vector3>& positions) {
    PointSetPreparation prep;
    fillPoints(prep, positions);
    for (int32_t l = 0; l < NEIGHBOUR_COUNT; ++l) {
        prep.vertices[0].neighbours[l] = l + 1;
    }
    return prep;
}

std::vector<Vector3> tiltedCloud(double spread, double flatness) {
    std::vector<Vector3> points = scatteredPoints(17, 99);
    for (Vector3& p : points) {
        p = Vector3(1 + spread * (p.x + 0.3 * p.y), 2 + spread * p.y,
                    -1 + spread * flatness * (p.z + 0.2 * p.x));
    }
    return points;
}

} // namespace

TEST(EigenAnalysis, PlaneGivesVerticalNormalAndZeroVariation) {
    std::vector<Vector3> plane;
    for (int i = 0; i < 17; ++i) {
        plane.emplace_back(i % 5 + 0.1 * i, i / 5 - 0.05 * i * i, 2.5);
    }
    PointSetPreparation prep = seventeenPoints(plane);
    prep.keptCount = 1; // only point 0 is analysed; the others keep zero data
    prep.computeEigenvectors();
    const Vertex& v = prep.vertices[0];
    EXPECT_NEAR(std::fabs(v.normal.z), 1.0, 1e-12);
    EXPECT_NEAR(v.normal.x, 0.0, 1e-12);
    EXPECT_NEAR(v.normal.y, 0.0, 1e-12);
    EXPECT_NEAR(v.surfaceVariation, 0.0, 1e-12);
    EXPECT_LE(v.eigenvalues[0], v.eigenvalues[1]);
    EXPECT_LE(v.eigenvalues[1], v.eigenvalues[2]);
}

TEST(EigenAnalysis, DoublingOffsetsQuadruplesEigenvaluesAndKeepsVariation) {
    PointSetPreparation once = seventeenPoints(tiltedCloud(1.0, 0.3));
    PointSetPreparation twice = seventeenPoints(tiltedCloud(2.0, 0.3));
    once.keptCount = twice.keptCount = 1;
    once.computeEigenvectors();
    twice.computeEigenvectors();
    const Vertex& a = once.vertices[0];
    const Vertex& b = twice.vertices[0];
    EXPECT_GT(a.surfaceVariation, 0.001);
    EXPECT_NEAR(b.surfaceVariation, a.surfaceVariation, 1e-12);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(b.eigenvalues[i], 4.0 * a.eigenvalues[i], 1e-9 * b.eigenvalues[2]);
    }
    EXPECT_NEAR(std::fabs(a.normal.dot(b.normal)), 1.0, 1e-12);
}

TEST(EigenAnalysis, CoincidentPointsGetIdentityNormalAndLargestVariation) {
    PointSetPreparation prep = seventeenPoints(std::vector<Vector3>(17, Vector3(3, 3, 3)));
    prep.keptCount = 1;
    prep.computeEigenvectors();
    const Vertex& v = prep.vertices[0];
    EXPECT_EQ(v.normal.x, 1.0);
    EXPECT_EQ(v.normal.y, 0.0);
    EXPECT_EQ(v.normal.z, 0.0);
    EXPECT_EQ(v.eigenvalues[0], 0.0);
    EXPECT_EQ(v.eigenvalues[2], 0.0);
    EXPECT_DOUBLE_EQ(v.surfaceVariation, 1.0 / 3.0);
}

// The two procedures together must diagonalise any symmetric matrix: A z = z diag(d), z
// orthonormal, d ascending.
TEST(EigenAnalysis, DecompositionSolvesRandomSymmetricMatrices) {
    uint64_t seed = 7;
    auto next = [&seed]() {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) * 0x1.0p-53 * 2.0 - 1.0;
    };
    for (int trial = 0; trial < 500; ++trial) {
        double a[3][3];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j <= i; ++j) {
                a[i][j] = a[j][i] = next() * (trial % 3 == 0 ? 0.1 : 10.0);
            }
        }
        double d[3], e[3], z[3][3];
        PointSetPreparation::householderTridiagonalize(a, d, e, z, 3, 1e-10);
        ASSERT_EQ(PointSetPreparation::qlImplicit(d, e, z, 3, 1e-10), 0);
        double scale = 0.0;
        for (int i = 0; i < 3; ++i) {
            scale = std::max(scale, std::fabs(d[i]));
        }
        EXPECT_LE(d[0], d[1]);
        EXPECT_LE(d[1], d[2]);
        for (int c = 0; c < 3; ++c) {
            for (int r = 0; r < 3; ++r) {
                const double az = a[r][0] * z[0][c] + a[r][1] * z[1][c] + a[r][2] * z[2][c];
                ASSERT_NEAR(az, d[c] * z[r][c], 1e-9 * scale) << trial;
            }
            for (int c2 = 0; c2 < 3; ++c2) {
                const double dot = z[0][c] * z[0][c2] + z[1][c] * z[1][c2] + z[2][c] * z[2][c2];
                ASSERT_NEAR(dot, c == c2 ? 1.0 : 0.0, 1e-12) << trial;
            }
        }
    }
}
