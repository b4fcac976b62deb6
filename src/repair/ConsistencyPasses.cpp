// Optional final passes: removing fans with a triangle that faces against the point's
// normal (and re-closing the holes this leaves), and keeping only the largest connected
// piece of the mesh.
#include <vector>

#include "geometry/Geometry.h"
#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

// Whether the fan of p holds a triangle whose normal points against the normal of p.
static bool facesAgainstNormal(const ReconstructionState& state, int32_t p) {
    const Vertex& record = state.vertices[p];
    for (int32_t k = 0; k < record.triangleFanCount; ++k) {
        const int32_t u = record.triangleFan[k];
        const int32_t w = record.triangleFan[(k + 1) % record.triangleFanCount];
        const Vector3 tn =
            triangleNormal(record.position, state.vertices[u].position, state.vertices[w].position);
        if (tn.dot(record.normal) < 0.0) {
            return true;
        }
    }
    return false;
}

void ReconstructionState::removeInconsistentFansPass() {
    std::vector<int32_t> list;
    list.reserve(static_cast<size_t>(activeCount));
    for (int32_t p = 0; p < activeCount; ++p) {
        list.push_back(p);
    }
    std::vector<uint8_t> listed(static_cast<size_t>(totalCount), 0);
    std::vector<int32_t> bad;
    std::vector<int32_t> neighbours;
    // Bad points found by the previous round; -1 before the first round.
    int64_t previousBadCount = -1;
    for (;;) {
        bad.clear();
        neighbours.clear();
        for (const int32_t p : list) {
            if (pointState[static_cast<size_t>(p)] == 1 && facesAgainstNormal(*this, p)) {
                bad.push_back(p);
            }
        }
        for (const int32_t p : bad) {
            const Vertex& record = vertices[p];
            for (int32_t k = 0; k < record.triangleFanCount; ++k) {
                const int32_t u = record.triangleFan[k];
                if (!listed[static_cast<size_t>(u)]) {
                    listed[static_cast<size_t>(u)] = 1;
                    neighbours.push_back(u);
                }
            }
        }
        for (const int32_t u : neighbours) {
            listed[static_cast<size_t>(u)] = 0;
        }
        // Holes re-closed by a round can fold again where the surface is open: when a
        // round finds no fewer bad points than the one before, further rounds would only
        // carry the same folds deeper into the mesh, so the pass stops.
        if (bad.empty() ||
            (previousBadCount >= 0 && static_cast<int64_t>(bad.size()) >= previousBadCount)) {
            return;
        }
        previousBadCount = static_cast<int64_t>(bad.size());
        for (const int32_t p : bad) {
            withdrawFan(p);
        }
        // Withdrawing the fan neighbours too clears a wider ring around each fold; on a thin
        // part sampled by few points the holes that leaves are closed as lids across the
        // part, cutting the surface into pieces.
        if (!keepFoldNeighbours) {
            for (const int32_t u : neighbours) {
                withdrawFan(u);
            }
        }
        while (withdrawOpenPoints()) {
        }
        closeHolesRounds();
        list.swap(neighbours);
    }
}

void ReconstructionState::keepLargestComponentPass() {
    const size_t n = static_cast<size_t>(totalCount);
    std::vector<int32_t> label(n, -1);
    std::vector<int32_t> sizes;
    std::vector<int32_t> stack;
    for (int32_t s = 0; s < activeCount; ++s) {
        if (pointState[static_cast<size_t>(s)] != 1 || label[static_cast<size_t>(s)] >= 0) {
            continue;
        }
        const int32_t current = static_cast<int32_t>(sizes.size());
        int32_t size = 1;
        label[static_cast<size_t>(s)] = current;
        stack.push_back(s);
        while (!stack.empty()) {
            const int32_t p = stack.back();
            stack.pop_back();
            const Vertex& record = vertices[p];
            for (int32_t k = 0; k < record.triangleFanCount; ++k) {
                const int32_t u = record.triangleFan[k];
                if (label[static_cast<size_t>(u)] < 0) {
                    label[static_cast<size_t>(u)] = current;
                    ++size;
                    stack.push_back(u);
                }
            }
        }
        sizes.push_back(size);
    }
#ifdef FANMESH_GROWTH_STATS
    for (const int32_t size : sizes) {
        GROWTH_NOTE("component of %d points before the largest-component pass\n", size);
    }
#endif
    if (sizes.size() < 2) {
        return;
    }
    int32_t largest = 0;
    for (int32_t l = 1; l < static_cast<int32_t>(sizes.size()); ++l) {
        if (sizes[static_cast<size_t>(l)] > sizes[static_cast<size_t>(largest)]) {
            largest = l;
        }
    }
    for (int32_t p = 0; p < activeCount; ++p) {
        if (pointState[static_cast<size_t>(p)] == 1 && label[static_cast<size_t>(p)] != largest) {
            withdrawFan(p);
        }
    }
}
