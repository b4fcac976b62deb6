// Piece joining: on a thin part, separate seeds can grow separate pieces of surface (often
// facing opposite ways) that meet without ever joining; their fronts close off against
// each other with lids, and the largest-component pass keeps one piece. The lids that face
// another piece are opened, then a border point of one piece takes a fan across its open
// gap through the nearest border point of another piece (the smaller piece turned round
// first where the two face opposite ways); that point, then held by two separate chains of
// fans, is completed by pinched-point bridging, and the two borders become one loop for
// hole closing to fill. Where large pieces are still apart, a last round joins borders that
// face each other across a band of points no fan holds. In path mode the joining runs once
// more after fold removal, when the insertions have grown the pieces towards each other.
#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

#include "geometry/Geometry.h"
#include "recon/ReconstructionState.h"

namespace {

// Only pieces of at least this many completed points are opened and joined.
constexpr int32_t MIN_JOINED_PIECE = 32;
// A completed point with a point of another piece among this many nearest neighbours is
// taken as part of a lid facing that piece.
constexpr int32_t LID_NEIGHBOURS = 8;
// The wider openings of lids, tried where the first leaves pieces apart: the first number
// of neighbours searched, and the step to the next, up to the whole neighbourhood.
constexpr int32_t WIDER_LID_FIRST = 10;
constexpr int32_t WIDER_LID_STEP = 2;

// Pieces of the mesh as sets joined by the fans of completed points.
struct Pieces {
    std::vector<int32_t> parent;

    explicit Pieces(size_t count) : parent(count) { std::iota(parent.begin(), parent.end(), 0); }
    int32_t find(int32_t p) {
        while (parent[static_cast<size_t>(p)] != p) {
            int32_t& up = parent[static_cast<size_t>(p)];
            up = parent[static_cast<size_t>(up)];
            p = up;
        }
        return p;
    }
    void join(int32_t a, int32_t b) {
        a = find(a);
        b = find(b);
        // The lower index becomes the root, so the sets do not depend on the join order.
        if (a != b) {
            parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
        }
    }
};

// The completed points of each piece in increasing order, by the piece's root. Collected
// once and again only after an attempt that changed which points are completed, so that
// choosing the piece to turn costs a look-up rather than a walk over every point.
struct PieceMembers {
    std::vector<int32_t> start; // by root: where its points begin in points
    std::vector<int32_t> points;
    bool valid = false;

    void collect(const ReconstructionState& state, Pieces& pieces, size_t n) {
        start.assign(n + 1, 0);
        for (int32_t p = 0; p < state.activeCount; ++p) {
            if (state.pointState[static_cast<size_t>(p)] == 1) {
                ++start[static_cast<size_t>(pieces.find(p)) + 1];
            }
        }
        for (size_t r = 0; r < n; ++r) {
            start[r + 1] += start[r];
        }
        points.assign(static_cast<size_t>(start[n]), 0);
        std::vector<int32_t> next(start.begin(), start.end() - 1);
        for (int32_t p = 0; p < state.activeCount; ++p) {
            if (state.pointState[static_cast<size_t>(p)] == 1) {
                points[static_cast<size_t>(next[static_cast<size_t>(pieces.find(p))]++)] = p;
            }
        }
        valid = true;
    }
    int32_t size(int32_t root) const {
        return start[static_cast<size_t>(root) + 1] - start[static_cast<size_t>(root)];
    }
    void copy(int32_t root, std::vector<int32_t>& out) const {
        out.assign(points.begin() + start[static_cast<size_t>(root)],
                   points.begin() + start[static_cast<size_t>(root) + 1]);
    }
};

// The pieces joined by the fans of the completed points, over n points.
Pieces piecesOf(const ReconstructionState& state, size_t n) {
    Pieces pieces(n);
    for (int32_t p = 0; p < state.activeCount; ++p) {
        if (state.pointState[static_cast<size_t>(p)] != 1) {
            continue;
        }
        for (int32_t i = 0; i < state.vertices[p].triangleFanCount; ++i) {
            pieces.join(p, state.vertices[p].triangleFan[i]);
        }
    }
    return pieces;
}

// The side the fans around the open point p face (unit length, or zero when they cancel).
Vector3 openPointFacing(const ReconstructionState& state, int32_t p) {
    const Vector3 centre = state.vertices[p].position;
    Vector3 facing(0.0, 0.0, 0.0);
    for (const int32_t c : state.vertices[p].connectedPoints) {
        const int32_t before = state.prevInFan(c, p);
        const int32_t after = state.nextInFan(c, p);
        facing.add(
            triangleNormal(state.vertices[c].position, state.vertices[before].position, centre));
        facing.add(
            triangleNormal(state.vertices[c].position, centre, state.vertices[after].position));
    }
    facing.normalize();
    return facing;
}

// The side the completed points in the fans around p face: the sum of their normals (unit
// length, or zero when p has no completed fan neighbour or they cancel). Unlike the open
// fans at p, which on a thin tube tilt along the tube, these lie within p's piece and face
// the way the piece does.
Vector3 completedNeighbourFacing(const ReconstructionState& state, int32_t p) {
    Vector3 facing(0.0, 0.0, 0.0);
    for (const int32_t c : state.vertices[p].connectedPoints) {
        if (state.pointState[static_cast<size_t>(c)] == 1) {
            facing.add(state.vertices[c].normal);
        }
    }
    facing.normalize();
    return facing;
}

// Least agreement (cosine of the angle) between the sides two borders face for a second
// join of pieces already joined in the same pass.
constexpr double REJOIN_MIN_FACING_AGREEMENT = 0.5;
// Longest border walked by sameBorder; a longer walk counts as reaching the other point.
constexpr int32_t BORDER_WALK_LIMIT = 4096;

// Whether the open points x and y lie on one border loop: walks the border from x through
// open points on one open chain each (two open ends). A walk that meets any other kind of
// point, or runs past the limit, counts as reaching y, so that only two borders known to be
// separate are joined.
bool sameBorder(ReconstructionState& state, int32_t x, int32_t y) {
    int32_t previous = x;
    int32_t current = -1;
    for (int32_t step = 0; step < BORDER_WALK_LIMIT; ++step) {
        const int32_t at = current < 0 ? x : current;
        state.buildRimList(at);
        int32_t ends[2] = {-1, -1};
        int32_t openCount = 0;
        for (size_t i = 0; i < state.rimList.size(); ++i) {
            if (state.rimEntryOpen(i)) {
                if (openCount < 2) {
                    ends[openCount] = state.rimList[i].point;
                }
                ++openCount;
            }
        }
        if (openCount != 2 || ends[0] == ends[1]) {
            return true;
        }
        const int32_t next = current < 0 ? ends[0] : (ends[0] == previous ? ends[1] : ends[0]);
        if (next == y) {
            return true;
        }
        if (next == x) {
            return false;
        }
        if (state.pointState[static_cast<size_t>(next)] == 1) {
            return true;
        }
        previous = at;
        current = next;
    }
    return true;
}

} // namespace

void ReconstructionState::turnPiece(const std::vector<int32_t>& points) {
    for (const int32_t p : points) {
        Vertex& record = vertices[p];
        noteEdit(WATCH_FAN, p);
        const int32_t count = record.triangleFanCount;
        std::reverse(record.triangleFan.first(count), record.triangleFan.first(count) + count);
        std::reverse(record.currentTriangleFan.begin(), record.currentTriangleFan.end());
        record.normal = Vector3(-record.normal.x, -record.normal.y, -record.normal.z);
    }
}

int32_t ReconstructionState::joinFacingPiecesPass(bool firstRoundTrial) {
    LidRound round{LID_NEIGHBOURS, false, 0, 0};
    int32_t joins = 0;
    if (firstRoundTrial) {
        TrialEdits trial;
        beginTrial(trial);
        joins = joinPiecesAcrossLids(round);
        if (joins > 0) {
            keepTrial(trial);
        } else {
            takeBackTrial(trial);
        }
    } else {
        joins = joinPiecesAcrossLids(round);
    }
    // Lids and joins only merge pieces: with fewer than two large enough to be joined when
    // the first round began, no wider round can join any.
    if (round.largePieces < 2) {
        return joins;
    }
    // A piece whose growth stopped a few spacings short of another piece's lid (a leg grown
    // from its own seed below the body's lid over the leg's mouth) has no point of that lid
    // among the nearest neighbours of its own points, or has one only where the two
    // borders meet at an angle that refuses the join. The lids are opened wider, step by
    // step up to the whole neighbourhood, each width as a trial that is taken back exactly
    // unless it joins two pieces; a width that finds no lid point more than the last one
    // tried would repeat it and is passed over.
    LidRound wide{WIDER_LID_FIRST, true, 0, 0};
    for (; openWiderLids && wide.neighbours <= NEIGHBOUR_COUNT; wide.neighbours += WIDER_LID_STEP) {
        TrialEdits trial;
        beginTrial(trial);
        const int32_t wider = joinPiecesAcrossLids(wide);
        if (wider > 0) {
            keepTrial(trial);
            return joins + wider;
        }
        takeBackTrial(trial);
    }
    if (!joinAcrossBands) {
        return joins;
    }
    // Two pieces of a tube grown from separate seeds can stop a ring or two of points short
    // of each other, with no border point of one among the nearest neighbours of the
    // other's. The last round, again a trial, also joins a border point to a border point
    // of another large piece beyond a band of points that no fan holds.
    LidRound band{NEIGHBOUR_COUNT, true, 0, 0};
    band.acrossBand = true;
    TrialEdits trial;
    beginTrial(trial);
    const int32_t across = joinPiecesAcrossLids(band);
    if (across > 0) {
        keepTrial(trial);
        return joins + across;
    }
    takeBackTrial(trial);
    return joins;
}

int32_t ReconstructionState::joinPiecesAcrossLids(LidRound& round) {
    const size_t n = static_cast<size_t>(std::max(totalCount, activeCount));
    Pieces pieces = piecesOf(*this, n);
    // Lids: completed points of a piece that have a point of another piece among their
    // nearest neighbours are opened (their fans withdrawn), so that the two pieces face
    // each other with open borders.
    {
        std::vector<int32_t> size(n, 0);
        round.largePieces = 0;
        for (int32_t p = 0; p < activeCount; ++p) {
            if (pointState[static_cast<size_t>(p)] == 1 &&
                ++size[static_cast<size_t>(pieces.find(p))] == MIN_JOINED_PIECE) {
                ++round.largePieces;
            }
        }
        if (round.acrossBand && round.largePieces < 2) {
            return 0;
        }
        std::vector<int32_t> lid;
        for (int32_t p = 0; p < activeCount; ++p) {
            if (pointState[static_cast<size_t>(p)] != 1) {
                continue;
            }
            const int32_t rp = pieces.find(p);
            if (size[static_cast<size_t>(rp)] < MIN_JOINED_PIECE) {
                continue;
            }
            for (int32_t k = 0; k < round.neighbours; ++k) {
                const int32_t q = vertices[p].neighbours[k];
                if (q < 0 || q >= activeCount ||
                    (pointState[static_cast<size_t>(q)] != 1 &&
                     (!round.wider || vertices[q].connectedPoints.empty()))) {
                    continue;
                }
                const int32_t rq = pieces.find(q);
                if (rq != rp && size[static_cast<size_t>(rq)] >= MIN_JOINED_PIECE) {
                    lid.push_back(p);
                    break;
                }
            }
        }
        if (round.wider && !round.acrossBand) {
            if (lid.size() <= round.lidPoints) {
                return 0;
            }
            round.lidPoints = lid.size();
        }
        for (const int32_t p : lid) {
            if (pointState[static_cast<size_t>(p)] == 1) {
                withdrawFan(p);
            }
        }
        if (!lid.empty()) {
            while (withdrawOpenPoints()) {
            }
            pieces = piecesOf(*this, n);
        }
    }
    // The pieces as they were before any join of this pass: two pieces that meet at two
    // separate places (the two ends of a tube grown from both sides) are joined at both,
    // although after the first join they count as one piece.
    Pieces before = pieces;
    // The completed points of each of those pieces, by root (the band round only).
    std::vector<int32_t> beforeSize;
    if (round.acrossBand) {
        beforeSize.assign(n, 0);
        for (int32_t p = 0; p < activeCount; ++p) {
            if (pointState[static_cast<size_t>(p)] == 1) {
                ++beforeSize[static_cast<size_t>(before.find(p))];
            }
        }
    }
    const auto large = [&](int32_t p) {
        return beforeSize[static_cast<size_t>(before.find(p))] >= MIN_JOINED_PIECE;
    };
    // The pairs of those pieces (by root) joined so far in this pass, once per join.
    std::vector<std::pair<int32_t, int32_t>> joinedPairs;
    PieceMembers members;
    int32_t joins = 0;
    for (int32_t x = 0; x < activeCount; ++x) {
        if (pointState[static_cast<size_t>(x)] == 1 || vertices[x].connectedPoints.empty()) {
            continue;
        }
        // x must lie on one open chain of fans: two open ends, one on each side.
        buildRimList(x);
        if (rimList.empty()) {
            continue;
        }
        int32_t ends[2] = {-1, -1};
        uint8_t kinds[2] = {0, 0};
        int32_t openCount = 0;
        for (size_t i = 0; i < rimList.size(); ++i) {
            if (rimEntryOpen(i)) {
                if (openCount < 2) {
                    ends[openCount] = rimList[i].point;
                    kinds[openCount] = rimList[i].kind;
                }
                ++openCount;
            }
        }
        if (openCount != 2 || kinds[0] == kinds[1]) {
            continue;
        }
        const Vector3 centre = vertices[x].position;
        // The nearest border point of another piece among x's neighbours that x may be
        // joined to: one on one open chain, and, of a piece already joined to x's piece in
        // this pass, one that passes the second-join conditions below. A nearer candidate
        // that fails them does not hide a third piece meeting the two at the same place.
        nearBorderPoints.clear();
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            const int32_t q = vertices[x].neighbours[k];
            if (q < 0 || q >= activeCount || q == ends[0] || q == ends[1] ||
                pointState[static_cast<size_t>(q)] == 1 || vertices[q].connectedPoints.empty() ||
                before.find(q) == before.find(x)) {
                continue;
            }
            nearBorderPoints.emplace_back(distanceBetweenPoints(centre, vertices[q].position), q);
        }
        // The band round: also the border points of another large piece among the
        // neighbours of x's neighbours that no fan holds (the band between the borders).
        if (round.acrossBand && large(x)) {
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                const int32_t b = vertices[x].neighbours[k];
                if (b < 0 || b >= activeCount || pointState[static_cast<size_t>(b)] == 1 ||
                    !vertices[b].connectedPoints.empty()) {
                    continue;
                }
                for (int32_t j = 0; j < NEIGHBOUR_COUNT; ++j) {
                    const int32_t q = vertices[b].neighbours[j];
                    if (q < 0 || q >= activeCount || q == x || q == ends[0] || q == ends[1] ||
                        pointState[static_cast<size_t>(q)] == 1 ||
                        vertices[q].connectedPoints.empty() || before.find(q) == before.find(x) ||
                        !large(q)) {
                        continue;
                    }
                    const std::pair<double, int32_t> near(
                        distanceBetweenPoints(centre, vertices[q].position), q);
                    if (std::find(nearBorderPoints.begin(), nearBorderPoints.end(), near) ==
                        nearBorderPoints.end()) {
                        nearBorderPoints.push_back(near);
                    }
                }
            }
        }
        std::sort(nearBorderPoints.begin(), nearBorderPoints.end());
        int32_t y = -1;
        std::pair<int32_t, int32_t> pair;
        for (const auto& [distance, q] : nearBorderPoints) {
            if (openEndCount(q) != 2) {
                continue;
            }
            // Pieces already joined in this pass are joined a second time only where the
            // two were joined to each other directly and once (not through a third
            // piece), across two separate borders that face nearly the same way: neither
            // can be turned round any more, and the two ends of one tube grown from both
            // sides meet in line, while borders that meet at an angle are left to hole
            // closing.
            pair = std::minmax(before.find(x), before.find(q));
            if (pieces.find(x) == pieces.find(q) &&
                (std::count(joinedPairs.begin(), joinedPairs.end(), pair) != 1 ||
                 openPointFacing(*this, x).dot(openPointFacing(*this, q)) <
                     REJOIN_MIN_FACING_AGREEMENT ||
                 sameBorder(*this, x, q))) {
                continue;
            }
            y = q;
            break;
        }
        if (y < 0) {
            continue;
        }
        // The side each border faces: in the band round, where the borders lie further
        // apart, that of the completed points next to it.
        const auto facingOf = [&](int32_t p) {
            return round.acrossBand ? completedNeighbourFacing(*this, p)
                                    : openPointFacing(*this, p);
        };
        // Separate seeds may have grown the two pieces facing opposite ways: the smaller
        // piece is turned round (every fan in it reversed) before the join.
        turnedPiece.clear();
        if (facingOf(x).dot(facingOf(y)) < 0.0) {
            const int32_t rx = pieces.find(x);
            const int32_t ry = pieces.find(y);
            if (!members.valid) {
                members.collect(*this, pieces, n);
            }
            members.copy(members.size(ry) <= members.size(rx) ? ry : rx, turnedPiece);
            turnPiece(turnedPiece);
        }
        // A join refused from here on turns the piece back.
        const auto refuse = [this]() { turnPiece(turnedPiece); };
        int32_t entries[MAX_FAN_SIZE];
        int32_t count = 0;
        if (!assembleFanAcross(x, ends[0], ends[1], y, entries, count)) {
            refuse();
            continue;
        }
        // The two new triangles must face the way the fans around x and around y face, and
        // no point bordering the surface or lying on it may sit under them.
        const Vector3 facingX = facingOf(x);
        const Vector3 facingY = facingOf(y);
        if (facingX.length() < 0.5 || facingY.length() < 0.5) {
            refuse();
            continue;
        }
        bool sound = true;
        for (int32_t i = 0; i < count && sound; ++i) {
            const int32_t u = entries[i];
            const int32_t w = entries[(i + 1) % count];
            if (u != y && w != y) {
                continue;
            }
            const Vector3 normal =
                triangleNormal(centre, vertices[u].position, vertices[w].position);
            if (normal.dot(facingX) <= 0.0 || normal.dot(facingY) <= 0.0) {
                sound = false;
                break;
            }
            for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
                const int32_t q = vertices[x].neighbours[k];
                if (q < 0 || q == u || q == w || q == x ||
                    (pointState[static_cast<size_t>(q)] == 0 &&
                     vertices[q].connectedPoints.empty())) {
                    continue;
                }
                if (lineHitsTriangle(centre, vertices[u].position, vertices[w].position, facingX,
                                     vertices[q].position)) {
                    sound = false;
                    break;
                }
            }
        }
        if (!sound || !fanKeepsEdgesManifold(x, entries, count)) {
            refuse();
            continue;
        }
        // Publish x's fan (without the edge flips of an ordinary completion, so that an
        // undone join leaves the fans around x as they were), then bridge y.
        Vertex& record = vertices[x];
        noteEdit(WATCH_FAN, x);
        for (int32_t i = 0; i < count; ++i) {
            record.triangleFan[i] = entries[i];
        }
        record.triangleFanCount = count;
        record.currentTriangleFan.assign(entries, entries + count);
        for (int32_t i = 0; i < count; ++i) {
            addConnection(entries[i], x);
        }
        setPointState(x, 1);
        members.valid = false;
        if (!bridgePinchedPoint(y) || pointState[static_cast<size_t>(y)] != 1) {
            if (pointState[static_cast<size_t>(x)] == 1) {
                withdrawFan(x);
            }
            refuse();
            continue;
        }
        updateClosedFanNormal(x);
        completionOrder.push_back(x);
        completedCount = static_cast<int32_t>(completionOrder.size());
        pieces.join(x, y);
        for (int32_t i = 0; i < count; ++i) {
            pieces.join(x, entries[i]);
        }
        joinedPairs.push_back(pair);
        ++joins;
    }
    return joins;
}

int32_t ReconstructionState::joinPiecesAfterFoldRemoval() {
    // Fold removal re-closes its holes and the insertions grow each piece, so two pieces
    // that were too far apart for the first join (a leg cut below the body's lid over its
    // mouth) can now face each other across lids. As in the first join, the open-point
    // withdrawal and hole closing that follow spare fans whose withdrawal would cut a
    // piece apart.
    keepPiecesJoined = true;
    const int32_t joins = joinFacingPiecesPass(true);
    if (joins > 0) {
        while (withdrawOpenPoints()) {
        }
        closeHolesRounds();
        if (reinsertAfterFoldRemoval) {
            reinsertWithoutFolds();
        }
    }
    keepPiecesJoined = false;
    return joins;
}
