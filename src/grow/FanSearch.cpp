// Greedy triangle-fan search around one point: starts from the triangle pair that a
// neighbouring fan already has at the shared edge, adds one of the 16 neighbours per step
// (the best-priority candidate that passes the acceptance criteria), backtracks when stuck,
// closes the ring at its first point and runs the closing tests on the result.
#include <cmath>
#include <iostream>

#include "geometry/Geometry.h"
#include "geometry/PreparedTriangle.h"
#include "grow/FanConstants.h"
#include "recon/BoundedHeap.h"
#include "recon/ReconstructionState.h"

namespace {

void traceWorkingFan(const Vertex& v, int32_t a) {
    std::cout << "Points in list of currentTriangleFan " << a << ": \n";
    for (const int32_t entry : v.currentTriangleFan) {
        std::cout << entry << " ";
    }
    std::cout << "\n";
}

void traceAcceptedFan(const Vertex& v, int32_t a) {
    std::cout << "Triangle Fan List of " << a << ": \n";
    for (int32_t i = 0; i < v.triangleFanCount; ++i) {
        std::cout << v.triangleFan[i] << " ";
    }
    std::cout << "\n";
}

void traceCurrentList(const Vertex& v) {
    std::cout << "\tCurrent list - ";
    for (const int32_t entry : v.currentTriangleFan) {
        std::cout << entry << " ";
    }
    std::cout << "\n";
}

// A candidate of one fan-search step that passed the angle and fold tests: its neighbour
// slot, priority, angle, fold angle, triangle normal, and its convexity test result (-1 not
// run yet, 0 failed, 1 passed).
struct StepCandidate {
    int32_t slot;
    double priority;
    double angle;
    double dihedral;
    Vector3 normal;
    int32_t convex;
};

} // namespace

double ReconstructionState::initialFan(int32_t a, int32_t b, bool levelFlipping,
                                       Vector3& previousNormal) {
    const int32_t before = prevInFan(b, a);
    const int32_t after = nextInFan(b, a);
    Vertex& v = vertices[a];
    v.currentTriangleFan.clear();
    if (before < 0 || after < 0) {
        // a is not in the fan of b: there is no triangle pair to start from.
        return 0.0;
    }
    const int32_t first = levelFlipping ? before : after;
    const int32_t third = levelFlipping ? after : before;
    v.currentTriangleFan.push_back(first);
    v.currentTriangleFan.push_back(b);
    v.currentTriangleFan.push_back(third);
    const Vector3 u = triangleNormal(v.position, vertices[first].position, vertices[b].position);
    const Vector3 w = triangleNormal(v.position, vertices[b].position, vertices[third].position);
    double angle = orientedAngleDeg(u, w, difference(vertices[b].position, v.position));
    if (angle > 180.0) {
        angle = angle - 360.0;
    }
    previousNormal = w;
    return angle;
}

void ReconstructionState::shiftFanStart(int32_t p) {
    Vertex& v = vertices[p];
    const int32_t count = v.triangleFanCount;
    if (count > 0) {
        const int32_t first = v.triangleFan[0];
        for (int32_t i = 1; i < count; ++i) {
            v.triangleFan[i - 1] = v.triangleFan[i];
        }
        v.triangleFan[count - 1] = first;
    }
    const int32_t* entries = v.triangleFan.first(count);
    v.currentTriangleFan.assign(entries, entries + count);
}

bool ReconstructionState::constructFan(int32_t a, int32_t b, bool levelFlipping) {
    Vertex& v = vertices[a];
    // A fan built with levelFlipping runs in reversed order until it is published, so its
    // triangles face away from the surface's side.
    hiddenSideReversed = hiddenUnderTrianglesOnly && levelFlipping;
    const bool trace = a == tracePoint;
    if (trace) {
        std::cout << "Start of Log: For point = " << a << ". Creating fan from pt = " << b << "\n";
        std::cout << (levelFlipping ? "LevelFlipping = true \n" : "LevelFlipping = false \n");
    }

    // Reference area for the area figure of the trace.
    double distanceSum = 0.0;
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        distanceSum += difference(vertices[v.neighbours[k]].position, v.position).length();
    }
    const double average = distanceSum * INVERSE_NEIGHBOUR_COUNT;
    const double idealArea = average * (average * std::sin(IDEAL_TRIANGLE_ANGLE_RADIANS)) * 0.5;

    // The search writes the fan and the normal of a, here and in the helpers it calls (the
    // closing tests, shiftFanStart, updateOpenFanNormal), which have no other caller.
    noteEdit(WATCH_FAN, a);
    noteEdit(WATCH_NORMAL, a);
    Vector3 previousNormal{0.0, 0.0, 0.0};
    v.currentTriangleFan.clear();
    initialFan(a, b, levelFlipping, previousNormal);
    if (v.currentTriangleFan.size() != INITIAL_FAN_LENGTH) {
        return false;
    }
    const int32_t firstPoint = v.currentTriangleFan.front();
    int32_t lastPoint = v.currentTriangleFan.back();
    int32_t closingPoint = lastPoint;

    int32_t startSlot = -1;
    uint8_t used[NEIGHBOUR_COUNT] = {};
    uint8_t blocked[NEIGHBOUR_COUNT] = {};
    uint8_t passed[NEIGHBOUR_COUNT] = {};
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        const int32_t n = v.neighbours[k];
        if (n == firstPoint) {
            startSlot = k;
            used[k] = 1;
        } else if (n == b || n == closingPoint) {
            used[k] = 1;
        }
    }
    if (startSlot < 0) {
        // The first point must be offered as the closing candidate: it takes the place of the
        // farthest neighbour for good.
        noteEdit(WATCH_ROW, a);
        v.neighbours[NEIGHBOUR_COUNT - 1] = firstPoint;
        noteNeighbourEdit(a);
        startSlot = NEIGHBOUR_COUNT - 1;
    }
    if (trace) {
        std::cout << "\tHere are the first 3 points. StartPoint Index = " << startSlot << "\n";
        std::cout << "\t\tFirst = " << firstPoint << ". Second = " << b
                  << ". Third = " << closingPoint << ".\n";
    }

    updateOpenFanNormal(a);
    bool alive = true;
    int32_t stepCount = 0;
    double startAngle = 0.0;
    double startDihedral = 0.0;
    BoundedHeap candidates;
    candidates.clear();
    candidates.init(FAN_CANDIDATE_CAPACITY, BoundedHeap::SMALLEST_ON_TOP);

    while (alive && closingPoint != firstPoint) {
        ++stepCount;
        if (stepCount > FAN_SEARCH_STEP_LIMIT) {
            return false;
        }
        if (trace) {
            std::cout << "\n\tSearching for next potential point ........ \n";
        }
        candidates.count = 0;
        for (int32_t j = 0; j < NEIGHBOUR_COUNT; ++j) {
            passed[j] = 0;
        }
        const Vector3& pa = v.position;
        const Vector3& pk = vertices[lastPoint].position;
        // Whether no other open neighbour lies behind the candidate triangle (a, lastPoint,
        // slot's neighbour) along its normal or along the fan normal (the convexity test with
        // either normal), with the triangle's plane and edges set up once. With trace on,
        // the first failure is printed.
        const auto convexAgainstOthers = [&](int32_t slot, const Vector3& tn) {
            const PreparedTriangle triangle(pa, pk, vertices[v.neighbours[slot]].position);
            const double alongTriangle = triangle.normal.dot(tn);
            const double alongFan = triangle.normal.dot(v.normal);
            for (int32_t i = 0; i < NEIGHBOUR_COUNT; ++i) {
                const int32_t o = v.neighbours[i];
                if (i == slot || used[i] || o == lastPoint || pointState[o] == 1) {
                    continue;
                }
                const Vector3& po = vertices[o].position;
                if (triangle.rayHitsBehindAlong(alongTriangle, tn, po)) {
                    if (trace) {
                        std::cout << "\t\tDied at convexity test at point " << o
                                  << " (triangle Normal) .\n";
                    }
                    return false;
                }
                if (triangle.rayHitsBehindAlong(alongFan, v.normal, po)) {
                    if (trace) {
                        std::cout << "\t\tDied at convexity test at point " << o
                                  << (v.triangleFanCount > 1 ? " (triangle Normal) .\n"
                                                             : " (fan Normal) .\n");
                    }
                    return false;
                }
            }
            return true;
        };
        // Without trace the convexity test, the dearest part of a candidate, is deferred:
        // the candidates that pass the angle and fold tests are listed here in neighbour
        // order, and only those the step's choice reads are tested (see below).
        StepCandidate pending[NEIGHBOUR_COUNT];
        int32_t pendingCount = 0;
        bool pendingOrdered = true; // false when a priority is not a number
        for (int32_t j = 0; j < NEIGHBOUR_COUNT; ++j) {
            const int32_t n = v.neighbours[j];
            if (blocked[j]) {
                continue;
            }
            if (pointState[n] == 1 && !isOnFront(n)) {
                continue;
            }
            if (used[j] && j != startSlot) {
                continue;
            }
            if (trace) {
                std::cout << "\tConsidering neighbour " << j << ", point " << n << ". ( "
                          << difference(vertices[n].position, pa).length() / halfSearchRadius
                          << " ) \n";
            }
            double angle = 0.0;
            if (!triangleAngleTest(a, lastPoint, n, firstPoint, angle)) {
                if (trace) {
                    std::cout << "\t\tAngle failed = " << angle << ".\n";
                }
                continue;
            }
            // Needed from the fold test on, so a candidate refused by its angle skips it.
            const Vector3 tn = triangleNormal(pa, pk, vertices[n].position);
            double dihedral = 0.0;
            if (!dihedralTest(a, lastPoint, previousNormal, tn, dihedral)) {
                if (trace) {
                    std::cout << "\t\tDilhedral failed = " << dihedral << ".\n";
                }
                continue;
            }
            const double angleTerm =
                std::fabs(angle - PREFERRED_TRIANGLE_ANGLE) * ANGLE_PRIORITY_WEIGHT;
            const double dihedralTerm = std::fabs(dihedral) * DIHEDRAL_PRIORITY_WEIGHT;
            const double priority = angleTerm * angleTerm + dihedralTerm * dihedralTerm;
            if (!trace) {
                pending[pendingCount++] = StepCandidate{j, priority, angle, dihedral, tn, -1};
                pendingOrdered = pendingOrdered && priority == priority;
                continue;
            }
            std::cout << "\t\tPassed all citeria.\n";
            if (!convexAgainstOthers(j, tn)) {
                continue;
            }
            passed[j] = 1;
            const double areaFigure =
                std::fabs(triangleArea(pa, pk, vertices[n].position) - idealArea) / idealArea;
            std::cout << "\t\tPassed convexity test. Priority = " << priority
                      << " ::: triangleAngle = " << angle << " ::: dihedral = " << dihedral
                      << "::: area = " << areaFigure << "\n";
            candidates.push(j, priority);
            if (j == startSlot) {
                startAngle = angle;
                startDihedral = dihedral;
                std::cout << "\t\tStartPoint selected.\n";
            }
        }

        // The step reads whether the start slot passes, its priority, and the passing
        // candidate on top of the heap: the one of smallest priority, the first pushed (the
        // first in neighbour order) among equals, since the heap swaps only on a strictly
        // smaller priority. So the start slot is tested, then the others in order of
        // priority, then neighbour order, until one passes; that one is the top. A priority
        // that is not a number breaks this order: then every candidate is tested and goes
        // through the heap as with trace.
        double startPriority = 0.0;
        if (!trace && !pendingOrdered) {
            for (int32_t c = 0; c < pendingCount; ++c) {
                const StepCandidate& candidate = pending[c];
                if (convexAgainstOthers(candidate.slot, candidate.normal)) {
                    passed[candidate.slot] = 1;
                    candidates.push(candidate.slot, candidate.priority);
                    if (candidate.slot == startSlot) {
                        startAngle = candidate.angle;
                        startDihedral = candidate.dihedral;
                    }
                }
            }
        } else if (!trace) {
            for (int32_t c = 0; c < pendingCount; ++c) {
                StepCandidate& candidate = pending[c];
                if (candidate.slot == startSlot) {
                    candidate.convex = convexAgainstOthers(startSlot, candidate.normal) ? 1 : 0;
                    if (candidate.convex == 1) {
                        passed[startSlot] = 1;
                        startAngle = candidate.angle;
                        startDihedral = candidate.dihedral;
                        startPriority = candidate.priority;
                    }
                }
            }
        }
        const bool deferred = !trace && pendingOrdered;
        bool topKnown = false;
        int32_t topSlot = -1;
        double topPriority = 0.0;
        // Sets topSlot and topPriority to the top of the passing candidates, or topSlot to
        // -1 when none passes.
        const auto findTop = [&]() {
            if (topKnown) {
                return;
            }
            topKnown = true;
            if (!deferred) {
                if (!candidates.empty()) {
                    topSlot = candidates.top().key;
                    topPriority = candidates.top().priority;
                }
                return;
            }
            while (true) {
                int32_t best = -1;
                for (int32_t c = 0; c < pendingCount; ++c) {
                    if (pending[c].convex != 0 &&
                        (best < 0 || pending[c].priority < pending[best].priority)) {
                        best = c;
                    }
                }
                if (best < 0) {
                    return;
                }
                StepCandidate& candidate = pending[best];
                if (candidate.convex < 0) {
                    candidate.convex =
                        convexAgainstOthers(candidate.slot, candidate.normal) ? 1 : 0;
                }
                if (candidate.convex == 1) {
                    topSlot = candidate.slot;
                    topPriority = candidate.priority;
                    return;
                }
            }
        };
        if (!deferred && passed[startSlot]) {
            candidates.find(startSlot, startPriority);
        }
#ifdef FANMESH_CHECK_FAN_MEMO
        if (deferred) {
            // Every candidate tested through the heap, as without deferral.
            BoundedHeap all;
            all.init(FAN_CANDIDATE_CAPACITY, BoundedHeap::SMALLEST_ON_TOP);
            bool startPassed = false;
            for (int32_t c = 0; c < pendingCount; ++c) {
                if (convexAgainstOthers(pending[c].slot, pending[c].normal)) {
                    all.push(pending[c].slot, pending[c].priority);
                    startPassed = startPassed || pending[c].slot == startSlot;
                }
            }
            findTop();
            const bool same =
                startPassed == (passed[startSlot] != 0) && all.empty() == (topSlot < 0) &&
                (all.empty() || (all.top().key == topSlot && all.top().priority == topPriority));
            if (!same) {
                std::cerr << "deferred convexity tests choose differently from testing all\n";
                std::abort();
            }
        }
#endif

        bool closeNow = false;
        if (passed[startSlot]) {
            if (trace) {
                std::cout << "\tStart fan is one of the selection. Considering now.\n";
            }
            // The second rule needs no top: it is asked first, which changes no answer.
            if (std::fabs(startAngle - PREFERRED_TRIANGLE_ANGLE) < CLOSING_ANGLE_TOLERANCE &&
                std::fabs(startDihedral) < CLOSING_DIHEDRAL_LIMIT) {
                closeNow = true;
            } else {
                findTop();
                if (CLOSING_PRIORITY_FACTOR * startPriority < topPriority) {
                    closeNow = true;
                }
            }
            if (!closeNow && bestPointIncorrect(a, lastPoint, v.neighbours[topSlot],
                                                v.currentTriangleFan[0], v.currentTriangleFan[1])) {
                if (trace) {
                    std::cout << "Best point is incorrect\n";
                }
                closeNow = true;
            }
        }
        if (!closeNow) {
            findTop();
        }
        if (trace) {
            std::cout << "\t====================================\n";
            std::cout << (closeNow ? "\tStart Point is choosen, shall end here.\n"
                                   : "\tStart Point is not choosen, shall select the best from "
                                     "the choices available.\n");
        }

        if (closeNow) {
            closingPoint = firstPoint;
            updateClosedFanNormal(a);
            previousNormal = triangleNormal(pa, pk, vertices[firstPoint].position);
        } else if (topSlot >= 0) {
            const int32_t s = topSlot;
            used[s] = 1;
            const int32_t n = v.neighbours[s];
            previousNormal = triangleNormal(pa, pk, vertices[n].position);
            lastPoint = n;
            closingPoint = n;
            v.currentTriangleFan.push_back(n);
            updateOpenFanNormal(a);
            if (trace) {
                std::cout << "\t\tGot choice, selecting point " << n << ".\n";
                traceWorkingFan(v, a);
            }
        } else if (v.currentTriangleFan.size() > INITIAL_FAN_LENGTH) {
            if (trace) {
                std::cout << "\t\tNo choice available this round. And possible to go "
                             "backtrack. Shall backtrack one space.\n";
            }
            const int32_t x = v.currentTriangleFan.back();
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                if (v.neighbours[k] == x) {
                    used[k] = 0;
                    blocked[k] = 1;
                    break;
                }
            }
            v.currentTriangleFan.pop_back();
            updateOpenFanNormal(a);
            lastPoint = v.currentTriangleFan.back();
        } else {
            if (trace) {
                std::cout << "\t\tNo choice available this round. And not possible to go "
                             "backtrack. Shall end here.\n";
            }
            alive = false;
            v.currentTriangleFan.clear();
        }
        if (trace) {
            std::cout << "\t====================================\n";
            traceCurrentList(v);
        }
    }

    if (trace) {
        std::cout << "\n";
        if (alive) {
            std::cout << "\tSuccessful Construction. \n";
            traceCurrentList(v);
        } else {
            std::cout << "\tFor some reason, this search ends here without finding a "
                         "solution. If possible, pls check why. \n";
        }
    }
    if (!alive) {
        return false;
    }

    // Closing tests on the closed ring.
    ++fanWriteCount;
    const auto fail = [&v]() {
        v.triangleFanCount = 0;
        v.currentTriangleFan.clear();
        return false;
    };
    if (v.currentTriangleFan.size() > static_cast<std::size_t>(MAX_FAN_SIZE)) {
        return fail();
    }
    const int32_t count = static_cast<int32_t>(v.currentTriangleFan.size());
    for (int32_t i = 0; i < count; ++i) {
        v.triangleFan[i] = v.currentTriangleFan[i];
    }
    v.triangleFanCount = count;
    if (v.triangleFanCount < SMALLEST_CLOSED_FAN) {
        return fail();
    }
    if (fanAngleSum(a) > LARGEST_FAN_ANGLE_SUM) {
        return fail();
    }
    bool noHiddenPoint = false;
    for (int32_t pass = 0; pass < HIDDEN_POINT_PASSES && !noHiddenPoint; ++pass) {
        noHiddenPoint = searchingAndReplacingHiddenPointsByConvexity(a);
    }
    if (trace) {
        std::cout << "\tAfter going thru searchingAndReplacingHiddenPointsByConvexity. \n";
        traceAcceptedFan(v, a);
    }
    if (!noHiddenPoint) {
        return fail();
    }
    if (!normalTest(a)) {
        return fail();
    }
    if (trace) {
        std::cout << "\tAfter going thru normal testing. \n";
        traceAcceptedFan(v, a);
    }
    shiftFanStart(a);
    if (trace) {
        const double keptFlatness = v.fanFlatness;
        std::cout << "\tFinal Final Ans b4 exiting. Flatness = " << computeFlatness(a) << "\n";
        v.fanFlatness = keptFlatness;
        traceAcceptedFan(v, a);
    }
    return true;
}
