// Remembered refusals of the ordinary completion chain. A stuck point is queued again in
// every layer pass, and its attempt (publish, merge, repairs, post test, withdraw) is refused
// again with the same inputs each time. Up to the final convexity test the attempt edits only
// its own point's fan, normal and state and the links of the points it puts in that fan, and
// undoes all but the normal: so when what it reads is unchanged, its whole effect is known
// from the last refusal.
//
// What it reads of its own point (state, working fan, connected points, neighbour list,
// normal) is compared at the look-up. What it reads of other records follows from the points
// it logged while it ran (attemptLog), and the memo subscribes to those records (EditWatch):
// - every point it put in the fan and every neighbour and connected point of its point: the
//   state and links, and for a completed one also the fan and normal (nothing reads the fan
//   or normal of an open point that no fan holds, but its own fan search rewrites both);
// - the owners of the fans holding those points: state, fan and normal;
// - for each point the free-point check ran for, its neighbours and itself as possible owners
//   of a boundary edge the new edge may cross: their state and, for a completed one, its fan;
//   the entries of such a fan with their state, and the fan of a completed entry or the links
//   of an open one and the fans of that entry's owners (the third corner of the edge).
// Two reads are compared at the look-up instead, as the fan searches of open points rewrite
// them at every layer, often alternating between two values: whether (and between which
// entries) an open point's fan holds the point, where the merge looks at the fan's first
// entry; and the neighbour list of each point the free-point check ran for.
//
// The final convexity test reads more: the rays cast through the component's tree from the
// point and its fan, which change with the tree and with the neighbour lists of the rays'
// origins. The fan and normal it tested follow from the inputs above, so a memo of its
// refusal keeps them, and at the look-up the test is run again on them (with the tree's own
// records of unchanged rays, far cheaper than the merge before it): only when it fails again
// is the refusal replayed.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <utility>

#include "recon/ReconstructionState.h"

namespace {

void pushNormal(std::vector<int32_t>& out, const Vector3& normal) {
    int32_t words[6];
    std::memcpy(words, &normal.x, sizeof(double));
    std::memcpy(words + 2, &normal.y, sizeof(double));
    std::memcpy(words + 4, &normal.z, sizeof(double));
    out.insert(out.end(), words, words + 6);
}

} // namespace

void ReconstructionState::gatherAttemptInputs(int32_t h, std::vector<int32_t>& inputs) const {
    const Vertex& v = vertices[h];
    inputs.clear();
    inputs.push_back(pointState[static_cast<size_t>(h)]);
    inputs.push_back(static_cast<int32_t>(v.currentTriangleFan.size()));
    inputs.insert(inputs.end(), v.currentTriangleFan.begin(), v.currentTriangleFan.end());
    inputs.push_back(static_cast<int32_t>(v.connectedPoints.size()));
    inputs.insert(inputs.end(), v.connectedPoints.begin(), v.connectedPoints.end());
    inputs.insert(inputs.end(), v.neighbours, v.neighbours + NEIGHBOUR_COUNT);
    pushNormal(inputs, v.normal);
}

const CompletionMemo* ReconstructionState::knownRefusal(int32_t h, bool levelFlipping) {
    const CompletionMemo* memo = completionMemos.find(fanSearchKey(h, levelFlipping));
    attemptInputsGathered = memo != nullptr || attemptRefused.test(static_cast<size_t>(h));
    if (!attemptInputsGathered) {
        return nullptr;
    }
    flushEdits();
    gatherAttemptInputs(h, attemptInputs);
    if (memo == nullptr || memo->token == 0 || memo->inputs != attemptInputs ||
        !attemptChecksHold(h, *memo)) {
        return nullptr;
    }
    return memo;
}

namespace {

// The entries before and after h in the fan of x, or -1, -1 when h is not in it.
void entriesAround(const ReconstructionState& state, int32_t x, int32_t h, int32_t& before,
                   int32_t& after) {
    if (state.indexInFan(x, h) < 0) {
        before = -1;
        after = -1;
        return;
    }
    state.fanEntriesBeside(x, h, before, after);
}

} // namespace

bool ReconstructionState::attemptChecksHold(int32_t h, const CompletionMemo& memo) const {
    for (size_t i = 0; i < memo.fanChecks.size(); i += 3) {
        int32_t before = 0;
        int32_t after = 0;
        entriesAround(*this, memo.fanChecks[i], h, before, after);
        if (before != memo.fanChecks[i + 1] || after != memo.fanChecks[i + 2]) {
            return false;
        }
    }
    for (size_t i = 0; i < memo.rowChecks.size(); i += 1 + NEIGHBOUR_COUNT) {
        const int32_t* row = vertices[memo.rowChecks[i]].neighbours;
        if (!std::equal(row, row + NEIGHBOUR_COUNT, memo.rowChecks.data() + i + 1)) {
            return false;
        }
    }
    return true;
}

void ReconstructionState::replayRefusal(int32_t h, const CompletionMemo& memo) {
    Vertex& v = vertices[h];
    // The attempt ends with its fan withdrawn (one withdrawal) and the working fan restored,
    // which it already is.
    noteEdit(WATCH_FAN, h);
    v.triangleFanCount = 0;
    setPointState(h, 0);
    ++withdrawnFanCount;
    noteEdit(WATCH_NORMAL, h);
    v.normal = memo.normalAfter;
#ifdef FANMESH_GROWTH_STATS
    growthStats.refuse(h, memo.refusal);
#endif
    ++attemptReplays;
}

void ReconstructionState::gatherAttemptReads(int32_t h, const AttemptLog& log, WatchedReads& reads,
                                             CompletionMemo& memo) {
    reads.begin(pointState.size());
    memo.fanChecks.clear();
    memo.rowChecks.clear();
    const auto completed = [this](int32_t x) { return pointState[static_cast<size_t>(x)] == 1; };
    // A point near the fan: its state and links; the fan and normal of a completed one (an
    // open point's own fan search rewrites both, and the chain reads neither of an open point
    // that no fan holds); the state, fan and normal of the fans' owners.
    const auto addNear = [this, h, &reads, &completed](int32_t x) {
        if (x < 0 || x == h) {
            return;
        }
        reads.add(x, completed(x) ? WATCH_STATE | WATCH_LINKS | WATCH_FAN | WATCH_NORMAL
                                  : WATCH_STATE | WATCH_LINKS);
        for (const int32_t c : vertices[x].connectedPoints) {
            if (c != h) {
                reads.add(c, WATCH_STATE | WATCH_FAN | WATCH_NORMAL);
            }
        }
    };
    // A possible owner of a boundary edge that the new edge to a free point may cross.
    const auto addBoundaryOwner = [this, h, &reads, &completed](int32_t o) {
        if (o < 0 || o == h) {
            return;
        }
        reads.add(o, WATCH_STATE);
        if (!completed(o)) {
            return;
        }
        reads.add(o, WATCH_FAN);
        const Vertex& owner = vertices[o];
        for (int32_t i = 0; i < owner.triangleFanCount; ++i) {
            const int32_t u = owner.triangleFan[i];
            if (u == h) {
                continue;
            }
            reads.add(u, WATCH_STATE);
            if (completed(u)) {
                reads.add(u, WATCH_FAN);
                continue;
            }
            reads.add(u, WATCH_LINKS);
            for (const int32_t c : vertices[u].connectedPoints) {
                if (c != h) {
                    reads.add(c, WATCH_FAN);
                }
            }
        }
    };
    const Vertex& v = vertices[h];
    for (const int32_t x : log.linked) {
        addNear(x);
    }
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        addNear(v.neighbours[k]);
    }
    for (const int32_t x : v.connectedPoints) {
        addNear(x);
    }
    // Each point is checked once, at its first listing.
    const auto firstListing = [](const std::vector<int32_t>& list, size_t i) {
        return std::find(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(i), list[i]) ==
               list.begin() + static_cast<std::ptrdiff_t>(i);
    };
    for (size_t i = 0; i < log.fanReads.size(); ++i) {
        const int32_t x = log.fanReads[i];
        if (x < 0 || x == h) {
            continue;
        }
        reads.add(x, WATCH_STATE);
        if (completed(x)) {
            reads.add(x, WATCH_FAN);
        } else if (firstListing(log.fanReads, i)) {
            int32_t before = 0;
            int32_t after = 0;
            entriesAround(*this, x, h, before, after);
            memo.fanChecks.insert(memo.fanChecks.end(), {x, before, after});
        }
    }
    for (size_t i = 0; i < log.freePoints.size(); ++i) {
        const int32_t b = log.freePoints[i];
        if (b < 0 || b == h || !firstListing(log.freePoints, i)) {
            continue;
        }
        const Vertex& record = vertices[b];
        memo.rowChecks.push_back(b);
        memo.rowChecks.insert(memo.rowChecks.end(), record.neighbours,
                              record.neighbours + NEIGHBOUR_COUNT);
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            addBoundaryOwner(record.neighbours[k]);
        }
        addBoundaryOwner(b);
    }
}

void ReconstructionState::rememberRefusal(int32_t h, bool levelFlipping, GrowthRule refusal) {
    if (!attemptInputsGathered) {
        // The first refusal of h only marks it.
        attemptRefused.grow(static_cast<size_t>(std::max(activeCount, h + 1)));
        attemptRefused.set(static_cast<size_t>(h));
        return;
    }
    const int64_t key = fanSearchKey(h, levelFlipping);
    CompletionMemo* memo = completionMemos.find(key);
    if (memo == nullptr) {
        memo = &completionMemos.insert(key);
    }
    gatherAttemptReads(h, attemptLog, attemptReads, *memo);
    memo->inputs.swap(attemptInputs); // the inputs as gathered before the attempt
    memo->refusal = refusal;
    memo->normalAfter = vertices[h].normal;
    if (refusal == GrowthRule::convexityFinal) {
        memo->testFan = finalTestFan;
        memo->testNormal = finalTestNormal;
    } else {
        memo->testFan.clear();
    }
    memo->token = subscribeMemo(completionMemoId(key), attemptReads);
    // The records the attempt edited are compared with their copies (taken before the
    // attempt) now: one it left changed invalidates the memo at once, and later flushes start
    // from the data the memo read.
    flushEdits();
}

bool ReconstructionState::finalConvexityTest(int32_t h, Octree& tree, bool levelFlipping) {
    if (globalConvexityTest(h, tree, levelFlipping)) {
        return true;
    }
    // The test changes neither the fan nor the normal of h, so they are read after it, and
    // only for a refusal.
    const Vertex& v = vertices[h];
    const int32_t* const fan = v.triangleFan.first(v.triangleFanCount);
    finalTestFan.assign(fan, fan + v.triangleFanCount);
    finalTestNormal = v.normal;
    return false;
}

bool ReconstructionState::finalTestPasses(int32_t h, const CompletionMemo& memo, Octree& tree,
                                          bool levelFlipping) {
    // The test reads h's fan and normal; they are moved aside whole (the fan's storage
    // included) and moved back, so h's record ends as it was.
    Vertex& v = vertices[h];
    FanEntries keptFan = std::move(v.triangleFan);
    const int32_t keptCount = v.triangleFanCount;
    const Vector3 keptNormal = v.normal;
    v.triangleFan = FanEntries();
    const int32_t count = static_cast<int32_t>(memo.testFan.size());
    v.triangleFan.assign(memo.testFan.data(), count);
    v.triangleFanCount = count;
    v.normal = memo.testNormal;
    const bool passed = globalConvexityTest(h, tree, levelFlipping);
    v.triangleFan = std::move(keptFan);
    v.triangleFanCount = keptCount;
    v.normal = keptNormal;
    if (!passed) {
        ++finalTestReplays;
    }
    return passed;
}

#ifdef FANMESH_CHECK_FAN_MEMO
void ReconstructionState::checkAttemptEffects(int32_t h, const CompletionMemo* known,
                                              GrowthRule refusal) {
    if (refusal != GrowthRule::none) {
        const int32_t changed = firstChangedRecord(h);
        if (changed >= 0) {
            std::cerr << "refused completion attempt of point " << h << " left record " << changed
                      << " changed\n";
            std::abort();
        }
    }
    if (known == nullptr) {
        return;
    }
    const Vertex& v = vertices[h];
    if (refusal != known->refusal || v.triangleFanCount != 0 ||
        pointState[static_cast<size_t>(h)] != 0 ||
        std::memcmp(&v.normal, &known->normalAfter, sizeof(Vector3)) != 0) {
        std::cerr << "completion memo of point " << h << " differs from the attempt: refusal "
                  << static_cast<int>(refusal) << " remembered " << static_cast<int>(known->refusal)
                  << ", fan " << v.triangleFanCount << ", state "
                  << static_cast<int>(pointState[static_cast<size_t>(h)]) << ", normal "
                  << v.normal.x << " " << v.normal.y << " " << v.normal.z << " remembered "
                  << known->normalAfter.x << " " << known->normalAfter.y << " "
                  << known->normalAfter.z << "\n";
        std::abort();
    }
}
#endif
