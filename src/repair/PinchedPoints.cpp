// Pinched points: an unfinished point where two patches of surface meet with their fans in
// several separate chains around it (the boundary runs through the point more than once).
// Withdrawing every fan around such a point, as open-point withdrawal does, cuts the seam
// between the patches and lets the cut spread; instead the point is completed with a fan
// that runs through every chain in turn and bridges the gaps between them, when those gaps
// are free, the chains lie side by side around the point without overlapping, and no edge
// of the mesh gets a third face.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {
// One fan around the point: its owner and the owner's entries after and before the point.
struct OwnerSides {
    int32_t after;
    int32_t owner;
    int32_t before;
};

// A gap between two chains may open by at most this angle, in degrees: a wider gap is a
// hole of the surface, not a seam, and is left to hole closing.
constexpr double MAX_GAP_ANGLE = 170.0;
// Gaps and chain steps narrower than this, in degrees, are taken as overlapping.
constexpr double MIN_STEP_ANGLE = 1e-6;
} // namespace

// The chains of fans around p, each as the entries of p's fan it gives, in fan order
// (after, owner, before, the next owner's after, ...), with the owners of each chain in
// owners. False when an owner does not hold p properly, when a point occurs twice, or when
// the fans close into a ring around p.
static bool chainsAround(const ReconstructionState& state, int32_t p,
                         std::vector<std::vector<int32_t>>& chains,
                         std::vector<std::vector<int32_t>>& owners) {
    std::vector<OwnerSides> sides;
    for (const int32_t c : state.vertices[p].connectedPoints) {
        int32_t before = -1;
        int32_t after = -1;
        state.fanEntriesBeside(c, p, before, after);
        if (state.pointState[static_cast<size_t>(c)] != 1 || before < 0 || after < 0 ||
            before == p || after == p || before == after) {
            return false;
        }
        sides.push_back(OwnerSides{after, c, before});
    }
    std::vector<uint8_t> taken(sides.size(), 0);
    chains.clear();
    owners.clear();
    for (size_t first = 0; first < sides.size(); ++first) {
        if (taken[first]) {
            continue;
        }
        taken[first] = 1;
        std::vector<int32_t> chain = {sides[first].after, sides[first].owner, sides[first].before};
        std::vector<int32_t> chainOwners = {sides[first].owner};
        for (bool grown = true; grown;) {
            grown = false;
            for (size_t k = 0; k < sides.size(); ++k) {
                if (taken[k]) {
                    continue;
                }
                const OwnerSides& s = sides[k];
                const size_t n = chain.size();
                if (s.after == chain[n - 1]) { // continues after the chain's end
                    chain.push_back(s.owner);
                    chain.push_back(s.before);
                } else if (s.owner == chain[n - 1] && s.after == chain[n - 2]) {
                    chain.push_back(s.before);
                } else if (s.before == chain[0]) { // continues before the chain's start
                    chain.insert(chain.begin(), {s.after, s.owner});
                } else if (s.owner == chain[0] && s.before == chain[1]) {
                    chain.insert(chain.begin(), s.after);
                } else {
                    continue;
                }
                taken[k] = 1;
                chainOwners.push_back(s.owner);
                grown = true;
            }
        }
        chains.push_back(std::move(chain));
        owners.push_back(std::move(chainOwners));
    }
    // Every point once in all chains together: a repeated point is a ring or a tangle.
    std::vector<int32_t> all;
    for (const std::vector<int32_t>& chain : chains) {
        all.insert(all.end(), chain.begin(), chain.end());
    }
    std::sort(all.begin(), all.end());
    return std::adjacent_find(all.begin(), all.end()) == all.end() &&
           static_cast<int32_t>(all.size()) <= MAX_FAN_SIZE;
}

bool ReconstructionState::bridgePinchedPoint(int32_t p) {
    if (pointState[static_cast<size_t>(p)] == 1 || vertices[p].connectedPoints.empty()) {
        return false;
    }
    std::vector<std::vector<int32_t>> chains;
    std::vector<std::vector<int32_t>> owners;
    if (!chainsAround(*this, p, chains, owners) || chains.size() < 2) {
        return false;
    }
    const Vector3 centre = vertices[p].position;
    // The side the fans around p face, as the normal of an open point is taken.
    Vector3 facing(0.0, 0.0, 0.0);
    for (const int32_t c : vertices[p].connectedPoints) {
        const int32_t before = prevInFan(c, p);
        const int32_t after = nextInFan(c, p);
        facing.add(triangleNormal(vertices[c].position, vertices[before].position, centre));
        facing.add(triangleNormal(vertices[c].position, centre, vertices[after].position));
    }
    facing.normalize();
    if (facing.length() < 0.5) {
        return false;
    }
    // Angles about p, turning the way the fan runs (a fan triangle (p, u, w) faces along
    // (w - p) x (u - p), so u to w turns about the reversed facing).
    const Vector3 axis(-facing.x, -facing.y, -facing.z);
    auto direction = [&](int32_t q) {
        return difference(projectOntoPlane(facing, centre, vertices[q].position), centre);
    };
    const Vector3 reference = direction(chains[0][0]);
    struct Arc {
        double from; // angle of the chain's first entry from the reference
        double to;   // from plus the angle the chain covers
        size_t chain;
    };
    std::vector<Arc> arcs;
    std::vector<size_t> reversed;
    size_t forwardOwners = 0;
    for (size_t i = 0; i < chains.size(); ++i) {
        const std::vector<int32_t>& chain = chains[i];
        double covered = 0.0;
        int32_t forwardSteps = 0;
        for (size_t k = 0; k + 1 < chain.size(); ++k) {
            const double step =
                orientedAngleDeg(direction(chain[k]), direction(chain[k + 1]), axis);
            if (step > MIN_STEP_ANGLE && step < 180.0 - MIN_STEP_ANGLE) {
                ++forwardSteps;
            } else if (!(step > 180.0 + MIN_STEP_ANGLE && step < 360.0 - MIN_STEP_ANGLE)) {
                return false; // a step along the line of sight: no order around p
            }
            covered += step;
        }
        const int32_t steps = static_cast<int32_t>(chain.size()) - 1;
        if (forwardSteps == 0) {
            reversed.push_back(i);
            continue;
        }
        if (forwardSteps != steps) {
            return false; // the chain folds over as seen from p
        }
        forwardOwners += owners[i].size();
        const double from = i == 0 ? 0.0 : orientedAngleDeg(reference, direction(chain[0]), axis);
        arcs.push_back(Arc{from, from + covered, i});
    }
    if (!reversed.empty()) {
        // Chains facing the other way belong to a patch that meets the others back to
        // front: when they are the smaller part, their fans are withdrawn (as open-point
        // withdrawal would withdraw every fan around p), and the rest may be bridged later.
        size_t reversedOwners = 0;
        for (const size_t i : reversed) {
            reversedOwners += owners[i].size();
        }
        if (reversedOwners >= forwardOwners) {
            return false;
        }
        for (const size_t i : reversed) {
            for (const int32_t c : owners[i]) {
                withdrawFan(c);
            }
        }
        return true;
    }
    std::sort(arcs.begin(), arcs.end(), [](const Arc& x, const Arc& y) {
        return x.from < y.from || (x.from == y.from && x.chain < y.chain);
    });
    // Chains side by side: each ends before the next begins, and every gap is narrow.
    for (size_t i = 0; i < arcs.size(); ++i) {
        const double next = i + 1 < arcs.size() ? arcs[i + 1].from : arcs[0].from + 360.0;
        const double gap = next - arcs[i].to;
        if (gap < MIN_STEP_ANGLE || gap > MAX_GAP_ANGLE) {
            return false;
        }
    }

    int32_t entries[MAX_FAN_SIZE];
    int32_t count = 0;
    for (const Arc& arc : arcs) {
        for (const int32_t q : chains[arc.chain]) {
            entries[count++] = q;
        }
    }
    // The bridging triangles: their corners must still be open, and no point bordering the
    // surface or lying on it may sit under them.
    for (size_t i = 0; i < arcs.size(); ++i) {
        const int32_t last = chains[arcs[i].chain].back();
        const int32_t first = chains[arcs[(i + 1) % arcs.size()].chain].front();
        if (pointState[static_cast<size_t>(last)] == 1 ||
            pointState[static_cast<size_t>(first)] == 1) {
            return false;
        }
        const Vector3 u = vertices[last].position;
        const Vector3 w = vertices[first].position;
        if (triangleNormal(centre, u, w).dot(facing) <= 0.0) {
            return false;
        }
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            const int32_t q = vertices[p].neighbours[k];
            if (q == last || q == first || q == p ||
                (pointState[static_cast<size_t>(q)] == 0 && vertices[q].connectedPoints.empty())) {
                continue;
            }
            if (lineHitsTriangle(centre, u, w, facing, vertices[q].position)) {
                return false;
            }
        }
    }
    if (!fanKeepsEdgesManifold(p, entries, count)) {
        return false;
    }
    Vertex& record = vertices[p];
    noteEdit(WATCH_FAN, p);
    for (int32_t i = 0; i < count; ++i) {
        record.triangleFan[i] = entries[i];
    }
    completeAssembledFan(p, count);
    completionOrder.push_back(p);
    completedCount = static_cast<int32_t>(completionOrder.size());
    return true;
}

bool ReconstructionState::bridgePinchedPointsPass() {
    bool bridged = false;
    for (int32_t p = 0; p < activeCount; ++p) {
        if (pointState[static_cast<size_t>(p)] == 0 && vertices[p].connectedPoints.size() >= 2 &&
            bridgePinchedPoint(p)) {
            bridged = true;
        }
    }
    return bridged;
}

void ReconstructionState::withdrawAroundOpenPoint(int32_t p) {
    std::vector<std::vector<int32_t>> chains;
    std::vector<std::vector<int32_t>> owners;
    if (!bridgePinchedPoints || !chainsAround(*this, p, chains, owners) || chains.size() < 2) {
        withdrawOwners(p);
        return;
    }
    // Keep the chain with the most fans (the first of equal ones): withdrawing only the
    // others leaves p on a single open chain, where withdrawing every fan would cut into
    // the patch that the kept chain belongs to.
    size_t kept = 0;
    for (size_t i = 1; i < owners.size(); ++i) {
        if (owners[i].size() > owners[kept].size()) {
            kept = i;
        }
    }
    for (size_t i = 0; i < owners.size(); ++i) {
        if (i == kept) {
            continue;
        }
        for (const int32_t c : owners[i]) {
            if (keepPiecesJoined && withdrawalSplitsPiece(c)) {
                continue;
            }
            withdrawFan(c);
        }
    }
}
