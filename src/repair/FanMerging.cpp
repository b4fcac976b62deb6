// Fan merging: reconciles a freshly published fan with the fans around it before the
// point is marked completed. The walk visits every fan neighbour once and makes it agree
// with the point across the edge they share; the per-neighbour cases live in
// MergeResolution.cpp and MergeChecks.cpp.
#include <algorithm>
#include <iostream>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

void ReconstructionState::traceMergeFan(int32_t a) const {
    const Vertex& record = vertices[a];
    std::cout << "Triangle Fan List of " << a << ": \n";
    for (int32_t i = 0; i < record.triangleFanCount; ++i) {
        std::cout << record.triangleFan[i] << " ";
    }
    std::cout << "\n";
}

bool ReconstructionState::mergePoint(int32_t a) {
    const bool trace = a == traceFlipPoint;
    if (trace) {
        std::cout << "Start of merging process for pt " << a << ".\n";
        traceMergeFan(a);
    }
    preMerge(a);
    if (trace) {
        std::cout << "After pre merging operations for pt " << a << ".\n";
        traceMergeFan(a);
    }
    if (!alignFanStart(a)) {
        return false;
    }
    if (trace) {
        std::cout << "After rotating operations for pt " << a << ".\n";
        traceMergeFan(a);
    }
    addBoundaryPoints(a);
    Vertex& record = vertices[a];
    if (record.triangleFanCount == 0) {
        return false;
    }
    const int32_t first = record.triangleFan[0];
    if (trace) {
        std::cout << "After adding new boundary points operations for pt " << a << ".\n";
        traceMergeFan(a);
        std::cout << "\tFirst point to start merging = " << first << ".\n";
    }
    if (attemptLogging != nullptr) {
        attemptLogging->fanReads.push_back(first);
    }
    mergeFans(a, first);
    int32_t d = nextInFan(a, first);

    std::vector<int32_t>& trail = mergeTrail;
    trail.clear();
    trail.push_back(first);
    trail.push_back(d);
    int32_t steps = 0;
    while (d != first) {
        if (d < 0) {
            return false; // the fan has emptied
        }
        if (trace) {
            std::cout << "\n\tCurrent Point = " << d << ".\n";
        }
        bool solved = true;
        if (pointState[d] == 1 && indexInFan(d, a) >= 0) {
            if (trace) {
                std::cout << "\tSolving the currentPoint by full triangle fan merging.\n";
            }
            mergeFans(a, d);
        } else if (pointState[d] == 1) {
            if (trace) {
                std::cout << "\tSolving the connected to triangle fan.\n";
            }
            solved = solveConnected(a, d);
        } else if (vertices[d].connectedPoints.size() >= 2) {
            if (trace) {
                std::cout << "\tSolving the currentPoint by boundary resolving.\n";
            }
            resolveBoundary(a, d);
            if (indexInFan(a, d) >= 0 && triangleApex(a, prevInFan(a, d), d) == -1) {
                solved = solveFreePoint(a, d);
            }
        } else {
            if (trace) {
                std::cout << "\tSolving the currentPoint by free point.\n";
            }
            solved = solveFreePoint(a, d);
        }
        if (!solved) {
            return false;
        }
        while (indexInFan(a, trail.back()) < 0) {
            trail.pop_back();
            if (trail.empty()) {
                return false;
            }
        }
        d = nextInFan(a, trail.back());
        trail.push_back(d);
        if (trace) {
            std::cout << "\t\t\tCurrent Point at the back of the list = " << trail.back() << "\n";
        }
        ++steps;
        if (steps == MAX_MERGE_STEPS) {
            return false;
        }
    }
    if (trace) {
        std::cout << "End of merging operation.\n";
        traceMergeFan(a);
    }
    if (record.triangleFanCount > 0) {
        if (attemptLogging != nullptr) {
            attemptLogging->fanReads.push_back(record.triangleFan[0]);
        }
        mergeFans(a, record.triangleFan[0]);
    }
    if (trace) {
        std::cout << "After last merge of merging operation.\n";
        traceMergeFan(a);
    }
    return true;
}

void ReconstructionState::preMerge(int32_t a) {
    // Inserting p into the fan of a links a to p, never p to a, so the list stays put.
    const std::vector<int32_t>& links = vertices[a].connectedPoints;
    for (size_t k = 0; k < links.size(); ++k) {
        const int32_t p = links[k];
        if (indexInFan(a, p) < 0) {
            insertIntoFan(a, indexInFan(a, insertionAnchor(a, p)), p);
        }
    }
}

bool ReconstructionState::alignFanStart(int32_t a) {
    Vertex& record = vertices[a];
    const int32_t count = record.triangleFanCount;
    if (count == 0) {
        return false;
    }
    if (attemptLogging != nullptr) {
        attemptLogging->fanReads.push_back(record.triangleFan[0]);
    }
    if (indexInFan(record.triangleFan[0], a) >= 0) {
        return true;
    }
    for (int32_t i = 0; i < count; ++i) {
        const int32_t entry = record.triangleFan[i];
        if (pointState[entry] == 1 && indexInFan(entry, a) >= 0) {
            // The same triangles in a new cyclic start: links and normal are unchanged.
            noteEdit(WATCH_FAN, a);
            int32_t* entries = record.triangleFan.first(count);
            std::rotate(entries, entries + i, entries + count);
            record.currentTriangleFan.assign(entries, entries + count);
            return true;
        }
    }
    return false;
}

void ReconstructionState::addBoundaryPoints(int32_t a) {
    const Vertex& record = vertices[a];
    for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
        const int32_t v = record.neighbours[k];
        if (pointState[v] == 1 || indexInFan(a, v) >= 0 || vertices[v].connectedPoints.empty()) {
            continue;
        }
        Vector3 m(0.0, 0.0, 0.0);
        for (const int32_t owner : vertices[v].connectedPoints) {
            m.add(vertices[owner].normal);
        }
        m.normalize();

        int32_t s = -1;
        const int32_t count = record.triangleFanCount;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t entry = record.triangleFan[i];
            const int32_t after = record.triangleFan[(i + 1) % count];
            if (lineHitsTriangleFront(record.position, vertices[entry].position,
                                      vertices[after].position, m, vertices[v].position)) {
                s = entry;
                break;
            }
        }
        if (s < 0) {
            continue;
        }
        const int32_t anchor = insertionAnchor(a, v);
        const int32_t t = nextInFan(a, s);
        if (anchor == s) {
            insertIntoFan(a, indexInFan(a, s), v);
        } else if (anchor == prevInFan(a, s)) {
            replaceFanEntry(a, s, v);
        } else if (anchor == t) {
            replaceFanEntry(a, t, v);
        }

        if (indexInFan(a, v) < 0) {
            continue;
        }
        // Drop a fan neighbour that sits too close in angle to v; both angles are taken
        // before either removal.
        const int32_t e = prevInFan(a, v);
        const int32_t n = nextInFan(a, v);
        const double before =
            vertexAngleDeg(record.position, vertices[e].position, vertices[v].position);
        const double after =
            vertexAngleDeg(record.position, vertices[v].position, vertices[n].position);
        if (before < MIN_FAN_ANGLE) {
            removeFromFan(a, indexInFan(a, e));
        }
        if (after < MIN_FAN_ANGLE) {
            removeFromFan(a, indexInFan(a, n));
        }
    }
}

int32_t ReconstructionState::mergeFans(int32_t a, int32_t b) {
    if (indexInFan(a, b) < 0 || indexInFan(b, a) < 0) {
        return -1;
    }
    const int32_t i = indexInFan(a, b);
    const int32_t c = nextInFan(a, b);
    const int32_t d = nextInFan(b, a);
    const int32_t e = prevInFan(b, a);
    const int32_t f = prevInFan(a, b);
    // A fan of b that holds nothing but a would bring a into its own fan; skip that side.
    if (d != f && d != a) {
        // Whatever lies between the anchor of d and b gives way to d.
        replaceFanRange(a, indexInFan(a, insertionAnchor(a, d)), i, d);
    }
    // The position of b found above is used even when the first replacement has shifted
    // the entries; once the fan has shrunk below it, the second replacement is skipped so
    // that nothing is written past the end of the fan.
    if (c != e && e != a && i < vertices[a].triangleFanCount) {
        const int32_t g = indexInFan(a, insertionAnchor(a, e));
        const int32_t to = g + 1 == vertices[a].triangleFanCount ? 0 : g + 1;
        replaceFanRange(a, i, to, e);
    }
    return 1;
}
