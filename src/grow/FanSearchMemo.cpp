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
// search of a key leaves 8 bytes, not a copy of its inputs and outputs.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "recon/MemoFingerprint.h"
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
        if (prevInFan(b, p) >= 0 && nextInFan(b, p) >= 0) {
            return true;
        }
    }
    return false;
}

void ReconstructionState::gatherFanSearchInputs(int32_t p, bool levelFlipping,
                                                std::vector<int32_t>& inputs) {
    const Vertex& v = vertices[p];
    inputs.clear();
    inputs.push_back(levelFlipping ? 1 : 0);
    // Of the fan the search finds in place, only whether it has more than one entry is read.
    inputs.push_back(v.triangleFanCount > 1 ? 1 : 0);
    inputs.insert(inputs.end(), v.neighbours, v.neighbours + NEIGHBOUR_COUNT);
    inputs.push_back(static_cast<int32_t>(v.connectedPoints.size()));
    for (const int32_t b : v.connectedPoints) {
        inputs.push_back(b);
        inputs.push_back(prevInFan(b, p));
        inputs.push_back(nextInFan(b, p));
    }
    const auto pushState = [this, &inputs](int32_t x) {
        if (x < 0) {
            inputs.push_back(-1);
            return;
        }
        const int32_t state = pointState[static_cast<size_t>(x)];
        inputs.push_back(state * 2 + (state == 1 && isOnFront(x) ? 1 : 0));
    };
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        pushState(v.neighbours[k]);
    }
    for (const int32_t b : v.connectedPoints) {
        pushState(prevInFan(b, p));
        pushState(nextInFan(b, p));
    }
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
        v.triangleFanCount = *at++;
        v.triangleFan.assign(at, v.triangleFanCount);
        at += v.triangleFanCount;
    }
    if (*at++ == 1) {
        v.normal.set(readDouble(at), readDouble(at + 2), readDouble(at + 4));
        at += 6;
    }
    if (found) {
        v.fanFlatness = readDouble(at);
        at += 2;
    }
    std::memcpy(v.neighbours, at, sizeof(v.neighbours));
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
    gatherFanSearchInputs(p, levelFlipping, fanSearchScratch);
    const int64_t key = fanSearchKey(p, levelFlipping);
    auto remembered = fanSearchMemos.find(key);
    if (remembered == fanSearchMemos.end()) {
        if (fanSearchPrints.size() <= static_cast<size_t>(key)) {
            fanSearchPrints.resize(static_cast<size_t>(2 * std::max(activeCount, p + 1)), 0);
        }
        uint64_t& print = fanSearchPrints[static_cast<size_t>(key)];
        const uint64_t current = memoFingerprint(fanSearchScratch);
        if (print != current) {
            // First search with these inputs: run it and remember only the fingerprint.
            print = current;
            return searchBestFan(p, levelFlipping);
        }
        print = 0;
        remembered = fanSearchMemos.emplace(key, FanSearchMemo{}).first;
    } else if (remembered->second.inputs == fanSearchScratch) {
        FanSearchMemo& memo = remembered->second;
        ++fanSearchReplays;
#ifdef FANMESH_CHECK_FAN_MEMO
        // Check build: run the search as well and stop at the first difference. The fan
        // entries are compared in full, also where the memo would leave them alone.
        const int64_t writesBefore = fanWriteCount;
        const bool found = searchBestFan(p, levelFlipping);
        std::vector<int32_t> actual;
        recordFanSearchOutputs(p, found, fanWriteCount != writesBefore, actual);
        if (actual != memo.outputs) {
            std::cerr << "fan search memo differs from the search for point " << p << "\n";
            std::abort();
        }
        return found;
#else
        return replayFanSearchOutputs(p, memo.outputs);
#endif
    }
    FanSearchMemo& memo = remembered->second;
    memo.inputs.swap(fanSearchScratch);
    const int64_t writesBefore = fanWriteCount;
    const bool found = searchBestFan(p, levelFlipping);
    recordFanSearchOutputs(p, found, fanWriteCount != writesBefore, memo.outputs);
    return found;
}
