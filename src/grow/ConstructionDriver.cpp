// Construction driver: picks seeds in order of increasing surface variation, grows the
// surface from each accepted seed layer by layer, decides when to stop, and then runs the
// clean-up passes in their fixed order.
#include <algorithm>
#include <ctime>
#include <ostream>
#include <utility>
#include <vector>

#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"

namespace {
// Seeding stops when fewer candidates than this share of the active points remain.
constexpr float MIN_CANDIDATE_SHARE = 0.1f;
// Growing stops after a seed once more than this share of the active points is completed.
constexpr float COMPLETED_SHARE = 0.9f;
// A growth ends after this many consecutive layers without a new completion.
constexpr int32_t STAGNANT_LAYER_LIMIT = 2;
} // namespace

std::vector<int32_t> ReconstructionState::orderSeedCandidates(bool passedOver) const {
    std::vector<std::pair<double, int32_t>> candidates;
    candidates.reserve(static_cast<size_t>(activeCount > 0 ? activeCount : 0));
    for (int32_t p = 0; p < activeCount; ++p) {
        candidates.emplace_back(vertices[p].surfaceVariation, p);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const auto& a, const auto& b) { return a > b; });
    // Points of equal variation now sit side by side, by descending index, so the lowest
    // index of each run of equal values is its last entry.
    std::vector<int32_t> order;
    order.reserve(candidates.size());
    for (size_t run = 0; run < candidates.size();) {
        size_t end = run + 1;
        while (end < candidates.size() && candidates[end].first == candidates[run].first) {
            ++end;
        }
        const int32_t lowest = candidates[end - 1].second;
        for (size_t k = run; k < end; ++k) {
            if (!passedOver) {
                order.push_back(lowest);
            } else if (candidates[k].second != lowest) {
                order.push_back(candidates[k].second);
            }
        }
        run = end;
    }
    return order;
}

bool ReconstructionState::insideUnreachedRegion(int32_t p) const {
    const auto untouched = [this](int32_t q) {
        return pointState[static_cast<size_t>(q)] == 0 && vertices[q].connectedPoints.empty();
    };
    if (!untouched(p)) {
        return false;
    }
    for (const int32_t q : vertices[p].neighbours) {
        if (q >= 0 && q < activeCount && !untouched(q)) {
            return false;
        }
    }
    return true;
}

void ReconstructionState::constructSurface() {
    if (console != nullptr) {
        *console << "Constructing Surface ";
    }
    seedRandom(RANDOM_SEED);
    cleaningUp = false;
    maxLayers = configuredMaxLayers;
    layerVector = randomVector();
    resetPointStates(static_cast<size_t>(totalCount > 0 ? totalCount : 0));
    for (int32_t k = 0; k < activeCount; ++k) {
        vertices[k].inSavedFan = false;
    }
    keepNeighbourhoodNormals();
    completionOrder.clear();
    completionOrder.reserve(static_cast<size_t>(totalCount > 0 ? totalCount : 0));
    completedCount = 0;
    fanSearchMemos.clear();
    fanSearchPrints.assign(static_cast<size_t>(4 * std::max(activeCount, 0)), 0);
    coverMemos.clear();
    completionMemos.clear();
    attemptRefused.assign(static_cast<size_t>(std::max(activeCount, 0)));
    layerStartStates.clear(); // the first layer pass finds its components
    layerStartEdits = -1;
    startEditWatch(static_cast<size_t>(totalCount > 0 ? totalCount : 0));
    syncLinkNeighbours();
    syncLinkCounts();
    blockedOrigins.assign(static_cast<size_t>(std::max(activeCount, 0)), -1);
    growthIndex = 0;
    fanSearchGrowths.assign(static_cast<size_t>(std::max(activeCount, 0)), -1);
    coverPrints.assign(static_cast<size_t>(std::max(activeCount, 0)), 0);
    const std::clock_t startTicks = std::clock();

    std::vector<int32_t> candidates = orderSeedCandidates(false);
    bool offeredPassedOver = false;
    bool stopAfterSeed = false;
    // Set once the growths have completed the share of the points at which seeding would
    // stop (with seedUnreachedRegions): only points inside unreached regions are offered.
    bool seedingUnreached = false;
    layer = 1;
    // The seed check casts its rays through the all-points octree under the same rule as
    // the growth's visibility tests.
    octree.rayHitDistance = rayHitDistance;
    octree.perPointRays = strictSeedCheck;
    octree.exemptNeighbourRing = seedCheckIgnoresNearWalls;

    // Drops the candidates at the end of the list that do not lie inside an unreached
    // region, while only such points are offered (before their seed check, which can turn
    // a candidate's normal round).
    const auto dropReached = [&]() {
        while (seedingUnreached && !candidates.empty() &&
               !insideUnreachedRegion(candidates.back())) {
            candidates.pop_back();
        }
    };
    while (true) {
        dropReached();
        // An empty list (no active points at all) also ends the seeding.
        bool exhausted =
            candidates.empty() ||
            (!seedingUnreached && static_cast<float>(candidates.size()) <
                                      MIN_CANDIDATE_SHARE * static_cast<float>(activeCount));
        // Take the smallest remaining variation; seeds enclosed on both sides are dropped.
        // The check may turn the candidate's normal round.
        const auto blockedBothWays = [this](int32_t c) {
            noteEdit(WATCH_NORMAL, c);
            return octree.blockedBothWays(c);
        };
        while (!exhausted && blockedBothWays(candidates.back())) {
            GROWTH_NOTE("seed candidate %d blocked both ways\n", candidates.back());
            candidates.pop_back();
            dropReached();
            exhausted = candidates.empty();
        }
        if (exhausted) {
            // Points of equal variation (every point of an exactly flat cloud has 0) stand
            // for one seed only. When no seed was accepted at all, seeding goes on with the
            // points passed over that way; a cloud that got a seed never comes here.
            if (!completionOrder.empty() || offeredPassedOver) {
                break;
            }
            offeredPassedOver = true;
            candidates = orderSeedCandidates(true);
            continue;
        }
        const int32_t p = candidates.back();
        if (pointState[static_cast<size_t>(p)] == 1 || !vertices[p].connectedPoints.empty()) {
            candidates.pop_back();
            continue;
        }
        const bool started = startFromSeed(p);
        candidates.pop_back();
        if (!started) {
            GROWTH_NOTE("seed candidate %d failed to start\n", p);
            continue;
        }
        ++growthIndex;

        // The seed's own draw: it keeps the sequence of layer vectors that follows.
        randomVector();
        [[maybe_unused]] const int32_t completedBefore = completedCount - 1;
        int32_t stagnantLayers = 0;
        int32_t i = 0;
        layerVector = randomVector();
        while (true) {
            if (i == MAX_LAYER_ITERATIONS) {
                break;
            }
            const int32_t before = completedCount;
            processLayer(i % 2 == 1);
            if (completedCount > completedLimit) {
                break;
            }
            completeFlowMergedPoints();
            closeFromNeighbourFans();
            insertUncoveredPoints();
            // Make the progress marks of this layer visible.
            if (console != nullptr) {
                console->flush();
            }
            if (completedCount > completedLimit) {
                break;
            }
            ++i;
            ++layer;
            layerVector = randomVector();
            stagnantLayers = completedCount == before ? stagnantLayers + 1 : 0;
            if (layer > maxLayers) {
                stopAfterSeed = true;
                break;
            }
            if (stagnantLayers == STAGNANT_LAYER_LIMIT) {
                break;
            }
        }

        forgetSettledCoverMemos();
        GROWTH_SEED(p, completedCount - completedBefore, i);
#ifdef FANMESH_GROWTH_STATS
        {
            // Where this growth stopped: the open points already in a fan.
            std::vector<int32_t> front;
            for (int32_t k = 0; k < activeCount; ++k) {
                if (pointState[static_cast<size_t>(k)] == 0 &&
                    !vertices[k].connectedPoints.empty()) {
                    front.push_back(k);
                }
            }
            growthStats.frontReport(front);
        }
#endif
        const int32_t c = completedCount;
        GROWTH_NOTE("after the growth: %zu seed candidates left, completed count %d of %d\n",
                    candidates.size(), c, activeCount);
        if (c > completedLimit) {
            break;
        }
        if (static_cast<float>(c) > COMPLETED_SHARE * static_cast<float>(activeCount)) {
            // A part that no growth entered (a thin leg whose mouth the front could not pass)
            // would be closed off by a lid in the clean-up; a seed inside it grows it instead.
            if (seedUnreachedRegions) {
                seedingUnreached = true;
                if (unreachedSeedsCountNearWalls) {
                    octree.exemptNeighbourRing = false;
                }
            } else {
                stopAfterSeed = true;
            }
        }
        if (stopAfterSeed) {
            break;
        }
    }

    // Growth is over: no memoised search follows.
    fanSearchMemos.release();
    std::vector<uint64_t>().swap(fanSearchPrints);
    coverMemos.release();
    completionMemos.release();
    attemptRefused.release();
    std::vector<uint64_t>().swap(coverPrints);
    std::vector<Vector3>().swap(neighbourhoodNormals);
    std::vector<std::unique_ptr<FanTiltRecords>>().swap(fanTiltRecords);
    std::vector<uint8_t>().swap(fanTiltTests);
    std::vector<int32_t>().swap(layerComponents);
    std::vector<int32_t>().swap(layerComponentEnds);
    std::vector<uint8_t>().swap(layerStartStates);
    startEditWatch(0);
    std::vector<int32_t>().swap(linkNeighbours);
    std::vector<int32_t>().swap(linkCounts);
    std::vector<int32_t>().swap(blockedOrigins);
    std::vector<int32_t>().swap(fanSearchGrowths);
    std::vector<int32_t>().swap(coverOwners);
    std::vector<uint32_t>().swap(coverOwnerMarks);
    if (completedCount > completedLimit) {
        return;
    }

    cleaningUp = true;
    GROWTH_REPORT(pointState, activeCount);
    GROWTH_STAGE("growth");
    GROWTH_DUMP();
    if (console != nullptr) {
        *console << "\n\n"
                 << "Performing Cleaning up functions\n";
    }
    // An open point is not closed by taking over the fans around it where withdrawing one
    // of them would cut the surface apart.
    keepPiecesJoined = foldRemovalKeepsPiecesJoined;
    for (int32_t k = 0; k < activeCount; ++k) {
        if (pointState[static_cast<size_t>(k)] == 1) {
            checkCompletedLinks(k);
        } else {
            repairOpenPoint(k);
        }
    }
    keepPiecesJoined = false;
    GROWTH_STAGE("link checks, open repair");
    checkFanAgreement();
    GROWTH_STAGE("fan agreement");
    if (bridgePinchedPoints) {
        while (bridgePinchedPointsPass()) {
        }
    }
    GROWTH_STAGE("pinched points");
    // The first open-point withdrawal and hole closing spare a fan whose withdrawal would
    // cut the surface apart, as those within inconsistent-fan removal do.
    keepPiecesJoined = foldRemovalKeepsPiecesJoined;
    while (withdrawOpenPoints()) {
    }
    GROWTH_STAGE("open-point withdrawal");
    // Joining opens lids first; only the guard above keeps the open-point withdrawal that
    // follows from unravelling a piece from its opened lids, so without it there is no
    // joining (a plate of 800 points lost every face that way).
    if (joinFacingPieces && foldRemovalKeepsPiecesJoined && joinFacingPiecesPass() > 0) {
        while (withdrawOpenPoints()) {
        }
    }
    GROWTH_STAGE("piece joining");
    closeHolesRounds();
    keepPiecesJoined = false;
    GROWTH_STAGE("hole closing");
    insertEnclosedPoints();
    insertRemovedPoints();
    GROWTH_STAGE("insertions");
    // The records of the fan members a few points ahead are requested early.
    constexpr int32_t MEMBERS_AHEAD = 3;
    for (int32_t k = 0; k < activeCount; ++k) {
        if (k + MEMBERS_AHEAD < activeCount) {
            prefetchFanMembers(k + MEMBERS_AHEAD);
        }
        updatePointNormal(k);
    }
    if (removeInconsistentFans) {
        // Hole closing within the pass completes points and edits fans after the normals
        // above were taken (and can leave an edited fan's point with no normal at all), so
        // where the pass kept the fans round folds, and so closed many small holes, they
        // are taken again.
        if (removeInconsistentFansPass()) {
            for (int32_t k = 0; k < activeCount; ++k) {
                updatePointNormal(k);
            }
        }
        // The holes the removal re-closed leave their points out of the mesh; each point
        // outside the mesh that no fan holds is put back into the triangle over it where
        // that adds no fold to a fan it edits.
        if (reinsertAfterFoldRemoval) {
            reinsertWithoutFolds();
        }
    }
    GROWTH_STAGE("fold removal");
    if (joinPiecesAfterFolds && joinFacingPieces && foldRemovalKeepsPiecesJoined &&
        joinPiecesAfterFoldRemoval() > 0) {
        // The hole closing after a join completes points without taking their normals,
        // and can leave a point of the mesh with none; they are taken again (the mesh is
        // final here, so this changes only the normals handed back).
        for (int32_t k = 0; k < activeCount; ++k) {
            updatePointNormal(k);
        }
    }
    GROWTH_STAGE("late piece joining");
    if (keepLargestComponent) {
        keepLargestComponentPass();
    }
    GROWTH_STAGE("largest component");

    // clock() counts CLOCKS_PER_SEC ticks per second.
    reconstructionSeconds =
        static_cast<double>(std::clock() - startTicks) / static_cast<double>(CLOCKS_PER_SEC);
    if (console != nullptr) {
        *console << "Timing for Surface Reconstruction = " << reconstructionSeconds
                 << " seconds.\n\n";
    }
}
