// Fan tilt: whether a fan found for a point turns away from the surface its neighbourhood
// gives, as a lid across a thin tube does. Such a fan closes a front off on its own
// instead of letting it grow on along the part.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {
// How far off a tilted fan's plane (in neighbourhood radii) a neighbour must lie to count
// as surface beyond it on that side.
constexpr double TILT_SIDE_MARGIN = 0.1;

// Whether the fan of v turns from the kept normal n past the angle whose cosine is
// tiltCosine, and the fan's normal (the sum of its triangles' unit normals, the closing one
// included).
struct FanTurn {
    bool tilted = false;
    Vector3 sum{0.0, 0.0, 0.0};
};

inline FanTurn measureFanTurn(const Vertex* vertices, const Vertex& v, const Vector3& n,
                              double tiltCosine) {
    const int32_t count = v.triangleFanCount;
    FanTurn turn;
    Vector3 sum{0.0, 0.0, 0.0};
    for (int32_t i = 0; i < count; ++i) {
        const int32_t a = v.triangleFan[i];
        const int32_t b = v.triangleFan[i + 1 < count ? i + 1 : 0];
        sum.add(triangleNormal(v.position, vertices[a].position, vertices[b].position));
    }
    turn.sum = sum;
    const double lengths = sum.length() * n.length();
    if (lengths <= 0.0) {
        return turn;
    }
    // Either orientation of the fan counts: only the line of its normal matters.
    turn.tilted = std::fabs(sum.dot(n)) < tiltCosine * lengths;
    return turn;
}

} // namespace

void ReconstructionState::keepNeighbourhoodNormals() {
    neighbourhoodNormals.clear();
    fanTiltRecords.clear();
    fanTiltTests.clear();
    if (maxFanTilt <= 0.0) {
        return;
    }
    neighbourhoodNormals.reserve(static_cast<size_t>(activeCount > 0 ? activeCount : 0));
    for (int32_t p = 0; p < activeCount; ++p) {
        neighbourhoodNormals.push_back(vertices[p].normal);
    }
    fanTiltRecords.resize(neighbourhoodNormals.size());
    fanTiltTests.resize(neighbourhoodNormals.size(), 0);
    constexpr double DEGREES = 3.14159265358979323846 / 180.0;
    fanTiltCosine = std::cos(maxFanTilt * DEGREES);
}

bool ReconstructionState::fanTiltsAway(int32_t p) {
    if (maxFanTilt <= 0.0 || p < 0 || static_cast<size_t>(p) >= neighbourhoodNormals.size()) {
        return false;
    }
    const Vertex& v = vertices[p];
    const int32_t count = v.triangleFanCount;
    if (count < 2) {
        return false;
    }
    const Vector3& n = neighbourhoodNormals[static_cast<size_t>(p)];
    // Whether the fan turns past the limit, and the fan's normal, read only the fan's entries
    // and positions and normals that stay as they are through the growth, so the answers for
    // a fan measured before stand while the fan is the same. A stuck point is tested in pass
    // after pass, often with two fans by turns (one per layer parity): the last two are kept.
    // Most points of a well-sampled surface are tested once or twice, with different fans,
    // so a point's fans are recorded only from its third test on.
    const size_t at = static_cast<size_t>(p);
    const int32_t* const fan = v.triangleFan.first(count);
    FanTiltRecords* const records = fanTiltRecords[at].get();
    FanTiltRecords::Entry* known = nullptr;
    if (records != nullptr) {
        for (FanTiltRecords::Entry& entry : records->entries) {
            if (entry.fan.size() == static_cast<size_t>(count) &&
                std::equal(fan, fan + count, entry.fan.begin())) {
                known = &entry;
                break;
            }
        }
    }
    FanTurn turn;
    if (known != nullptr) {
        turn.tilted = known->tilted;
        turn.sum = known->sum;
#ifdef FANMESH_CHECK_FAN_MEMO
        const FanTurn check = measureFanTurn(vertices, v, n, fanTiltCosine);
        if (check.tilted != turn.tilted ||
            std::memcmp(&check.sum, &turn.sum, sizeof(Vector3)) != 0) {
            std::cerr << "remembered fan tilt of point " << p << " is wrong\n";
            std::abort();
        }
#endif
    } else {
        turn = measureFanTurn(vertices, v, n, fanTiltCosine);
        if (fanTiltTests[at] < 2) {
            ++fanTiltTests[at];
        } else {
            if (records == nullptr) {
                fanTiltRecords[at] = std::make_unique<FanTiltRecords>();
            }
            FanTiltRecords& kept = *fanTiltRecords[at];
            FanTiltRecords::Entry& entry = kept.entries[kept.next];
            kept.next ^= 1;
            entry.fan.assign(fan, fan + count);
            entry.sum = turn.sum;
            entry.tilted = turn.tilted;
        }
    }
    if (!turn.tilted) {
        return false;
    }
    // A lid across a part has the part's surface going on beyond it: neighbours of p lie
    // well off the fan's plane on both of its sides. Where the fan turns round the edge of
    // an open sheet towards a second sheet, they all lie on one side, and the fan stays.
    Vector3 sum = turn.sum;
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
