// Point creation inside one component: every open point that borders an accepted fan
// gets a candidate fan; candidates wait in a queue ordered by fan flatness and are
// completed flattest first, each through the enclosed, flow-merge or ordinary chain of
// tests and repairs. A completion activates the open members of the new fan.
#include <cmath>
#include <ctime>
#include <iostream>

#include "grow/GrowthStats.h"
#include "parallel/WorkerPool.h"
#include "recon/DiagnosticClock.h"
#include "recon/ReconstructionState.h"

namespace {
// Above this flatness a queued candidate may still be refined from a new neighbour fan.
constexpr double REFINE_FLATNESS = 400.0;
// A progress mark is written for every this many completed points.
constexpr int32_t PROGRESS_STEP = 50;

void writeNormalLine(const Vector3& normal) {
    std::cout << "\t" << normal.x << " , " << normal.y << " , " << normal.z << "\n";
}

void writeFanLine(const Vertex& v) {
    for (int32_t i = 0; i < v.triangleFanCount; ++i) {
        std::cout << v.triangleFan[i] << " ";
    }
    std::cout << "\n";
}
} // namespace

void ReconstructionState::createPoints(const std::vector<int32_t>& component, Octree& tree,
                                       bool levelFlipping) {
    // The flags live across calls (sized by the layer pass); make sure they cover every
    // active point when called on its own.
    const size_t n = static_cast<size_t>(activeCount > 0 ? activeCount : 0);
    if (creationRejected.size() < n) {
        creationRejected.resize(n, 0);
        creationPending.resize(n, 0);
        creationQueued.resize(n, 0);
    }
    std::vector<uint8_t>& rejected = creationRejected;
    std::vector<uint8_t>& pending = creationPending;
    std::vector<uint8_t>& queued = creationQueued;
    for (const int32_t p : component) {
        pending[static_cast<size_t>(p)] = 1;
    }

    clockStart = diagnosticTicks();
    tree.rayHitDistance = rayHitDistance;
    tree.buildFor(vertices, component.data(), static_cast<int32_t>(component.size()), searchRadius);
    clockEnd = diagnosticTicks();
    octreeTicks += clockEnd - clockStart;

    candidateQueue.clear();
    candidateQueue.init(static_cast<int32_t>(component.size()), BoundedHeap::SMALLEST_ON_TOP,
                        activeCount);

    // Seeding: every point that already borders an accepted fan.
    // Batches over several threads; not while a point is traced (the trace follows the calls
    // in order) or growth statistics are counted (they are not counted per thread).
    const bool batched =
        growthThreads > 1 && tracePoint < 0 && traceFlipPoint < 0 && !GROWTH_STATS_COUNTED;
    if (batched) {
        std::vector<CreationTask>& tasks = creationTasks;
        size_t count = 0;
        for (const int32_t p : component) {
            if (connectionCount(p) != 0) {
                if (tasks.size() <= count) {
                    tasks.resize(count + 1);
                }
                tasks[count].point = p;
                tasks[count].kind = CreationTask::SEARCH;
                ++count;
            }
        }
        runCreationTasks(tasks, count, tree, levelFlipping, -1);
        for (size_t i = 0; i < count; ++i) {
            keepFanSearch(tasks[i].point, levelFlipping, tasks[i].plan);
            seedOutcome(tasks[i].point, tasks[i].found, tasks[i].convex);
        }
    } else {
        for (const int32_t p : component) {
            if (connectionCount(p) == 0) {
                continue;
            }
            if (p == tracePoint) {
                std::cout << "\tFRESH START FOR CREATING POINT " << p << " \n";
            }
            const bool found = findBestFan(p, levelFlipping);
            seedOutcome(p, found, found && globalConvexityTest(p, tree, false));
        }
    }

    // Completion loop.
    while (!candidateQueue.empty()) {
        const int32_t h = candidateQueue.top().key;
        Vertex& hv = vertices[h];
        const bool traced = h == traceFlipPoint;
        if (rejected[static_cast<size_t>(h)] == 1) {
            candidateQueue.popTop();
            continue;
        }
        if (completedCount >= completedLimit) {
            if (traced) {
                std::cout << "This point " << h << " --- mergenormal = false";
            }
            publishFan(h, levelFlipping);
            pointState[static_cast<size_t>(h)] = 1;
            completionOrder.push_back(h);
            completedCount = static_cast<int32_t>(completionOrder.size());
            if (traced) {
                std::cout << "Final ---- from merge normal = false ";
                writeFanLine(hv);
            }
            break;
        }

        saveFan(h);
        bool complete = false;
        bool abandon = false;
        if (isEnclosed(h)) {
            fillEnclosedFan(h);
            if (traced) {
                std::cout << " Point " << h << " is enclosed\n";
            }
            complete = true;
        } else if (isFlowMerge(h)) {
            if (globalConvexityTest(h, tree, false)) {
                if (traced) {
                    std::cout << " Point " << h
                              << " is being merged by incoming and outgoing flows\n";
                }
            } else {
                withdrawFan(h);
            }
            if (!postTest(h)) {
                GROWTH_REFUSE(h, postTest);
                rejected[static_cast<size_t>(h)] = 1;
                pointState[static_cast<size_t>(h)] = 0;
                abandon = true;
            } else {
                complete = true;
            }
        } else {
            restoreFan(h);
            saveFan(h);
            publishFan(h, levelFlipping);
            if (!mergePoint(h)) {
                GROWTH_REFUSE(h, merge);
                rejected[static_cast<size_t>(h)] = 1;
                withdrawFan(h);
                restoreFan(h);
                continue;
            }
            removeFoldedFanPoints(h);
            if (!insertMissedNeighbours(h)) {
                GROWTH_REFUSE(h, missedNeighbours);
                rejected[static_cast<size_t>(h)] = 1;
                withdrawFan(h);
                restoreFan(h);
                continue;
            }
            pointState[static_cast<size_t>(h)] = 1;
            if (!postTest(h)) {
                GROWTH_REFUSE(h, postTest);
                rejected[static_cast<size_t>(h)] = 1;
                pointState[static_cast<size_t>(h)] = 0;
                abandon = true;
            } else if (!globalConvexityTest(h, tree, levelFlipping)) {
                GROWTH_REFUSE(h, convexityFinal);
                rejected[static_cast<size_t>(h)] = 1;
                pointState[static_cast<size_t>(h)] = 0;
                withdrawFan(h);
                restoreFan(h);
                if (traced) {
                    std::cout << "This point " << h << " failed convexity test\n";
                    writeNormalLine(hv.normal);
                }
                continue;
            } else {
                if (traced) {
                    std::cout << "Final B4 flipping";
                    writeFanLine(hv);
                }
                flipStep(h);
                if (!postTest(h)) {
                    GROWTH_REFUSE(h, postTest);
                    rejected[static_cast<size_t>(h)] = 1;
                    pointState[static_cast<size_t>(h)] = 0;
                    abandon = true;
                } else {
                    if (traced) {
                        std::cout << "Final";
                        writeFanLine(hv);
                    }
                    confirmFan(h);
                    complete = true;
                }
            }
        }

        if (abandon) {
            // The point stays on top of the queue and is dropped as rejected next turn.
            withdrawFan(h);
            restoreFan(h);
            if (traced) {
                std::cout << "This point " << h << " failed post test";
            }
            continue;
        }
        if (!complete) {
            continue;
        }

        pending[static_cast<size_t>(h)] = 0;
        queued[static_cast<size_t>(h)] = 0;
        pointState[static_cast<size_t>(h)] = 1;
        if (completedCount % PROGRESS_STEP == 0 && console != nullptr) {
            *console << ".";
        }
        completionOrder.push_back(h);
        completedCount = static_cast<int32_t>(completionOrder.size());
        forgetFanSearch(h);
        candidateQueue.popTop();

        // Activation of the new fan's members.
        if (batched) {
            activateInBatch(h, tree, levelFlipping);
            continue;
        }
        for (int32_t i = 0; i < hv.triangleFanCount; ++i) {
            const int32_t m = hv.triangleFan[i];
            const size_t mi = static_cast<size_t>(m);
            const CreationTask::Kind kind = activationKind(m);
            if (kind == CreationTask::NORMAL) {
                if (!(m >= 0 && m < activeCount && rejected[mi] == 1)) {
                    updateClosedFanNormal(m);
                }
                continue;
            }
            if (m == tracePoint) {
                std::cout << (queued[mi] == 0 ? "First timer: This point "
                                              : "Not First time: This point ")
                          << m << " is ACTIVATED by point " << h << "\n";
                std::cout << "Location of point " << h << " = ";
                writeNormalLine(hv.position);
            }
            if (kind == CreationTask::SEARCH) {
                const bool found = findBestFan(m, levelFlipping);
                activationOutcome(m, kind, found, found && globalConvexityTest(m, tree, false));
            } else if (vertices[m].fanFlatness > REFINE_FLATNESS) {
                const bool kept = refineFan(m, h, levelFlipping);
                activationOutcome(m, kind, kept, kept && globalConvexityTest(m, tree, false));
            }
        }
    }

    // Leave the flags all 0 for the next component.
    for (const int32_t p : component) {
        const size_t pi = static_cast<size_t>(p);
        rejected[pi] = 0;
        pending[pi] = 0;
        queued[pi] = 0;
    }
    candidateQueue.release();
}

void ReconstructionState::seedOutcome(int32_t p, bool found, bool convex) {
    Vertex& v = vertices[p];
    if (!found) {
        GROWTH_REFUSE(p, bestFanSeeding);
        creationRejected[static_cast<size_t>(p)] = 1;
        if (p == tracePoint) {
            std::cout << "\tTHIS POINT CANNOT FIND A BESTFAN CONFIGURATION\n";
        }
    } else if (convex) {
        candidateQueue.push(p, std::fabs(v.fanFlatness));
        creationQueued[static_cast<size_t>(p)] = 1;
        if (p == tracePoint) {
            std::cout << "\tTHIS POINT PASSED THE GLOBAL CONVEXITY TEST\n";
        }
    } else {
        GROWTH_REFUSE(p, convexitySeeding);
        creationRejected[static_cast<size_t>(p)] = 1;
        if (p == tracePoint) {
            std::cout << "\tTHIS POINT FAILED THE GLOBAL CONVEXITY TEST\n";
            writeNormalLine(v.normal);
        }
    }
}

CreationTask::Kind ReconstructionState::activationKind(int32_t m) const {
    const size_t mi = static_cast<size_t>(m);
    const bool inComponent = m >= 0 && m < activeCount && creationPending[mi] == 1;
    if (!inComponent || creationRejected[mi] == 1) {
        return CreationTask::NORMAL;
    }
    return creationQueued[mi] == 0 ? CreationTask::SEARCH : CreationTask::REFINE;
}

void ReconstructionState::activationOutcome(int32_t m, CreationTask::Kind kind, bool found,
                                            bool convex) {
    const size_t mi = static_cast<size_t>(m);
    const bool tracedM = m == tracePoint;
    const double flatness = std::fabs(vertices[m].fanFlatness);
    if (kind == CreationTask::SEARCH) {
        if (!found) {
            GROWTH_REFUSE(m, bestFanActivation);
            creationRejected[mi] = 1;
            if (tracedM) {
                std::cout << "This point " << m << " failed to construct a proper triangle. \n";
            }
        } else if (convex) {
            candidateQueue.push(m, flatness);
            creationQueued[mi] = 1;
            if (tracedM) {
                std::cout << "This point " << m << " passed convexity test. \n";
            }
        } else {
            GROWTH_REFUSE(m, convexityActivation);
            creationRejected[mi] = 1;
            if (tracedM) {
                std::cout << "This point " << m << " failed convexity test. \n";
            }
        }
        return;
    }
    // An already queued point that was not flat yet, refined from the newly completed point.
    if (!found) {
        return;
    }
    if (convex) {
        candidateQueue.update(m, flatness);
        if (tracedM) {
            std::cout << "This point " << m << " passed convexity test. \n";
        }
    } else {
        GROWTH_REFUSE(m, convexityRefine);
        creationRejected[mi] = 1;
        if (tracedM) {
            std::cout << "This point " << m << " failed convexity test. \n";
        }
    }
}

void ReconstructionState::activateInBatch(int32_t h, Octree& tree, bool levelFlipping) {
    const Vertex& hv = vertices[h];
    std::vector<CreationTask>& tasks = creationTasks;
    size_t count = 0;
    size_t searches = 0;
    for (int32_t i = 0; i < hv.triangleFanCount; ++i) {
        const int32_t m = hv.triangleFan[i];
        CreationTask::Kind kind = activationKind(m);
        if (kind == CreationTask::NORMAL) {
            if (m >= 0 && m < activeCount && creationRejected[static_cast<size_t>(m)] == 1) {
                continue;
            }
        } else if (kind == CreationTask::REFINE && !(vertices[m].fanFlatness > REFINE_FLATNESS)) {
            continue;
        } else {
            ++searches;
        }
        if (tasks.size() <= count) {
            tasks.resize(count + 1);
        }
        tasks[count].point = m;
        tasks[count].kind = kind;
        ++count;
    }
    if (searches < 2) {
        // Nothing to share: the calls one after the other.
        for (size_t i = 0; i < count; ++i) {
            const int32_t m = tasks[i].point;
            const CreationTask::Kind kind = tasks[i].kind;
            if (kind == CreationTask::NORMAL) {
                updateClosedFanNormal(m);
                continue;
            }
            const bool found = kind == CreationTask::SEARCH ? findBestFan(m, levelFlipping)
                                                            : refineFan(m, h, levelFlipping);
            activationOutcome(m, kind, found, found && globalConvexityTest(m, tree, false));
        }
        return;
    }
    runCreationTasks(tasks, count, tree, levelFlipping, h);
    for (size_t i = 0; i < count; ++i) {
        const CreationTask& task = tasks[i];
        if (task.kind == CreationTask::NORMAL) {
            continue;
        }
        if (task.kind == CreationTask::SEARCH) {
            keepFanSearch(task.point, levelFlipping, tasks[i].plan);
        }
        activationOutcome(task.point, task.kind, task.found, task.convex);
    }
}
