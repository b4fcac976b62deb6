// FanSearchMemo: the remembered outcomes of one point's best-fan search at one layer
// parity, kept so that a search repeated on unchanged inputs is answered without being
// run again.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

struct FanSearchMemo {
    // One remembered search.
    struct Entry {
        // Everything the search reads, in the fixed layout of gatherFanSearchInputs.
        std::vector<int32_t> inputs;
        // Everything the search writes, in the layout of recordFanSearchOutputs.
        std::vector<int32_t> outputs;
        // While the inputs are known to equal the current ones: the token under which the
        // entry is a subscriber of the records it read (EditWatch); 0 otherwise.
        uint32_t token = 0;
    };
    // The last two searches with different inputs, the latest first: a stuck point's
    // inputs often alternate between two states from one growth to the next.
    Entry entries[2];

    // Makes room for a new search: the latest entry becomes the older one, and the older
    // one comes first for reuse (the caller overwrites its inputs and outputs).
    Entry& pushFront() {
        std::swap(entries[0], entries[1]);
        return entries[0];
    }
};
