// Hole closing: trace the boundary loop through every unfinished point that fans touch,
// reject loops that revisit a point or that a fan edge cuts across (a chord), and fill
// the others by clipping ears, smallest interior angle first. With refuseThirdFaces an ear
// whose fan would give an edge a third face is left open.
#include <algorithm>
#include <cstring>
#include <vector>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {

// Hole-closing rounds stop after this many successive rounds that closed every hole.
constexpr int32_t CLOSED_ROUNDS_NEEDED = 2;

// Feeds put() every record a hole-closing round reads and edits, point by point: the
// state, the fan, the owners in their order, the normal's bits and the saved-fan mark.
template <typename Put> void visitRoundRecords(const ReconstructionState& state, Put&& put) {
    const size_t count =
        std::min(static_cast<size_t>(std::max(state.totalCount, 0)), state.pointState.size());
    for (size_t k = 0; k < count; ++k) {
        const Vertex& v = state.vertices[k];
        put(state.pointState[k]);
        put(static_cast<uint64_t>(v.triangleFanCount));
        for (int32_t j = 0; j < v.triangleFanCount; ++j) {
            put(static_cast<uint64_t>(static_cast<uint32_t>(v.triangleFan[j])));
        }
        put(v.connectedPoints.size());
        for (const int32_t c : v.connectedPoints) {
            put(static_cast<uint64_t>(static_cast<uint32_t>(c)));
        }
        const double normal[3] = {v.normal.x, v.normal.y, v.normal.z};
        for (const double n : normal) {
            uint64_t bits = 0;
            std::memcpy(&bits, &n, sizeof bits);
            put(bits);
        }
        put(static_cast<uint64_t>(v.inSavedFan));
    }
}

// A 64-bit fingerprint of the records and the rounds' streak of full closings, one
// multiply per value: it only picks the rounds whose records are then compared in full.
uint64_t roundPrint(const ReconstructionState& state, int32_t streak) {
    uint64_t print = 14695981039346656037ULL;
    const auto put = [&print](uint64_t value) {
        print = (print ^ value) * 1099511628211ULL;
        print ^= print >> 29;
    };
    put(static_cast<uint64_t>(streak));
    visitRoundRecords(state, put);
    return print;
}

// The records and the streak, copied in full.
std::vector<uint64_t> roundRecords(const ReconstructionState& state, int32_t streak) {
    std::vector<uint64_t> records{static_cast<uint64_t>(streak)};
    visitRoundRecords(state, [&records](uint64_t value) { records.push_back(value); });
    return records;
}

// Work data of one closeHoles call: per-point marks allocated once and reset by the
// entries each trace touched.
struct HoleWork {
    std::vector<int32_t> loopPosition; // per point: position in the loop being traced, or -1
    // Per point: the mesh version at which a trace through it ended in a dead end that a
    // trace started from it would reach the same way, or -1.
    std::vector<int64_t> deadEndVersion;
    std::vector<int32_t> loop;
    std::vector<uint8_t> tookSecond; // per loop position: the step from it took the 2nd candidate
    std::vector<uint8_t> ownerTaken; // per connectedPoints entry of the current point
    // Ear clipping: the loop as a cyclic list over loop positions.
    std::vector<int32_t> before;
    std::vector<int32_t> after;
    std::vector<uint8_t> inLoop;
    BoundedHeap ears;
};

// Whether o is a boundary owner of x: its fan holds x and the edge from x to the entry
// after x has no triangle beyond it.
bool isBoundaryOwner(const ReconstructionState& state, int32_t o, int32_t x) {
    return state.indexInFan(o, x) >= 0 && state.triangleApex(o, x, state.nextInFan(o, x)) == -1;
}

// Follows the fans around x that continue from the owner f, away from the entry after x,
// taking each owner at most once; returns the point at the far end of the chain.
int32_t followChain(const ReconstructionState& state, int32_t x, int32_t f,
                    std::vector<uint8_t>& taken) {
    const std::vector<int32_t>& owners = state.vertices[x].connectedPoints;
    int32_t e = state.prevInFan(f, x);
    for (;;) {
        size_t found = owners.size();
        for (size_t k = 0; k < owners.size(); ++k) {
            const int32_t d = owners[k];
            if (!taken[k] && state.indexInFan(d, x) >= 0 &&
                (d == e || state.nextInFan(d, x) == e)) {
                found = k;
                break;
            }
        }
        if (found == owners.size()) {
            return e;
        }
        taken[found] = 1;
        e = state.prevInFan(owners[found], x);
    }
}

// The boundary point after current when the trace comes from previous, or -1. Boundary
// owners are taken in connectedPoints order; each brings the chain of fans that continues
// from it around current, whose owners are not taken again.
// tookSecond tells whether the answer depended on previous (the second candidate taken).
int32_t nextBoundaryPoint(const ReconstructionState& state, int32_t current, int32_t previous,
                          HoleWork& work, bool& tookSecond) {
    tookSecond = false;
    const std::vector<int32_t>& owners = state.vertices[current].connectedPoints;
    work.ownerTaken.assign(owners.size(), 0);
    int32_t candidates[2] = {-1, -1};
    int32_t farEnds[2] = {-1, -1};
    int32_t count = 0;
    for (size_t k = 0; k < owners.size(); ++k) {
        if (work.ownerTaken[k] || !isBoundaryOwner(state, owners[k], current)) {
            continue;
        }
        if (count == 2) {
            return -1; // a third open chain: no way through
        }
        work.ownerTaken[k] = 1;
        candidates[count] = state.nextInFan(owners[k], current);
        farEnds[count] = followChain(state, current, owners[k], work.ownerTaken);
        ++count;
    }
    if (count == 1) {
        return candidates[0];
    }
    if (count == 2) {
        tookSecond = previous == farEnds[0];
        return tookSecond ? candidates[1] : candidates[0];
    }
    return -1;
}

void resetLoop(HoleWork& work) {
    for (const int32_t p : work.loop) {
        work.loopPosition[static_cast<size_t>(p)] = -1;
    }
    work.loop.clear();
    work.tookSecond.clear();
}

enum class TraceEnd { Closed, DeadEnd, Revisited };

// Traces the boundary loop from s into work.loop. A revisited point has its fans withdrawn.
TraceEnd traceLoop(ReconstructionState& state, int32_t s, HoleWork& work) {
    work.loop.push_back(s);
    work.loopPosition[static_cast<size_t>(s)] = 0;
    int32_t previous = -1;
    int32_t current = s;
    for (;;) {
        bool tookSecond = false;
        const int32_t n = nextBoundaryPoint(state, current, previous, work, tookSecond);
        if (n < 0) {
            return TraceEnd::DeadEnd;
        }
        work.tookSecond.push_back(tookSecond ? 1 : 0);
        if (n == s) {
            return TraceEnd::Closed;
        }
        if (work.loopPosition[static_cast<size_t>(n)] >= 0) {
            state.withdrawOwners(n);
            return TraceEnd::Revisited;
        }
        work.loopPosition[static_cast<size_t>(n)] = static_cast<int32_t>(work.loop.size());
        work.loop.push_back(n);
        previous = current;
        current = n;
    }
}

// After a dead end, a trace started from a later point of the path follows the same path
// to the same dead end as long as the mesh is unchanged, provided its first step does not
// depend on where the trace came from (a dead end never does). Those points are marked.
void markDeadEndPath(HoleWork& work, int64_t version) {
    const size_t last = work.loop.size() - 1;
    for (size_t k = 1; k <= last; ++k) {
        if (k == last || !work.tookSecond[k]) {
            work.deadEndVersion[static_cast<size_t>(work.loop[k])] = version;
        }
    }
}

// Whether withdrawing together every fan that holds x or y would cut the completed points
// into separate pieces of any size.
bool ownersWithdrawalSplits(ReconstructionState& state, int32_t x, int32_t y) {
    std::vector<int32_t>& owners = state.splitOwners;
    owners.clear();
    for (const int32_t p : {x, y}) {
        for (const int32_t o : state.vertices[p].connectedPoints) {
            if (state.pointState[static_cast<size_t>(o)] == 1 && state.indexInFan(o, p) >= 0 &&
                std::find(owners.begin(), owners.end(), o) == owners.end()) {
                owners.push_back(o);
            }
        }
    }
    return !owners.empty() &&
           state.withdrawalCutsSurface(owners.data(), static_cast<int32_t>(owners.size()));
}

// A fan that holds a loop point x next to a loop point other than the loop neighbours of
// x cuts across the loop: the fans at both ends of that chord are withdrawn. Under
// fillPastInnerChords (with the ear test that refuses third faces) an edge that already has
// a face on each side (and no third), and whose fans cannot be withdrawn without cutting the
// surface apart, is no chord: it lies within the surface beside the hole, as in a narrow strip
// joining a thin leg to the body round which the border of the gap runs.
bool loopHasChord(ReconstructionState& state, HoleWork& work) {
    const size_t length = work.loop.size();
    const bool innerEdgesPass = state.fillPastInnerChords && state.refuseThirdFaces;
    for (size_t k = 0; k < length; ++k) {
        const int32_t x = work.loop[k];
        const int32_t b = work.loop[(k + length - 1) % length];
        const int32_t c = work.loop[(k + 1) % length];
        for (const int32_t o : state.vertices[x].connectedPoints) {
            if (state.indexInFan(o, x) < 0) {
                continue;
            }
            const int32_t sides[2] = {state.prevInFan(o, x), state.nextInFan(o, x)};
            for (const int32_t y : sides) {
                if (y != b && y != c && y != x && work.loopPosition[static_cast<size_t>(y)] >= 0) {
                    // Exactly two faces: room for a third, so that one is counted once
                    // (past the capacity a repeated corner would count again).
                    int32_t corners[3];
                    if (innerEdgesPass && state.edgeFaceCorners(x, y, corners, 3) == 2 &&
                        ownersWithdrawalSplits(state, x, y)) {
                        continue;
                    }
                    state.withdrawOwners(x);
                    state.withdrawOwners(y);
                    return true;
                }
            }
        }
    }
    return false;
}

void appendCompleted(ReconstructionState& state, int32_t x) {
    state.completionOrder.push_back(x);
    state.completedCount = static_cast<int32_t>(state.completionOrder.size());
}

// Fills the traced loop by ear clipping; heap keys are loop positions.
void fillLoop(ReconstructionState& state, HoleWork& work) {
    const std::vector<int32_t>& loop = work.loop;
    const int32_t length = static_cast<int32_t>(loop.size());
    work.before.resize(static_cast<size_t>(length));
    work.after.resize(static_cast<size_t>(length));
    work.inLoop.assign(static_cast<size_t>(length), 1);
    for (int32_t k = 0; k < length; ++k) {
        work.before[static_cast<size_t>(k)] = (k + length - 1) % length;
        work.after[static_cast<size_t>(k)] = (k + 1) % length;
    }
    BoundedHeap& ears = work.ears;
    ears.clear();
    ears.init(length, BoundedHeap::SMALLEST_ON_TOP, length);
    for (int32_t k = 0; k < length; ++k) {
        const int32_t x = loop[static_cast<size_t>(k)];
        if (state.openEndCount(x) == 2) {
            ears.push(k, state.earAngle(loop[static_cast<size_t>(work.before[k])], x,
                                        loop[static_cast<size_t>(work.after[k])]));
        }
    }
    auto pointAt = [&loop](int32_t position) { return loop[static_cast<size_t>(position)]; };
    while (ears.count > 2) {
        const int32_t k = ears.top().key;
        ears.popTop();
        if (!work.inLoop[static_cast<size_t>(k)]) {
            continue;
        }
        const int32_t rk = work.before[static_cast<size_t>(k)];
        const int32_t qk = work.after[static_cast<size_t>(k)];
        const int32_t x = pointAt(k);
        const int32_t r = pointAt(rk);
        const int32_t q = pointAt(qk);
        if (state.fillFlowMergeFan(x, r, q, state.refuseThirdFaces)) {
            appendCompleted(state, x);
        }
        if (ears.find(rk)) {
            ears.update(rk, state.earAngle(pointAt(work.before[static_cast<size_t>(rk)]), r, q));
        }
        if (ears.find(qk)) {
            ears.update(qk, state.earAngle(r, q, pointAt(work.after[static_cast<size_t>(qk)])));
        }
        work.after[static_cast<size_t>(rk)] = qk;
        work.before[static_cast<size_t>(qk)] = rk;
        work.inLoop[static_cast<size_t>(k)] = 0;
    }
    while (!ears.empty()) {
        const int32_t x = pointAt(ears.top().key);
        if (state.fillEnclosedFan(x, state.refuseThirdFaces)) {
            state.setPointState(x, 1);
            appendCompleted(state, x);
        }
        ears.popTop();
    }
    ears.release();
}

} // namespace

double ReconstructionState::earAngle(int32_t b, int32_t x, int32_t c) {
    if (b == c) {
        return 0.0;
    }
    const Vector3 px = vertices[x].position;
    const double j =
        angleBetweenDeg(difference(vertices[b].position, px), difference(vertices[c].position, px));
    const std::vector<int32_t>& owners = vertices[x].connectedPoints;
    int32_t f = -1;
    for (const int32_t o : owners) {
        if (isBoundaryOwner(*this, o, x)) {
            f = o;
            break;
        }
    }
    if (f < 0) {
        return j; // no open fan left around x to measure from
    }
    constexpr int32_t MAX_CHAIN_STEPS = 51;
    std::vector<int32_t> chain = {nextInFan(f, x), f, prevInFan(f, x)};
    int32_t e = prevInFan(f, x);
    for (int32_t step = 0; step < MAX_CHAIN_STEPS; ++step) {
        int32_t d = -1;
        for (const int32_t o : owners) {
            if (indexInFan(o, x) >= 0 && (o == e || nextInFan(o, x) == e)) {
                d = o;
                break;
            }
        }
        if (d < 0) {
            break;
        }
        if (d != e) {
            chain.push_back(d);
        }
        e = prevInFan(d, x);
        chain.push_back(e);
    }
    double covered = 0.0;
    for (size_t k = 0; k + 1 < chain.size(); ++k) {
        covered += vertexAngleDeg(px, vertices[chain[k]].position, vertices[chain[k + 1]].position);
    }
    return covered < 180.0 ? 360.0 - j : j;
}

bool ReconstructionState::closeHoles() {
    HoleWork work;
    work.loopPosition.assign(static_cast<size_t>(totalCount), -1);
    work.deadEndVersion.assign(static_cast<size_t>(totalCount), -1);
    // Every change of the mesh in this pass withdraws a fan or completes a point.
    auto meshVersion = [this]() {
        return withdrawnFanCount + static_cast<int64_t>(completionOrder.size());
    };
    bool allClosed = true;
    for (int32_t j = 0; j < activeCount; ++j) {
        if (pointState[static_cast<size_t>(j)] == 1 || vertices[j].connectedPoints.empty()) {
            continue;
        }
        if (work.deadEndVersion[static_cast<size_t>(j)] == meshVersion()) {
            allClosed = false; // the trace from j would end in the same dead end
            continue;
        }
        const TraceEnd end = traceLoop(*this, j, work);
        if (end == TraceEnd::DeadEnd) {
            markDeadEndPath(work, meshVersion());
        }
        bool closed = end == TraceEnd::Closed;
        if (closed && loopHasChord(*this, work)) {
            closed = false;
        }
        if (closed) {
            fillLoop(*this, work);
        } else {
            allClosed = false;
        }
        resetLoop(work);
    }
    return allClosed;
}

void ReconstructionState::closeHolesRounds() {
    int32_t streak = 0;
    // A round depends only on the records and the streak. When a round leaves both as an
    // earlier round left them, the rounds between repeat forever (a hole closed round a
    // point whose fan the withdrawal then takes back, round after round), so they stop. A
    // fingerprint after each round finds a likely repeat; the records are then copied, and
    // the rounds stop only if they come back to the copy exactly after as many rounds.
    std::vector<uint64_t> prints;
    std::vector<uint64_t> repeated; // the copy under test
    size_t period = 0;              // rounds until the copy is compared, 0: no copy
    do {
        const int32_t completedBefore = completedCount;
        const int64_t withdrawnBefore = withdrawnFanCount;
        const bool closedAll = closeHoles();
        streak = closedAll ? streak + 1 : 0;
        while (withdrawOpenPoints()) {
        }
        // A failed round that neither completed nor withdrew a fan leaves the mesh as it
        // was, so every further round would fail the same way: stop instead of looping.
        if (!closedAll && completedCount == completedBefore &&
            withdrawnFanCount == withdrawnBefore) {
            break;
        }
        if (period > 0 && --period == 0) {
            if (roundRecords(*this, streak) == repeated) {
                break;
            }
            repeated.clear();
        }
        if (repeated.empty()) {
            const uint64_t print = roundPrint(*this, streak);
            const auto earlier = std::find(prints.rbegin(), prints.rend(), print);
            if (earlier != prints.rend()) {
                period = static_cast<size_t>(earlier - prints.rbegin()) + 1;
                repeated = roundRecords(*this, streak);
            }
            prints.push_back(print);
        }
    } while (streak < CLOSED_ROUNDS_NEEDED);
}
