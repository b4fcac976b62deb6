// Vertex: the per-point record that carries all data of one input point, from
// preparation (position, neighbours, eigen-analysis) to surface growing (fans, links).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/Vector3.h"
#include "recon/FanEntries.h"

inline constexpr int32_t NEIGHBOUR_COUNT = 16;

// The growth reads the records of scattered points, so the record is laid out by cache line
// (64 bytes, and records start on a line): the first two lines hold what nearly every step
// reads of other points (position, normal, fan, links), the third the neighbour list, the
// fourth the working fan of the point being completed and what only the preparation, the
// octree builds and the dumps read.
struct alignas(64) Vertex {
    Vector3 position;
    Vector3 normal;
    int32_t triangleFanCount = 0;
    bool inSavedFan = false;
    FanEntries triangleFan;
    std::vector<int32_t> connectedPoints;
    double fanFlatness = 0.0;
    int32_t neighbours[NEIGHBOUR_COUNT];
    std::vector<int32_t> currentTriangleFan;
    double neighbourhoodRadius = 0.0;
    double surfaceVariation = 0.0;
    double eigenvalues[3];
};

// The layout above, kept on the build: a field that slides over a line boundary or a record
// that outgrows four lines costs every pass over scattered points an extra cache miss.
static_assert(sizeof(Vertex) == 256, "the point record is four cache lines");
static_assert(offsetof(Vertex, connectedPoints) + sizeof(std::vector<int32_t>) <= 128,
              "the links lie in the first two lines");
static_assert(offsetof(Vertex, neighbours) == 128, "the neighbour list fills the third line");
