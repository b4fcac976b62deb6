// Merge checks and repairs around one fan edge a-b: whether a neighbouring fan overlaps
// the edge, whether a point lies above a fan's surface, the fold-angle test of two
// consecutive triangles, the after/before repairs that make a's fan agree with the fan
// of an owner c of b, and the free-point case that keeps a new edge from crossing the
// boundary of the surface built so far.
#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

bool ReconstructionState::edgeOverlapCheck(int32_t p, int32_t x, int32_t y, const Vector3& n,
                                           int32_t u, int32_t w) {
    const Vector3 pp = vertices[p].position;
    const Vector3 px = vertices[x].position;
    const Vector3 py = vertices[y].position;
    const Vector3 pu = vertices[u].position;
    if (!inWedge(pp, px, py, n, pu)) {
        return false;
    }
    const double s = signedDistanceToTrianglePlane(pp, px, py, pu);
    Vector3 hit = linePlaneHitPoint(pp, px, py, n, pu);
    if (!sameSide(hit, pp, px, py)) {
        // Beyond the edge x-y: use the point of that edge's line nearest to the line p-hit.
        Vector3 nearest;
        if (closestPointOnLine(px, py, hit, pp, nearest)) {
            hit = nearest;
        }
    }
    const bool t = aboveFanSurface(w, u, hit);
    return (s >= 0 && !t) || (s < 0 && t);
}

bool ReconstructionState::aboveFanSurface(int32_t o, int32_t u, const Vector3& hit) {
    const int32_t r = prevInFan(o, u);
    const int32_t v = nextInFan(o, u);
    if (r < 0 || v < 0) {
        return false; // u is not in the fan of o: there is no surface to be above
    }
    const double k = foldAngle(o, r, u, v);
    const Vector3 po = vertices[o].position;
    const Vector3 pu = vertices[u].position;
    const double s1 = signedDistanceToTrianglePlane(po, vertices[r].position, pu, hit);
    const double s2 = signedDistanceToTrianglePlane(po, pu, vertices[v].position, hit);
    if (k < 0) {
        return s1 > 0 && s2 > 0;
    }
    return !(s1 < 0 && s2 < 0);
}

bool ReconstructionState::angleTest(int32_t p, int32_t x, int32_t y, int32_t z, int32_t w) {
    const double s1 = foldAngle(p, x, y, z) + 180;
    const double s2 = foldAngle(p, y, z, w) + 180;
    if (s1 > 180 && s2 > 180) {
        return !(s1 > 345 && s2 > 345);
    }
    if (s1 < 180 && s2 < 180) {
        return !(s1 < 15 && s2 < 15);
    }
    double t;
    double v;
    if (s1 > 180) {
        t = 360 - s1;
        v = s2;
    } else {
        t = s1;
        v = 360 - s2;
    }
    return t + v > 180;
}

// Position right after entry k in the fan of a, wrapping to 0.
static int32_t positionAfterEntry(const ReconstructionState& state, int32_t a, int32_t k) {
    const int32_t next = state.indexInFan(a, k) + 1;
    return next == state.vertices[a].triangleFanCount ? 0 : next;
}

bool ReconstructionState::repairAfter(int32_t a, int32_t b, int32_t c) {
    const int32_t d = nextInFan(a, b);
    const int32_t e = prevInFan(a, b);
    const int32_t h = prevInFan(c, b);
    if (h == a) {
        replaceFanRange(a, indexInFan(a, b), positionAfterEntry(*this, a, insertionAnchor(a, c)),
                        c);
        return true;
    }
    if (d < 0 || e < 0 || h < 0) {
        return false; // b has left the fan of a or c's fan no longer holds b
    }
    const Vector3 pa = vertices[a].position;
    const Vector3 pb = vertices[b].position;
    const Vector3 ph = vertices[h].position;
    const Vector3 normalA = vertices[a].normal;
    const int32_t x = inWedge(pb, pa, vertices[d].position, normalA, ph) ||
                              inWedge(pb, vertices[e].position, pa, normalA, ph)
                          ? h
                          : c;
    const Vector3 q = normalA.cross(difference(pb, pa));
    if (signedPlaneDistance(q, pb, vertices[x].position) < 0) {
        replaceFanRange(a, indexInFan(a, b), positionAfterEntry(*this, a, insertionAnchor(a, x)),
                        x);
        if (x != c) {
            return true;
        }
        removeFromFan(a, indexInFan(a, b));
        return false;
    }
    replaceFanRange(a, indexInFan(a, insertionAnchor(a, x)), indexInFan(a, d), x);
    return false;
}

bool ReconstructionState::repairBefore(int32_t a, int32_t b, int32_t c) {
    const int32_t d = nextInFan(a, b);
    const int32_t e = prevInFan(a, b);
    const int32_t h = nextInFan(c, b);
    if (h == a) {
        replaceFanRange(a, indexInFan(a, insertionAnchor(a, c)), indexInFan(a, b), c);
        return true;
    }
    if (d < 0 || e < 0 || h < 0) {
        return false; // b has left the fan of a or c's fan no longer holds b
    }
    const Vector3 pa = vertices[a].position;
    const Vector3 pb = vertices[b].position;
    const Vector3 ph = vertices[h].position;
    const Vector3 normalA = vertices[a].normal;
    const int32_t x = inWedge(pb, pa, vertices[d].position, normalA, ph) ||
                              inWedge(pb, vertices[e].position, pa, normalA, ph)
                          ? h
                          : c;
    const Vector3 q = difference(pb, pa).cross(normalA);
    if (signedPlaneDistance(q, pb, vertices[x].position) < 0) {
        replaceFanRange(a, indexInFan(a, insertionAnchor(a, x)), indexInFan(a, b), x);
        if (x != c) {
            return true;
        }
        removeFromFan(a, indexInFan(a, b));
        return false;
    }
    replaceFanRange(a, indexInFan(a, e), positionAfterEntry(*this, a, insertionAnchor(a, x)), x);
    return false;
}

bool ReconstructionState::solveFreePoint(int32_t a, int32_t b) {
    if (attemptLogging != nullptr) {
        attemptLogging->freePoints.push_back(b);
    }
    const Vertex& recordA = vertices[a];
    const Vector3 pa = recordA.position;
    const Vector3 normalA = recordA.normal;
    const Vector3 projectedB = projectOntoPlane(normalA, pa, vertices[b].position);
    const bool bIsOwner = pointState[b] == 1 && indexInFan(b, a) < 0;
    for (int32_t k = 0; k <= NEIGHBOUR_COUNT; ++k) {
        int32_t o;
        if (k < NEIGHBOUR_COUNT) {
            o = vertices[b].neighbours[k];
        } else if (bIsOwner) {
            o = b;
        } else {
            break;
        }
        if (pointState[o] != 1 || o == a) {
            continue;
        }
        const Vertex& owner = vertices[o];
        const int32_t count = owner.triangleFanCount;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t u = owner.triangleFan[i];
            const int32_t w = owner.triangleFan[(i + 1) % count];
            if (u == a || u == b || w == a || w == b || triangleApex(o, u, w) != -1) {
                continue;
            }
            const Vector3 projectedU = projectOntoPlane(normalA, pa, vertices[u].position);
            const Vector3 projectedW = projectOntoPlane(normalA, pa, vertices[w].position);
            if (!segmentsIntersect(pa, projectedB, projectedU, projectedW)) {
                continue;
            }
            // The new edge a-b crosses the boundary edge u-w.
            if (indexInFan(a, u) >= 0 || indexInFan(a, w) >= 0) {
                removeFromFan(a, indexInFan(a, b));
                return true;
            }
            const int32_t e = prevInFan(a, b);
            const int32_t n = nextInFan(a, b);
            if (e >= 0 && n >= 0 &&
                vertexAngleDeg(pa, vertices[e].position, vertices[b].position) +
                        vertexAngleDeg(pa, vertices[b].position, vertices[n].position) >
                    180) {
                return false;
            }
            removeFromFan(a, indexInFan(a, b));
            return true;
        }
    }
    return true;
}
