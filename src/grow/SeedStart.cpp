// Starting a surface at a seed point: the seed's first fan is read off its neighbourhood
// (the first neighbour plus the nearest neighbour in each of four 72-degree sectors of
// the tangent plane), checked against the other neighbours, and completed.
#include <algorithm>
#include <map>

#include "geometry/Geometry.h"
#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

namespace {
// Acceptance windows around a sector centre, tried from the narrowest.
constexpr double SEED_WINDOWS[3] = {15.0, 25.0, 45.0};
constexpr int32_t SEED_SECTORS = 4;
} // namespace

bool ReconstructionState::startFromSeed(int32_t s) {
    Vertex& seed = vertices[s];
    const Vector3 normal = seed.normal;
    const Vector3 origin = seed.position;
    const int32_t q0 = seed.neighbours[0];
    const Vector3 reference =
        difference(projectOntoPlane(normal, origin, vertices[q0].position), origin);

    std::vector<double> angles;
    std::map<double, int32_t> slotOfAngle;
    std::map<double, double> distanceOfAngle;
    angles.push_back(0.0);
    slotOfAngle.emplace(0.0, 0);
    for (int32_t j = 1; j < NEIGHBOUR_COUNT; ++j) {
        const Vector3 d = difference(
            projectOntoPlane(normal, origin, vertices[seed.neighbours[j]].position), origin);
        const double a = orientedAngleDeg(d, reference, normal);
        angles.push_back(a);
        slotOfAngle.emplace(a, j);
        distanceOfAngle.emplace(a, d.length());
    }
    std::sort(angles.begin(), angles.end());

    std::vector<int32_t> chosenSlots;
    int32_t fanSize = 1;
    for (int32_t k = 1; k <= SEED_SECTORS; ++k) {
        const double c = SEED_SECTOR_WIDTH * k;
        std::vector<double> window;
        for (const double halfWidth : SEED_WINDOWS) {
            for (const double a : angles) {
                if (c - halfWidth < a && a < c + halfWidth) {
                    window.push_back(a);
                }
            }
            if (!window.empty()) {
                break;
            }
        }
        if (window.empty()) {
            continue;
        }
        double best = SEED_DISTANCE_BOUND;
        int32_t bestSlot = -1;
        for (const double a : window) {
            // The angle 0 belongs to the first neighbour, which has no distance entry; it
            // never falls inside a window.
            const auto found = distanceOfAngle.find(a);
            if (found != distanceOfAngle.end() && found->second < best) {
                best = found->second;
                bestSlot = slotOfAngle[a];
            }
        }
        if (bestSlot >= 0) {
            chosenSlots.push_back(bestSlot);
            fanSize += 1;
        }
    }

    // Publish the fan.
    noteEdit(WATCH_FAN, s);
    seed.triangleFanCount = fanSize;
    seed.triangleFan[0] = q0;
    for (size_t i = 0; i < chosenSlots.size(); ++i) {
        seed.triangleFan[i + 1] = seed.neighbours[chosenSlots[i]];
    }
    seed.currentTriangleFan.clear();
    for (int32_t i = 0; i < fanSize; ++i) {
        const int32_t m = seed.triangleFan[i];
        seed.currentTriangleFan.push_back(m);
        addConnection(m, s);
    }
    updateClosedFanNormal(s);

    // A neighbour outside the fan lying over one of its triangles, on the side the normal
    // points to, means the fan does not cover the seed's surface: the start fails.
    const Vector3 fanNormal = seed.normal;
    for (int32_t slot = 0; slot < NEIGHBOUR_COUNT; ++slot) {
        const int32_t q = seed.neighbours[slot];
        if (indexInFan(s, q) >= 0) {
            continue;
        }
        for (int32_t i = 0; i < fanSize; ++i) {
            const int32_t fi = seed.triangleFan[i];
            const int32_t fnext = seed.triangleFan[(i + 1) % fanSize];
            if (rayHitsTriangleBehind(origin, vertices[fi].position, vertices[fnext].position,
                                      fanNormal, vertices[q].position)) {
                for (int32_t r = 0; r < fanSize; ++r) {
                    removeConnection(seed.triangleFan[r], s);
                }
                return false;
            }
        }
    }

    GROWTH_COMPLETED(s, "seed");
    setPointState(s, 1);
    completionOrder.push_back(s);
    completedCount = static_cast<int32_t>(completionOrder.size());
    insertNearEdgePoints(s);
    seed.inSavedFan = true;
    for (int32_t i = 0; i < seed.triangleFanCount; ++i) {
        vertices[seed.triangleFan[i]].inSavedFan = true;
    }
    return true;
}
