// Memo of the best-fan search: a point whose neighbourhood did not change since its last
// search gets that search's answer again without running it. Stuck points are searched
// again in every layer pass of every seed, and most of those searches see exactly the
// inputs of the previous one.
//
// The search is a function of the values gathered below and of the (never changing)
// positions: the parity; whether the point's fan has more than one entry (read by the
// convexity test before the search writes a fan; the normal is always computed afresh
// before it is read); its 16 neighbour slots and its connected points in order; for each connected
// point b, the entries before and after the point in b's fan (the start triangles); for every point
// the search can consider (the neighbours and those start entries, which may take the last
// neighbour slot), its state and, when it is completed, whether it is still on the front. The
// search writes only fields of the point itself, recorded below, so equal inputs give equal writes
// and an equal result. A field the search may leave untouched (the fan, the normal, the flatness)
// is recorded together with whether it was written, and a replay writes it only then.
//
// Most points of a well-sampled surface are searched once or twice with different inputs,
// so a memo is kept only from the second search with the same fingerprint on: the first
// search of a key leaves 8 bytes, not a copy of its inputs and outputs. A point that stays
// stuck while growths come and go often sees two sets of inputs by turns, so both the
// fingerprints and the memo hold the last two different ones.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "recon/MemoFingerprint.h"
#include "recon/MemoInputs.h"
#include "recon/ReconstructionState.h"

namespace {

void pushDouble(std::vector<int32_t>& out, double value) {
    int32_t words[2];
    std::memcpy(words, &value, sizeof(words));
    out.push_back(words[0]);
    out.push_back(words[1]);
}

double readDouble(const int32_t* words) {
    double value = 0.0;
    std::memcpy(&value, words, sizeof(value));
    return value;
}

void pushVector(std::vector<int32_t>& out, const Vector3& v) {
    pushDouble(out, v.x);
    pushDouble(out, v.y);
    pushDouble(out, v.z);
}

} // namespace

// True when some connected point b holds p in its fan: the search then builds at least one
// working fan and so computes the normal of p afresh.
bool ReconstructionState::searchWritesNormal(int32_t p) const {
    for (const int32_t b : vertices[p].connectedPoints) {
        int32_t before = -1;
        int32_t after = -1;
        fanEntriesBeside(b, p, before, after);
        if (before >= 0 && after >= 0) {
            return true;
        }
    }
    return false;
}

namespace {

// Writes the inputs of the best-fan search of p into sink, in a fixed layout; false when
// the sink stopped the walk. With reads, also lists the records the inputs come from, with the
// kinds of data read of each.
template <typename Sink>
bool walkFanSearchInputs(ReconstructionState& state, int32_t p, bool levelFlipping, Sink& sink,
                         WatchedReads* reads) {
    const Vertex& v = state.vertices[p];
    if (reads != nullptr) {
        reads->begin(state.pointState.size());
        // Whether the point's own fan has more than one entry, and its own neighbour list,
        // are not watched: the point's searches and completion attempts change the first all
        // the time, and its searches at the two layer parities may put different points into
        // the last neighbour slot by turns. The look-up compares both directly.
        reads->add(p, WATCH_LINKS);
    }
    // Of the fan the search finds in place, only whether it has more than one entry is read.
    if (!sink.put(levelFlipping ? 1 : 0) || !sink.put(v.triangleFanCount > 1 ? 1 : 0) ||
        !sink.put(v.neighbours, v.neighbours + NEIGHBOUR_COUNT) ||
        !sink.put(static_cast<int32_t>(v.connectedPoints.size()))) {
        return false;
    }
    // The start triangles' ends, looked up once: they are walked twice.
    std::vector<int32_t>& ends = state.fanSearchEnds;
    ends.resize(2 * v.connectedPoints.size());
    for (size_t k = 0; k < v.connectedPoints.size(); ++k) {
        const int32_t b = v.connectedPoints[k];
        state.fanEntriesBeside(b, p, ends[2 * k], ends[2 * k + 1]);
        if (reads != nullptr) {
            reads->add(b, WATCH_FAN);
        }
        if (!sink.put(b) || !sink.put(ends[2 * k]) || !sink.put(ends[2 * k + 1])) {
            return false;
        }
    }
    const auto putState = [&state, &sink, reads](int32_t x) {
        if (x < 0) {
            return sink.put(-1);
        }
        const int32_t pointState = state.pointState[static_cast<size_t>(x)];
        if (reads != nullptr) {
            reads->add(x, WATCH_STATE);
            if (pointState == 1) {
                // Whether a completed point is on the front rests on its fan and on the
                // states of the fan's members.
                reads->add(x, WATCH_FAN);
                const Vertex& record = state.vertices[x];
                for (int32_t i = 0; i < record.triangleFanCount; ++i) {
                    reads->add(record.triangleFan[i], WATCH_STATE);
                }
            }
        }
        return sink.put(pointState * 2 + (pointState == 1 && state.isOnFront(x) ? 1 : 0));
    };
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        if (!putState(v.neighbours[k])) {
            return false;
        }
    }
    for (const int32_t end : ends) {
        if (!putState(end)) {
            return false;
        }
    }
    return true;
}

} // namespace

void ReconstructionState::gatherFanSearchInputs(int32_t p, bool levelFlipping,
                                                std::vector<int32_t>& inputs) {
    inputs.clear();
    AppendingInputs sink{inputs};
    walkFanSearchInputs(*this, p, levelFlipping, sink, nullptr);
}

bool ReconstructionState::fanSearchInputsUnchanged(int32_t p, bool levelFlipping,
                                                   const std::vector<int32_t>& stored,
                                                   WatchedReads* reads) {
    if (stored.empty()) {
        return false;
    }
    MatchingInputs sink(stored);
    return walkFanSearchInputs(*this, p, levelFlipping, sink, reads) && sink.complete();
}

void ReconstructionState::recordFanSearchOutputs(int32_t p, bool found, bool fanWritten,
                                                 std::vector<int32_t>& outputs) const {
    const Vertex& v = vertices[p];
    outputs.clear();
    outputs.push_back(found ? 1 : 0);
    // A fan the search did not write stays as it was: nothing of it is recorded.
    outputs.push_back(fanWritten ? 1 : 0);
    if (fanWritten) {
        outputs.push_back(v.triangleFanCount);
        const int32_t* entries = v.triangleFan.first(v.triangleFanCount);
        outputs.insert(outputs.end(), entries, entries + v.triangleFanCount);
    }
    const bool normalWritten = searchWritesNormal(p);
    outputs.push_back(normalWritten ? 1 : 0);
    if (normalWritten) {
        pushVector(outputs, v.normal);
    }
    // The flatness is written only by a search that finds a fan.
    if (found) {
        pushDouble(outputs, v.fanFlatness);
    }
    outputs.insert(outputs.end(), v.neighbours, v.neighbours + NEIGHBOUR_COUNT);
    outputs.push_back(static_cast<int32_t>(v.currentTriangleFan.size()));
    outputs.insert(outputs.end(), v.currentTriangleFan.begin(), v.currentTriangleFan.end());
}

bool ReconstructionState::replayFanSearchOutputs(int32_t p, const std::vector<int32_t>& outputs) {
    Vertex& v = vertices[p];
    const int32_t* at = outputs.data();
    const bool found = *at++ == 1;
    if (*at++ == 1) {
        noteEdit(WATCH_FAN, p);
        v.triangleFanCount = *at++;
        v.triangleFan.assign(at, v.triangleFanCount);
        at += v.triangleFanCount;
    }
    if (*at++ == 1) {
        noteEdit(WATCH_NORMAL, p);
        v.normal.set(readDouble(at), readDouble(at + 2), readDouble(at + 4));
        at += 6;
    }
    if (found) {
        v.fanFlatness = readDouble(at);
        at += 2;
    }
    if (std::memcmp(v.neighbours, at, sizeof(v.neighbours)) != 0) {
        noteEdit(WATCH_ROW, p);
        std::memcpy(v.neighbours, at, sizeof(v.neighbours));
        noteNeighbourEdit(p);
    }
    at += NEIGHBOUR_COUNT;
    const int32_t workingCount = *at++;
    v.currentTriangleFan.assign(at, at + workingCount);
    return found;
}

bool ReconstructionState::findBestFan(int32_t p, bool levelFlipping) {
    ++fanSearchCount;
    if (p == tracePoint) {
        return searchBestFan(p, levelFlipping); // the trace shows the search itself
    }
    flushEdits();
    const int64_t key = fanSearchKey(p, levelFlipping);
    FanSearchMemo* remembered = fanSearchMemos.find(key);
    const FanSearchMemo::Entry* entry = nullptr;
    if (remembered != nullptr) {
        FanSearchMemo& memo = *remembered;
        // A valid entry's inputs are the current ones but for the word that tells whether
        // the point's fan has more than one entry and the point's neighbour list (the words
        // after it), which are compared here.
        const int32_t many = vertices[p].triangleFanCount > 1 ? 1 : 0;
        const int32_t* const row = vertices[p].neighbours;
        int32_t hit = -1;
        for (int32_t e = 0; e < 2 && hit < 0; ++e) {
            const FanSearchMemo::Entry& candidate = memo.entries[e];
            if (candidate.token != 0 && candidate.inputs[1] == many &&
                std::equal(row, row + NEIGHBOUR_COUNT, candidate.inputs.begin() + 2)) {
                hit = e;
#ifdef FANMESH_CHECK_FAN_MEMO
                if (!fanSearchInputsUnchanged(p, levelFlipping, candidate.inputs, nullptr)) {
                    std::cerr << "fan search memo of point " << p
                              << " valid but its inputs changed\n";
                    std::abort();
                }
#endif
            }
        }
        for (int32_t e = 0; e < 2 && hit < 0; ++e) {
            FanSearchMemo::Entry& candidate = memo.entries[e];
            if (candidate.token == 0 &&
                fanSearchInputsUnchanged(p, levelFlipping, candidate.inputs, &watchedReads)) {
                candidate.token = subscribeMemo(fanMemoId(key), watchedReads);
                hit = e;
            }
        }
        if (hit == 1) {
            std::swap(memo.entries[0], memo.entries[1]); // the latest first
        }
        if (hit >= 0) {
            entry = &memo.entries[0];
        }
    }
    if (entry != nullptr) {
        ++fanSearchReplays;
#ifdef FANMESH_CHECK_FAN_MEMO
        // Check build: run the search as well and stop at the first difference. The fan
        // entries are compared in full, also where the memo would leave them alone.
        const int64_t writesBefore = fanWriteCount;
        const bool found = searchBestFan(p, levelFlipping);
        std::vector<int32_t> actual;
        recordFanSearchOutputs(p, found, fanWriteCount != writesBefore, actual);
        if (actual != entry->outputs) {
            std::cerr << "fan search memo differs from the search for point " << p << "\n";
            std::abort();
        }
        return found;
#else
        return replayFanSearchOutputs(p, entry->outputs);
#endif
    }
    bool stuck = false;
    if (p >= 0 && p < activeCount) {
        if (fanSearchGrowths.size() < static_cast<size_t>(activeCount)) {
            fanSearchGrowths.resize(static_cast<size_t>(activeCount), -1);
        }
        int32_t& lastGrowth = fanSearchGrowths[static_cast<size_t>(p)];
        stuck = lastGrowth >= 0 && lastGrowth < growthIndex;
        lastGrowth = growthIndex;
    }
    if (remembered == nullptr && !stuck) {
        gatherFanSearchInputs(p, levelFlipping, fanSearchScratch);
        // The last two different fingerprints of the key, the latest first.
        const size_t at = 2 * static_cast<size_t>(key);
        if (fanSearchPrints.size() <= at + 1) {
            fanSearchPrints.resize(4 * static_cast<size_t>(std::max(activeCount, p + 1)), 0);
        }
        uint64_t* prints = &fanSearchPrints[at];
        const uint64_t current = memoFingerprint(fanSearchScratch);
        if (prints[0] != current && prints[1] != current) {
            // First search with these inputs: run it and remember only the fingerprint.
            prints[1] = prints[0];
            prints[0] = current;
            return searchBestFan(p, levelFlipping);
        }
        prints[0] = 0;
        prints[1] = 0;
    }
    if (remembered == nullptr) {
        remembered = &fanSearchMemos.insert(key);
    }
    FanSearchMemo::Entry& fresh = remembered->pushFront();
    fanSearchScratch.clear();
    AppendingInputs sink{fanSearchScratch};
    walkFanSearchInputs(*this, p, levelFlipping, sink, &watchedReads);
    fresh.inputs.swap(fanSearchScratch);
    // Subscribed before the search runs: what the search itself edits of what it read (its
    // point's fan size or neighbour list) invalidates the entry at the next flush.
    fresh.token = subscribeMemo(fanMemoId(key), watchedReads);
    const int64_t writesBefore = fanWriteCount;
    const bool found = searchBestFan(p, levelFlipping);
    recordFanSearchOutputs(p, found, fanWriteCount != writesBefore, fresh.outputs);
    return found;
}
