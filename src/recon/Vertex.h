// Vertex: the per-point record that carries all data of one input point, from
// preparation (position, neighbours, eigen-analysis) to surface growing (fans, links).
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "recon/FanEntries.h"

inline constexpr int32_t NEIGHBOUR_COUNT = 16;

// Fields read by nearly every step of the growth come first, those read only by the
// preparation, the octree builds and the dumps last, so that the growth touches
// fewer cache lines per record.
struct Vertex {
    Vector3 position;
    Vector3 normal;
    int32_t triangleFanCount = 0;
    bool inSavedFan = false;
    FanEntries triangleFan;
    std::vector<int32_t> connectedPoints;
    std::vector<int32_t> currentTriangleFan;
    int32_t neighbours[NEIGHBOUR_COUNT];
    double fanFlatness = 0.0;
    double neighbourhoodRadius = 0.0;
    double surfaceVariation = 0.0;
    double eigenvalues[3];
};
