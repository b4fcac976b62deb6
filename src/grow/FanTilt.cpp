// Fan tilt: whether a fan found for a point turns away from the surface its neighbourhood
// gives, as a lid across a thin tube does. Such a fan closes a front off on its own
// instead of letting it grow on along the part.
#include <cmath>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {
// How far off a tilted fan's plane (in neighbourhood radii) a neighbour must lie to count
// as surface beyond it on that side.
constexpr double TILT_SIDE_MARGIN = 0.1;
} // namespace

void ReconstructionState::keepNeighbourhoodNormals() {
    neighbourhoodNormals.clear();
    if (maxFanTilt <= 0.0) {
        return;
    }
    neighbourhoodNormals.reserve(static_cast<size_t>(activeCount > 0 ? activeCount : 0));
    for (int32_t p = 0; p < activeCount; ++p) {
        neighbourhoodNormals.push_back(vertices[p].normal);
    }
}

bool ReconstructionState::fanTiltsAway(int32_t p) const {
    if (maxFanTilt <= 0.0 || p < 0 || static_cast<size_t>(p) >= neighbourhoodNormals.size()) {
        return false;
    }
    const Vertex& v = vertices[p];
    const int32_t count = v.triangleFanCount;
    if (count < 2) {
        return false;
    }
    // The fan's normal: the sum of its triangles' unit normals, the closing one included.
    Vector3 sum{0.0, 0.0, 0.0};
    for (int32_t i = 0; i < count; ++i) {
        const int32_t a = v.triangleFan[i];
        const int32_t b = v.triangleFan[i + 1 < count ? i + 1 : 0];
        sum.add(triangleNormal(v.position, vertices[a].position, vertices[b].position));
    }
    const Vector3& n = neighbourhoodNormals[static_cast<size_t>(p)];
    const double lengths = sum.length() * n.length();
    if (lengths <= 0.0) {
        return false;
    }
    // Either orientation of the fan counts: only the line of its normal matters.
    constexpr double DEGREES = 3.14159265358979323846 / 180.0;
    if (std::fabs(sum.dot(n)) >= std::cos(maxFanTilt * DEGREES) * lengths) {
        return false;
    }
    // A lid across a part has the part's surface going on beyond it: neighbours of p lie
    // well off the fan's plane on both of its sides. Where the fan turns round the edge of
    // an open sheet towards a second sheet, they all lie on one side, and the fan stays.
    sum.normalize();
    const double margin = TILT_SIDE_MARGIN * v.neighbourhoodRadius;
    bool above = false;
    bool below = false;
    for (const int32_t q : v.neighbours) {
        const double offset = difference(vertices[q].position, v.position).dot(sum);
        above = above || offset > margin;
        below = below || offset < -margin;
    }
    return above && below;
}
