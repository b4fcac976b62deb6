// FanSearchMemo: the remembered outcome of one point's best-fan search, kept so that a
// search repeated on unchanged inputs is answered without being run again.
#pragma once

#include <cstdint>
#include <vector>

struct FanSearchMemo {
    // Everything the search reads, in the fixed layout of gatherFanSearchInputs.
    std::vector<int32_t> inputs;
    // Everything the search writes, in the layout of recordFanSearchOutputs.
    std::vector<int32_t> outputs;
};
