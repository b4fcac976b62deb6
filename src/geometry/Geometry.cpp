// Free geometric functions over Vector3. The tolerances, clamping and orientation conventions
// here are relied on by the fan, merge and flip tests, so every comparison is deliberate.
#include "geometry/Geometry.h"

#include <cmath>

namespace {

double component(const Vector3& v, int axis) {
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}

// Range test of the crossing point X along segment (start, end): the parameter measured from
// end must lie within 0 and the full extent. The x coordinate is used; only when the x extent
// has no finite reciprocal (the segment is perpendicular to the x axis) does the test fall back
// to whichever of y and z has the larger extent.
bool withinSegmentRange(const Vector3& x, const Vector3& start, const Vector3& end) {
    int axis = 0;
    if (!std::isfinite(1.0 / (start.x - end.x))) {
        axis = std::fabs(start.y - end.y) >= std::fabs(start.z - end.z) ? 1 : 2;
    }
    const double extent = component(start, axis) - component(end, axis);
    const double reciprocal = 1.0 / extent;
    const double t = (component(x, axis) - component(end, axis)) * reciprocal;
    return t >= 0.0 && t <= extent * reciprocal;
}

// Points on an edge or a corner count as inside.
bool insideTriangle(const Vector3& x, const Vector3& a, const Vector3& b, const Vector3& c) {
    return sameSide(x, a, b, c) && sameSide(x, b, a, c) && sameSide(x, c, a, b);
}

} // namespace

double distanceBetweenPoints(Vector3 a, Vector3 b) {
    return difference(a, b).length();
}

double orientedAngleDeg(Vector3 u, Vector3 v, Vector3 axis) {
    return orientedAngleDegFrom(clampedCosine(u, v), axis.dot(u.cross(v)), u, v);
}

double triangleArea(Vector3 p0, Vector3 apex, Vector3 p2) {
    const Vector3 u = difference(p0, apex);
    const Vector3 w = difference(p2, apex);
    return std::sin(angleBetween(u, w)) * w.length() * u.length() * 0.5;
}

bool closestPointOnLine(Vector3 p1, Vector3 p2, Vector3 p3, Vector3 p4, Vector3& out) {
    const Vector3 p13 = difference(p1, p3);
    const Vector3 p43 = difference(p4, p3);
    if (std::fabs(p43.x) < GEOMETRY_EPSILON && std::fabs(p43.y) < GEOMETRY_EPSILON &&
        std::fabs(p43.z) < GEOMETRY_EPSILON) {
        return false;
    }
    const Vector3 p21 = difference(p2, p1);
    if (std::fabs(p21.x) < GEOMETRY_EPSILON && std::fabs(p21.y) < GEOMETRY_EPSILON &&
        std::fabs(p21.z) < GEOMETRY_EPSILON) {
        return false;
    }
    const double d1343 = p13.dot(p43);
    const double d4321 = p43.dot(p21);
    const double d1321 = p13.dot(p21);
    const double d4343 = p43.dot(p43);
    const double d2121 = p21.dot(p21);
    const double denom = d2121 * d4343 - d4321 * d4321;
    if (std::fabs(denom) < GEOMETRY_EPSILON) {
        return false; // parallel lines
    }
    const double mua = (d1343 * d4321 - d1321 * d4343) / denom;
    out.set(p1.x + mua * p21.x, p1.y + mua * p21.y, p1.z + mua * p21.z);
    return true;
}

bool segmentsIntersect(Vector3 p1, Vector3 p2, Vector3 p3, Vector3 p4) {
    Vector3 x;
    if (!closestPointOnLine(p1, p2, p3, p4, x)) {
        return false;
    }
    return withinSegmentRange(x, p1, p2) && withinSegmentRange(x, p3, p4);
}

double planeDistance(Vector3 normal, Vector3 p, Vector3 q) {
    const double len = normal.length();
    if (len == 0.0) {
        return 0.0; // no plane orientation: treat q as lying in the plane
    }
    return std::fabs(normal.dot(difference(q, p))) / len;
}

double signedPlaneDistance(Vector3 normal, Vector3 p, Vector3 q) {
    const double len = normal.length();
    if (len == 0.0) {
        return 0.0;
    }
    return normal.dot(difference(q, p)) / len;
}

double signedDistanceToTrianglePlane(Vector3 a, Vector3 b, Vector3 c, Vector3 q) {
    return signedPlaneDistance(difference(b, a).cross(difference(c, a)), a, q);
}

Vector3 projectOntoPlane(Vector3 normal, Vector3 p, Vector3 q) {
    Vector3 m = normal;
    m.normalize();
    const double d = planeDistance(m, p, q);
    Vector3 q1(q.x + d * m.x, q.y + d * m.y, q.z + d * m.z);
    // The move along +m stands unless it took q further from the plane.
    if (planeDistance(m, p, q1) > d) {
        q1.set(q1.x - 2 * d * m.x, q1.y - 2 * d * m.y, q1.z - 2 * d * m.z);
    }
    return q1;
}

bool lineHitsTriangle(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin) {
    return insideTriangle(linePlaneHitPoint(a, b, c, direction, origin), a, b, c);
}

bool lineHitsTriangleAt(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin,
                        Vector3& hit) {
    hit = linePlaneHitPoint(a, b, c, direction, origin);
    return insideTriangle(hit, a, b, c);
}

bool lineHitsTriangleFront(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin) {
    Vector3 x;
    if (!linePlaneIntersection(a, b, c, direction, origin, x)) {
        return false;
    }
    return insideTriangle(x, a, b, c);
}

bool rayHitsTriangleBehind(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin) {
    const Vector3 x = linePlaneHitPoint(a, b, c, direction, origin);
    if (difference(origin, x).dot(direction) < 0.0) {
        return false;
    }
    return insideTriangle(x, a, b, c);
}

double lineTriangleDistance(Vector3 a, Vector3 b, Vector3 c, Vector3 direction, Vector3 origin) {
    const Vector3 x = linePlaneHitPoint(a, b, c, direction, origin);
    if (!insideTriangle(x, a, b, c)) {
        return -1.0;
    }
    return difference(origin, x).length();
}
