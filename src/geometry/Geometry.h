// Free geometric functions over Vector3: products, angles, areas, plane distances and
// projections, a line-line closest point and the line-triangle tests used by the mesher.
// Every vector argument is taken by value; results come back as numbers, flags or through
// an explicit output argument.
#pragma once

#include "geometry/Vector3.h"

// Tolerance of the line-line closest point and of the oriented angle's parallel test.
inline constexpr double GEOMETRY_EPSILON = 1e-7;
// Tolerance for a line running parallel to a triangle plane: 1e-6 held in single precision.
inline constexpr double PARALLEL_EPSILON = static_cast<double>(1e-6f);

// a - b.
Vector3 difference(Vector3 a, Vector3 b);
// a x b.
Vector3 crossProduct(Vector3 a, Vector3 b);
// Euclidean distance |a - b|.
double distanceBetweenPoints(Vector3 a, Vector3 b);

// Angle between u and v in radians, 0 to pi (0 if either vector has zero length).
double angleBetween(Vector3 u, Vector3 v);
// Angle between u and v in degrees, 0 to 180 (0 if either vector has zero length).
double angleBetweenDeg(Vector3 u, Vector3 v);
// Angle from u to v in degrees turned about axis, in [0, 360).
double orientedAngleDeg(Vector3 u, Vector3 v, Vector3 axis);
// Angle in degrees at corner a of triangle (a, b, c).
double vertexAngleDeg(Vector3 a, Vector3 b, Vector3 c);

// Area of the triangle (p0, apex, p2).
double triangleArea(Vector3 p0, Vector3 apex, Vector3 p2);
// Unit normal (c - a) x (b - a); the zero vector for a degenerate triangle.
Vector3 triangleNormal(Vector3 a, Vector3 b, Vector3 c);

// True when p and q lie on the same side of the line through a and b (on the line counts).
bool sameSide(Vector3 p, Vector3 q, Vector3 a, Vector3 b);
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
bool linePlaneIntersection(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin,
                           Vector3& out);
// Meeting point of the line with the plane of (a, b, c), or origin if the line is parallel.
Vector3 linePlaneHitPoint(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin);
// True when the line meets the plane inside the unbounded wedge at a between rays to b and c.
bool inWedge(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin);
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
