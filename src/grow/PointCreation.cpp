// Point creation inside one component: every open point that borders an accepted fan
// gets a candidate fan; candidates wait in a queue ordered by fan flatness and are
// completed flattest first, each through the enclosed, flow-merge or ordinary chain of
// tests and repairs. A completion activates the open members of the new fan.
#include <cmath>
#include <ctime>
#include <iostream>

#include "grow/GrowthStats.h"
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

void ReconstructionState::createPoints(const std::vector<int32_t>& component, bool levelFlipping) {
    growingReversedLayer = levelFlipping;
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
    Octree& tree = componentTrees.build(vertices, component, searchRadius, rayHitDistance);
    tree.rayReach = rayReach;
    clockEnd = diagnosticTicks();
    octreeTicks += clockEnd - clockStart;

    candidateQueue.clear();
    candidateQueue.init(static_cast<int32_t>(component.size()), BoundedHeap::SMALLEST_ON_TOP,
                        activeCount);

    // Seeding: every point that already borders an accepted fan.
    for (const int32_t p : component) {
        if (connectionCount(p) == 0) {
            continue;
        }
        Vertex& v = vertices[p];
        if (p == tracePoint) {
            std::cout << "\tFRESH START FOR CREATING POINT " << p << " \n";
        }
        if (!findBestFan(p, levelFlipping)) {
            GROWTH_REFUSE(p, bestFanSeeding);
            rejected[static_cast<size_t>(p)] = 1;
            if (p == tracePoint) {
                std::cout << "\tTHIS POINT CANNOT FIND A BESTFAN CONFIGURATION\n";
            }
        } else if (globalConvexityTest(p, tree, false)) {
            candidateQueue.push(p, std::fabs(v.fanFlatness));
            queued[static_cast<size_t>(p)] = 1;
            if (p == tracePoint) {
                std::cout << "\tTHIS POINT PASSED THE GLOBAL CONVEXITY TEST\n";
            }
        } else {
            GROWTH_REFUSE(p, convexitySeeding);
            rejected[static_cast<size_t>(p)] = 1;
            if (p == tracePoint) {
                std::cout << "\tTHIS POINT FAILED THE GLOBAL CONVEXITY TEST\n";
                writeNormalLine(v.normal);
            }
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
            setPointState(h, 1);
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
            GROWTH_COMPLETED(h, "enclosed");
            if (traced) {
                std::cout << " Point " << h << " is enclosed\n";
            }
            complete = true;
        } else if (isFlowMergeRemembered(h)) {
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
                setPointState(h, 0);
                abandon = true;
            } else {
                GROWTH_COMPLETED(h, "flow merge");
                complete = true;
            }
        } else if (attemptCompletion(h, tree, levelFlipping)) {
            complete = true;
        } else {
            continue; // refused: dropped as rejected next turn
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
        setPointState(h, 1);
        if (completedCount % PROGRESS_STEP == 0 && console != nullptr) {
            *console << ".";
        }
        completionOrder.push_back(h);
        completedCount = static_cast<int32_t>(completionOrder.size());
        forgetFanSearch(h);
        forgetRefusals(h);
        forgetConvexityTest(h);
        candidateQueue.popTop();

        // Activation of the new fan's members.
        for (int32_t i = 0; i < hv.triangleFanCount; ++i) {
            const int32_t m = hv.triangleFan[i];
            const size_t mi = static_cast<size_t>(m);
            const bool inComponent = m >= 0 && m < activeCount && pending[mi] == 1;
            if (inComponent && rejected[mi] == 0) {
                Vertex& mv = vertices[m];
                const bool tracedM = m == tracePoint;
                if (tracedM) {
                    std::cout << (queued[mi] == 0 ? "First timer: This point "
                                                  : "Not First time: This point ")
                              << m << " is ACTIVATED by point " << h << "\n";
                    std::cout << "Location of point " << h << " = ";
                    writeNormalLine(hv.position);
                }
                if (queued[mi] == 0) {
                    if (!findBestFan(m, levelFlipping)) {
                        GROWTH_REFUSE(m, bestFanActivation);
                        rejected[mi] = 1;
                        if (tracedM) {
                            std::cout << "This point " << m
                                      << " failed to construct a proper triangle. \n";
                        }
                    } else if (globalConvexityTest(m, tree, false)) {
                        candidateQueue.push(m, std::fabs(mv.fanFlatness));
                        queued[mi] = 1;
                        if (tracedM) {
                            std::cout << "This point " << m << " passed convexity test. \n";
                        }
                    } else {
                        GROWTH_REFUSE(m, convexityActivation);
                        rejected[mi] = 1;
                        if (tracedM) {
                            std::cout << "This point " << m << " failed convexity test. \n";
                        }
                    }
                } else if (mv.fanFlatness > REFINE_FLATNESS) {
                    // Already queued by an earlier activation and still not flat: retry
                    // its fan from the newly completed point.
                    if (refineFan(m, h, levelFlipping)) {
                        if (globalConvexityTest(m, tree, false)) {
                            candidateQueue.update(m, std::fabs(mv.fanFlatness));
                            if (tracedM) {
                                std::cout << "This point " << m << " passed convexity test. \n";
                            }
                        } else {
                            GROWTH_REFUSE(m, convexityRefine);
                            rejected[mi] = 1;
                            if (tracedM) {
                                std::cout << "This point " << m << " failed convexity test. \n";
                            }
                        }
                    }
                }
            } else if (!(m >= 0 && m < activeCount && rejected[mi] == 1)) {
                updateClosedFanNormal(m);
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

bool ReconstructionState::attemptCompletion(int32_t h, Octree& tree, bool levelFlipping) {
    Vertex& hv = vertices[h];
    const bool traced = h == traceFlipPoint;
    restoreFan(h);
    saveFan(h);
    // Traced points run every attempt, so that the trace shows it.
    const bool remembering = editWatch.active() && h != traceFlipPoint && h != tracePoint;
    const CompletionMemo* known = remembering ? knownRefusal(h, levelFlipping) : nullptr;
    // A refusal by the final convexity test stands only while the rays from the fan the
    // attempt tested are still blocked: the test is run again on that fan, and the attempt
    // is run in full when it passes now.
    if (known != nullptr && known->refusal == GrowthRule::convexityFinal &&
        finalTestPasses(h, *known, tree, levelFlipping)) {
        known = nullptr;
    }
#ifndef FANMESH_CHECK_FAN_MEMO
    if (known != nullptr) {
        replayRefusal(h, *known);
        creationRejected[static_cast<size_t>(h)] = 1;
        return false;
    }
#else
    // Check build: the attempt runs beside the memo and is compared with it at the end;
    // every edit keeps a copy, so that the records the attempt leaves changed are known.
    // The memo's answer counts as a replay, as where it is replayed.
    if (known != nullptr) {
        ++attemptReplays;
    }
    copyEveryEdit = remembering;
    if (remembering) {
        flushEdits(); // the copies then show what the attempt itself changed
    }
#endif
    if (remembering && attemptInputsGathered) {
        attemptLog.clear();
        attemptLogging = &attemptLog;
    }

    // A refusal by one of these rules is remembered; the final convexity test and the
    // flips after it read and write more than the memo covers.
    GrowthRule refusal = GrowthRule::none;
    // Set when the final convexity test refuses h in a case the memo can take (see
    // finalTestPasses): the refusal is remembered, without counting it again.
    bool finalRefusalKept = false;
    bool completed = false;
    publishFan(h, levelFlipping);
    if (!mergePoint(h)) {
        refusal = GrowthRule::merge;
        withdrawFan(h);
        restoreFan(h);
    } else {
        removeFoldedFanPoints(h);
        if (!insertMissedNeighbours(h)) {
            refusal = GrowthRule::missedNeighbours;
            withdrawFan(h);
            restoreFan(h);
        } else {
            setPointState(h, 1);
            if (!postTest(h)) {
                refusal = GrowthRule::postTest;
                setPointState(h, 0);
                withdrawFan(h);
                restoreFan(h);
                if (traced) {
                    std::cout << "This point " << h << " failed post test";
                }
            } else if (!finalConvexityTest(h, tree, levelFlipping)) {
                GROWTH_REFUSE(h, convexityFinal);
                finalRefusalKept = finalTestMemoable(levelFlipping);
                creationRejected[static_cast<size_t>(h)] = 1;
                setPointState(h, 0);
                withdrawFan(h);
                restoreFan(h);
                if (traced) {
                    std::cout << "This point " << h << " failed convexity test\n";
                    writeNormalLine(hv.normal);
                }
            } else {
                if (traced) {
                    std::cout << "Final B4 flipping";
                    writeFanLine(hv);
                }
                flipStep(h);
                if (!postTest(h)) {
                    GROWTH_REFUSE(h, postTest);
                    creationRejected[static_cast<size_t>(h)] = 1;
                    setPointState(h, 0);
                    withdrawFan(h);
                    restoreFan(h);
                    if (traced) {
                        std::cout << "This point " << h << " failed post test";
                    }
                } else {
                    if (traced) {
                        std::cout << "Final";
                        writeFanLine(hv);
                    }
                    confirmFan(h);
                    GROWTH_COMPLETED(h, "fan");
                    completed = true;
                }
            }
        }
    }
    attemptLogging = nullptr;
    if (refusal != GrowthRule::none) {
#ifdef FANMESH_GROWTH_STATS
        growthStats.refuse(h, refusal);
#endif
        creationRejected[static_cast<size_t>(h)] = 1;
    }
#ifdef FANMESH_CHECK_FAN_MEMO
    copyEveryEdit = false;
    if (remembering) {
        checkAttemptEffects(h, known, finalRefusalKept ? GrowthRule::convexityFinal : refusal);
    }
    if (known != nullptr) {
        return completed; // the memo stays as the release build keeps it
    }
#endif
    if (remembering && refusal != GrowthRule::none) {
        rememberRefusal(h, levelFlipping, refusal);
    } else if (remembering && finalRefusalKept) {
        rememberRefusal(h, levelFlipping, GrowthRule::convexityFinal);
    }
    return completed;
}
