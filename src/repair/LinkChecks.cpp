// Link checks of the clean-up: withdraw completed fans whose reverse links or whose
// triangles contradict the fans around them.
#include "recon/ReconstructionState.h"

void ReconstructionState::withdrawOwners(int32_t p) {
    const std::vector<int32_t> owners = vertices[p].connectedPoints;
    for (const int32_t c : owners) {
        if (keepPiecesJoined && withdrawalSplitsPiece(c)) {
            continue;
        }
        withdrawFan(c);
    }
}

void ReconstructionState::checkCompletedLinks(int32_t a) {
    bool again = true;
    while (again) {
        again = false;
        const std::vector<int32_t>& links = vertices[a].connectedPoints;
        for (size_t k = 0; k < links.size(); ++k) {
            const int32_t c = links[k];
            if (indexInFan(a, c) >= 0) {
                continue;
            }
            // Withdrawing c drops c from the links of a when the fan of c holds a; a link
            // without that fan entry is stale and is dropped here, so the loop always ends.
            const bool ownsA = indexInFan(c, a) >= 0;
            withdrawFan(c);
            if (!ownsA) {
                removeConnection(a, c);
            }
            again = true;
            break;
        }
    }
}

// Whether the completed fan entry u of the fan of i holds the same two triangles around the
// edge i-u as the fan of i.
static bool completedEntryAgrees(const ReconstructionState& state, int32_t i, int32_t u) {
    return state.indexInFan(u, i) >= 0 && state.nextInFan(i, u) == state.prevInFan(u, i) &&
           state.prevInFan(i, u) == state.nextInFan(u, i);
}

void ReconstructionState::checkFanAgreement() {
    constexpr int32_t MEMBERS_AHEAD = 3; // fan members' records are requested this far ahead
    for (int32_t i = 0; i < activeCount; ++i) {
        if (i + MEMBERS_AHEAD < activeCount) {
            prefetchFanMembers(i + MEMBERS_AHEAD);
        }
        if (pointState[static_cast<size_t>(i)] != 1) {
            continue;
        }
        int32_t openEntries = 0;
        bool withdrawn = false;
        bool claimed = false;
        for (int32_t k = 0; k < vertices[i].triangleFanCount; ++k) {
            const int32_t u = vertices[i].triangleFan[k];
            if (pointState[static_cast<size_t>(u)] == 1) {
                if (!completedEntryAgrees(*this, i, u)) {
                    withdrawFan(i);
                    withdrawn = true;
                    break;
                }
                continue;
            }
            ++openEntries;
            const int32_t w = nextInFan(i, u);
            bool doubled = false;
            for (const int32_t r : vertices[u].connectedPoints) {
                if (r != i && indexInFan(r, u) >= 0 && nextInFan(r, u) == w) {
                    doubled = true;
                    break;
                }
            }
            if (doubled) {
                // Two fans claim the same side of the edge u-w.
                withdrawOwners(u);
                withdrawOwners(w);
                claimed = true;
                break;
            }
        }
        if (claimed) {
            continue;
        }
        if (!withdrawn && pointState[static_cast<size_t>(i)] == 1 &&
            vertices[i].triangleFanCount !=
                static_cast<int32_t>(vertices[i].connectedPoints.size()) + openEntries) {
            withdrawFan(i);
        }
        for (const int32_t c : vertices[i].connectedPoints) {
            if (indexInFan(c, i) < 0) {
                withdrawFan(i);
                withdrawFan(c);
                break;
            }
        }
    }
}
