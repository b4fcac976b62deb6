// Vertex: the per-point record that carries all data of one input point, from
// preparation (position, neighbours, eigen-analysis) to surface growing (fans, links).
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "recon/FanEntries.h"

inline constexpr int32_t NEIGHBOUR_COUNT = 16;

struct Vertex {
    Vector3 position;
    Vector3 normal;
    double neighbourhoodRadius = 0.0;
    int32_t triangleFanCount = 0;
    FanEntries triangleFan;
    bool inSavedFan = false;
    std::vector<int32_t> connectedPoints;
    std::vector<int32_t> currentTriangleFan;
    std::vector<int32_t> savedTriangleFan;
    std::vector<int32_t> fanMemberOf;
    double fanFlatness = 0.0;
    int32_t neighbours[NEIGHBOUR_COUNT];
    double surfaceVariation = 0.0;
    double eigenvalues[3];
};
