// Remembered refusals of the passes after every layer: a point that a pass turned down is
// turned down again without asking, for as long as nothing the refusal read has been edited.
// The edit watch keeps them: each refusal is a memo subscribed to the records it read.
#include "recon/ReconstructionState.h"

bool ReconstructionState::refusalWorthRemembering(uint32_t kind, int32_t p) {
    PointBits& earlier = refusedEarlier[kind - 1];
    if (p < 0 || static_cast<size_t>(p) >= editWatch.watched.size()) {
        return false;
    }
    // A well-sampled surface grows from one seed, and its points are turned down only while
    // the front passes them: there a subscription costs more than asking again. Points that
    // stay stuck while growth after growth is tried are remembered from their second growth.
    if (passRefusalBitsGrowth != growthIndex) {
        // A new growth: the points first refused in the last one were refused earlier.
        if (refusedInGrowthAny) {
            for (uint32_t k = 0; k < REFUSAL_KINDS; ++k) {
                refusedEarlier[k].takeFrom(refusedInGrowth[k]);
            }
            refusedInGrowthAny = false;
        }
        passRefusalBitsGrowth = growthIndex;
    }
    const size_t at = static_cast<size_t>(p);
    if (earlier.test(at)) {
        return true;
    }
    refusedInGrowth[kind - 1].set(at);
    refusedInGrowthAny = true;
    return false;
}

bool ReconstructionState::refusalRememberedNext(uint32_t kind, int32_t p) const {
    if (p < 0 || static_cast<size_t>(p) >= editWatch.watched.size()) {
        return false;
    }
    // The bits of the latest growth with a refusal count as earlier once a new growth began.
    const size_t at = static_cast<size_t>(p);
    return refusedEarlier[kind - 1].test(at) ||
           (passRefusalBitsGrowth != growthIndex && refusedInGrowth[kind - 1].test(at));
}

void ReconstructionState::rememberPassRefusal(uint32_t kind, int32_t p) {
    if (!editWatch.active() || p < 0 || p >= MAX_REFUSAL_POINT ||
        static_cast<size_t>(p) >= editWatch.watched.size()) {
        return;
    }
    passRefusals.put(static_cast<size_t>(p), kind - 1,
                     subscribeMemo(passRefusalId(p, kind), watchedReads));
}

void ReconstructionState::resetPassRefusals(size_t count) {
    if (count == 0) {
        passRefusals.release();
    } else {
        passRefusals.assign(count);
    }
    for (uint32_t k = 0; k < REFUSAL_KINDS; ++k) {
        if (count == 0) {
            refusedEarlier[k].release();
            refusedInGrowth[k].release();
        } else {
            refusedEarlier[k].assign(count);
            refusedInGrowth[k].assign(count);
        }
    }
    passRefusalBitsGrowth = -1;
    refusedInGrowthAny = false;
}
