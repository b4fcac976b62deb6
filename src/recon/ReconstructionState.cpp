// ReconstructionState: options, the hand-over of the prepared records (sign correction of
// removed records, per-record resets, neighbourhood radii, the all-points octree) and the
// random layer vectors.
#include "recon/ReconstructionState.h"

#include <ctime>

#include "geometry/Geometry.h"

void ReconstructionState::setOptions(bool keepLargest, bool removeInconsistent,
                                     int32_t maxLayerSetting) {
    keepLargestComponent = keepLargest;
    removeInconsistentFans = removeInconsistent;
    configuredMaxLayers = maxLayerSetting;
}

void ReconstructionState::attachPoints(Vertex* records, int32_t count, int32_t keptCount,
                                       double xMax, double yMax, double zMax, double radius) {
    (void)xMax;
    (void)yMax;
    (void)zMax;
    vertices = records;
    activeCount = count;
    totalCount = count;
    completedLimit = 100000000;
    searchRadius = radius;
    halfSearchRadius = radius * 0.5;
    resetPointStates(static_cast<size_t>(count > 0 ? count : 0));
    // The growth's copies of the neighbour lists and connection counts belong to earlier
    // records; they are filled again from these ones when needed.
    linkNeighbours.clear();
    linkCounts.clear();
    completionOrder.clear();
    completedCount = 0;

    // Removed records sit at the tail, from keptCount on; the preparation stored their
    // neighbour entries negated (an entry naming record 0 stays 0), so negating every
    // entry turns them back into indices.
    const int32_t firstRemoved = keptCount >= 0 && keptCount < count ? keptCount : count;
    for (int32_t i = 0; i < count; ++i) {
        Vertex& record = records[i];
        record.triangleFanCount = 0;
        std::vector<int32_t>().swap(record.currentTriangleFan);
        std::vector<int32_t>().swap(record.connectedPoints);
        if (i >= firstRemoved) {
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                record.neighbours[k] = -record.neighbours[k];
            }
        }
        const int32_t farthest = record.neighbours[NEIGHBOUR_COUNT - 1];
        record.neighbourhoodRadius =
            farthest >= 0 && farthest < count
                ? difference(record.position, records[farthest].position).length()
                : 0.0;
    }
    activeCount = firstRemoved;

    clockStart = static_cast<int32_t>(std::clock());
    octree.buildAll(records, count, radius);
    clockEnd = static_cast<int32_t>(std::clock());
    octreeTicks += clockEnd - clockStart;
}

void ReconstructionState::releaseGrowthData() {
    octree.release();
    componentTrees.release();
    std::vector<std::unique_ptr<ConvexityRecords>>().swap(convexityRecords);
    std::vector<uint8_t>().swap(convexityTested);
    std::vector<int32_t>().swap(savedFan);
    for (int32_t i = 0; i < totalCount; ++i) {
        Vertex& record = vertices[i];
        std::vector<int32_t>().swap(record.currentTriangleFan);
    }
}

Vector3 ReconstructionState::randomVector() {
    const double scale = 1.0 / 32767.0;
    const double z = nextRandom() * scale;
    const double y = nextRandom() * scale;
    const double x = nextRandom() * scale;
    return Vector3(x, y, z);
}
