// Unfinished points after growing: counting the open ends of the fans around a point,
// withdrawing the fans around points that are not on a single open chain, and closing a
// point whose surrounding fans form a ring.
#include <algorithm>

#include "recon/ReconstructionState.h"

int32_t ReconstructionState::openEndCount(int32_t a) {
    buildRimList(a);
    int32_t open = 0;
    for (size_t k = 0; k < rimList.size(); ++k) {
        if (rimEntryOpen(k)) {
            ++open;
        }
    }
    return open;
}

bool ReconstructionState::withdrawOpenPoints() {
    std::vector<int32_t> collected;
    for (int32_t i = 0; i < activeCount; ++i) {
        if (pointState[static_cast<size_t>(i)] != 1 && !vertices[i].connectedPoints.empty() &&
            openEndCount(i) != 2) {
            collected.push_back(i);
        }
    }
    const int64_t withdrawnBefore = withdrawnFanCount;
    for (const int32_t i : collected) {
        withdrawAroundOpenPoint(i);
    }
    // Fans spared to keep the pieces joined are not withdrawn, so the pass counts as done
    // once it withdraws nothing more.
    if (keepPiecesJoined) {
        return withdrawnFanCount != withdrawnBefore;
    }
    return !collected.empty();
}

namespace {
// One fan around the point being repaired: the owner and its entries next to the point.
struct OwnerTriple {
    int32_t after;
    int32_t owner;
    int32_t before;
    bool taken;
};
} // namespace

void ReconstructionState::repairOpenPoint(int32_t a) {
    std::vector<OwnerTriple> owners;
    owners.reserve(vertices[a].connectedPoints.size());
    for (const int32_t c : vertices[a].connectedPoints) {
        // An owner whose fan no longer holds a has no sides to offer.
        const bool holds = indexInFan(c, a) >= 0;
        owners.push_back(
            OwnerTriple{holds ? nextInFan(c, a) : -1, c, holds ? prevInFan(c, a) : -1, !holds});
    }

    std::vector<int32_t> chain;
    int32_t start = -1;
    auto remaining = [&owners]() {
        return std::any_of(owners.begin(), owners.end(),
                           [](const OwnerTriple& t) { return !t.taken; });
    };
    while (remaining()) {
        if (chain.empty()) {
            for (OwnerTriple& t : owners) {
                if (!t.taken) {
                    chain = {t.after, t.owner, t.before};
                    start = t.after;
                    t.taken = true;
                    break;
                }
            }
        }
        // Reaching the start again closes the ring; the start is not repeated.
        bool closed = false;
        bool continued = false;
        for (OwnerTriple& e : owners) {
            if (e.taken) {
                continue;
            }
            if (e.after == chain.back()) {
                e.taken = true;
                continued = true;
                if (e.owner == start) {
                    closed = true;
                } else {
                    chain.push_back(e.owner);
                    if (e.before == start) {
                        closed = true;
                    } else {
                        chain.push_back(e.before);
                    }
                }
                break;
            }
            if (e.owner == chain.back()) {
                e.taken = true;
                continued = true;
                if (e.before == start) {
                    closed = true;
                } else {
                    chain.push_back(e.before);
                }
                break;
            }
        }
        if (!closed && !continued) {
            chain.clear();
            continue;
        }
        if (!closed) {
            continue;
        }
        // A ring that does not fit a fan or repeats a point cannot become the fan of a.
        const int32_t count = static_cast<int32_t>(chain.size());
        if (count > MAX_FAN_SIZE || count < 3) {
            return;
        }
        for (int32_t x = 0; x < count; ++x) {
            for (int32_t y = 0; y < x; ++y) {
                if (chain[static_cast<size_t>(x)] == chain[static_cast<size_t>(y)]) {
                    return;
                }
            }
        }
        if (keepPiecesJoined) {
            for (const OwnerTriple& t : owners) {
                if (std::find(chain.begin(), chain.end(), t.owner) != chain.end() &&
                    withdrawalSplitsPiece(t.owner)) {
                    return;
                }
            }
        }
        for (const OwnerTriple& t : owners) {
            if (std::find(chain.begin(), chain.end(), t.owner) != chain.end()) {
                withdrawFan(t.owner);
            }
        }
        Vertex& record = vertices[a];
        noteEdit(WATCH_FAN, a);
        record.triangleFan.assign(chain.data(), static_cast<int32_t>(chain.size()));
        record.triangleFanCount = count;
        record.currentTriangleFan = chain;
        for (const int32_t m : chain) {
            addConnection(m, a);
        }
        setPointState(a, 1);
        updateClosedFanNormal(a);
        completionOrder.push_back(a);
        completedCount = static_cast<int32_t>(completionOrder.size());
        return;
    }
}
