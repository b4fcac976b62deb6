// CreationTask: one member of a batch of point creation's per-point work (a point's fan
// search or refinement, then its global convexity test; or the normal refresh of a point
// that is not searched), kept with its outcome so that the batch can run on several threads
// and its outcomes be applied afterwards in the batch's order.
#pragma once

#include <cstdint>

#include "grow/FanSearchMemo.h"
#include "recon/Vertex.h"

struct CreationTask {
    enum Kind : uint8_t {
        SEARCH, // findBestFan, then the convexity test when a fan was found
        REFINE, // refineFan from the newly completed point, then the convexity test when kept
        NORMAL  // updateClosedFanNormal only
    };
    int32_t point = -1;
    Kind kind = SEARCH;
    // SEARCH: how the memo answers the search.
    FanSearchPlan plan;
    // The point's neighbour list before the batch: a search may replace its last entry, and
    // the convexity test of a point earlier in the batch must see the list as it was.
    int32_t neighboursBefore[NEIGHBOUR_COUNT] = {};
    // Outcome: the search found (refinement kept) a fan; the convexity test passed it.
    bool found = false;
    bool convex = false;
    // Set (atomically, with release) once the search or refinement has returned: from then on
    // the point's record holds its final neighbour list.
    uint8_t searchDone = 0;
};
