// Free geometric functions over Vector3: products, angles, areas, plane distances and
// projections, a line-line closest point and the line-triangle tests used by the mesher.
// Every vector argument is taken by value; results come back as numbers, flags or through
// an explicit output argument. The small ones that the fan search and the repairs call
// millions of times are defined here, inline; the build contracts no multiply-add, so
// an inlined call computes the very same bits as a call to an out-of-line copy.
#pragma once

#include <cmath>

#include "geometry/Vector3.h"

// Tolerance of the line-line closest point and of the oriented angle's parallel test.
inline constexpr double GEOMETRY_EPSILON = 1e-7;
// Tolerance for a line running parallel to a triangle plane: 1e-6 held in single precision.
inline constexpr double PARALLEL_EPSILON = static_cast<double>(1e-6f);
inline constexpr double RADIANS_TO_DEGREES = 57.29577951308232;

// a - b.
inline Vector3 difference(Vector3 a, Vector3 b) {
    a.subtract(b);
    return a;
}
// a x b.
inline Vector3 crossProduct(Vector3 a, Vector3 b) {
    return a.cross(b);
}
// Euclidean distance |a - b|.
double distanceBetweenPoints(Vector3 a, Vector3 b);

// Cosine of the angle between u and v clamped to [-1, 1]; 1 (angle 0) when either vector
// has zero length, so that no angle function turns a degenerate argument into NaN.
inline double clampedCosine(const Vector3& u, const Vector3& v);
// clampedCosine(u, v) with the lengths of u and v already known, for callers that take
// several cosines over the same edges.
inline double clampedCosineOfLengths(const Vector3& u, double uLength, const Vector3& v,
                                     double vLength) {
    const double lengths = vLength * uLength;
    if (lengths == 0.0) {
        return 1.0;
    }
    double c = u.dot(v) / lengths;
    if (c > 1.0) {
        c = 1.0;
    } else if (c < -1.0) {
        c = -1.0;
    }
    return c;
}
inline double clampedCosine(const Vector3& u, const Vector3& v) {
    return clampedCosineOfLengths(u, u.length(), v, v.length());
}
// Angle between u and v in radians, 0 to pi (0 if either vector has zero length).
inline double angleBetween(Vector3 u, Vector3 v) {
    return std::acos(clampedCosine(u, v));
}
// Angle between u and v in degrees, 0 to 180 (0 if either vector has zero length).
inline double angleBetweenDeg(Vector3 u, Vector3 v) {
    return angleBetween(u, v) * RADIANS_TO_DEGREES;
}
// Angle from u to v in degrees turned about axis, in [0, 360).
double orientedAngleDeg(Vector3 u, Vector3 v, Vector3 axis);
// orientedAngleDeg(u, v, axis) from the parts it is computed from: cosine is
// clampedCosine(u, v) and turn is axis.dot(u.cross(v)).
inline double orientedAngleDegFrom(double cosine, double turn, const Vector3& u, const Vector3& v) {
    if (turn > GEOMETRY_EPSILON) {
        return std::acos(cosine) * RADIANS_TO_DEGREES;
    }
    if (turn < -GEOMETRY_EPSILON) {
        return (180.0 - std::acos(cosine) * RADIANS_TO_DEGREES) + 180.0;
    }
    // Parallel within the tolerance: same or opposite direction.
    return u.dot(v) > 0.0 ? 0.0 : 180.0;
}
// Cosines further apart than this tell the order of their angles without acos: acos has
// a slope of at least 1 in magnitude, so the angles differ by at least this much, some
// million times the error of acos, of the conversion to degrees and of a threshold's
// cosine computed by std::cos.
inline constexpr double COSINE_ORDER_MARGIN = 1e-9;
// Order of the angles of two cosines in [-1, 1], as acos and angleBetweenDeg compute them,
// read from the cosines alone: -1 when the angle of cosA is the smaller, 1 when it is the
// larger, 0 when the cosines lie within COSINE_ORDER_MARGIN of each other or either is NaN,
// so that only the angles themselves can tell.
inline int angleOrderFromCosines(double cosA, double cosB) {
    if (cosA > cosB + COSINE_ORDER_MARGIN) {
        return -1;
    }
    if (cosA < cosB - COSINE_ORDER_MARGIN) {
        return 1;
    }
    return 0;
}
// Where the sum of the angles of two cosines in [-1, 1] lies against a limit angle in
// (0, 180) degrees given by its cosine, read without acos from the cosine and sine of the
// sum: -1 when the sum of the two angleBetweenDeg values is below the limit, 1 when it is
// at or above it, 0 when the sum lies too close to the limit (or to 0 or 360 degrees) or a
// cosine is NaN. The sines are taken as sqrt((1 - c)(1 + c)), which keeps a relative error
// of a few units in the last place also near c = 1 and c = -1, so the computed cosine and
// sine of the sum are within about 1e-15 of the truth, far inside COSINE_ORDER_MARGIN.
inline int angleSumOrderFromCosines(double cosA, double cosB, double limitCosine) {
    const double sinA = std::sqrt((1.0 - cosA) * (1.0 + cosA));
    const double sinB = std::sqrt((1.0 - cosB) * (1.0 + cosB));
    const double cosSum = cosA * cosB - sinA * sinB;
    const double sinSum = sinA * cosB + cosA * sinB;
    if (sinSum > COSINE_ORDER_MARGIN && cosSum > limitCosine + COSINE_ORDER_MARGIN) {
        return -1; // the sum lies in (0, 180) degrees, below the limit
    }
    if (sinSum < -COSINE_ORDER_MARGIN || cosSum < limitCosine - COSINE_ORDER_MARGIN) {
        return 1; // the sum lies in (180, 360), or between the limit and 360 less the limit
    }
    return 0;
}
// Angle in degrees at corner a of triangle (a, b, c).
inline double vertexAngleDeg(Vector3 a, Vector3 b, Vector3 c) {
    return angleBetweenDeg(difference(b, a), difference(c, a));
}
// Cosine of the angle at corner a of triangle (a, b, c), from which vertexAngleDeg takes
// its acos.
inline double vertexCosine(Vector3 a, Vector3 b, Vector3 c) {
    return clampedCosine(difference(b, a), difference(c, a));
}

// Area of the triangle (p0, apex, p2).
double triangleArea(Vector3 p0, Vector3 apex, Vector3 p2);
// Unit normal (c - a) x (b - a); the zero vector for a degenerate triangle.
inline Vector3 triangleNormal(Vector3 a, Vector3 b, Vector3 c) {
    Vector3 n = difference(c, a).cross(difference(b, a));
    n.normalize();
    return n;
}

// True when p and q lie on the same side of the line through a and b (on the line counts).
inline bool sameSide(Vector3 p, Vector3 q, Vector3 a, Vector3 b) {
    const Vector3 e = difference(b, a);
    return e.cross(difference(p, a)).dot(e.cross(difference(q, a))) >= 0.0;
}
// Point of the unbounded line p1p2 nearest to the unbounded line p3p4; out is written only
// when true is returned.
bool closestPointOnLine(Vector3 p1, Vector3 p2, Vector3 p3, Vector3 p4, Vector3& out);
// True when segment p1p2 crosses segment p3p4.
bool segmentsIntersect(Vector3 p1, Vector3 p2, Vector3 p3, Vector3 p4);

// Distance (not negative) of q from the plane through p with the given normal.
double planeDistance(Vector3 normal, Vector3 p, Vector3 q);
// Signed distance of q from the plane through p, positive on the side the normal points to.
double signedPlaneDistance(Vector3 normal, Vector3 p, Vector3 q);
// Signed distance of q from the plane of (a, b, c) measured along (b - a) x (c - a).
double signedDistanceToTrianglePlane(Vector3 a, Vector3 b, Vector3 c, Vector3 q);
// Orthogonal projection of q onto the plane through p with the given normal.
Vector3 projectOntoPlane(Vector3 normal, Vector3 p, Vector3 q);

// Meeting point of the line (origin, direction) with the plane of (a, b, c). Returns false
// without writing out when the line is parallel; otherwise writes out and returns whether the
// direction runs along the triangle normal.
inline bool linePlaneIntersection(Vector3 a, Vector3 b, Vector3 c, Vector3 direction,
                                  Vector3 origin, Vector3& out) {
    Vector3 n = difference(c, a).cross(difference(b, a));
    n.normalize();
    const double along = n.dot(direction);
    if (std::fabs(along) < PARALLEL_EPSILON) {
        return false;
    }
    const double t = n.dot(difference(a, origin)) / along;
    out.set(origin.x + t * direction.x, origin.y + t * direction.y, origin.z + t * direction.z);
    return along > 0.0;
}
// Meeting point of the line with the plane of (a, b, c), or origin if the line is parallel.
inline Vector3 linePlaneHitPoint(Vector3 a, Vector3 b, Vector3 c, Vector3 direction,
                                 Vector3 origin) {
    Vector3 hit = origin;
    linePlaneIntersection(a, b, c, direction, origin, hit);
    return hit;
}
// True when the line meets the plane inside the unbounded wedge at a between rays to b and c.
inline bool inWedge(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin) {
    const Vector3 x = linePlaneHitPoint(a, b, c, direction, origin);
    return sameSide(x, b, a, c) && sameSide(x, c, a, b);
}
// True when the line meets the triangle.
bool lineHitsTriangle(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin);
// lineHitsTriangle that also gives the point where the line meets the plane (origin when the
// line runs parallel to it).
bool lineHitsTriangleAt(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin,
                        Vector3& hit);
// True when the line meets the triangle and runs along its normal.
bool lineHitsTriangleFront(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin);
// True when the line meets the triangle at the origin or behind it (against the direction).
bool rayHitsTriangleBehind(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin);
// Distance from origin to where the line meets the triangle, or -1 if it misses.
double lineTriangleDistance(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin);
