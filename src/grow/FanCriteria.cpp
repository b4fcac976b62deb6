// Acceptance criteria of one fan-search step and of a closed fan: the triangle angle at
// the centre, the fold against the previous triangle, the convexity test against the other
// neighbours, front membership, the collision of the best continuation with the first
// triangle, and the apex-angle sum of a closed fan.
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "geometry/Geometry.h"
#include "grow/FanConstants.h"
#include "recon/ReconstructionState.h"

namespace {
// Cosines of the angle limits, for refusing clear cases without acos.
const double LARGEST_TRIANGLE_COSINE = std::cos(LARGEST_TRIANGLE_ANGLE * DEGREES_TO_RADIANS);
const double SMALLEST_TRIANGLE_COSINE = std::cos(SMALLEST_TRIANGLE_ANGLE * DEGREES_TO_RADIANS);
const double LARGEST_CLOSING_COSINE = std::cos(LARGEST_CLOSING_ANGLE * DEGREES_TO_RADIANS);
// A fold that turns forward about the edge comes out as its angle and is refused beyond
// LARGEST_DIHEDRAL; one that turns backward comes out as minus its angle (or 180) and is
// refused beyond -SMALLEST_DIHEDRAL, the smaller of the two limits.
static_assert(SMALLEST_DIHEDRAL <= 0.0 && -SMALLEST_DIHEDRAL <= LARGEST_DIHEDRAL);
const double LARGEST_FORWARD_FOLD_COSINE = std::cos(LARGEST_DIHEDRAL * DEGREES_TO_RADIANS);
const double LARGEST_BACKWARD_FOLD_COSINE = std::cos(-SMALLEST_DIHEDRAL * DEGREES_TO_RADIANS);
} // namespace

bool ReconstructionState::triangleAngleTest(int32_t a, int32_t lastPoint, int32_t n,
                                            int32_t firstPoint, double& angle) {
    const Vector3& pa = vertices[a].position;
    const Vector3& pk = vertices[lastPoint].position;
    const Vector3& pn = vertices[n].position;
    const bool closing = n == firstPoint;
    // The angle is acos of this cosine in degrees, as vertexAngleDeg computes it.
    const double cosine = vertexCosine(pa, pk, pn);
    if (a != tracePoint) {
        // An angle whose cosine lies clearly beyond a limit's is refused without acos.
        const bool refused =
            closing ? angleOrderFromCosines(cosine, LARGEST_CLOSING_COSINE) > 0
                    : angleOrderFromCosines(cosine, LARGEST_TRIANGLE_COSINE) > 0 ||
                          (vertices[a].currentTriangleFan.size() != INITIAL_FAN_LENGTH &&
                           angleOrderFromCosines(cosine, SMALLEST_TRIANGLE_COSINE) < 0);
        if (refused) {
#ifdef FANMESH_CHECK_FAN_MEMO
            const double exact = vertexAngleDeg(pa, pk, pn);
            const bool exactRefused =
                closing ? exact > LARGEST_CLOSING_ANGLE
                        : exact > LARGEST_TRIANGLE_ANGLE ||
                              (vertices[a].currentTriangleFan.size() != INITIAL_FAN_LENGTH &&
                               exact < SMALLEST_TRIANGLE_ANGLE);
            if (!exactRefused) {
                std::cerr << "triangle angle test from the cosine differs from the angle\n";
                std::abort();
            }
#endif
            return false;
        }
    }
    angle = std::acos(cosine) * RADIANS_TO_DEGREES;
    if (angle > LARGEST_TRIANGLE_ANGLE && !closing) {
        return false;
    }
    if (vertices[a].currentTriangleFan.size() != INITIAL_FAN_LENGTH &&
        angle < SMALLEST_TRIANGLE_ANGLE && !closing) {
        return false;
    }
    if (angle > LARGEST_CLOSING_ANGLE && closing) {
        return false;
    }
    return true;
}

bool ReconstructionState::dihedralTest(int32_t a, int32_t lastPoint, const Vector3& previousNormal,
                                       const Vector3& tn, double& dihedral) {
    // The parts of orientedAngleDeg(previousNormal, tn, edge).
    const Vector3 edge = difference(vertices[lastPoint].position, vertices[a].position);
    const double cosine = clampedCosine(previousNormal, tn);
    const double turn = edge.dot(previousNormal.cross(tn));
    if (a != tracePoint) {
        // A fold whose cosine lies clearly beyond its limit's is refused without acos.
        const bool refused = (turn > GEOMETRY_EPSILON &&
                              angleOrderFromCosines(cosine, LARGEST_FORWARD_FOLD_COSINE) > 0) ||
                             (turn < -GEOMETRY_EPSILON &&
                              angleOrderFromCosines(cosine, LARGEST_BACKWARD_FOLD_COSINE) > 0);
        if (refused) {
#ifdef FANMESH_CHECK_FAN_MEMO
            double exact = orientedAngleDeg(previousNormal, tn, edge);
            if (exact > 180.0) {
                exact = exact - 360.0;
            }
            if (!(exact < SMALLEST_DIHEDRAL || std::fabs(exact) > LARGEST_DIHEDRAL)) {
                std::cerr << "fold test from the cosine differs from the angle\n";
                std::abort();
            }
#endif
            return false;
        }
    }
    dihedral = orientedAngleDegFrom(cosine, turn, previousNormal, tn);
    if (dihedral > 180.0) {
        dihedral = dihedral - 360.0;
    }
    if (dihedral < SMALLEST_DIHEDRAL || std::fabs(dihedral) > LARGEST_DIHEDRAL) {
        return false;
    }
    return true;
}

bool ReconstructionState::convexityTest(int32_t a, int32_t lastPoint, int32_t n,
                                        const Vector3& direction, int32_t o) {
    const Vector3& pa = vertices[a].position;
    const Vector3& pk = vertices[lastPoint].position;
    const Vector3& pn = vertices[n].position;
    const Vector3& po = vertices[o].position;
    if (rayHitsTriangleBehind(pa, pk, pn, direction, po)) {
        return false;
    }
    if (vertices[a].triangleFanCount > 1 &&
        rayHitsTriangleBehind(pa, pk, pn, vertices[a].normal, po)) {
        return false;
    }
    return true;
}

bool ReconstructionState::isOnFront(int32_t n) {
    const Vertex& v = vertices[n];
    if (pointState[n] != 1) {
        return !v.connectedPoints.empty();
    }
    for (int32_t i = 0; i < v.triangleFanCount; ++i) {
        if (pointState[v.triangleFan[i]] != 1) {
            return true;
        }
    }
    return false;
}

bool ReconstructionState::bestPointIncorrect(int32_t a, int32_t lastPoint, int32_t n, int32_t f0,
                                             int32_t f1) {
    if (lastPoint == f1 || n == f0) {
        return false;
    }
    const Vector3& pa = vertices[a].position;
    const Vector3& pk = vertices[lastPoint].position;
    const Vector3& pn = vertices[n].position;
    const Vector3& p0 = vertices[f0].position;
    const Vector3& p1 = vertices[f1].position;
    const Vector3 h = triangleNormal(pa, pk, pn);
    const Vector3 g = triangleNormal(pa, p0, p1);
    if (h.dot(g) <= 0.0) {
        return lineHitsTriangle(pa, pk, pn, difference(p0, p1), p0);
    }
    // Each corner of one triangle is cast along a normal onto the other triangle.
    if (lineHitsTriangle(pa, p0, p1, signedDistanceToTrianglePlane(pa, p0, p1, pk) > 0.0 ? g : h,
                         pk)) {
        return true;
    }
    if (lineHitsTriangle(pa, p0, p1, signedDistanceToTrianglePlane(pa, p0, p1, pn) > 0.0 ? g : h,
                         pn)) {
        return true;
    }
    if (lineHitsTriangle(pa, pk, pn, signedDistanceToTrianglePlane(pa, pk, pn, p0) > 0.0 ? h : g,
                         p0)) {
        return true;
    }
    if (lineHitsTriangle(pa, pk, pn, signedDistanceToTrianglePlane(pa, pk, pn, p1) > 0.0 ? h : g,
                         p1)) {
        return true;
    }
    return false;
}

double ReconstructionState::fanAngleSum(int32_t a) {
    const Vertex& v = vertices[a];
    double sum = 0.0;
    for (int32_t i = 0; i < v.triangleFanCount; ++i) {
        const int32_t m = v.triangleFan[i];
        const int32_t next = nextInFan(a, m);
        sum += angleBetweenDeg(difference(vertices[m].position, v.position),
                               difference(vertices[next].position, v.position));
    }
    return sum;
}
