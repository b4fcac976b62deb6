// Publishing and withdrawing a point's accepted fan: saving and restoring the working
// fan, copying it into the accepted fan with the reverse links, and undoing that again.
#include <algorithm>

#include "recon/ReconstructionState.h"

void ReconstructionState::saveFan(int32_t p) {
    savedFan = vertices[p].currentTriangleFan;
}

void ReconstructionState::restoreFan(int32_t p) {
    vertices[p].currentTriangleFan = savedFan;
}

void ReconstructionState::publishFan(int32_t p, bool levelFlipping) {
    Vertex& v = vertices[p];
    std::vector<int32_t>& fan = v.currentTriangleFan;
    if (levelFlipping && fan.size() > 1) {
        // [f0, f1, ..., fn-1] becomes [f0, fn-1, ..., f1]: the same ring turned the other way.
        std::reverse(fan.begin() + 1, fan.end());
    }
    // The accepted fan has room for MAX_FAN_SIZE entries; a longer working fan is cut there.
    const int32_t count = std::min(static_cast<int32_t>(fan.size()), MAX_FAN_SIZE);
    noteEdit(WATCH_FAN, p);
    v.triangleFanCount = count;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t m = fan[static_cast<size_t>(i)];
        v.triangleFan[i] = m;
        addConnection(m, p);
    }
}

void ReconstructionState::withdrawFan(int32_t p) {
    Vertex& v = vertices[p];
    for (int32_t i = 0; i < v.triangleFanCount; ++i) {
        removeConnection(v.triangleFan[i], p);
    }
    setPointState(p, 0);
    noteEdit(WATCH_FAN, p);
    v.triangleFanCount = 0;
    ++withdrawnFanCount;
}

void ReconstructionState::confirmFan(int32_t p) {
    Vertex& v = vertices[p];
    v.inSavedFan = true;
    for (const int32_t m : savedFan) {
        vertices[m].inSavedFan = true;
    }
}
