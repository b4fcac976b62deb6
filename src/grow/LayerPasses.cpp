// Passes run after every layer of point creation: completing flow-merge points,
// closing points whose neighbour fans already ring them, and inserting isolated open
// points into the triangles over them.
#include <cstdlib>
#include <iostream>

#include "geometry/Geometry.h"
#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

namespace {
// An isolated point is inserted when its nearest open neighbour is farther than this
// many times its distance to the covering triangle.
constexpr double UNCOVERED_DISTANCE_FACTOR = 2.0;
} // namespace

double ReconstructionState::nearestOpenNeighbourDistance(int32_t p) const {
    const Vertex& v = vertices[p];
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        const int32_t q = v.neighbours[k];
        if (pointState[static_cast<size_t>(q)] != 1) {
            return difference(v.position, vertices[q].position).length();
        }
    }
    return -1.0;
}

bool ReconstructionState::isFlowMergeRemembered(int32_t p) {
    if (passRefusalStands(FLOW_MERGE_REFUSAL, p)) {
#ifdef FANMESH_CHECK_FAN_MEMO
        if (isFlowMerge(p)) {
            std::cerr << "remembered refusal of point " << p << " as a flow merge is wrong\n";
            std::abort();
        }
#endif
        return false;
    }
    // A refusal changes no record: the reads it lists are all it rests on. They are listed
    // only where a refusal would be remembered.
    const bool listReads = refusalRememberedNext(FLOW_MERGE_REFUSAL, p);
    if (listReads) {
        watchedReads.begin(pointState.size());
    }
    if (isFlowMerge(p, listReads ? &watchedReads : nullptr)) {
        return true;
    }
    if (refusalWorthRemembering(FLOW_MERGE_REFUSAL, p)) {
        rememberPassRefusal(FLOW_MERGE_REFUSAL, p);
    }
    return false;
}

void ReconstructionState::completeFlowMergedPoints() {
    for (int32_t p = 0; p < activeCount; ++p) {
        // A point without connections has no rim, so it is no flow merge.
        if (pointState[static_cast<size_t>(p)] != 0 || connectionCount(p) == 0) {
            continue;
        }
        if (!isFlowMergeRemembered(p)) {
            continue;
        }
        if (postTest(p)) {
            GROWTH_COMPLETED(p, "flow merge after the layer");
            setPointState(p, 1);
            updateClosedFanNormal(p);
            completionOrder.push_back(p);
            completedCount = static_cast<int32_t>(completionOrder.size());
        } else {
            withdrawFan(p);
        }
    }
}

void ReconstructionState::closeFromNeighbourFans() {
    std::vector<int32_t> links;
    std::vector<uint8_t> used;
    for (int32_t p = 0; p < activeCount; ++p) {
        if (pointState[static_cast<size_t>(p)] != 0 || connectionCount(p) < 2 || !isEnclosed(p)) {
            continue;
        }
        Vertex& v = vertices[p];
        links = v.connectedPoints;
        used.assign(links.size(), 0);
        used[0] = 1;
        const int32_t m = links[0];
        const int32_t first = nextInFan(m, p);
        int32_t last = prevInFan(m, p);
        noteEdit(WATCH_FAN, p); // the entries are written even when no fan closes
        v.triangleFan[0] = first;
        v.triangleFan[1] = m;
        v.triangleFan[2] = last;
        int32_t size = 3;

        // Appends q to the fan being assembled; false when the fan is full.
        auto append = [&](int32_t q) {
            if (size >= MAX_FAN_SIZE) {
                return false;
            }
            v.triangleFan[size++] = q;
            return true;
        };

        bool closed = false;
        bool overflow = false;
        int32_t sweeps = 0;
        while (true) {
            for (size_t k = 0; k < links.size() && !closed && !overflow; ++k) {
                if (used[k]) {
                    continue;
                }
                const int32_t c = links[k];
                const int32_t d = nextInFan(c, p);
                const int32_t e = prevInFan(c, p);
                if (d == last) {
                    if (c == first) {
                        closed = true;
                        break;
                    }
                    if (!append(c)) {
                        overflow = true;
                        break;
                    }
                    last = c;
                    used[k] = 1;
                }
                if (last == c) {
                    if (e == first) {
                        closed = true;
                        break;
                    }
                    if (!append(e)) {
                        overflow = true;
                        break;
                    }
                    last = e;
                    used[k] = 1;
                }
            }
            ++sweeps;
            if (sweeps > CLOSE_SWEEP_LIMIT || overflow) {
                closed = false;
                break;
            }
            if (closed) {
                break;
            }
        }
        if (!closed) {
            continue;
        }

        v.triangleFanCount = size;
        const int32_t* entries = v.triangleFan.first(size);
        v.currentTriangleFan.assign(entries, entries + size);
        for (int32_t i = 0; i < size; ++i) {
            addConnection(v.triangleFan[i], p);
        }
        setPointState(p, 1);
        updateClosedFanNormal(p);
        completionOrder.push_back(p);
        completedCount = static_cast<int32_t>(completionOrder.size());
        GROWTH_COMPLETED(p, "neighbour fans");
        // Improve the triangles around p.
        flipAgainstMembers(p);
    }
}

void ReconstructionState::insertUncoveredPoints() {
    // Far from the growing surface no neighbour of a point is completed or held in a fan:
    // the covering search has no triangle to try and finds nothing, so it is not asked (and
    // keeps no memo). The states and connection counts tell this without reading the
    // neighbours' records.
    const auto holdsTriangles = [&](int32_t k) {
        return pointState[static_cast<size_t>(k)] == 1 || connectionCount(k) != 0;
    };
    for (int32_t p = 0; p < activeCount; ++p) {
        if (pointState[static_cast<size_t>(p)] != 0 || connectionCount(p) != 0) {
            continue;
        }
        if (passRefusalStands(UNCOVERED_REFUSAL, p)) {
#ifdef FANMESH_CHECK_FAN_MEMO
            checkUncoveredRefusal(p);
#endif
            continue;
        }
        const int32_t* neighbours = neighbourRow(p);
        bool any = false;
        for (int32_t n = 0; n < NEIGHBOUR_COUNT && !any; ++n) {
            any = holdsTriangles(neighbours[n]);
        }
        if (!any) {
            if (!refusalWorthRemembering(UNCOVERED_REFUSAL, p)) {
                continue;
            }
            // The answer read p's neighbour list and the state and connected points of each
            // neighbour.
            watchedReads.begin(pointState.size());
            watchedReads.add(p, WATCH_ROW);
            for (int32_t n = 0; n < NEIGHBOUR_COUNT; ++n) {
                watchedReads.add(neighbours[n], WATCH_STATE | WATCH_LINKS);
            }
            rememberPassRefusal(UNCOVERED_REFUSAL, p);
            continue;
        }
        int32_t o = -1;
        int32_t t = -1;
        int32_t w = -1;
        double c = 0.0;
        // The search changes no state the distance reads, so it may come second.
        if (findCoveringTriangleRemembered(p, o, t, w, c)) {
            const double b = nearestOpenNeighbourDistance(p);
            if (b < 0.0 || b > UNCOVERED_DISTANCE_FACTOR * c) {
                insertIntoTriangle(p, o, t, w);
                GROWTH_COMPLETED(p, "uncovered insertion");
                flipAroundPoint(p);
                flipAroundPoint(o);
                flipAroundPoint(t);
                flipAroundPoint(w);
                continue;
            }
        }
        // Turned down: what the covering search reads includes what the test above and the
        // distance read (the neighbour list, the neighbours' states and connected points).
        if (refusalWorthRemembering(UNCOVERED_REFUSAL, p)) {
            gatherCoverReads(p);
            rememberPassRefusal(UNCOVERED_REFUSAL, p);
        }
    }
}

#ifdef FANMESH_CHECK_FAN_MEMO
void ReconstructionState::checkUncoveredRefusal(int32_t p) {
    const int32_t* neighbours = neighbourRow(p);
    bool any = false;
    for (int32_t n = 0; n < NEIGHBOUR_COUNT && !any; ++n) {
        const int32_t k = neighbours[n];
        any = pointState[static_cast<size_t>(k)] == 1 || connectionCount(k) != 0;
    }
    int32_t o = -1;
    int32_t t = -1;
    int32_t w = -1;
    double c = 0.0;
    if (any && findCoveringTriangle(p, o, t, w, c)) {
        const double b = nearestOpenNeighbourDistance(p);
        if (b < 0.0 || b > UNCOVERED_DISTANCE_FACTOR * c) {
            std::cerr << "remembered refusal of point " << p << " for insertion is wrong\n";
            std::abort();
        }
    }
}
#endif
