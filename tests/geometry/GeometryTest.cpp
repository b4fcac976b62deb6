// Tests of the free geometric functions: angle conventions, orientation of normals and plane
// distances, the line-line closest point and the line-triangle tests.
#include "geometry/Geometry.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

void expectNear(const Vector3& v, double x, double y, double z) {
    EXPECT_NEAR(v.x, x, 1e-12);
    EXPECT_NEAR(v.y, y, 1e-12);
    EXPECT_NEAR(v.z, z, 1e-12);
}

const Vector3 A(0, 0, 0), B(1, 0, 0), C(0, 1, 0); // normal (0,0,-1)

} // namespace

TEST(Angles, ClampedAndOrientedAndNeverNaN) {
    // This vector's cosine with itself (or its opposite) rounds beyond +-1.
    const Vector3 u(0.1 * 16, 0.3, 0.7), minusU(-u.x, -u.y, -u.z);
    EXPECT_EQ(angleBetweenDeg(u, u), 0.0);
    EXPECT_EQ(angleBetweenDeg(u, minusU), 180.0);
    EXPECT_DOUBLE_EQ(angleBetween(B, C), M_PI / 2);

    EXPECT_DOUBLE_EQ(orientedAngleDeg(B, C, Vector3(0, 0, 1)), 90.0);
    EXPECT_DOUBLE_EQ(orientedAngleDeg(B, C, Vector3(0, 0, -1)), 270.0);
    EXPECT_EQ(orientedAngleDeg(B, Vector3(2, 0, 0), Vector3(0, 0, -1)), 0.0);
    EXPECT_EQ(orientedAngleDeg(B, Vector3(-1, 0, 0), Vector3(0, 0, 1)), 180.0);
    EXPECT_DOUBLE_EQ(vertexAngleDeg(Vector3(1, 1, 0), Vector3(2, 1, 0), Vector3(1, 3, 0)), 90.0);

    // A zero-length argument gives angle 0 rather than NaN.
    EXPECT_EQ(angleBetween(A, B), 0.0);
    EXPECT_EQ(angleBetweenDeg(B, A), 0.0);
    EXPECT_EQ(triangleArea(B, B, C), 0.0);
}

TEST(TrianglesAndPlanes, OrientationAreaDistanceProjection) {
    const Vector3 n = triangleNormal(A, B, C);
    expectNear(n, 0, 0, -1);
    expectNear(triangleNormal(A, B, B), 0, 0, 0);
    EXPECT_DOUBLE_EQ(signedDistanceToTrianglePlane(A, B, C, Vector3(0, 0, 2)), 2.0);
    EXPECT_DOUBLE_EQ(triangleArea(B, A, C), 0.5);

    const Vector3 up(0, 0, 3);
    EXPECT_DOUBLE_EQ(planeDistance(up, A, Vector3(5, 1, -2)), 2.0);
    EXPECT_DOUBLE_EQ(signedPlaneDistance(up, A, Vector3(5, 1, -2)), -2.0);
    EXPECT_EQ(planeDistance(A, B, C), 0.0);
    EXPECT_EQ(signedPlaneDistance(A, B, C), 0.0);
    expectNear(projectOntoPlane(up, A, Vector3(1, 2, 5)), 1, 2, 0);
    expectNear(projectOntoPlane(up, A, Vector3(1, 2, -5)), 1, 2, 0);
    expectNear(projectOntoPlane(A, A, Vector3(1, 2, -5)), 1, 2, -5);

    EXPECT_TRUE(sameSide(Vector3(3, 0, 0), C, A, B)); // on the line
    EXPECT_TRUE(sameSide(Vector3(3, 2, 0), C, A, B));
    EXPECT_FALSE(sameSide(Vector3(3, -2, 0), C, A, B));
}

TEST(LineLine, ClosestPointAndSegmentCrossing) {
    const Vector3 untouched(7, 7, 7);
    Vector3 out = untouched;
    ASSERT_TRUE(closestPointOnLine(A, B, Vector3(0.5, -1, 1), Vector3(0.5, 1, 1), out));
    expectNear(out, 0.5, 0, 0);
    out = untouched;
    EXPECT_FALSE(closestPointOnLine(A, B, Vector3(0, 1, 0), Vector3(2, 1, 0), out));
    EXPECT_FALSE(closestPointOnLine(A, B, C, C, out));
    EXPECT_FALSE(closestPointOnLine(C, C, A, B, out));
    expectNear(out, 7, 7, 7);

    const Vector3 d(1, 1, 0);
    EXPECT_TRUE(segmentsIntersect(A, d, B, C));
    EXPECT_TRUE(segmentsIntersect(A, B, B, Vector3(2, 1, 0)));  // touching ends
    EXPECT_TRUE(segmentsIntersect(A, B, A, Vector3(-1, 1, 0))); // touching starts
    EXPECT_FALSE(segmentsIntersect(A, B, Vector3(2, -1, 0), Vector3(2, 1, 0)));
    // Segments perpendicular to the x axis are range-tested along their own extent.
    EXPECT_TRUE(segmentsIntersect(Vector3(0.5, -1, 0), Vector3(0.5, 1, 0), A, B));
    EXPECT_FALSE(segmentsIntersect(Vector3(0.5, 1, 0), Vector3(0.5, 3, 0), A, B));
    EXPECT_FALSE(segmentsIntersect(Vector3(0.5, 0, -3), Vector3(0.5, 0, -1), A, B));
    EXPECT_TRUE(segmentsIntersect(A, Vector3(0, 0, 2), Vector3(-1, 0, 1), Vector3(1, 0, 1)));
}

TEST(LineTriangle, SidednessHitsAndDistances) {
    const Vector3 origin(0.2, 0.2, 1), down(0, 0, -1), up(0, 0, 1);
    Vector3 out(9, 9, 9);
    EXPECT_TRUE(linePlaneIntersection(A, B, C, down, origin, out));
    expectNear(out, 0.2, 0.2, 0);
    out.set(9, 9, 9);
    EXPECT_FALSE(linePlaneIntersection(A, B, C, up, origin, out));
    expectNear(out, 0.2, 0.2, 0);
    out.set(9, 9, 9);
    EXPECT_FALSE(linePlaneIntersection(A, B, C, B, origin, out)); // parallel
    expectNear(out, 9, 9, 9);
    expectNear(linePlaneHitPoint(A, B, C, B, origin), 0.2, 0.2, 1);

    EXPECT_TRUE(rayHitsTriangleBehind(A, B, C, up, origin));
    EXPECT_FALSE(rayHitsTriangleBehind(A, B, C, down, origin));
    EXPECT_TRUE(lineHitsTriangleFront(A, B, C, down, origin));
    EXPECT_FALSE(lineHitsTriangleFront(A, B, C, up, origin));
    EXPECT_TRUE(lineHitsTriangle(A, B, C, up, origin));
    EXPECT_DOUBLE_EQ(lineTriangleDistance(A, B, C, down, origin), 1.0);
    EXPECT_EQ(lineTriangleDistance(A, B, C, down, Vector3(2, 2, 1)), -1.0);
    EXPECT_EQ(lineTriangleDistance(A, B, C, B, Vector3(0.2, 0.2, 0)), 0.0); // parallel, in plane

    // The wedge at A is unbounded beyond the edge B-C, but not beyond A-B or A-C.
    EXPECT_TRUE(inWedge(A, B, C, down, Vector3(2, 2, 1)));
    EXPECT_FALSE(lineHitsTriangle(A, B, C, down, Vector3(2, 2, 1)));
    EXPECT_FALSE(inWedge(A, B, C, down, Vector3(2, -0.1, 1)));
}
