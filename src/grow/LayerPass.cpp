// One layer pass of surface growing: the points not yet completed are split into
// components over their directed 16-neighbour links (completed points break the links),
// and each component is handed to point creation.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

namespace {

// How many queued points ahead of the one being expanded the search requests the link row.
constexpr uint32_t LINK_ROWS_AHEAD = 8;

// Splits the open points into components as a layer pass finds them, each listed from its
// lowest point in breadth-first order; the components follow one another in components,
// and ends holds where each one ends.
void findComponents(const ReconstructionState& state, std::vector<int32_t>& components,
                    std::vector<int32_t>& ends) {
    const int32_t activeCount = state.activeCount;
    const uint32_t n = static_cast<uint32_t>(activeCount > 0 ? activeCount : 0);
    ends.clear();
    // A point is blocked when it is completed or already listed; a listed point is queued
    // or already in a component, so the mark alone keeps it from being listed twice. One
    // byte per point answers both, where the search reads it for every link. The entry
    // after the last point stands for every link to a point that takes no part (inactive,
    // or a negative entry, which converts to a large one), and is always blocked.
    std::vector<uint8_t> blocked(static_cast<size_t>(n) + 1);
    std::copy(state.pointState.begin(), state.pointState.begin() + static_cast<ptrdiff_t>(n),
              blocked.begin());
    blocked[n] = 1;
    // Every point is listed at most once, so the list is written in place, without a
    // capacity check per appended point.
    components.resize(n);
    int32_t* const listed = components.data();
    uint32_t tail = 0;
    const int32_t* rows = state.linkNeighbours.data();
    for (uint32_t i = 0; i < n; ++i) {
        if (blocked[i] != 0) {
            continue;
        }
        // Breadth-first search: the queue is the component itself, read from its front
        // while points are appended at its end.
        uint32_t front = tail;
        blocked[i] = 1;
        listed[tail++] = static_cast<int32_t>(i);
        for (; front < tail; ++front) {
            // The rows are read in queue order, scattered over the whole table: the row a
            // few places ahead is requested now so that it has arrived when its turn comes.
            // A row may straddle two cache lines, so both of its ends are requested.
            if (front + LINK_ROWS_AHEAD < tail) {
                const int32_t* ahead = rows + static_cast<size_t>(listed[front + LINK_ROWS_AHEAD]) *
                                                  static_cast<size_t>(NEIGHBOUR_COUNT);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + NEIGHBOUR_COUNT - 1);
            }
            const int32_t* neighbours =
                rows + static_cast<size_t>(listed[front]) * static_cast<size_t>(NEIGHBOUR_COUNT);
#pragma GCC unroll 16
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                const uint32_t entry = static_cast<uint32_t>(neighbours[k]);
                const uint32_t nb = entry < n ? entry : n;
                if (blocked[nb] == 0) {
                    blocked[nb] = 1;
                    listed[tail++] = static_cast<int32_t>(nb);
                }
            }
        }
        ends.push_back(static_cast<int32_t>(tail));
    }
    components.resize(tail);
}

} // namespace

void ReconstructionState::syncLinkNeighbours() {
    const size_t n = static_cast<size_t>(activeCount > 0 ? activeCount : 0);
    linkNeighbours.resize(n * static_cast<size_t>(NEIGHBOUR_COUNT));
    for (size_t i = 0; i < n; ++i) {
        std::copy(vertices[i].neighbours, vertices[i].neighbours + NEIGHBOUR_COUNT,
                  linkNeighbours.begin() + static_cast<ptrdiff_t>(i * NEIGHBOUR_COUNT));
    }
}

void ReconstructionState::noteNeighbourEdit(int32_t p) {
    ++neighbourListEdits;
    if (p >= 0) {
        if (neighbourEditCounts.size() <= static_cast<size_t>(p)) {
            // Sized once for every active point rather than grown edit by edit.
            neighbourEditCounts.resize(static_cast<size_t>(std::max(p + 1, activeCount)), 0);
        }
        ++neighbourEditCounts[static_cast<size_t>(p)];
    }
    const size_t row = static_cast<size_t>(p) * static_cast<size_t>(NEIGHBOUR_COUNT);
    if (p >= 0 && row < linkNeighbours.size()) {
        std::copy(vertices[p].neighbours, vertices[p].neighbours + NEIGHBOUR_COUNT,
                  linkNeighbours.begin() + static_cast<ptrdiff_t>(row));
    }
}

void ReconstructionState::processLayer(bool levelFlipping) {
    const size_t n = static_cast<size_t>(activeCount > 0 ? activeCount : 0);
    // Flags of point creation: sized here once per pass, cleared per component by
    // createPoints itself.
    creationRejected.assign(n, 0);
    creationPending.assign(n, 0);
    creationQueued.assign(n, 0);

    // The components depend only on the states and neighbour lists at the start of the
    // pass: point creation in one component changes the states and lists of its own points
    // only, which no later component reaches. A pass that starts from the same states, with
    // no neighbour list edited since the previous start, has the previous pass's components.
    // The copy of the neighbour lists is filled once per construction (or on the first pass
    // when point creation is driven without it) and kept current by every edit since.
    if (linkNeighbours.size() != n * static_cast<size_t>(NEIGHBOUR_COUNT)) {
        syncLinkNeighbours();
    }
#ifdef FANMESH_CHECK_FAN_MEMO
    for (size_t i = 0; i < n; ++i) {
        if (!std::equal(vertices[i].neighbours, vertices[i].neighbours + NEIGHBOUR_COUNT,
                        linkNeighbours.begin() + static_cast<ptrdiff_t>(i * NEIGHBOUR_COUNT))) {
            std::cerr << "copied neighbour list of point " << i << " is out of date\n";
            std::abort();
        }
    }
    for (size_t i = 0; i < linkCounts.size(); ++i) {
        if (static_cast<size_t>(linkCounts[i]) != vertices[i].connectedPoints.size()) {
            std::cerr << "connection count of point " << i << " is out of date\n";
            std::abort();
        }
    }
#endif
    const bool same =
        layerStartStates.size() == n &&
        std::equal(layerStartStates.begin(), layerStartStates.end(), pointState.begin()) &&
        layerStartEdits == neighbourListEdits;
    if (!same) {
        layerStartStates.assign(pointState.begin(), pointState.begin() + static_cast<ptrdiff_t>(n));
        layerStartEdits = neighbourListEdits;
        findComponents(*this, layerComponents, layerComponentEnds);
    }
#ifdef FANMESH_CHECK_FAN_MEMO
    else {
        std::vector<int32_t> components;
        std::vector<int32_t> ends;
        findComponents(*this, components, ends);
        if (components != layerComponents || ends != layerComponentEnds) {
            std::cerr << "layer pass components differ from those of the previous pass\n";
            std::abort();
        }
    }
#endif

    std::vector<int32_t> component;
    int32_t begin = 0;
    for (const int32_t end : layerComponentEnds) {
        const auto first = layerComponents.begin() + begin;
        const auto last = layerComponents.begin() + end;
        begin = end;
        // Point creation starts only from points that border an accepted fan; a component
        // without one would get its index built and nothing else, so it is passed over.
        if (std::none_of(first, last, [this](int32_t p) { return connectionCount(p) != 0; })) {
#ifdef FANMESH_CHECK_FAN_MEMO
            // Checking build: point creation on the component must leave every state alone.
            const std::vector<uint8_t> before = pointState;
            const int32_t completedBefore = completedCount;
            component.assign(first, last);
            createPoints(component, levelFlipping);
            if (pointState != before || completedCount != completedBefore) {
                std::cerr << "point creation changed a component without links\n";
                std::abort();
            }
#endif
            continue;
        }
        component.assign(first, last);
#ifdef FANMESH_GROWTH_STATS
        growthStats.levelFlipping = levelFlipping;
#endif
        createPoints(component, levelFlipping);
        if (completedCount > completedLimit) {
            break;
        }
    }
}
