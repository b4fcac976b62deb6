// Edge flipping: replacing the diagonal a-b of the quadrilateral formed by the two
// triangles on a fan edge by the other diagonal, where that does not worsen the
// smallest angle, and the flip step run on every newly completed point.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {

double smallestAngle(const Vector3& a, const Vector3& b, const Vector3& c) {
    return std::min({vertexAngleDeg(a, b, c), vertexAngleDeg(b, c, a), vertexAngleDeg(c, a, b)});
}

const double FLIP_QUAD_ANGLE_COSINE =
    std::cos(ReconstructionState::FLIP_QUAD_ANGLE_LIMIT * 0.017453292519943295);

// Whether the quadrilateral p, b, n, a has an angle at b or at a (the sum of the two
// triangles' angles there) of FLIP_QUAD_ANGLE_LIMIT or more. The angles are computed only
// when the sum's cosine and sine cannot tell.
bool quadAngleTooLarge(const Vector3& pa, const Vector3& pb, const Vector3& pp, const Vector3& pn) {
    const Vector3 bp = difference(pp, pb);
    const Vector3 ba = difference(pa, pb);
    const Vector3 bn = difference(pn, pb);
    const Vector3 ap = difference(pp, pa);
    const Vector3 ab = difference(pb, pa);
    const Vector3 an = difference(pn, pa);
    const int orderB = angleSumOrderFromCosines(clampedCosine(bp, ba), clampedCosine(ba, bn),
                                                FLIP_QUAD_ANGLE_COSINE);
    const int orderA = angleSumOrderFromCosines(clampedCosine(ap, ab), clampedCosine(ab, an),
                                                FLIP_QUAD_ANGLE_COSINE);
    const auto exact = [&]() {
        const double atB = angleBetweenDeg(bp, ba) + angleBetweenDeg(ba, bn);
        const double atA = angleBetweenDeg(ap, ab) + angleBetweenDeg(ab, an);
        return atB >= ReconstructionState::FLIP_QUAD_ANGLE_LIMIT ||
               atA >= ReconstructionState::FLIP_QUAD_ANGLE_LIMIT;
    };
    if (orderB > 0 || orderA > 0 || (orderB < 0 && orderA < 0)) {
        const bool tooLarge = orderB > 0 || orderA > 0;
#ifdef FANMESH_CHECK_FAN_MEMO
        if (exact() != tooLarge) {
            std::cerr << "flip quadrilateral angle test from cosines differs from the angles\n";
            std::abort();
        }
#endif
        return tooLarge;
    }
    return exact();
}

// vertexCosine(a, b, c), vertexCosine(b, c, a) and vertexCosine(c, a, b), with each edge's
// length taken once (a vector and its negation have the same length, bit for bit).
void cornerCosines(const Vector3& a, const Vector3& b, const Vector3& c, double* cosines) {
    const Vector3 ab = difference(b, a);
    const Vector3 ac = difference(c, a);
    const Vector3 bc = difference(c, b);
    const double abLength = ab.length();
    const double acLength = ac.length();
    const double bcLength = bc.length();
    cosines[0] = clampedCosineOfLengths(ab, abLength, ac, acLength);
    cosines[1] = clampedCosineOfLengths(bc, bcLength, difference(a, b), abLength);
    cosines[2] = clampedCosineOfLengths(difference(a, c), acLength, difference(b, c), bcLength);
}

// The largest corner cosine of the triangles (a, b, c) and (d, e, f), that is the cosine of
// their smallest angle; false when one of them is NaN.
bool largestCornerCosine(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& d,
                         const Vector3& e, const Vector3& f, double& largest) {
    double cosines[6];
    cornerCosines(a, b, c, cosines);
    cornerCosines(d, e, f, cosines + 3);
    largest = cosines[0];
    for (const double cosine : cosines) {
        if (std::isnan(cosine)) {
            return false;
        }
        largest = std::max(largest, cosine);
    }
    return true;
}

// Whether the flip to the diagonal p-n makes the smallest angle of the two triangles
// smaller. The angles are computed only when the smallest ones before and after lie too
// close for their cosines to tell.
bool flipShrinksSmallestAngle(const Vector3& pa, const Vector3& pb, const Vector3& pp,
                              const Vector3& pn) {
    double oldCosine = 0.0;
    double newCosine = 0.0;
    if (largestCornerCosine(pa, pp, pb, pa, pb, pn, oldCosine) &&
        largestCornerCosine(pa, pp, pn, pp, pb, pn, newCosine)) {
        const int order = angleOrderFromCosines(newCosine, oldCosine);
        if (order != 0) {
#ifdef FANMESH_CHECK_FAN_MEMO
            const double oldMin = std::min(smallestAngle(pa, pp, pb), smallestAngle(pa, pb, pn));
            const double newMin = std::min(smallestAngle(pa, pp, pn), smallestAngle(pp, pb, pn));
            if ((newMin < oldMin) != (order < 0)) {
                std::cerr << "flip angle test from cosines differs from the angles\n";
                std::abort();
            }
#endif
            return order < 0;
        }
    }
    const double oldMin = std::min(smallestAngle(pa, pp, pb), smallestAngle(pa, pb, pn));
    const double newMin = std::min(smallestAngle(pa, pp, pn), smallestAngle(pp, pb, pn));
    return newMin < oldMin;
}

} // namespace

bool ReconstructionState::flipEdge(int32_t a, int32_t b) {
    // The edge must be a fan edge of a with a triangle on both sides; a fan of fewer than
    // three entries has the same point before and after b and so no quadrilateral.
    if (vertices[a].triangleFanCount < 3 || indexInFan(a, b) < 0) {
        return false;
    }
    const int32_t p = prevInFan(a, b);
    const int32_t n = nextInFan(a, b);
    const Vector3 pa = vertices[a].position;
    const Vector3 pb = vertices[b].position;
    const Vector3 pp = vertices[p].position;
    const Vector3 pn = vertices[n].position;

    if (quadAngleTooLarge(pa, pb, pp, pn)) {
        return false;
    }

    if (flipShrinksSmallestAngle(pa, pb, pp, pn)) {
        return false;
    }

    if (indexInFan(p, n) >= 0 || indexInFan(n, p) >= 0) {
        return false;
    }
    // The fans of p and n show the new diagonal only when p or n is completed; a fan of
    // another point can hold p and n side by side too (a point bridged or a hole closed in
    // the clean-up next to it), and the flip would then give the edge p-n a third face.
    if (refuseThirdFaces && cleaningUp) {
        int32_t corner = -1;
        if (edgeFaceCorners(p, n, &corner, 1) > 0) {
            return false;
        }
    }

    // A completed corner whose fan is full could not take the new diagonal; refuse the
    // flip rather than leave the two fans disagreeing.
    const bool pCompleted = pointState[p] == 1;
    const bool nCompleted = pointState[n] == 1;
    if ((pCompleted && vertices[p].triangleFanCount >= MAX_FAN_SIZE) ||
        (nCompleted && vertices[n].triangleFanCount >= MAX_FAN_SIZE)) {
        return false;
    }

    // During the growth a flip may not fold the fan of a completed corner; the clean-up's
    // fold removal would withdraw that fan and those around it again.
    if (refuseFoldingFlips && !cleaningUp && flipFoldsFan(a, b, p, n)) {
        return false;
    }

    removeFromFan(a, indexInFan(a, b));
    if (pCompleted) {
        insertIntoFan(p, indexInFan(p, b), n);
    }
    if (nCompleted) {
        insertIntoFan(n, indexInFan(n, a), p);
    }
    if (pointState[b] == 1) {
        removeFromFan(b, indexInFan(b, a));
    }
    return true;
}

bool ReconstructionState::tryFlip(int32_t a, int32_t b) {
    if (vertices[a].triangleFanCount < 3 || indexInFan(a, b) < 0) {
        return false;
    }
    const int32_t p = prevInFan(a, b);
    const int32_t n = nextInFan(a, b);
    const Vector3 pa = vertices[a].position;
    const Vector3 pb = vertices[b].position;
    const Vector3 pp = vertices[p].position;
    const Vector3 pn = vertices[n].position;

    Vector3 m = triangleNormal(pa, pp, pb);
    m.add(triangleNormal(pa, pb, pn));
    m.normalize();

    // Convex when n lies, seen along m, in the wedge at p between b and a, and p in the
    // wedge at n between a and b.
    if (inWedge(pp, pb, pa, m, pn) && inWedge(pn, pa, pb, m, pp)) {
        return flipEdge(a, b);
    }
    return false;
}

void ReconstructionState::flipAgainstMembers(int32_t a) {
    // Work from a copy: flipping the edge a-m takes m out of a's fan and shifts the members
    // after it, which a walk over the live fan would then step past.
    const Vertex& va = vertices[a];
    int32_t members[MAX_FAN_SIZE];
    const int32_t count = va.triangleFanCount;
    std::copy(va.triangleFan.first(count), va.triangleFan.first(count) + count, members);
    for (int32_t i = 0; i < count; ++i) {
        tryFlip(a, members[i]);
    }
}

void ReconstructionState::flipStep(int32_t a) {
    Vertex& va = vertices[a];
    for (int32_t i = 0; i < va.triangleFanCount; ++i) {
        tryFlip(a, va.triangleFan[i]);
        if (va.triangleFanCount < MIN_FLIP_FAN_SIZE) {
            return;
        }
    }
    for (int32_t i = 0; i < va.triangleFanCount; ++i) {
        const int32_t u = va.triangleFan[i];
        const int32_t w = va.triangleFan[(i + 1) % va.triangleFanCount];
        if (triangleApex(a, u, w) != -1) {
            if (pointState[u] == 1) {
                tryFlip(u, w);
            } else if (pointState[w] == 1) {
                tryFlip(w, u);
            }
        }
        if (va.triangleFanCount < MIN_FLIP_FAN_SIZE) {
            return;
        }
    }
    insertNearEdgePoints(a);
}

void ReconstructionState::insertNearEdgePoints(int32_t a) {
    for (int32_t slot = 0; slot < NEIGHBOUR_COUNT; ++slot) {
        const int32_t v = vertices[a].neighbours[slot];
        if (v < 0 || indexInFan(a, v) >= 0 || pointState[v] == 1) {
            continue;
        }
        const int32_t k = insertionAnchor(a, v);
        if (k < 0) {
            continue;
        }
        const int32_t t = nextInFan(a, k);
        if (t < 0 || pointState[k] == 1 || pointState[t] == 1) {
            continue;
        }
        const Vector3 pk = vertices[k].position;
        const Vector3 pv = vertices[v].position;
        const Vector3 pt = vertices[t].position;
        // v lies almost on the edge k-t when it is seen from both ends close to the edge.
        if (vertexAngleDeg(pk, pv, pt) < EDGE_POINT_ANGLE &&
            vertexAngleDeg(pt, pk, pv) < EDGE_POINT_ANGLE) {
            if (!insertIntoFan(a, indexInFan(a, k), v)) {
                continue; // the fan of a is full
            }
            const int32_t d = triangleApex(a, k, t);
            if (d != -1) {
                insertIntoFan(d, indexInFan(d, t), v);
            }
        }
    }
}
