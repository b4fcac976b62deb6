// Fan acceptance criteria: the angle and fold limits at their boundaries, convexity,
// the hidden-neighbour swap and the normal test of a folded fan.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/Geometry.h"
#include "support/MeshInvariants.h"

namespace {

// Moves one component of v by single ulps around its start until lo <= measure(v) <= hi.
template <typename Measure>
bool nudgeInto(Vector3& v, double Vector3::*component, double lo, double hi, Measure measure) {
    const double start = v.*component;
    for (double direction : {1.0, -1.0}) {
        v.*component = start;
        for (int step = 0; step < 4000; ++step) {
            const double value = measure(v);
            if (value >= lo && value <= hi) {
                return true;
            }
            v.*component = std::nextafter(v.*component, direction * 10.0);
        }
    }
    return false;
}

// Centre 0 at the origin, lastPoint 1 on the x axis, candidate 2, first point 3.
struct AngleFixture {
    meshtest::TestCloud cloud{
        {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, -1, 0)}};

    // Puts the candidate so that its angle from the x axis, seen from the centre, is within
    // lo to hi (120 and 15 themselves are not the result of any angle computation).
    void placeCandidate(double lo, double hi) {
        const double degrees = 0.5 * (lo + hi);
        Vector3 n(std::cos(degrees * M_PI / 180.0), std::sin(degrees * M_PI / 180.0), 0.0);
        ASSERT_TRUE(nudgeInto(n, &Vector3::y, lo, hi, [&](const Vector3& q) {
            return vertexAngleDeg(Vector3(0, 0, 0), Vector3(1, 0, 0), q);
        }));
        cloud.records[2].position = n;
    }
    void placeCandidateApprox(double degrees) {
        cloud.records[2].position =
            Vector3(std::cos(degrees * M_PI / 180.0), std::sin(degrees * M_PI / 180.0), 0.0);
    }
    void setWorkingFanLength(std::size_t length) {
        cloud.records[0].currentTriangleFan.assign(length, 3);
    }
    bool test(bool closing) {
        double angle = 0.0;
        return cloud.state.triangleAngleTest(0, 1, 2, closing ? 2 : 3, angle);
    }
};

// With traced, point 0 is the traced point, for which a refused fold is reported too.
bool dihedralPasses(const Vector3& tn, double* dihedral = nullptr, bool traced = false) {
    meshtest::TestCloud cloud{{Vector3(0, 0, 0), Vector3(1, 0, 0)}};
    cloud.state.tracePoint = traced ? 0 : -1;
    double value = 0.0;
    const bool result = cloud.state.dihedralTest(0, 1, Vector3(0, 0, 1), tn, value);
    if (dihedral != nullptr) {
        *dihedral = value;
    }
    return result;
}

// The previous normal (0, 0, 1) turned about the x axis by degrees.
Vector3 turned(double degrees) {
    const double t = degrees * M_PI / 180.0;
    return Vector3(0.0, -std::sin(t), std::cos(t));
}

} // namespace

TEST(FanCriteria, TriangleAngleLimits) {
    AngleFixture f;
    f.setWorkingFanLength(4);
    f.placeCandidate(100.0, 100.0);
    EXPECT_TRUE(f.test(false));
    f.placeCandidateApprox(100.000001);
    EXPECT_FALSE(f.test(false));
    EXPECT_TRUE(f.test(true));
    f.placeCandidate(120.0 - 1e-12, 120.0);
    EXPECT_TRUE(f.test(true));
    f.placeCandidate(std::nextafter(120.0, 200.0), 120.0 + 1e-12);
    EXPECT_FALSE(f.test(true));
    f.placeCandidate(15.0, 15.0 + 1e-12);
    EXPECT_TRUE(f.test(false));
    f.placeCandidate(15.0 - 1e-12, std::nextafter(15.0, 0.0));
    EXPECT_FALSE(f.test(false));

    // The smallest angle is waived only right after the initial fan, or when closing.
    f.placeCandidateApprox(10.0);
    EXPECT_FALSE(f.test(false));
    EXPECT_TRUE(f.test(true));
    f.setWorkingFanLength(3);
    EXPECT_TRUE(f.test(false));
    f.setWorkingFanLength(5);
    EXPECT_FALSE(f.test(false));

    // The angle is reported when the test passes, and on a refusal only for the traced
    // point (a clear refusal is decided from the cosine alone).
    double angle = 0.0;
    f.setWorkingFanLength(3);
    EXPECT_TRUE(f.cloud.state.triangleAngleTest(0, 1, 2, 3, angle));
    EXPECT_NEAR(angle, 10.0, 1e-9);
    f.setWorkingFanLength(5);
    f.cloud.state.tracePoint = 0;
    angle = 0.0;
    EXPECT_FALSE(f.cloud.state.triangleAngleTest(0, 1, 2, 3, angle));
    EXPECT_NEAR(angle, 10.0, 1e-9);
}

TEST(FanCriteria, DihedralLimits) {
    double dihedral = 0.0;
    // (0,0,1) to (0,1,0) about the x axis is a turn of exactly -90.
    EXPECT_TRUE(dihedralPasses(Vector3(0, 1, 0), &dihedral));
    EXPECT_EQ(dihedral, -90.0);
    Vector3 at140 = turned(140.0);
    ASSERT_TRUE(nudgeInto(at140, &Vector3::z, 140.0, 140.0, [](const Vector3& tn) {
        return orientedAngleDeg(Vector3(0, 0, 1), tn, Vector3(1, 0, 0));
    }));
    EXPECT_TRUE(dihedralPasses(at140, &dihedral));
    EXPECT_EQ(dihedral, 140.0);
    EXPECT_FALSE(dihedralPasses(turned(-90.5)));
    EXPECT_FALSE(dihedralPasses(turned(140.5)));
    EXPECT_TRUE(dihedralPasses(turned(-89.5)));
    EXPECT_TRUE(dihedralPasses(turned(0.0), &dihedral));
    EXPECT_EQ(dihedral, 0.0);
    // A turn measured as 200 is a fold of -160.
    EXPECT_FALSE(dihedralPasses(turned(200.0)));
    EXPECT_FALSE(dihedralPasses(turned(200.0), &dihedral, true));
    EXPECT_NEAR(dihedral, -160.0, 1e-9);
    // Both refusal paths (from the cosine, and from the angle for the traced point) agree
    // on folds either side of the limits, turning both ways.
    for (const double degrees :
         {-170.0, -95.0, -90.001, -89.999, 139.999, 140.001, 150.0, 185.0, 269.0, 271.0, 359.0}) {
        EXPECT_EQ(dihedralPasses(turned(degrees)), dihedralPasses(turned(degrees), nullptr, true))
            << degrees;
    }
}

TEST(FanCriteria, Convexity) {
    meshtest::TestCloud cloud{{Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0),
                               Vector3(0.2, 0.2, -0.5), Vector3(0.2, 0.2, 0.5)}};
    ReconstructionState& state = cloud.state;

    // Triangle (0, 1, 2) has the normal (0, 0, -1): the ray from point 3 against that
    // direction meets the triangle, the one from point 4 does not.
    const Vector3 tn = triangleNormal(cloud.records[0].position, cloud.records[1].position,
                                      cloud.records[2].position);
    EXPECT_FALSE(state.convexityTest(0, 1, 2, tn, 3));
    EXPECT_TRUE(state.convexityTest(0, 1, 2, tn, 4));
    // Once the centre has a fan of more than one entry its own normal is tried as well.
    cloud.records[0].triangleFanCount = 2;
    EXPECT_FALSE(state.convexityTest(0, 1, 2, tn, 4));
}

TEST(FanCriteria, HiddenNeighbourIsSwappedForTheNearerCorner) {
    // A square fan around the origin; point 5 lies over the wedge (1, 2), nearer to 1. A fan
    // built in reversed order looks for hidden neighbours on the other side.
    for (int run = 0; run < 4; ++run) {
        const bool reversed = run >= 2;
        const double lift = run % 2 == 0 ? 0.05 : -0.05;
        SCOPED_TRACE(reversed ? "reversed" : "in order");
        meshtest::TestCloud cloud{{Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0),
                                   Vector3(-1, 0, 0), Vector3(0, -1, 0), Vector3(0.6, 0.3, lift)}};
        ReconstructionState& state = cloud.state;
        state.hiddenSideReversed = reversed;
        cloud.setFan(0, {1, 2, 3, 4}, false);
        bool found = false;
        EXPECT_EQ(state.findHostTriangle(0, 5, found), 1);
        EXPECT_TRUE(found);
        EXPECT_EQ(state.findHostTriangle(0, 3, found), 2);
        if ((lift > 0.0) != reversed) {
            // On the side the triangle's plane distance counts positive (negative for a
            // reversed fan): swapped in.
            EXPECT_FALSE(state.searchingAndReplacingHiddenPointsByConvexity(0));
            EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{5, 2, 3, 4}));
            EXPECT_EQ(cloud.records[0].currentTriangleFan, cloud.fan(0));
            // The corner taken out is not hidden under the new fan.
            EXPECT_TRUE(state.searchingAndReplacingHiddenPointsByConvexity(0));
            EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{5, 2, 3, 4}));
        } else {
            EXPECT_TRUE(state.searchingAndReplacingHiddenPointsByConvexity(0));
            EXPECT_EQ(cloud.fan(0), (std::vector<int32_t>{1, 2, 3, 4}));
        }
    }
}

TEST(FanCriteria, NormalTestRefusesAFoldedFan) {
    // Square fan (east, north, west, south), and the same with a member at 135 degrees put
    // after west, so that triangle (west, it) winds the other way.
    const std::vector<Vector3> points{Vector3(0, 0, 0),  Vector3(1, 0, 0),
                                      Vector3(0, 1, 0),  Vector3(-1, 0, 0),
                                      Vector3(0, -1, 0), Vector3(-0.7071, 0.7071, 0)};
    meshtest::TestCloud cloud(points);
    cloud.setFan(0, {1, 2, 3, 4}, false);
    EXPECT_TRUE(cloud.state.normalTest(0));
    EXPECT_NEAR(cloud.records[0].normal.z, -1.0, 1e-12);

    meshtest::TestCloud folded(points);
    folded.setFan(0, {1, 2, 3, 5, 4}, false);
    EXPECT_FALSE(folded.state.normalTest(0));
    EXPECT_NEAR(folded.state.fanAngleSum(0), 90.0 + 90.0 + 45.0 + 135.0 + 90.0, 1e-3);
}
