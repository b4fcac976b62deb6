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

bool ReconstructionState::refusalWorthRemembering(uint32_t kind, int32_t p) {
    std::vector<int32_t>& growths = passRefusalGrowths[kind - 1];
    if (p < 0 || static_cast<size_t>(p) >= growths.size()) {
        return false;
    }
    // A well-sampled surface grows from one seed, and its points are turned down only while
    // the front passes them: there a subscription costs more than asking again. Points that
    // stay stuck while growth after growth is tried are remembered from their second growth.
    int32_t& first = growths[static_cast<size_t>(p)];
    if (first < 0) {
        first = growthIndex;
    }
    return first < growthIndex;
}

bool ReconstructionState::refusalRememberedNext(uint32_t kind, int32_t p) const {
    const std::vector<int32_t>& growths = passRefusalGrowths[kind - 1];
    if (p < 0 || static_cast<size_t>(p) >= growths.size()) {
        return false;
    }
    const int32_t first = growths[static_cast<size_t>(p)];
    return first >= 0 && first < growthIndex;
}

void ReconstructionState::rememberPassRefusal(uint32_t kind, int32_t p) {
    std::vector<uint32_t>& tokens = passRefusals[kind - 1];
    if (!editWatch.active() || p < 0 || p >= MAX_REFUSAL_POINT ||
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
    for (std::vector<int32_t>& growths : passRefusalGrowths) {
        if (count == 0) {
            std::vector<int32_t>().swap(growths);
        } else {
            growths.assign(count, -1);
        }
    }
}
