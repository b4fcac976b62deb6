// Exact 16-nearest-neighbour search over the kept points with an ANN kd-tree, issued in a
// spatially coherent query order, and the timing file of each search.
#include <ANN/ANN.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>

#include "prep/PointSetPreparation.h"
#include "prep/ProcessTicks.h"

namespace {

constexpr int SEARCH_DIMENSION = 3;
constexpr int SEARCH_COUNT = NEIGHBOUR_COUNT + 1; // the point itself comes first
constexpr int BUCKET_SIZE = 1;

// Spreads the low 21 bits of v so that two zero bits follow each of them.
uint64_t spreadBits(uint64_t v) {
    v &= 0x1fffffULL;
    v = (v | (v << 32)) & 0x001f00000000ffffULL;
    v = (v | (v << 16)) & 0x001f0000ff0000ffULL;
    v = (v | (v << 8)) & 0x100f00f00f00f00fULL;
    v = (v | (v << 4)) & 0x10c30c30c30c30c3ULL;
    v = (v | (v << 2)) & 0x1249249249249249ULL;
    return v;
}

// Grid cell of c on 2^21 cells spanning [low, low + extent].
uint64_t quantise(double c, double low, double scale) {
    const double cell = (c - low) * scale;
    if (!(cell > 0.0)) {
        return 0;
    }
    if (cell >= 2097151.0) {
        return 2097151;
    }
    return static_cast<uint64_t>(cell);
}

void writeStamp(std::FILE* file, const char* label) {
    const std::time_t now = std::time(nullptr);
    std::fprintf(file, "%s: Current date and time are: %s", label, std::ctime(&now));
}

} // namespace

void PointSetPreparation::computeSpatialOrder() {
    const int32_t n = keptCount;
    spatialOrder.resize(n);
    if (n == 0) {
        return;
    }
    double low[3] = {vertices[0].position.x, vertices[0].position.y, vertices[0].position.z};
    double high[3] = {low[0], low[1], low[2]};
    for (int32_t i = 1; i < n; ++i) {
        const Vector3& p = vertices[i].position;
        const double c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], c[a]);
            high[a] = std::max(high[a], c[a]);
        }
    }
    // One common cell size keeps the cells cubic.
    const double extent = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
    const double scale = extent > 0.0 && std::isfinite(extent) ? 2097151.0 / extent : 0.0;
    std::vector<std::pair<uint64_t, int32_t>> keyed(n);
    for (int32_t i = 0; i < n; ++i) {
        const Vector3& p = vertices[i].position;
        const uint64_t key = spreadBits(quantise(p.x, low[0], scale)) |
                             (spreadBits(quantise(p.y, low[1], scale)) << 1) |
                             (spreadBits(quantise(p.z, low[2], scale)) << 2);
        keyed[i] = {key, i};
    }
    std::sort(keyed.begin(), keyed.end());
    for (int32_t i = 0; i < n; ++i) {
        spatialOrder[i] = keyed[i].second;
    }
}

bool PointSetPreparation::computeNeighbours() {
    if (keptCount < SEARCH_COUNT) {
        failure = "too few points: at least " + std::to_string(SEARCH_COUNT) +
                  " are needed to find 16 neighbours of every point, but only " +
                  std::to_string(keptCount) + " remain";
        return false;
    }
    // The timing file is written only when it is named.
    if (!timingFileName.empty()) {
        timingFile = std::fopen(timingFileName.c_str(), "w");
        if (timingFile == nullptr) {
            failure = "cannot create the timing file \"" + timingFileName + "\"";
            return false;
        }
        writeStamp(timingFile, "Start");
    }
    const long startTicks = processTicks();

    // The search library keeps its search state in globals: one search at a time.
    static std::mutex searchLibraryLock;
    const std::lock_guard<std::mutex> searchGuard(searchLibraryLock);
    ANNpoint queryPoint = annAllocPt(SEARCH_DIMENSION, 0.0);
    ANNpointArray points = annAllocPts(keptCount, SEARCH_DIMENSION);
    ANNidxArray resultIndices = new ANNidx[SEARCH_COUNT];
    ANNdistArray resultDistances = new ANNdist[SEARCH_COUNT];
    // points[i] holds the position of record i, so the tree and every search see the kept
    // records in record order. The coordinates themselves are laid out in Morton order: the
    // tree build and the searches then read memory that is close together.
    computeSpatialOrder();
    ANNcoord* const coordinateBlock = points[0];
    for (int32_t r = 0; r < keptCount; ++r) {
        const int32_t i = spatialOrder[r];
        const Vector3& p = vertices[i].position;
        ANNcoord* slot = coordinateBlock + static_cast<size_t>(r) * SEARCH_DIMENSION;
        slot[0] = p.x;
        slot[1] = p.y;
        slot[2] = p.z;
        points[i] = slot;
    }
    ANNkd_tree* tree =
        new ANNkd_tree(points, keptCount, SEARCH_DIMENSION, BUCKET_SIZE, ANN_KD_SUGGEST);

    // The exact search result of a point does not depend on which points were queried before
    // it, so the queries run in Morton order; results are stored per point.
    for (const int32_t j : spatialOrder) {
        queryPoint[0] = points[j][0];
        queryPoint[1] = points[j][1];
        queryPoint[2] = points[j][2];
        tree->annkSearch(queryPoint, SEARCH_COUNT, resultIndices, resultDistances, 0.0);
        int32_t* neighbours = vertices[j].neighbours;
        for (int r = 1; r < SEARCH_COUNT; ++r) {
            neighbours[r - 1] = resultIndices[r];
        }
    }

    delete[] resultIndices;
    delete[] resultDistances;
    delete tree;
    points[0] = coordinateBlock; // the block is released through the first entry
    annDeallocPts(points);
    annDeallocPt(queryPoint);
    annClose();

    const long finishTicks = processTicks();
    if (timingFile != nullptr) {
        writeStamp(timingFile, "End");
        std::fprintf(timingFile, "start = %d\n", static_cast<int>(startTicks));
        std::fprintf(timingFile, "finish = %d\n", static_cast<int>(finishTicks));
        std::fprintf(timingFile, "CLOCKS_PER_SEC = %d\n", PROCESS_TICKS_PER_SECOND);
        std::fprintf(timingFile, "detailed timing = %f\n",
                     static_cast<double>(finishTicks - startTicks) * 0.001);
        std::fclose(timingFile);
        timingFile = nullptr;
    }
    return true;
}
