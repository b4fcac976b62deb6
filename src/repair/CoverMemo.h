// CoverMemo: the remembered covering-triangle search of one open point, kept so that the
// per-layer pass over isolated points does not search again around an unchanged mesh.
#pragma once

#include <cstdint>
#include <vector>

struct CoverMemo {
    // Everything the search reads, in the layout of gatherCoverInputs.
    std::vector<int32_t> inputs;
    bool found = false;
    int32_t o = -1;
    int32_t t = -1;
    int32_t v = -1;
    double distance = 0.0;
    // The records the search read: the point, its neighbours and the fan owners around it.
    std::vector<int32_t> reads;
    // The sweep over isolated points (coverSweepNumber) in which the inputs were last seen
    // equal to the current ones, before any insertion of that sweep; 0: none.
    uint32_t checkedAt = 0;
};
