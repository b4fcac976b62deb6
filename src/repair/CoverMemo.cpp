// Memo of the covering-triangle search of the per-layer pass over isolated points. The
// search over point i reads, for each of i's 16 neighbours k, k's state; the fan and normal
// of k when it is completed, else k's connected points in order and the fan and normal of
// each (the positions never change). Equal values give an equal answer. A memo is valid
// while none of the records it read was edited in what it read (EditWatch); an invalid
// memo's inputs are compared with the current ones while they are walked, up to the first
// difference.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "recon/MemoFingerprint.h"
#include "recon/MemoInputs.h"
#include "recon/ReconstructionState.h"

namespace {

// Writes the inputs of the covering-triangle search over point i into sink, in a fixed
// layout; false when the sink stopped the walk. First, per neighbour k: its state, then k
// itself when it is completed, else the number of its connected points and each of them.
// Then, for each point so listed, once and in the order of first listing (the same owner
// often stands by several neighbours): its fan size, fan entries and normal. The first part
// fixes the order of the second, so equal words mean equal inputs.
// With reads, also lists the records read, with the kinds of data read of each.
template <typename Sink>
bool walkCoverInputs(ReconstructionState& state, int32_t i, Sink& sink, WatchedReads* reads) {
    std::vector<int32_t>& owners = state.coverOwners;
    std::vector<uint32_t>& marks = state.coverOwnerMarks;
    if (marks.size() < state.pointState.size()) {
        marks.assign(state.pointState.size(), 0);
    }
    if (++state.coverOwnerEpoch == 0) {
        std::fill(marks.begin(), marks.end(), 0);
        state.coverOwnerEpoch = 1;
    }
    const uint32_t epoch = state.coverOwnerEpoch;
    owners.clear();
    if (reads != nullptr) {
        reads->begin(state.pointState.size());
        reads->add(i, WATCH_ROW);
    }
    const auto listOwner = [&](int32_t o) {
        if (marks[static_cast<size_t>(o)] != epoch) {
            marks[static_cast<size_t>(o)] = epoch;
            owners.push_back(o);
            if (reads != nullptr) {
                reads->add(o, WATCH_FAN | WATCH_NORMAL);
            }
        }
        return sink.put(o);
    };
    const int32_t* neighbours = state.neighbourRow(i);
    for (int32_t n = 0; n < NEIGHBOUR_COUNT; ++n) {
        const int32_t k = neighbours[n];
        const int32_t pointState = state.pointState[static_cast<size_t>(k)];
        if (reads != nullptr) {
            // An open neighbour's connected points are read (their number at least).
            reads->add(k, pointState == 1 ? WATCH_STATE : WATCH_STATE | WATCH_LINKS);
        }
        if (!sink.put(pointState)) {
            return false;
        }
        if (pointState == 1) {
            if (!listOwner(k)) {
                return false;
            }
            continue;
        }
        // An isolated neighbour (the common case far into a noisy cloud) is told by its
        // connection count, without reading its record.
        const int32_t linkCount = state.connectionCount(k);
        if (!sink.put(linkCount)) {
            return false;
        }
        if (linkCount == 0) {
            continue;
        }
        const std::vector<int32_t>& links = state.vertices[k].connectedPoints;
        for (const int32_t c : links) {
            if (!listOwner(c)) {
                return false;
            }
        }
    }
    for (const int32_t o : owners) {
        const Vertex& owner = state.vertices[o];
        if (!sink.put(owner.triangleFanCount)) {
            return false;
        }
        const int32_t* entries = owner.triangleFan.first(owner.triangleFanCount);
        if (!sink.put(entries, entries + owner.triangleFanCount)) {
            return false;
        }
        int32_t words[6];
        std::memcpy(words, &owner.normal.x, sizeof(double));
        std::memcpy(words + 2, &owner.normal.y, sizeof(double));
        std::memcpy(words + 4, &owner.normal.z, sizeof(double));
        if (!sink.put(words, words + 6)) {
            return false;
        }
    }
    return true;
}

} // namespace

void ReconstructionState::gatherCoverInputs(int32_t i, std::vector<int32_t>& inputs) {
    inputs.clear();
    AppendingInputs sink{inputs};
    walkCoverInputs(*this, i, sink, nullptr);
}

void ReconstructionState::gatherCoverReads(int32_t i) {
    coverScratch.clear();
    AppendingInputs sink{coverScratch};
    walkCoverInputs(*this, i, sink, &watchedReads);
}

bool ReconstructionState::coverInputsUnchanged(int32_t i, const std::vector<int32_t>& stored,
                                               WatchedReads* reads) {
    MatchingInputs sink(stored);
    return walkCoverInputs(*this, i, sink, reads) && sink.complete();
}

bool ReconstructionState::findCoveringTriangleRemembered(int32_t i, int32_t& o, int32_t& t,
                                                         int32_t& v, double& distance) {
    if (i >= MAX_POINT_MEMO) {
        return findCoveringTriangle(i, o, t, v, distance); // beyond the memo ids
    }
    flushEdits();
    CoverMemo* remembered = coverMemos.find(i);
    bool unchanged = false;
    if (remembered != nullptr && remembered->token != 0) {
        // Nothing the inputs come from changed since they were last seen.
        unchanged = true;
#ifdef FANMESH_CHECK_FAN_MEMO
        if (!coverInputsUnchanged(i, remembered->inputs, nullptr)) {
            std::cerr << "covering memo of point " << i << " valid but its inputs changed\n";
            std::abort();
        }
#endif
    } else if (remembered != nullptr && !remembered->inputs.empty() &&
               coverInputsUnchanged(i, remembered->inputs, &watchedReads)) {
        unchanged = true;
        remembered->token = subscribeMemo(coverMemoId(i), watchedReads);
    }
    if (!unchanged) {
        if (remembered == nullptr) {
            gatherCoverInputs(i, coverScratch);
            // A memo is kept only once the same inputs come back: a point searched once (most
            // points next to the front are linked by the next layer) leaves a fingerprint only.
            if (coverPrints.size() <= static_cast<size_t>(i)) {
                coverPrints.resize(static_cast<size_t>(std::max(activeCount, i + 1)), 0);
            }
            uint64_t& print = coverPrints[static_cast<size_t>(i)];
            const uint64_t current = memoFingerprint(coverScratch);
            if (print != current) {
                print = current;
                return findCoveringTriangle(i, o, t, v, distance);
            }
            print = 0;
            remembered = &coverMemos.insert(i);
        }
        CoverMemo& memo = *remembered;
        memo.inputs.clear();
        AppendingInputs sink{memo.inputs};
        walkCoverInputs(*this, i, sink, &watchedReads);
        memo.token = subscribeMemo(coverMemoId(i), watchedReads);
        memo.found = findCoveringTriangle(i, memo.o, memo.t, memo.v, memo.distance);
    }
    CoverMemo& memo = *remembered;
#ifdef FANMESH_CHECK_FAN_MEMO
    if (unchanged) {
        int32_t co = -1;
        int32_t ct = -1;
        int32_t cv = -1;
        double cd = 0.0;
        const bool found = findCoveringTriangle(i, co, ct, cv, cd);
        if (found != memo.found || (found && (co != memo.o || ct != memo.t || cv != memo.v ||
                                              std::memcmp(&cd, &memo.distance, sizeof(cd)) != 0))) {
            std::cerr << "covering-triangle memo differs from the search for point " << i << "\n";
            std::abort();
        }
    }
#endif
    if (!memo.found) {
        return false;
    }
    o = memo.o;
    t = memo.t;
    v = memo.v;
    distance = memo.distance;
    return true;
}

void ReconstructionState::forgetSettledCoverMemos() {
    coverMemos.eraseIf([this](int64_t i) {
        return pointState[static_cast<size_t>(i)] != 0 ||
               connectionCount(static_cast<int32_t>(i)) != 0;
    });
}
