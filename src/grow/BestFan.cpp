// Choosing a point's fan: the flattest fan over all start points whose fans reach the point,
// and the retry of a queued point's fan from a newly completed neighbour.
#include <algorithm>
#include <cmath>

#include "grow/FanConstants.h"
#include "recon/ReconstructionState.h"

namespace {

// Copies at most MAX_FAN_SIZE entries of a working fan into a fixed buffer.
int32_t keepFan(const std::vector<int32_t>& fan, int32_t* buffer) {
    const int32_t count =
        static_cast<int32_t>(std::min(fan.size(), static_cast<std::size_t>(MAX_FAN_SIZE)));
    std::copy(fan.begin(), fan.begin() + count, buffer);
    return count;
}

} // namespace

bool ReconstructionState::searchBestFan(int32_t p, bool levelFlipping) {
    Vertex& v = vertices[p];
    v.currentTriangleFan.clear();
    if (v.connectedPoints.empty()) {
        return false;
    }
    int32_t bestFan[MAX_FAN_SIZE];
    int32_t bestCount = 0;
    double bestFlatness = 0.0;
    bool found = false;
    for (std::size_t i = 0; i < v.connectedPoints.size(); ++i) {
        if (!constructFan(p, v.connectedPoints[i], levelFlipping)) {
            continue;
        }
        const double f = computeFlatness(p);
        if (!found || std::fabs(bestFlatness) > std::fabs(f)) {
            bestCount = keepFan(v.currentTriangleFan, bestFan);
            bestFlatness = f;
            found = true;
        }
        if (f < FLAT_FAN_LIMIT) {
            break;
        }
    }
    if (!found) {
        return false;
    }
    v.currentTriangleFan.assign(bestFan, bestFan + bestCount);
    noteEdit(WATCH_FAN, p);
    v.triangleFan.assign(bestFan, bestCount);
    v.triangleFanCount = bestCount;
    computeFlatness(p);
    return true;
}

bool ReconstructionState::refineFan(int32_t p, int32_t h, bool levelFlipping) {
    Vertex& v = vertices[p];
    const double old = v.fanFlatness;
    int32_t keptFan[MAX_FAN_SIZE];
    const int32_t keptCount = keepFan(v.currentTriangleFan, keptFan);
    v.currentTriangleFan.clear();
    if (constructFan(p, h, levelFlipping) && std::fabs(old) > std::fabs(computeFlatness(p))) {
        updateClosedFanNormal(p);
        return true;
    }
    v.fanFlatness = old;
    v.currentTriangleFan.assign(keptFan, keptFan + keptCount);
    updateClosedFanNormal(p);
    return false;
}
