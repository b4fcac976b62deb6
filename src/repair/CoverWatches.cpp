// Change stamps for the covering-search memos. A memo's inputs are walked in full only when
// a record it reads may have changed: the records the memos read are watched, each compared
// once per sweep over isolated points with a copy of what the memos read of it, instead of
// once per memo that reads it (a completed point next to a stuck front is read by the memos of
// most isolated points around it).
#include <cstring>

#include "recon/MemoInputs.h"
#include "recon/ReconstructionState.h"

namespace {

// What the memos read of a watched record: the searched point's neighbour list, a
// neighbour's links (read while it is open), an owner's fan and normal.
constexpr uint8_t ROW_READ = 1;
constexpr uint8_t LINKS_READ = 2;
constexpr uint8_t FAN_READ = 4;

// Writes into sink the values of record x that the given roles read, with its state and
// connection count; false when the sink stopped the walk.
template <typename Sink>
bool walkWatchedRecord(const ReconstructionState& state, int32_t x, uint8_t roles, Sink& sink) {
    const int32_t pointState = state.pointState[static_cast<size_t>(x)];
    const int32_t count = state.connectionCount(x);
    if (!sink.put(pointState) || !sink.put(count)) {
        return false;
    }
    if ((roles & ROW_READ) != 0) {
        const int32_t* row = state.neighbourRow(x);
        if (!sink.put(row, row + NEIGHBOUR_COUNT)) {
            return false;
        }
    }
    const Vertex& v = state.vertices[x];
    if ((roles & LINKS_READ) != 0 && pointState == 0 && count > 0) {
        const std::vector<int32_t>& links = v.connectedPoints;
        if (!sink.put(links.data(), links.data() + links.size())) {
            return false;
        }
    }
    if ((roles & FAN_READ) != 0) {
        const int32_t* entries = v.triangleFan.first(v.triangleFanCount);
        int32_t words[6];
        std::memcpy(words, &v.normal.x, sizeof(double));
        std::memcpy(words + 2, &v.normal.y, sizeof(double));
        std::memcpy(words + 4, &v.normal.z, sizeof(double));
        if (!sink.put(v.triangleFanCount) || !sink.put(entries, entries + v.triangleFanCount) ||
            !sink.put(words, words + 6)) {
            return false;
        }
    }
    return true;
}

} // namespace

void ReconstructionState::checkCoverWatches() {
    ++coverSweepNumber;
    for (const int32_t x : coverWatched) {
        std::vector<int32_t>& copy = *coverWatchCopies.find(x);
        const uint8_t roles = coverRoles[static_cast<size_t>(x)];
        MatchingInputs matching(copy);
        if (walkWatchedRecord(*this, x, roles, matching) && matching.complete()) {
            continue;
        }
        copy.clear();
        AppendingInputs appending{copy};
        walkWatchedRecord(*this, x, roles, appending);
        coverStamps[static_cast<size_t>(x)] = coverSweepNumber;
    }
    coverSweepActive = true;
    coverSweepInserted = false;
}

void ReconstructionState::watchCoverReads(CoverMemo& memo) {
    if (coverStamps.size() < pointState.size()) {
        coverStamps.resize(pointState.size(), 0);
        coverRoles.resize(pointState.size(), 0);
    }
    // After an insertion in this sweep the records may differ from what the check at its start
    // saw: a record watched or regathered now counts as changed in the next sweep.
    const uint32_t stamp = coverSweepInserted ? coverSweepNumber + 1 : coverSweepNumber;
    for (size_t k = 0; k < memo.reads.size(); ++k) {
        const int32_t x = memo.reads[k];
        const uint8_t role = k == 0 ? ROW_READ : k <= NEIGHBOUR_COUNT ? LINKS_READ : FAN_READ;
        uint8_t& roles = coverRoles[static_cast<size_t>(x)];
        uint32_t& xStamp = coverStamps[static_cast<size_t>(x)];
        if (xStamp != 0 && (roles & role) == role) {
            continue;
        }
        std::vector<int32_t>* copy = coverWatchCopies.find(x);
        if (copy == nullptr) {
            copy = &coverWatchCopies.insert(x);
            coverWatched.push_back(x);
            xStamp = stamp;
        } else if (coverSweepInserted) {
            xStamp = stamp;
        }
        // Before any insertion of this sweep the values read under the roles it had are those
        // its check saw, so its stamp stands.
        roles = static_cast<uint8_t>(roles | role);
        copy->clear();
        AppendingInputs appending{*copy};
        walkWatchedRecord(*this, x, roles, appending);
    }
    memo.checkedAt = coverSweepInserted ? 0 : coverSweepNumber;
}

bool ReconstructionState::coverReadsUnchanged(const CoverMemo& memo) const {
    if (memo.checkedAt == 0 || coverStamps.empty()) {
        return false;
    }
    for (const int32_t x : memo.reads) {
        const uint32_t stamp = coverStamps[static_cast<size_t>(x)];
        if (stamp == 0 || stamp > memo.checkedAt) {
            return false;
        }
    }
    return true;
}
