// PreparedTriangle: a triangle set up once for many line and ray queries against it. The
// plane normal and the three edge references of the inside test are computed once, with the
// very operations the free functions use, so every answer equals theirs bit for bit.
#pragma once

#include "geometry/Geometry.h"

struct PreparedTriangle {
    Vector3 a, b, c;
    Vector3 normal;              // normalised (c - a) x (b - a), as linePlaneIntersection
    Vector3 edgeBC, referenceBC; // c - b and (c - b) x (a - b)
    Vector3 edgeAC, referenceAC; // c - a and (c - a) x (b - a)
    Vector3 edgeAB, referenceAB; // b - a and (b - a) x (c - a)

    // Leaves every member unset, for arrays that are prepared entry by entry.
    PreparedTriangle() = default;
    // Prepares the triangle (a, b, c).
    PreparedTriangle(const Vector3& pa, const Vector3& pb, const Vector3& pc)
        : a(pa), b(pb), c(pc) {
        normal = difference(c, a).cross(difference(b, a));
        normal.normalize();
        edgeBC = difference(c, b);
        referenceBC = edgeBC.cross(difference(a, b));
        edgeAC = difference(c, a);
        referenceAC = edgeAC.cross(difference(b, a));
        edgeAB = difference(b, a);
        referenceAB = edgeAB.cross(difference(c, a));
    }

    // Where the line through origin along direction meets the plane; origin itself when the
    // line runs parallel to it (as linePlaneHitPoint).
    Vector3 hitPoint(const Vector3& direction, const Vector3& origin) const {
        return hitPointAlong(normal.dot(direction), direction, origin);
    }
    // hitPoint with normal.dot(direction) already known (as along).
    Vector3 hitPointAlong(double along, const Vector3& direction, const Vector3& origin) const {
        Vector3 hit = origin;
        if (!(std::fabs(along) < PARALLEL_EPSILON)) {
            const double t = normal.dot(difference(a, origin)) / along;
            hit.set(origin.x + t * direction.x, origin.y + t * direction.y,
                    origin.z + t * direction.z);
        }
        return hit;
    }
    // Whether x lies inside the triangle or on its border (as insideTriangle).
    bool contains(const Vector3& x) const {
        return edgeBC.cross(difference(x, b)).dot(referenceBC) >= 0.0 &&
               edgeAC.cross(difference(x, a)).dot(referenceAC) >= 0.0 &&
               edgeAB.cross(difference(x, a)).dot(referenceAB) >= 0.0;
    }
    // Same as rayHitsTriangleBehind(a, b, c, direction, origin), with along the dot product
    // of normal and direction.
    bool rayHitsBehindAlong(double along, const Vector3& direction, const Vector3& origin) const {
        const Vector3 x = hitPointAlong(along, direction, origin);
        if (difference(origin, x).dot(direction) < 0.0) {
            return false;
        }
        return contains(x);
    }
    // Same as inWedge(a, b, c, direction, origin), with along the dot product of normal and
    // direction: the line meets the plane inside the unbounded wedge at a between the rays
    // to b and c.
    bool inWedgeAlong(double along, const Vector3& direction, const Vector3& origin) const {
        const Vector3 x = hitPointAlong(along, direction, origin);
        return edgeAC.cross(difference(x, a)).dot(referenceAC) >= 0.0 &&
               edgeAB.cross(difference(x, a)).dot(referenceAB) >= 0.0;
    }
    // Same as lineHitsTriangle(a, b, c, direction, origin).
    bool lineHits(const Vector3& direction, const Vector3& origin) const {
        return contains(hitPoint(direction, origin));
    }
};
