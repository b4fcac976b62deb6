// Optional final passes: removing fans with a triangle that faces against the point's
// normal (and re-closing the holes this leaves), and keeping only the largest connected
// piece of the mesh.
#include <algorithm>
#include <vector>

#include "geometry/Geometry.h"
#include "grow/GrowthStats.h"
#include "recon/ReconstructionState.h"
#include "repair/FoldedTriangles.h"

// A walk over the fans around a withdrawn point stops after this many points: a side that
// reaches it is large, but whether it joins the other sides further away is left open.
constexpr int32_t SPLIT_WALK_LIMIT = 1024;
// A piece of fewer points than this, cut off by a withdrawal, does not count as a split:
// slivers at a fold go anyway (the largest-component pass drops them), while a section of
// a thin part holds several rings of points.
constexpr int32_t SPLIT_PIECE_MIN = 32;

bool ReconstructionState::withdrawalSplitsPiece(int32_t u) {
    if (pointState[static_cast<size_t>(u)] != 1) {
        return false;
    }
    return withdrawalSplitsPiece(&u, 1, SPLIT_PIECE_MIN);
}

bool ReconstructionState::withdrawalSplitsPiece(const int32_t* withdrawn, int32_t count,
                                                int32_t minPiece) {
    if (splitMarks.size() < static_cast<size_t>(totalCount)) {
        splitMarks.assign(static_cast<size_t>(totalCount), 0);
        splitStamp = 0;
    }
    const int32_t* const withdrawnEnd = withdrawn + count;
    std::vector<int32_t>& members = splitMembers;
    members.clear();
    for (const int32_t* w = withdrawn; w != withdrawnEnd; ++w) {
        const Vertex& record = vertices[*w];
        for (int32_t k = 0; k < record.triangleFanCount; ++k) {
            const int32_t m = record.triangleFan[k];
            if (pointState[static_cast<size_t>(m)] == 1 &&
                std::find(withdrawn, withdrawnEnd, m) == withdrawnEnd &&
                std::find(members.begin(), members.end(), m) == members.end()) {
                members.push_back(m);
            }
        }
    }
    const int32_t memberCount = static_cast<int32_t>(members.size());
    splitGroupCount = memberCount;
    if (memberCount < 2) {
        return false;
    }
    // Most often the members are joined among themselves, by edges in their own fans: then
    // no walk is needed. group[i] is the member that stands for the group of member i.
    std::vector<int32_t>& group = splitGroups;
    group.resize(members.size());
    for (int32_t i = 0; i < memberCount; ++i) {
        group[static_cast<size_t>(i)] = i;
    }
    auto root = [&group](int32_t i) {
        while (group[static_cast<size_t>(i)] != i) {
            i = group[static_cast<size_t>(i)];
        }
        return i;
    };
    int32_t groups = memberCount;
    for (int32_t i = 0; i < memberCount && groups > 1; ++i) {
        const Vertex& m = vertices[members[static_cast<size_t>(i)]];
        for (int32_t k = 0; k < m.triangleFanCount; ++k) {
            const auto other = std::find(members.begin(), members.end(), m.triangleFan[k]);
            if (other == members.end()) {
                continue;
            }
            const int32_t a = root(i);
            const int32_t b = root(static_cast<int32_t>(other - members.begin()));
            if (a != b) {
                group[static_cast<size_t>(b)] = a;
                --groups;
            }
        }
    }
    splitGroupCount = groups;
    if (groups == 1) {
        return false;
    }
    if (minPiece > SPLIT_WALK_LIMIT) {
        return false; // only the members and their groups were asked for
    }
    // One walk per side, from each member that no earlier walk reached; marks of this call
    // are above first, and the walk from members[i] marks with first + i.
    const uint32_t first = splitStamp + 1;
    splitStamp += static_cast<uint32_t>(memberCount) + 1;
    for (const int32_t* w = withdrawn; w != withdrawnEnd; ++w) {
        splitMarks[static_cast<size_t>(*w)] = splitStamp; // no walk passes a withdrawn point
    }
    int32_t closedSides = 0; // walked to the end, large enough
    int32_t openSides = 0;   // stopped at the walk limit
    for (int32_t i = 0; i < memberCount; ++i) {
        const size_t start = static_cast<size_t>(members[static_cast<size_t>(i)]);
        if (splitMarks[start] >= first) {
            continue; // on the side of an earlier walk
        }
        const uint32_t own = first + static_cast<uint32_t>(i);
        splitQueue.clear();
        splitQueue.push_back(members[static_cast<size_t>(i)]);
        splitMarks[start] = own;
        bool joined = false;
        for (size_t head = 0; head < splitQueue.size() && !joined; ++head) {
            if (static_cast<int32_t>(splitQueue.size()) >= SPLIT_WALK_LIMIT) {
                break;
            }
            const Vertex& p = vertices[splitQueue[head]];
            for (int32_t k = 0; k < p.triangleFanCount; ++k) {
                const size_t q = static_cast<size_t>(p.triangleFan[k]);
                if (pointState[q] != 1 || splitMarks[q] == own || splitMarks[q] == splitStamp) {
                    continue;
                }
                if (splitMarks[q] >= first) {
                    joined = true; // reaches the side of an earlier walk
                    break;
                }
                splitMarks[q] = own;
                splitQueue.push_back(p.triangleFan[k]);
            }
        }
        if (joined) {
            continue;
        }
        if (static_cast<int32_t>(splitQueue.size()) >= SPLIT_WALK_LIMIT) {
            ++openSides;
        } else if (static_cast<int32_t>(splitQueue.size()) >= minPiece) {
            ++closedSides;
        }
    }
    // A closed piece of its own beside another large side is a cut; large sides that only
    // ran out of walk may still meet further away.
    return closedSides >= 2 || (closedSides == 1 && openSides >= 1);
}

bool ReconstructionState::withdrawalCutsSurface(const int32_t* withdrawn, int32_t count) {
    // The members and their groups as the bounded form finds them (a minimum piece above
    // its walk limit stops it before its walks).
    withdrawalSplitsPiece(withdrawn, count, SPLIT_WALK_LIMIT + 1);
    if (splitGroupCount <= 1) {
        return false;
    }
    const std::vector<int32_t>& members = splitMembers;
    const int32_t memberCount = static_cast<int32_t>(members.size());
    auto root = [this](int32_t i) {
        while (splitGroups[static_cast<size_t>(i)] != i) {
            i = splitGroups[static_cast<size_t>(i)];
        }
        return i;
    };
    // One walk per group of members, all walks in turn, a point each: walks that meet join;
    // the surface is cut when every walk of a joined set has run out while sets remain, and
    // holds when one set remains. The cost is about the number of sets times the smallest
    // side, however large the others are.
    const uint32_t first = splitStamp + 1;
    splitStamp += static_cast<uint32_t>(memberCount) + 1;
    for (const int32_t* w = withdrawn; w != withdrawn + count; ++w) {
        splitMarks[static_cast<size_t>(*w)] = splitStamp; // no walk passes a withdrawn point
    }
    splitWalks.resize(members.size());
    splitWalkHeads.assign(members.size(), 0);
    splitWalkSets.resize(members.size());
    std::vector<int32_t> walks;
    for (int32_t i = 0; i < memberCount; ++i) {
        const int32_t r = root(i);
        if (r == i) {
            walks.push_back(i);
            splitWalks[static_cast<size_t>(i)].clear();
        }
        splitWalkSets[static_cast<size_t>(i)] = i;
    }
    for (int32_t i = 0; i < memberCount; ++i) {
        const int32_t r = root(i);
        splitMarks[static_cast<size_t>(members[static_cast<size_t>(i)])] =
            first + static_cast<uint32_t>(r);
        splitWalks[static_cast<size_t>(r)].push_back(members[static_cast<size_t>(i)]);
    }
    auto set = [this](int32_t r) {
        while (splitWalkSets[static_cast<size_t>(r)] != r) {
            r = splitWalkSets[static_cast<size_t>(r)];
        }
        return r;
    };
    int32_t sets = static_cast<int32_t>(walks.size());
    std::vector<uint8_t> running(members.size(), 0);
    for (;;) {
        for (const int32_t r : walks) {
            std::vector<int32_t>& queue = splitWalks[static_cast<size_t>(r)];
            size_t& head = splitWalkHeads[static_cast<size_t>(r)];
            if (head == queue.size()) {
                continue;
            }
            const Vertex& p = vertices[queue[head++]];
            for (int32_t k = 0; k < p.triangleFanCount; ++k) {
                const size_t q = static_cast<size_t>(p.triangleFan[k]);
                const uint32_t mark = splitMarks[q];
                if (pointState[q] != 1 || mark == splitStamp) {
                    continue;
                }
                if (mark >= first && mark < splitStamp) {
                    const int32_t a = set(r);
                    const int32_t b = set(static_cast<int32_t>(mark - first));
                    if (a != b) {
                        splitWalkSets[static_cast<size_t>(b)] = a;
                        if (--sets == 1) {
                            return false;
                        }
                    }
                    continue;
                }
                splitMarks[q] = first + static_cast<uint32_t>(r);
                queue.push_back(p.triangleFan[k]);
            }
        }
        // A set none of whose walks has points left is a side of its own.
        for (const int32_t r : walks) {
            running[static_cast<size_t>(set(r))] = 0;
        }
        for (const int32_t r : walks) {
            if (splitWalkHeads[static_cast<size_t>(r)] <
                splitWalks[static_cast<size_t>(r)].size()) {
                running[static_cast<size_t>(set(r))] = 1;
            }
        }
        for (const int32_t r : walks) {
            if (running[static_cast<size_t>(set(r))] == 0) {
                return true;
            }
        }
    }
}

bool ReconstructionState::removeInconsistentFansPass() {
    std::vector<int32_t> list;
    list.reserve(static_cast<size_t>(activeCount));
    for (int32_t p = 0; p < activeCount; ++p) {
        list.push_back(p);
    }
    std::vector<uint8_t> listed(static_cast<size_t>(totalCount), 0);
    // Under keepFoldNeighboursOnThinParts: the points of this round's folded fans.
    std::vector<uint8_t> folded;
    const bool spareThinParts = keepFoldNeighboursOnThinParts && !keepFoldNeighbours;
    if (spareThinParts) {
        folded.assign(static_cast<size_t>(totalCount), 0);
    }
    std::vector<int32_t> bad;
    std::vector<int32_t> neighbours;
    // Open-point withdrawal and hole closing within the pass spare fans the same way.
    keepPiecesJoined = foldRemovalKeepsPiecesJoined;
    // Bad points found by the previous round; -1 before the first round.
    int64_t previousBadCount = -1;
    // Whether the fans round some folds may have been kept: a round ran that spares those
    // on thin parts, or none are withdrawn at all.
    bool keptNeighbours = keepFoldNeighbours;
    for (;;) {
        bad.clear();
        neighbours.clear();
        for (const int32_t p : list) {
            if (pointState[static_cast<size_t>(p)] == 1 &&
                foldedTriangles(*this, vertices[p], false) > 0) {
                bad.push_back(p);
            }
        }
        for (const int32_t p : bad) {
            if (spareThinParts) {
                folded[static_cast<size_t>(p)] = 1;
            }
        }
        for (const int32_t p : bad) {
            // Round a fold on a thin part the fans are kept (see below) and not checked again.
            if (spareThinParts && neighbourhoodSpansThinPart(p, folded)) {
                continue;
            }
            const Vertex& record = vertices[p];
            for (int32_t k = 0; k < record.triangleFanCount; ++k) {
                const int32_t u = record.triangleFan[k];
                if (!listed[static_cast<size_t>(u)]) {
                    listed[static_cast<size_t>(u)] = 1;
                    neighbours.push_back(u);
                }
            }
        }
        for (const int32_t u : neighbours) {
            listed[static_cast<size_t>(u)] = 0;
        }
        for (const int32_t p : bad) {
            if (spareThinParts) {
                folded[static_cast<size_t>(p)] = 0;
            }
        }
        // Holes re-closed by a round can fold again where the surface is open: when a
        // round finds no fewer bad points than the one before, further rounds would only
        // carry the same folds deeper into the mesh, so the pass stops.
        if (bad.empty() ||
            (previousBadCount >= 0 && static_cast<int64_t>(bad.size()) >= previousBadCount)) {
            keepPiecesJoined = false;
            return keptNeighbours;
        }
        previousBadCount = static_cast<int64_t>(bad.size());
        keptNeighbours = keptNeighbours || spareThinParts;
        for (const int32_t p : bad) {
            if (keepPiecesJoined && withdrawalSplitsPiece(p)) {
                continue;
            }
            withdrawFan(p);
        }
        GROWTH_NOTE("fold round: %zu folded fans, %zu fan neighbours\n", bad.size(),
                    neighbours.size());
        GROWTH_STAGE("  folded fans withdrawn");
        // Withdrawing the fan neighbours too clears a wider ring around each fold; on a thin
        // part sampled by few points the holes that leaves are closed as lids across the
        // part, cutting the surface into pieces. Under keepFoldNeighboursOnThinParts the
        // list holds only the neighbours of folds whose neighbourhood spans no thin part.
        if (!keepFoldNeighbours) {
            for (const int32_t u : neighbours) {
                if (keepPiecesJoined && withdrawalSplitsPiece(u)) {
                    continue;
                }
                withdrawFan(u);
            }
        }
        GROWTH_STAGE("  fan neighbours withdrawn");
        if (keepPiecesJoined && bridgePinchedPoints) {
            while (bridgePinchedPointsPass()) {
            }
        }
        while (withdrawOpenPoints()) {
        }
        GROWTH_STAGE("  open-point withdrawal");
        closeHolesRounds();
        GROWTH_STAGE("  hole closing");
        list.swap(neighbours);
    }
}

void ReconstructionState::keepLargestComponentPass() {
    const size_t n = static_cast<size_t>(totalCount);
    std::vector<int32_t> label(n, -1);
    std::vector<int32_t> sizes;
    std::vector<int32_t> stack;
    for (int32_t s = 0; s < activeCount; ++s) {
        if (pointState[static_cast<size_t>(s)] != 1 || label[static_cast<size_t>(s)] >= 0) {
            continue;
        }
        const int32_t current = static_cast<int32_t>(sizes.size());
        int32_t size = 1;
        label[static_cast<size_t>(s)] = current;
        stack.push_back(s);
        while (!stack.empty()) {
            const int32_t p = stack.back();
            stack.pop_back();
            const Vertex& record = vertices[p];
            for (int32_t k = 0; k < record.triangleFanCount; ++k) {
                const int32_t u = record.triangleFan[k];
                if (label[static_cast<size_t>(u)] < 0) {
                    label[static_cast<size_t>(u)] = current;
                    ++size;
                    stack.push_back(u);
                }
            }
        }
        sizes.push_back(size);
    }
#ifdef FANMESH_GROWTH_STATS
    for (const int32_t size : sizes) {
        GROWTH_NOTE("component of %d points before the largest-component pass\n", size);
    }
#endif
    if (sizes.size() < 2) {
        return;
    }
    int32_t largest = 0;
    for (int32_t l = 1; l < static_cast<int32_t>(sizes.size()); ++l) {
        if (sizes[static_cast<size_t>(l)] > sizes[static_cast<size_t>(largest)]) {
            largest = l;
        }
    }
    for (int32_t p = 0; p < activeCount; ++p) {
        if (pointState[static_cast<size_t>(p)] == 1 && label[static_cast<size_t>(p)] != largest) {
            withdrawFan(p);
        }
    }
}
