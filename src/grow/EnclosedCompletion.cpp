// Enclosed and flow-merge completion: when the fans that already hold a point close
// around it (or leave one gap whose two ends are already joined elsewhere), the point's
// fan is read off those fans instead of being searched, published and completed at once.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "recon/ReconstructionState.h"

void ReconstructionState::buildRimList(int32_t p) {
    rimList.clear();
    for (const int32_t c : vertices[p].connectedPoints) {
        int32_t before = -1;
        int32_t after = -1;
        fanEntriesBeside(c, p, before, after);
        rimList.push_back(RimEntry{c, 0});
        rimList.push_back(RimEntry{before, 1});
        rimList.push_back(RimEntry{after, 2});
    }
    // Whether each point occurs once or more often in the list, for rimEntryOpen: a point's
    // mark is twice the current rimEpoch when it occurs once, one more when more often.
    const size_t n = pointState.size();
    if (rimMarks.size() < n) {
        rimMarks.assign(n, 0);
    }
    if (++rimEpoch == UINT32_MAX / 2) {
        std::fill(rimMarks.begin(), rimMarks.end(), 0);
        rimEpoch = 1;
    }
    const uint32_t once = rimEpoch * 2;
    for (const RimEntry& entry : rimList) {
        if (entry.point >= 0 && static_cast<size_t>(entry.point) < n) {
            uint32_t& mark = rimMarks[static_cast<size_t>(entry.point)];
            mark = (mark & ~uint32_t{1}) == once ? once + 1 : once;
        }
    }
}

bool ReconstructionState::rimEntryOpen(size_t index) const {
    const RimEntry& entry = rimList[index];
    if (entry.kind == 0) {
        return false;
    }
    if (entry.point >= 0 && static_cast<size_t>(entry.point) < pointState.size()) {
        // Every point of the list was marked for the current epoch: the low bit tells.
        return (rimMarks[static_cast<size_t>(entry.point)] & 1) == 0;
    }
    for (size_t j = 0; j < rimList.size(); ++j) {
        if (j != index && rimList[j].point == entry.point) {
            return false;
        }
    }
    return true;
}

// A rim end of -1 means an owner whose fan no longer holds the point, and an end equal to
// the point itself an owner whose fan holds nothing else: the links are out of step and no
// fan can be read off them.
static bool rimIsIntact(const std::vector<ReconstructionState::RimEntry>& rim, int32_t p) {
    for (const ReconstructionState::RimEntry& entry : rim) {
        if (entry.point < 0 || entry.point == p) {
            return false;
        }
    }
    return true;
}

bool ReconstructionState::isEnclosed(int32_t p) {
    if (passRefusalStands(ENCLOSED_REFUSAL, p)) {
#ifdef FANMESH_CHECK_FAN_MEMO
        if (rimEncloses(p)) {
            std::cerr << "remembered refusal of point " << p << " as enclosed is wrong\n";
            std::abort();
        }
#endif
        return false;
    }
    if (rimEncloses(p)) {
        return true;
    }
    if (!refusalWorthRemembering(ENCLOSED_REFUSAL, p)) {
        return false;
    }
    // The answer read p's connected points and the fans of those.
    watchedReads.begin(pointState.size());
    watchedReads.add(p, WATCH_LINKS);
    for (const int32_t c : vertices[p].connectedPoints) {
        watchedReads.add(c, WATCH_FAN);
    }
    rememberPassRefusal(ENCLOSED_REFUSAL, p);
    return false;
}

bool ReconstructionState::rimEncloses(int32_t p) {
    buildRimList(p);
    if (rimList.empty() || !rimIsIntact(rimList, p)) {
        return false;
    }
    for (size_t i = 0; i < rimList.size(); ++i) {
        if (rimEntryOpen(i)) {
            return false;
        }
    }
    return true;
}

namespace {
// The fan being read off the surrounding fans: entries in order, with its first and last.
struct FanAssembly {
    int32_t entries[MAX_FAN_SIZE];
    int32_t count = 0;
    int32_t start = -1;
    int32_t end = -1;
    bool closed = false;

    // Appends q as the new end. A full fan, or a point that is already in it (the rim runs
    // through it a second time), ends the assembly as if the fan had closed.
    void append(int32_t q) {
        if (count >= MAX_FAN_SIZE || std::find(entries, entries + count, q) != entries + count) {
            closed = true;
            return;
        }
        entries[count++] = q;
        end = q;
    }
};
} // namespace

// Starts the fan from the first owner c0 of p: [next of p in c0's fan, c0, previous of p].
static void startAssembly(const ReconstructionState& state, int32_t p, FanAssembly& fan) {
    const int32_t c0 = state.vertices[p].connectedPoints[0];
    fan.count = 0;
    fan.closed = false;
    fan.append(state.nextInFan(c0, p));
    fan.append(c0);
    fan.append(state.prevInFan(c0, p));
    fan.start = fan.entries[0];
}

// One pass over the owners not yet taken: an owner whose next end meets the fan's end is
// appended, and an owner at the fan's end brings its previous end. Returns whether any rule
// applied; stops as soon as the fan closes.
static bool assemblyPass(const ReconstructionState& state, int32_t p, FanAssembly& fan,
                         std::vector<uint8_t>& taken) {
    const std::vector<int32_t>& owners = state.vertices[p].connectedPoints;
    bool applied = false;
    for (size_t j = 0; j < owners.size() && !fan.closed; ++j) {
        if (taken[j]) {
            continue;
        }
        const int32_t w = owners[j];
        const int32_t previous = state.prevInFan(w, p);
        const int32_t next = state.nextInFan(w, p);
        if (fan.end == next) {
            applied = true;
            if (w == fan.start) {
                fan.closed = true;
                break;
            }
            fan.append(w);
            taken[j] = 1;
        }
        if (fan.end == w) {
            applied = true;
            if (previous == fan.start) {
                fan.closed = true;
                break;
            }
            fan.append(previous);
            taken[j] = 1;
        }
    }
    return applied;
}

void ReconstructionState::completeAssembledFan(int32_t p, int32_t count) {
    // Publish: the entries already stand in triangleFan; link every member back to p.
    Vertex& record = vertices[p];
    noteEdit(WATCH_FAN, p);
    record.triangleFanCount = count;
    const int32_t* entries = record.triangleFan.first(count);
    record.currentTriangleFan.assign(entries, entries + count);
    for (int32_t i = 0; i < count; ++i) {
        addConnection(record.triangleFan[i], p);
    }
    setPointState(p, 1);
    // Improve the triangles around p.
    flipAgainstMembers(p);
    updateClosedFanNormal(p);
}

static void storeAssembly(Vertex& record, const FanAssembly& fan) {
    for (int32_t i = 0; i < fan.count; ++i) {
        record.triangleFan[i] = fan.entries[i];
    }
}

bool ReconstructionState::fillEnclosedFan(int32_t p, bool keepEdgesManifold) {
    const std::vector<int32_t>& owners = vertices[p].connectedPoints;
    if (owners.size() < 2 || !isEnclosed(p)) {
        return false;
    }
    FanAssembly fan;
    startAssembly(*this, p, fan);
    rimTaken.assign(owners.size(), 0);
    rimTaken[0] = 1;
    constexpr int32_t MAX_ENCLOSED_PASSES = 20;
    for (int32_t pass = 0; pass < MAX_ENCLOSED_PASSES && !fan.closed; ++pass) {
        assemblyPass(*this, p, fan, rimTaken);
    }
    if (keepEdgesManifold && !fanKeepsEdgesManifold(p, fan.entries, fan.count)) {
        return false;
    }
    noteEdit(WATCH_FAN, p);
    storeAssembly(vertices[p], fan);
    completeAssembledFan(p, fan.count);
    return true;
}

bool ReconstructionState::isFlowMerge(int32_t p, WatchedReads* reads) {
    buildRimList(p);
    if (reads != nullptr) {
        // The rim: p's connected points and their fans.
        reads->add(p, WATCH_LINKS);
        for (const int32_t c : vertices[p].connectedPoints) {
            reads->add(c, WATCH_FAN);
        }
    }
    if (rimList.empty() || !rimIsIntact(rimList, p)) {
        return false;
    }
    int32_t openCount = 0;
    size_t firstOpen = 0;
    size_t secondOpen = 0;
    for (size_t i = 0; i < rimList.size(); ++i) {
        if (rimEntryOpen(i)) {
            if (openCount == 0) {
                firstOpen = i;
            } else if (openCount == 1) {
                secondOpen = i;
            }
            ++openCount;
        }
    }
    if (openCount != 2 || rimList[firstOpen].kind == rimList[secondOpen].kind) {
        return false;
    }
    const int32_t e1 = rimList[firstOpen].point;
    const int32_t e2 = rimList[secondOpen].point;

    // One look-up per owner gives both neighbours of e1 in its fan (as prevInFan and
    // nextInFan give them).
    bool joined = false;
    for (const int32_t c : vertices[e1].connectedPoints) {
        int32_t before = -1;
        int32_t after = -1;
        fanEntriesBeside(c, e1, before, after);
        if (after == e2 || before == e2) {
            joined = true;
            break;
        }
    }
    joined = joined || (pointState[e1] == 1 && indexInFan(e1, e2) >= 0) ||
             (pointState[e2] == 1 && indexInFan(e2, e1) >= 0);
    if (!joined) {
        if (reads != nullptr) {
            // Not joined: e1's owners and their fans were read, both ends' states, and the
            // fan of an end that is completed.
            reads->add(e1, WATCH_LINKS | WATCH_STATE);
            reads->add(e2, WATCH_STATE);
            for (const int32_t c : vertices[e1].connectedPoints) {
                reads->add(c, WATCH_FAN);
            }
            if (pointState[e1] == 1) {
                reads->add(e1, WATCH_FAN);
            }
            if (pointState[e2] == 1) {
                reads->add(e2, WATCH_FAN);
            }
        }
        return false;
    }
    fillFlowMergeFan(p, e1, e2);
    return true;
}

bool ReconstructionState::assembleFanAcross(int32_t p, int32_t e1, int32_t e2, int32_t through,
                                            int32_t* entries, int32_t& count) {
    buildRimList(p);
    if (rimList.empty() || !rimIsIntact(rimList, p)) {
        return false;
    }
    const std::vector<int32_t>& owners = vertices[p].connectedPoints;
    FanAssembly fan;
    startAssembly(*this, p, fan);
    rimTaken.assign(owners.size(), 0);
    rimTaken[0] = 1;
    bool crossed = false;
    constexpr int32_t MAX_FLOW_PASSES = 150;
    for (int32_t pass = 0; pass < MAX_FLOW_PASSES && !fan.closed; ++pass) {
        if (assemblyPass(*this, p, fan, rimTaken) || fan.closed) {
            continue;
        }
        // Nothing joined on: cross the gap from one open end through the given point to
        // the other open end, once.
        int32_t candidate;
        if (fan.end == e1) {
            candidate = e2;
        } else if (fan.end == e2) {
            candidate = e1;
        } else {
            continue;
        }
        if (crossed) {
            return false;
        }
        crossed = true;
        fan.append(through);
        if (candidate == fan.start) {
            fan.closed = true;
        } else {
            fan.append(candidate);
        }
    }
    if (!fan.closed || !crossed ||
        std::find(fan.entries, fan.entries + fan.count, through) == fan.entries + fan.count) {
        return false;
    }
    count = fan.count;
    std::copy(fan.entries, fan.entries + fan.count, entries);
    return true;
}

bool ReconstructionState::fillFlowMergeFan(int32_t p, int32_t e1, int32_t e2,
                                           bool keepEdgesManifold) {
    buildRimList(p);
    if (rimList.empty() || !rimIsIntact(rimList, p)) {
        return false;
    }
    int32_t openCount = 0;
    for (size_t i = 0; i < rimList.size(); ++i) {
        if (rimEntryOpen(i)) {
            ++openCount;
        }
    }
    if (openCount > 2) {
        return false;
    }
    const std::vector<int32_t>& owners = vertices[p].connectedPoints;
    FanAssembly fan;
    startAssembly(*this, p, fan);
    rimTaken.assign(owners.size(), 0);
    rimTaken[0] = 1;
    constexpr int32_t MAX_FLOW_PASSES = 150;
    for (int32_t pass = 0; pass < MAX_FLOW_PASSES && !fan.closed; ++pass) {
        if (assemblyPass(*this, p, fan, rimTaken) || fan.closed) {
            continue;
        }
        // Nothing joined on: cross the gap from one open end to the other.
        int32_t candidate;
        if (fan.end == e1) {
            candidate = e2;
        } else if (fan.end == e2) {
            candidate = e1;
        } else {
            continue;
        }
        if (candidate == fan.start) {
            fan.closed = true;
        } else {
            fan.append(candidate);
        }
    }
    if (keepEdgesManifold && !fanKeepsEdgesManifold(p, fan.entries, fan.count)) {
        return false;
    }
    noteEdit(WATCH_FAN, p);
    storeAssembly(vertices[p], fan);
    completeAssembledFan(p, fan.count);
    return true;
}
