// Remembered refusals of the passes after every layer: a point that a pass turned down is
// turned down again without asking, for as long as nothing the refusal read has been edited.
// The edit watch keeps them: each refusal is a memo subscribed to the records it read.
#include <algorithm>

#include "recon/ReconstructionState.h"

bool ReconstructionState::passRefusalStands(uint32_t kind, int32_t p) {
    const std::vector<uint32_t>& tokens = passRefusals[kind - 1];
    if (p < 0 || static_cast<size_t>(p) >= tokens.size()) {
        return false;
    }
    // Edits announced since the last flush invalidate the refusals that read what they changed.
    flushEdits();
    return tokens[static_cast<size_t>(p)] != 0;
}

void ReconstructionState::rememberPassRefusal(uint32_t kind, int32_t p) {
    std::vector<uint32_t>& tokens = passRefusals[kind - 1];
    if (!editWatch.active() || p < 0 || p >= MAX_POINT_MEMO ||
        static_cast<size_t>(p) >= tokens.size()) {
        return;
    }
    tokens[static_cast<size_t>(p)] = subscribeMemo(passRefusalId(p, kind), watchedReads);
}

void ReconstructionState::resetPassRefusals(size_t count) {
    for (std::vector<uint32_t>& tokens : passRefusals) {
        if (count == 0) {
            std::vector<uint32_t>().swap(tokens);
        } else {
            tokens.assign(count, 0);
        }
    }
}
