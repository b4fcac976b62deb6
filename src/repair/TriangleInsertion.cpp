// Inserting points that no fan holds into the nearest fan triangle over them: the search
// for that triangle, the split of the triangle, and the passes over isolated points and
// over the points set aside by preparation.
#include <cstdlib>
#include <iostream>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"
#include "repair/FoldedTriangles.h"
#include "repair/ReinsertionCandidates.h"

namespace {
// Triangles whose unit normal is this short, or that face the owner's normal less than
// this, are not considered; the limit is 0.0001 held in single precision.
constexpr double MIN_TRIANGLE_FACING = static_cast<double>(0.0001f);
} // namespace

// Offers the triangles of the fan of o as covering triangles of i. They are considered when
// i is in the fan or the line through i along o's normal meets one of them; each triangle
// facing o's normal that the line meets is a candidate at the distance from i to the meeting
// point. Each triangle's meeting point is computed once for both questions.
static void tryOwner(const ReconstructionState& state, int32_t i, int32_t o, double& best,
                     int32_t& bestO, int32_t& bestT, int32_t& bestV) {
    const Vertex& owner = state.vertices[o];
    const int32_t count = owner.triangleFanCount;
    const Vector3 location = state.vertices[i].position;
    Vector3 hits[MAX_FAN_SIZE];
    bool inside[MAX_FAN_SIZE];
    bool seen = false;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t u = owner.triangleFan[k];
        const int32_t w = owner.triangleFan[(k + 1) % count];
        inside[k] = lineHitsTriangleAt(owner.position, state.vertices[u].position,
                                       state.vertices[w].position, owner.normal, location, hits[k]);
        seen = seen || inside[k];
    }
    if (!seen && state.indexInFan(o, i) < 0) {
        return;
    }
    for (int32_t k = 0; k < count; ++k) {
        const int32_t u = owner.triangleFan[k];
        const int32_t w = owner.triangleFan[(k + 1) % count];
        if (!inside[k]) {
            continue;
        }
        const Vector3 tn =
            triangleNormal(owner.position, state.vertices[u].position, state.vertices[w].position);
        if (tn.length() < MIN_TRIANGLE_FACING || tn.dot(owner.normal) < MIN_TRIANGLE_FACING) {
            continue;
        }
        const double d = difference(location, hits[k]).length();
        if (d < best) {
            best = d;
            bestO = o;
            bestT = u;
            bestV = w;
        }
    }
}

bool ReconstructionState::findCoveringTriangle(int32_t i, int32_t& o, int32_t& t, int32_t& v,
                                               double& distance) {
    double best = NEAREST_TRIANGLE_LIMIT;
    int32_t bestO = -1;
    int32_t bestT = -1;
    int32_t bestV = -1;
    // Neighbours share owners, so the same fan is often offered several times. A repeat
    // cannot change the answer (best only falls, and a candidate must come in strictly
    // below it), so each owner is tried once; owners past the list's capacity are tried
    // every time.
    constexpr int32_t TRIED_CAPACITY = 64;
    int32_t tried[TRIED_CAPACITY];
    int32_t triedCount = 0;
    const auto offer = [&](int32_t owner) {
        for (int32_t j = 0; j < triedCount; ++j) {
            if (tried[j] == owner) {
                return;
            }
        }
        if (triedCount < TRIED_CAPACITY) {
            tried[triedCount++] = owner;
        }
        tryOwner(*this, i, owner, best, bestO, bestT, bestV);
    };
    for (int32_t n = 0; n < NEIGHBOUR_COUNT; ++n) {
        const int32_t k = vertices[i].neighbours[n];
        if (pointState[static_cast<size_t>(k)] == 1) {
            offer(k);
        } else {
            for (const int32_t c : vertices[k].connectedPoints) {
                offer(c);
            }
        }
    }
    if (bestO < 0) {
        return false;
    }
    o = bestO;
    t = bestT;
    v = bestV;
    distance = best;
    return true;
}

void ReconstructionState::insertIntoTriangle(int32_t i, int32_t o, int32_t t, int32_t v) {
    insertIntoFan(o, indexInFan(o, t), i);
    if (pointState[static_cast<size_t>(t)] == 1) {
        insertIntoFan(t, indexInFan(t, v), i);
    }
    if (pointState[static_cast<size_t>(v)] == 1) {
        insertIntoFan(v, indexInFan(v, o), i);
    }
    Vertex& record = vertices[i];
    noteEdit(WATCH_FAN, i);
    record.triangleFan[0] = o;
    record.triangleFan[1] = t;
    record.triangleFan[2] = v;
    record.triangleFanCount = 3;
    record.currentTriangleFan = {o, t, v};
    addConnection(o, i);
    addConnection(t, i);
    addConnection(v, i);
    setPointState(i, 1);
    updateClosedFanNormal(i);
    completionOrder.push_back(i);
    completedCount = static_cast<int32_t>(completionOrder.size());
}

// Whether every completed corner of the triangle (o, t, v) of the fan of o can take a point
// splitting it: its fan holds the triangle in the same order and has room for one more
// entry. Otherwise the split would leave the whole triangle in that corner's fan beside
// the three new ones, giving its edges a third face.
static bool cornersTakeSplit(const ReconstructionState& state, int32_t o, int32_t t, int32_t v) {
    auto takes = [&state](int32_t corner, int32_t after, int32_t next) {
        return state.pointState[static_cast<size_t>(corner)] != 1 ||
               (state.vertices[corner].triangleFanCount < MAX_FAN_SIZE &&
                state.indexInFan(corner, after) >= 0 && state.nextInFan(corner, after) == next);
    };
    return takes(o, t, v) && takes(t, v, o) && takes(v, o, t);
}

// Splits the covering triangle by i and improves the triangles around the four corners.
// With refuseThirdFaces a triangle that a completed corner cannot split (cornersTakeSplit)
// is left whole and i stays out; returns whether i was inserted.
static bool insertAndFlip(ReconstructionState& state, int32_t i, int32_t o, int32_t t, int32_t v) {
    if (state.refuseThirdFaces && !cornersTakeSplit(state, o, t, v)) {
        return false;
    }
    state.insertIntoTriangle(i, o, t, v);
    state.flipAroundPoint(i);
    state.flipAroundPoint(o);
    state.flipAroundPoint(t);
    state.flipAroundPoint(v);
    return true;
}

void ReconstructionState::insertEnclosedPoints() {
    int32_t o = -1;
    int32_t t = -1;
    int32_t v = -1;
    double d = 0.0;
    for (int32_t i = 0; i < activeCount; ++i) {
        if (pointState[static_cast<size_t>(i)] != 1 && vertices[i].connectedPoints.empty() &&
            vertices[i].inSavedFan && findCoveringTriangle(i, o, t, v, d)) {
            insertAndFlip(*this, i, o, t, v);
        }
    }
    constexpr int32_t MAX_OPEN_NEIGHBOURS = 3;
    for (int32_t i = 0; i < activeCount; ++i) {
        if (pointState[static_cast<size_t>(i)] == 1 || !vertices[i].connectedPoints.empty()) {
            continue;
        }
        int32_t open = 0;
        for (int32_t n = 0; n < NEIGHBOUR_COUNT; ++n) {
            if (pointState[static_cast<size_t>(vertices[i].neighbours[n])] != 1) {
                ++open;
            }
        }
        if (open <= MAX_OPEN_NEIGHBOURS && findCoveringTriangle(i, o, t, v, d)) {
            insertAndFlip(*this, i, o, t, v);
        }
    }
}

// The covering-triangle search over point i reads the records of i's neighbours and the
// positions of their fans' members, scattered over the record array. A pass over many points
// asks for them ahead of the search, in two steps because the members are known only once
// the neighbour's record is at hand. Prefetching reads nothing the search does not read and
// changes no value.
static void prefetchNeighbourRecords(const ReconstructionState& state, int32_t i) {
    for (const int32_t k : state.vertices[i].neighbours) {
        const char* record = reinterpret_cast<const char*>(&state.vertices[k]);
        __builtin_prefetch(record);
        __builtin_prefetch(record + 64);
    }
}

static void prefetchNeighbourFans(const ReconstructionState& state, int32_t i) {
    for (const int32_t k : state.vertices[i].neighbours) {
        if (state.pointState[static_cast<size_t>(k)] == 1) {
            state.prefetchFanMembers(k);
        }
    }
}

void ReconstructionState::insertRemovedPoints() {
    int32_t o = -1;
    int32_t t = -1;
    int32_t v = -1;
    double d = 0.0;
    // How many points ahead the neighbours' records and their fans' members are requested.
    constexpr int32_t RECORDS_AHEAD = 4;
    constexpr int32_t MEMBERS_AHEAD = 2;
    for (int32_t i = activeCount; i < totalCount; ++i) {
        if (i + RECORDS_AHEAD < totalCount) {
            prefetchNeighbourRecords(*this, i + RECORDS_AHEAD);
        }
        if (i + MEMBERS_AHEAD < totalCount) {
            prefetchNeighbourFans(*this, i + MEMBERS_AHEAD);
        }
        if (pointState[static_cast<size_t>(i)] == 1) {
            continue;
        }
        if (findCoveringTriangle(i, o, t, v, d)) {
            if (insertAndFlip(*this, i, o, t, v)) {
                setPointState(i, 1);
            }
        }
    }
    activeCount = totalCount;
}

int32_t ReconstructionState::reinsertWithoutFolds() {
    int32_t o = -1;
    int32_t t = -1;
    int32_t v = -1;
    double d = 0.0;
    int32_t inserted = 0;
    TrialEdits trial;
    std::vector<int32_t> edited;
    ReinsertionCandidates candidates;
    // A pass can give a point left out by an earlier one a triangle over it, so passes go
    // on while one inserts. After the first, a point is tried again only when a record its
    // attempt reads may have changed since (ReinsertionCandidates.h); any other attempt
    // would end as its last one did, with nothing kept.
    for (;;) {
        startReinsertionPass(candidates, *this);
        int32_t passInserted = 0;
        for (int32_t i = 0; i < activeCount; ++i) {
            if (pointState[static_cast<size_t>(i)] == 1 || !vertices[i].connectedPoints.empty()) {
                continue;
            }
            const bool changed = mayReinsertNow(candidates, *this, i);
#ifndef FANMESH_CHECK_FAN_MEMO
            if (!changed) {
                continue;
            }
#endif
            if (!findCoveringTriangle(i, o, t, v, d)) {
                continue;
            }
            beginTrial(trial);
            bool folds = !insertAndFlip(*this, i, o, t, v);
            // Every completed point whose record the insertion edited takes its normal again
            // from its fan as it now stands; none may hold more folded triangles than it did
            // before (a point completed by the insertion held none). The fan before is tested
            // against the normal it gives too, not the stored one, which the hole closing of
            // the fold removal can leave out of date. A fan folded already, by the growth or
            // a lid, so does not keep every point around it out of the mesh.
            edited = trial.points;
            for (const int32_t p : edited) {
                if (pointState[static_cast<size_t>(p)] == 1) {
                    updatePointNormal(p);
                }
            }
            for (size_t k = 0; k < edited.size() && !folds; ++k) {
                const int32_t p = edited[k];
                if (pointState[static_cast<size_t>(p)] != 1) {
                    continue;
                }
                const Vertex& was = trial.records[k];
                const int32_t before = trial.states[k] == 1
                                           ? foldedTriangles(*this, was, fanPointNormal(was), true)
                                           : 0;
                folds = foldedTriangles(*this, vertices[p], true) > before;
            }
            if (folds) {
                takeBackTrial(trial);
                continue;
            }
#ifdef FANMESH_CHECK_FAN_MEMO
            if (!changed) {
                std::cerr << "reinsertion kept point " << i
                          << " although nothing its attempt reads had changed\n";
                std::abort();
            }
#endif
            noteKeptInsertion(candidates, trial.points);
            keepTrial(trial);
            ++passInserted;
        }
        inserted += passInserted;
        if (passInserted == 0) {
            return inserted;
        }
    }
}
