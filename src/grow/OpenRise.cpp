// Open-rise rule of the global convexity test: a fan is refused when an open neighbour
// of its point, not in the fan, rises steeply from the fan's plane on the fan's outer side.
// Such a fan closes over surface that goes on beside it, as a lid across a thin tube does
// where the growth reaches the tube's mouth. On a layer that builds its fans in reversed
// order the rays of the test run into the part (up into a hollow body, beyond their reach)
// and do not see the tube's wall; the rule is applied on those layers only.
#include <algorithm>
#include <cmath>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

bool ReconstructionState::openNeighbourRisesOver(int32_t p) const {
    const Vertex& v = vertices[p];
    // The outer side is the one the finished fans holding p face.
    Vector3 around{0.0, 0.0, 0.0};
    for (const int32_t c : v.connectedPoints) {
        if (pointState[static_cast<size_t>(c)] == 1) {
            around.add(vertices[c].normal);
        }
    }
    const double side = around.dot(v.normal);
    const double normalLength = v.normal.length();
    if (side == 0.0 || normalLength == 0.0) {
        return false; // no finished fan around p tells its outer side
    }
    const double sign = side > 0.0 ? 1.0 : -1.0;
    for (const int32_t q : v.neighbours) {
        if (q < 0 || q >= activeCount || pointState[static_cast<size_t>(q)] != 0 ||
            indexInFan(p, q) >= 0) {
            continue;
        }
        const Vector3 offset = difference(vertices[q].position, v.position);
        const double length = offset.length();
        if (length == 0.0 || sign * offset.dot(v.normal) <= openRiseSine * normalLength * length) {
            continue;
        }
        return true;
    }
    return false;
}
