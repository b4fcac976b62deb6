// One layer pass of surface growing: the points not yet completed are split into
// components over their directed 16-neighbour links (completed points break the links),
// and each component is handed to point creation.
#include <deque>

#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

void ReconstructionState::processLayer(bool levelFlipping) {
    const size_t n = static_cast<size_t>(activeCount > 0 ? activeCount : 0);
    std::vector<uint8_t> seen(n, 0);
    std::vector<uint8_t> queuedForSearch(n, 0);
    std::vector<uint8_t> collected(n, 0);
    // Flags of point creation: sized here once per pass, cleared per component by
    // createPoints itself.
    creationRejected.assign(n, 0);
    creationPending.assign(n, 0);
    creationQueued.assign(n, 0);

    std::deque<int32_t> searchQueue;
    std::vector<int32_t> component;
    for (int32_t i = 0; i < activeCount; ++i) {
        if (pointState[static_cast<size_t>(i)] != 0 || seen[static_cast<size_t>(i)] == 1) {
            continue;
        }
        componentOctree.reset();
        component.clear();
        seen[static_cast<size_t>(i)] = 1;
        searchQueue.push_back(i);
        queuedForSearch[static_cast<size_t>(i)] = 1;
        while (!searchQueue.empty()) {
            const int32_t c = searchQueue.front();
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                const int32_t nb = vertices[c].neighbours[k];
                if (nb < 0 || nb >= activeCount) {
                    continue; // only active points take part
                }
                const size_t q = static_cast<size_t>(nb);
                if (pointState[q] == 0 && collected[q] == 0 && queuedForSearch[q] == 0 &&
                    seen[q] == 0) {
                    searchQueue.push_back(nb);
                    queuedForSearch[q] = 1;
                    seen[q] = 1;
                }
            }
            searchQueue.pop_front();
            component.push_back(c);
            collected[static_cast<size_t>(c)] = 1;
            queuedForSearch[static_cast<size_t>(c)] = 0;
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
