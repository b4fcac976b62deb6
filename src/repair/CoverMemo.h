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
    // While the inputs are known to equal the current ones: the token under which the memo
    // is a subscriber of the records it read (EditWatch); 0 otherwise.
    uint32_t token = 0;
};
