// One layer pass of surface growing: the points not yet completed are split into
// components over their directed 16-neighbour links (completed points break the links),
// and each component is handed to point creation.
#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

void ReconstructionState::processLayer(bool levelFlipping) {
    const size_t n = static_cast<size_t>(activeCount > 0 ? activeCount : 0);
    // A point is marked once it is queued for a component; a marked point is queued or
    // already in a component, so the mark alone keeps it from being queued twice.
    std::vector<uint8_t> seen(n, 0);
    // Flags of point creation: sized here once per pass, cleared per component by
    // createPoints itself.
    creationRejected.assign(n, 0);
    creationPending.assign(n, 0);
    creationQueued.assign(n, 0);

    // Breadth-first search: the queue is the component itself, read from its front while
    // points are appended at its end.
    std::vector<int32_t> component;
    component.reserve(n);
    for (int32_t i = 0; i < activeCount; ++i) {
        if (pointState[static_cast<size_t>(i)] != 0 || seen[static_cast<size_t>(i)] == 1) {
            continue;
        }
        componentOctree.reset();
        component.clear();
        seen[static_cast<size_t>(i)] = 1;
        component.push_back(i);
        for (size_t front = 0; front < component.size(); ++front) {
            const int32_t* neighbours = vertices[component[front]].neighbours;
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                const int32_t nb = neighbours[k];
                if (nb < 0 || nb >= activeCount) {
                    continue; // only active points take part
                }
                const size_t q = static_cast<size_t>(nb);
                if (pointState[q] == 0 && seen[q] == 0) {
                    component.push_back(nb);
                    seen[q] = 1;
                }
            }
        }
#ifdef FANMESH_GROWTH_STATS
        growthStats.levelFlipping = levelFlipping;
#endif
        createPoints(component, componentOctree, levelFlipping);
        if (completedCount > completedLimit) {
            break;
        }
    }
}
