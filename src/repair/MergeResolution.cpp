// Merge resolution for fan neighbours that are not plain agreeing fans: a completed
// neighbour whose fan does not hold the point (solveConnected), and an unfinished
// neighbour already bordered by two or more fans (resolveBoundary with its settle,
// overlap, fold and angle-gate tests on either side of the shared edge).
#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {
// The four points every side test looks at, taken afresh for each call:
// d follows b and e precedes b in the fan of a; f precedes b and g follows b in the fan of c.
struct EdgeSides {
    int32_t d, e, f, g;
};
} // namespace

static EdgeSides edgeSides(const ReconstructionState& state, int32_t a, int32_t b, int32_t c) {
    return EdgeSides{state.nextInFan(a, b), state.prevInFan(a, b), state.prevInFan(c, b),
                     state.nextInFan(c, b)};
}

bool ReconstructionState::solveConnected(int32_t a, int32_t b) {
    const int32_t c = insertionAnchor(b, a);
    if (c < 0) {
        return false;
    }
    const int32_t d = nextInFan(b, c);
    const int32_t e = indexInFan(a, d) >= 0 ? d : insertionAnchor(a, d);
    const int32_t f = indexInFan(a, c) >= 0 ? c : insertionAnchor(a, c);
    const int32_t g = nextInFan(a, f);

    // Points of a's fan between the two anchors would be cut off; refuse when one of them
    // is completed or already bordered by other fans.
    int32_t x = nextInFan(a, e);
    for (int32_t guard = 0; x != g && guard < vertices[a].triangleFanCount; ++guard) {
        if (x != b && (pointState[x] == 1 || vertices[x].connectedPoints.size() >= 2)) {
            removeFromFan(a, indexInFan(a, b));
            return false;
        }
        x = nextInFan(a, x);
    }

    if (indexInFan(a, c) < 0) {
        insertIntoFan(a, indexInFan(a, insertionAnchor(a, c)), c);
    }
    if (indexInFan(a, d) < 0) {
        insertIntoFan(a, indexInFan(a, insertionAnchor(a, d)), d);
    }
    if (indexInFan(a, c) < 0 || indexInFan(a, d) < 0) {
        return false; // the fan had no room for them
    }
    // Clear everything between d and c so that (a, d, c) lies against (b, c, d).
    for (int32_t next = nextInFan(a, d); next != c; next = nextInFan(a, d)) {
        removeFromFan(a, indexInFan(a, next));
    }
    return true;
}

bool ReconstructionState::resolveBoundary(int32_t a, int32_t b) {
    bool result = true;
    // Repairs edit the fan of a only; b's links change solely when b leaves that fan, and
    // the loop ends right there.
    const std::vector<int32_t>& owners = vertices[b].connectedPoints;
    for (size_t k = 0; k < owners.size(); ++k) {
        const int32_t c = owners[k];
        if (c == a) {
            continue;
        }
        if (indexInFan(a, b) < 0) {
            return false;
        }
        if (indexInFan(c, b) < 0) {
            continue; // no edge of c's fan ends at b, nothing to agree with
        }
        if (!settleAfter(a, b, c) && overlapAfter(a, b, c) &&
            (foldAfter(a, b, c) || !angleGateAfter(a, b, c))) {
            if (!repairAfter(a, b, c)) {
                result = false;
            }
        }
        if (indexInFan(a, b) < 0) {
            return false;
        }
        if (!settledBefore(a, b, c) && overlapBefore(a, b, c) &&
            (foldBefore(a, b, c) || !angleGateBefore(a, b, c))) {
            if (!repairBefore(a, b, c)) {
                result = false;
            }
        }
    }
    return result;
}

// Position right after entry k in the fan of a, wrapping to 0.
static int32_t positionAfter(const ReconstructionState& state, int32_t a, int32_t k) {
    const int32_t next = state.indexInFan(a, k) + 1;
    return next == state.vertices[a].triangleFanCount ? 0 : next;
}

bool ReconstructionState::settleAfter(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    if (s.d == s.f || (s.f == a && c == s.d)) {
        return true;
    }
    if (s.f == a) {
        replaceFanRange(a, indexInFan(a, b), positionAfter(*this, a, insertionAnchor(a, c)), c);
        return true;
    }
    if (c == s.d) {
        repairAfter(a, b, c);
        return true;
    }
    if (s.d == s.g || s.e == s.f) {
        repairAfter(a, b, c);
        return true;
    }
    return false;
}

bool ReconstructionState::settledBefore(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    return s.e == s.g || s.d == s.g || a == s.g || s.e == s.f || c == s.e;
}

bool ReconstructionState::overlapAfter(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    if (s.d == s.g || c == s.d || s.e == s.f || a == s.f) {
        return true;
    }
    const Vector3 normalA = vertices[a].normal;
    const Vector3 normalC = vertices[c].normal;
    return edgeOverlapCheck(b, s.d, a, normalA, s.f, c) ||
           edgeOverlapCheck(b, a, s.e, normalA, s.f, c) ||
           edgeOverlapCheck(b, c, s.f, normalC, s.d, a) ||
           edgeOverlapCheck(b, s.g, c, normalC, s.d, a);
}

bool ReconstructionState::overlapBefore(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    if (s.d == s.g || a == s.g || s.e == s.f || c == s.e) {
        return true;
    }
    const Vector3 normalA = vertices[a].normal;
    const Vector3 normalC = vertices[c].normal;
    return edgeOverlapCheck(b, a, s.e, normalA, s.g, c) ||
           edgeOverlapCheck(b, s.d, a, normalA, s.g, c) ||
           edgeOverlapCheck(b, s.g, c, normalC, s.e, a) ||
           edgeOverlapCheck(b, c, s.f, normalC, s.e, a);
}

bool ReconstructionState::foldAfter(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    const Vector3 pa = vertices[a].position;
    const Vector3 pb = vertices[b].position;
    const Vector3 pc = vertices[c].position;
    const Vector3 pd = vertices[s.d].position;
    const Vector3 pf = vertices[s.f].position;
    const bool s1 = signedDistanceToTrianglePlane(pa, pb, pd, pf) > 0;
    const bool s2 = signedDistanceToTrianglePlane(pa, pb, pd, pc) > 0;
    if (s1 == s2) {
        const double k = foldAngle(b, s.f, s.d, a);
        const double side = signedDistanceToTrianglePlane(pb, pf, pd, pc);
        return (s1 && k < -90 && side > 0) || (!s1 && k > 90 && side < 0);
    }
    const Vector3 hit = linePlaneHitPoint(pa, pb, pd, difference(pc, pf), pf);
    return sameSide(pa, hit, pb, pd);
}

bool ReconstructionState::foldBefore(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    const Vector3 pa = vertices[a].position;
    const Vector3 pb = vertices[b].position;
    const Vector3 pc = vertices[c].position;
    const Vector3 pe = vertices[s.e].position;
    const Vector3 pg = vertices[s.g].position;
    const bool s1 = signedDistanceToTrianglePlane(pa, pe, pb, pg) > 0;
    const bool s2 = signedDistanceToTrianglePlane(pa, pe, pb, pc) > 0;
    if (s1 == s2) {
        const double k = foldAngle(b, a, s.e, s.g);
        const double side = signedDistanceToTrianglePlane(pb, pe, pg, pc);
        return (s1 && k < -90 && side > 0) || (!s1 && k > 90 && side < 0);
    }
    const Vector3 hit = linePlaneHitPoint(pa, pe, pb, difference(pc, pg), pg);
    return sameSide(pa, hit, pb, pe);
}

bool ReconstructionState::angleGateAfter(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    if (indexInFan(c, s.d) < 0 && vertices[s.d].connectedPoints.size() >= 2 &&
        insertionAnchor(c, s.d) == s.f) {
        return true;
    }
    return angleTest(b, c, s.f, s.d, a);
}

bool ReconstructionState::angleGateBefore(int32_t a, int32_t b, int32_t c) {
    const EdgeSides s = edgeSides(*this, a, b, c);
    if (indexInFan(c, s.e) < 0 && vertices[s.e].connectedPoints.size() >= 2 &&
        insertionAnchor(c, s.e) == b) {
        return true;
    }
    return angleTest(b, a, s.e, s.g, c);
}
