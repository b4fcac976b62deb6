// Hole closing, covering-triangle insertion (with its memo) and the largest-piece pass on
// hand-made meshes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "support/HexLattice.h"

using meshtest::fanAgreesWithCompletedMembers;
using meshtest::fanLinksConsistent;
using meshtest::HexLattice;
using meshtest::PointAbovePatch;
using meshtest::TestCloud;

namespace {

TEST(CleanupHoles, HexagonalHoleInPlanarPatchIsClosed) {
    const HexLattice lattice(3);
    TestCloud cloud(lattice.positions);
    lattice.completeRings(cloud, 7, 19); // ring 2 only: the centre hexagon is a hole
    ReconstructionState& state = cloud.state;
    state.activeCount = 19; // the outer rim stays out of the passes
    EXPECT_NEAR(state.earAngle(2, 1, 6), 120.0, 1e-9);
    EXPECT_TRUE(state.closeHoles());
    for (int32_t p = 1; p < 7; ++p) {
        EXPECT_EQ(state.pointState[p], 1) << p;
    }
    EXPECT_EQ(state.completedCount, 6);
    EXPECT_TRUE(fanLinksConsistent(state));
    for (int32_t p = 1; p < 19; ++p) {
        EXPECT_TRUE(fanAgreesWithCompletedMembers(cloud, p)) << p;
    }
    // The filled hexagon holds four triangles over the hole, all facing up.
    for (int32_t p = 1; p < 7; ++p) {
        EXPECT_GT(cloud.records[p].normal.z, 0.99) << p;
    }
}

// Island point 0 with the fan [1, 2, 3, 4]; with a chord, points 5 and 6 add the fans
// [7, 1, 3] and [3, 1, 7], whose shared edge 1-3 joins two loop points that are not loop
// neighbours.
const std::vector<Vector3> islandPositions(
    {{0, 0, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {0, 0, 3}, {0, 0, -2}});

void buildIsland(TestCloud& cloud, bool withChord) {
    cloud.setFan(0, {1, 2, 3, 4});
    if (withChord) {
        cloud.setFan(5, {7, 1, 3});
        cloud.setFan(6, {3, 1, 7});
    }
}

TEST(CleanupHoles, LoopWithChordIsNotFilled) {
    TestCloud plain(islandPositions);
    buildIsland(plain, false);
    EXPECT_TRUE(plain.state.closeHoles());
    for (int32_t p = 1; p < 5; ++p) {
        EXPECT_EQ(plain.state.pointState[p], 1) << p;
    }
    EXPECT_TRUE(fanLinksConsistent(plain.state));

    TestCloud cloud(islandPositions);
    buildIsland(cloud, true);
    EXPECT_FALSE(cloud.state.closeHoles());
    for (int32_t p = 0; p < 8; ++p) {
        EXPECT_EQ(cloud.state.pointState[p], 0) << p;
        EXPECT_EQ(cloud.records[p].triangleFanCount, 0) << p;
    }
    EXPECT_TRUE(fanLinksConsistent(cloud.state));
}

// Edges of the mesh the completed fans make (each distinct triangle once) that have more
// than two faces.
int32_t edgesWithThirdFace(const ReconstructionState& state) {
    std::set<std::array<int32_t, 3>> faces;
    for (int32_t p = 0; p < state.totalCount; ++p) {
        const Vertex& record = state.vertices[p];
        for (int32_t k = 0; state.pointState[p] != 0 && k < record.triangleFanCount; ++k) {
            std::array<int32_t, 3> face = {p, record.triangleFan[k],
                                           record.triangleFan[(k + 1) % record.triangleFanCount]};
            std::sort(face.begin(), face.end());
            faces.insert(face);
        }
    }
    std::map<std::pair<int32_t, int32_t>, int32_t> edgeFaces;
    for (const auto& face : faces) {
        ++edgeFaces[{face[0], face[1]}];
        ++edgeFaces[{face[0], face[2]}];
        ++edgeFaces[{face[1], face[2]}];
    }
    return static_cast<int32_t>(std::count_if(edgeFaces.begin(), edgeFaces.end(),
                                              [](const auto& edge) { return edge.second > 2; }));
}

// The island's loop 1-2-3-4 with the chord 1-3, which the fans of 5 and 6 give a face on
// each side. An edge inside the surface is filled past only where withdrawing the fans at
// its ends would cut the surface apart; here nothing stays joined through them, so even
// with fillPastInnerChords the chord's fans are withdrawn as before.
TEST(CleanupHoles, InnerEdgeWhoseFansHoldNothingTogetherIsAChord) {
    TestCloud cloud(islandPositions);
    buildIsland(cloud, true);
    ReconstructionState& state = cloud.state;
    state.fillPastInnerChords = true;
    state.refuseThirdFaces = true;
    state.cleaningUp = true;
    int32_t corners[2];
    ASSERT_EQ(state.edgeFaceCorners(1, 3, corners, 2), 2);
    EXPECT_FALSE(state.closeHoles());
    for (int32_t p = 0; p < 8; ++p) {
        EXPECT_EQ(state.pointState[p], 0) << p;
    }
    EXPECT_TRUE(fanLinksConsistent(state));
}

// A planar patch with the triangle (0, 1, 2) missing, so that 0 is open between its open
// ends 1 and 2, and a fin: point 37 above the edge 1-2 with the fan [1, 2, 38], which puts
// a second face on that edge. Closing the ear at 0 across 1-2 gives the edge a third face.
TEST(CleanupThirdFaces, EarWhoseFanWouldGiveAnEdgeAThirdFaceIsLeftOpen) {
    const HexLattice lattice(3);
    std::vector<Vector3> positions = lattice.positions;
    const Vector3 a = lattice.positions[1];
    const Vector3 b = lattice.positions[2];
    positions.push_back(Vector3((a.x + b.x) / 2, (a.y + b.y) / 2, 1.0)); // 37
    positions.push_back(Vector3((a.x + b.x) / 2, (a.y + b.y) / 2, 2.0)); // 38
    for (const bool refuse : {false, true}) {
        TestCloud cloud(positions);
        lattice.completeRings(cloud, {3, 4, 5, 6});
        lattice.completeRings(cloud, 7, 19);
        ReconstructionState& state = cloud.state;
        state.activeCount = 19; // the outer rim stays out of the passes
        // Without the fin the ear closes the patch.
        EXPECT_TRUE(
            state.fanKeepsEdgesManifold(0, std::vector<int32_t>({2, 3, 4, 5, 6, 1}).data(), 6));
        cloud.setFan(37, {1, 2, 38});
        ASSERT_EQ(edgesWithThirdFace(state), 0);
        EXPECT_FALSE(
            state.fanKeepsEdgesManifold(0, std::vector<int32_t>({2, 3, 4, 5, 6, 1}).data(), 6));
        const bool filled = state.fillFlowMergeFan(0, 1, 2, refuse);
        EXPECT_EQ(filled, !refuse);
        EXPECT_EQ(state.pointState[0], refuse ? 0 : 1);
        EXPECT_EQ(edgesWithThirdFace(state) > 0, !refuse) << refuse;
        EXPECT_TRUE(fanLinksConsistent(state));
    }
}

TEST(CleanupInsertion, OpenNeighbourRule) {
    const HexLattice lattice(3);
    std::vector<Vector3> positions = lattice.positions;
    positions.push_back(Vector3(0.5, 0.3, 0.05)); // 37, over the triangle (0, 1, 2)
    // Neighbours of 37: 13 completed points and 3 or 4 rim points.
    auto setNeighbours = [](TestCloud& cloud, int32_t openCount) {
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            cloud.records[37].neighbours[k] = k < NEIGHBOUR_COUNT - openCount ? k : 19 + k;
        }
    };
    for (const int32_t openCount : {3, 4}) {
        for (const bool saved : {false, true}) {
            TestCloud cloud(positions);
            lattice.completeRings(cloud, 0, 19);
            setNeighbours(cloud, openCount);
            cloud.records[37].inSavedFan = saved;
            cloud.state.insertEnclosedPoints();
            const bool inserted = openCount <= 3 || saved;
            EXPECT_EQ(cloud.state.pointState[37], inserted ? 1 : 0) << openCount << saved;
            EXPECT_TRUE(fanLinksConsistent(cloud.state));
            if (!inserted) {
                continue;
            }
            // Split from the triangle (0, 1, 2); the flips afterwards may widen its fan.
            const std::vector<int32_t> fan = cloud.fan(37);
            EXPECT_GE(fan.size(), 3u);
            EXPECT_NE(std::find(fan.begin(), fan.end(), 0), fan.end());
            EXPECT_EQ(cloud.state.completionOrder.back(), 37);
            for (int32_t p = 0; p < 19; ++p) {
                EXPECT_TRUE(fanAgreesWithCompletedMembers(cloud, p)) << p;
            }
        }
    }
}

TEST(CleanupInsertion, RememberedCoveringSearchFollowsEveryChangeAroundThePoint) {
    // Point 37 over the triangle (0, 1, 2) of a completed patch. The fans, normals and states
    // around it change step by step; after each change the remembered search is asked a few
    // times (so that a memo is kept and then replayed) and must answer as the search itself.
    PointAbovePatch patch;
    TestCloud& cloud = patch.cloud;
    ReconstructionState& state = cloud.state;
    const std::vector<std::function<void()>> changes{
        [] {},
        [&] { cloud.records[0].normal.negate(); },
        [&] { cloud.records[1].normal.negate(); },
        [&] { cloud.records[0].normal.negate(); },
        [&] { cloud.records[0].triangleFan.first(1)[0] = 9; },
        [&] { state.setPointState(0, 0); },
        [&] { cloud.records[0].triangleFanCount = 0; },
        [&] { state.setPointState(2, 0); },
        [&] { cloud.records[1].normal.negate(); },
    };
    std::set<std::vector<double>> answers;
    for (size_t step = 0; step < changes.size(); ++step) {
        changes[step]();
        for (int ask = 0; ask < 3; ++ask) {
            int32_t o = -1, t = -1, v = -1, eo = -1, et = -1, ev = -1;
            double distance = 0.0, expectedDistance = 0.0;
            const bool found = state.findCoveringTriangleRemembered(37, o, t, v, distance);
            const bool expected = state.findCoveringTriangle(37, eo, et, ev, expectedDistance);
            ASSERT_EQ(found, expected) << "step " << step;
            if (expected) {
                ASSERT_EQ(std::vector<int32_t>({o, t, v}), std::vector<int32_t>({eo, et, ev}))
                    << "step " << step;
                ASSERT_EQ(distance, expectedDistance) << "step " << step;
            }
            answers.insert(expected ? std::vector<double>{double(eo), double(et), double(ev)}
                                    : std::vector<double>{});
        }
    }
    // The changes do change the answer, so a memo that missed one of them would be caught.
    EXPECT_GE(answers.size(), 3u);
}

TEST(CleanupInsertion, RememberedRefusalOfTheLayerPassFollowsWhatItRead) {
    // Point 37 over the patch, its neighbour list first on the open rim beyond the patch:
    // the pass after a layer finds no triangle over it and remembers the refusal. Edits are
    // announced as growth announces them; the refusal must stand exactly while nothing it
    // read changed, and the point is inserted once its neighbours are the patch again.
    PointAbovePatch patch;
    TestCloud& cloud = patch.cloud;
    ReconstructionState& state = cloud.state;
    const auto setRow = [&](int32_t first) {
        state.noteEdit(WATCH_ROW, 37);
        for (int32_t k = 0; k < NEIGHBOUR_COUNT; ++k) {
            cloud.records[37].neighbours[k] = first + k;
        }
    };
    setRow(19);
    state.startEditWatch(state.pointState.size());
    // Refusals are remembered from a point's second growth with one on.
    state.insertUncoveredPoints();
    EXPECT_FALSE(state.passRefusalStands(ReconstructionState::UNCOVERED_REFUSAL, 37));
    state.growthIndex = 1;
    // Per step: the edit, whether the refusal stands after it, whether the pass inserts 37.
    struct Step {
        std::function<void()> edit;
        bool stands;
        bool inserted;
    };
    const std::vector<Step> steps{
        {[] {}, false, false},
        {[] {}, true, false},
        {[&] { state.setPointState(36, 1); }, true, false}, // not a neighbour of 37
        {[&] { state.updatePointNormal(4); }, true, false}, // owns no neighbour of 37
        {[&] {                                              // an owner of a neighbour
             state.noteEdit(WATCH_NORMAL, 7);
             cloud.records[7].normal.negate();
         },
         false, false},
        {[&] { state.setPointState(20, 1); }, false, false}, // a neighbour
        {[&] { state.setPointState(20, 0); }, false, false},
        {[&] { setRow(0); }, false, true},
    };
    for (size_t step = 0; step < steps.size(); ++step) {
        steps[step].edit();
        EXPECT_EQ(state.passRefusalStands(ReconstructionState::UNCOVERED_REFUSAL, 37),
                  steps[step].stands)
            << "step " << step;
        state.insertUncoveredPoints();
        ASSERT_EQ(state.pointState[37], steps[step].inserted ? 1 : 0) << "step " << step;
    }
    EXPECT_TRUE(fanLinksConsistent(state));
}

TEST(CleanupInsertion, RemovedPointIsInsertedAndActivated) {
    const HexLattice lattice(2);
    std::vector<Vector3> positions = lattice.positions;
    positions.push_back(Vector3(0.5, -0.3, -0.2)); // 19, under the triangle (0, 6, 1)
    positions.push_back(Vector3(9.0, 9.0, 0.0));   // 20, over nothing
    TestCloud cloud(positions);
    lattice.completeRings(cloud, 0, 7);
    cloud.state.activeCount = 19;
    cloud.state.insertRemovedPoints();
    EXPECT_EQ(cloud.state.activeCount, 21);
    EXPECT_EQ(cloud.state.pointState[19], 1);
    EXPECT_EQ(cloud.state.pointState[20], 0);
    EXPECT_EQ(cloud.fan(0).size(), 7u);
    EXPECT_TRUE(fanLinksConsistent(cloud.state));
}

// Reinsertion after fold removal: point 37 just above the triangle (0, 1, 2) goes in; placed
// far off the patch, where only the tilted normal of point 0 leads to that triangle, its
// insertion would give the triangle over the edge 1-2 to the wrong side, and every record
// is left exactly as it was.
TEST(CleanupInsertion, ReinsertionIsTakenBackWhereItFolds) {
    meshtest::PointAbovePatch above;
    ReconstructionState& state = above.cloud.state;
    EXPECT_EQ(state.reinsertWithoutFolds(), 1);
    EXPECT_EQ(state.pointState[37], 1);
    EXPECT_TRUE(fanLinksConsistent(state));

    meshtest::PointAbovePatch off;
    off.cloud.records[37].position = Vector3(3.0, 0.3, 1.2);
    off.cloud.records[0].normal = Vector3(0.894427, 0.0, 0.447214);
    ReconstructionState& folding = off.cloud.state;
    int32_t o = -1;
    int32_t t = -1;
    int32_t v = -1;
    double d = 0.0;
    ASSERT_TRUE(folding.findCoveringTriangle(37, o, t, v, d));
    EXPECT_EQ(o, 0);
    const std::vector<Vertex> before = off.cloud.records;
    const size_t completions = folding.completionOrder.size();
    folding.syncLinkCounts(); // as growth keeps them
    EXPECT_EQ(folding.reinsertWithoutFolds(), 0);
    EXPECT_EQ(folding.pointState[37], 0);
    EXPECT_EQ(folding.completionOrder.size(), completions);
    for (size_t p = 0; p < before.size(); ++p) {
        EXPECT_EQ(off.cloud.fan(static_cast<int32_t>(p)),
                  std::vector<int32_t>(before[p].triangleFan.first(before[p].triangleFanCount),
                                       before[p].triangleFan.first(before[p].triangleFanCount) +
                                           before[p].triangleFanCount))
            << p;
        EXPECT_EQ(off.cloud.records[p].connectedPoints, before[p].connectedPoints) << p;
        EXPECT_EQ(folding.connectionCount(static_cast<int32_t>(p)),
                  static_cast<int32_t>(before[p].connectedPoints.size()))
            << p;
        EXPECT_EQ(off.cloud.records[p].normal.x, before[p].normal.x) << p;
        EXPECT_EQ(off.cloud.records[p].normal.z, before[p].normal.z) << p;
    }
}

// A fold that was there before does not keep a point out: the lattice point at (2, 0)
// pulled over the edge from point 1 to its clockwise neighbour turns one triangle of the fan
// of 1 over. Point 37, inserted into the triangle (0, 1, 2), edits that fan but adds no
// folded triangle to it, so it goes in, and the fold stays as it was.
TEST(CleanupInsertion, ReinsertionBesideAnEarlierFoldGoesIn) {
    meshtest::PointAbovePatch above;
    const int32_t pulled = above.lattice.index(2, 0);
    above.cloud.records[static_cast<size_t>(pulled)].position = Vector3(1.2, -0.9, 0.0);
    ReconstructionState& state = above.cloud.state;
    const auto foldedAtOne = [&state]() {
        const Vertex& one = state.vertices[1];
        int32_t folded = 0;
        for (int32_t k = 0; k < one.triangleFanCount; ++k) {
            const Vector3 n = triangleNormal(
                one.position, state.vertices[one.triangleFan[k]].position,
                state.vertices[one.triangleFan[(k + 1) % one.triangleFanCount]].position);
            folded += n.z < 0.0 ? 1 : 0;
        }
        return folded;
    };
    ASSERT_EQ(foldedAtOne(), 1);
    EXPECT_EQ(state.reinsertWithoutFolds(), 1);
    EXPECT_EQ(state.pointState[37], 1);
    EXPECT_GE(state.indexInFan(1, 37), 0);
    EXPECT_EQ(foldedAtOne(), 1);
    EXPECT_TRUE(fanLinksConsistent(state));
}

// Point 19 lies under the triangle (0, 6, 1) of a completed patch whose point 6 holds its
// ring in the other order, so its fan cannot be split where the fan of 0 is: the split
// would leave its whole triangle beside the new ones.
TEST(CleanupThirdFaces, PointIsNotInsertedIntoATriangleACornerCannotSplit) {
    const HexLattice lattice(2);
    std::vector<Vector3> positions = lattice.positions;
    positions.push_back(Vector3(0.5, -0.3, -0.2)); // 19
    for (const bool refuse : {false, true}) {
        TestCloud cloud(positions);
        lattice.completeRings(cloud, 0, 6);
        std::vector<int32_t> reversed = lattice.clockwiseRing(6);
        std::reverse(reversed.begin(), reversed.end());
        cloud.setFan(6, reversed);
        ASSERT_EQ(edgesWithThirdFace(cloud.state), 0);
        cloud.state.activeCount = 19;
        cloud.state.refuseThirdFaces = refuse;
        cloud.state.insertRemovedPoints();
        EXPECT_EQ(cloud.state.pointState[19], refuse ? 0 : 1);
        EXPECT_EQ(edgesWithThirdFace(cloud.state) > 0, !refuse) << refuse;
    }
}

// Two patches side by side, each completed except for its rim ring.
std::vector<Vector3> sideBySide(const HexLattice& first, const HexLattice& second) {
    std::vector<Vector3> positions = first.positions;
    for (Vector3 p : second.positions) {
        positions.push_back(Vector3(p.x + 50.0, p.y, p.z));
    }
    return positions;
}

TEST(CleanupLargestPiece, SmallerPieceIsWithdrawn) {
    const HexLattice small(3); // 37 points, 19 completed
    const HexLattice large(5); // 91 points, 61 completed
    TestCloud cloud(sideBySide(small, large));
    small.completeRings(cloud, 0, 19);
    large.completeRings(cloud, 0, 61, 37);
    cloud.state.keepLargestComponentPass();
    for (int32_t p = 0; p < 37; ++p) {
        EXPECT_EQ(cloud.state.pointState[p], 0) << p;
    }
    for (int32_t p = 37; p < 37 + 61; ++p) {
        EXPECT_EQ(cloud.state.pointState[p], 1) << p;
    }
    EXPECT_TRUE(fanLinksConsistent(cloud.state));

    TestCloud equal(sideBySide(small, small));
    small.completeRings(equal, 0, 19);
    small.completeRings(equal, 0, 19, 37);
    equal.state.keepLargestComponentPass();
    for (int32_t p = 0; p < 19; ++p) {
        EXPECT_EQ(equal.state.pointState[p], 1) << p;
        EXPECT_EQ(equal.state.pointState[37 + p], 0) << p;
    }
}

// A tube of rows of points around its axis, every point completed except the two end rows,
// each fan turned so that its triangles face outward. Point (row, column) is
// row * columns + column; a quad between two rows is split along its rising diagonal.
struct Tube {
    int32_t rows, columns;
    int32_t at(int32_t row, int32_t column) const {
        return row * columns + (column % columns + columns) % columns;
    }
    std::vector<Vector3> positions() const {
        std::vector<Vector3> result;
        const double radius = 0.5 / std::sin(3.141592653589793 / columns); // unit edges
        for (int32_t r = 0; r < rows; ++r) {
            for (int32_t c = 0; c < columns; ++c) {
                const double angle = 2.0 * 3.141592653589793 * c / columns;
                result.push_back(Vector3(radius * std::cos(angle), radius * std::sin(angle), r));
            }
        }
        return result;
    }
    void complete(TestCloud& cloud) const {
        for (int32_t r = 1; r + 1 < rows; ++r) {
            for (int32_t c = 0; c < columns; ++c) {
                cloud.setFan(at(r, c), {at(r - 1, c), at(r - 1, c - 1), at(r, c - 1), at(r + 1, c),
                                        at(r + 1, c + 1), at(r, c + 1)});
                const double angle = 2.0 * 3.141592653589793 * c / columns;
                cloud.records[at(r, c)].normal = Vector3(std::cos(angle), std::sin(angle), 0.0);
            }
        }
    }
};

// The sizes of the pieces of completed points joined by fans, largest first.
std::vector<int32_t> pieceSizes(const ReconstructionState& state) {
    std::vector<int32_t> label(static_cast<size_t>(state.totalCount), -1);
    std::vector<int32_t> sizes;
    for (int32_t s = 0; s < state.activeCount; ++s) {
        if (state.pointState[s] != 1 || label[s] >= 0) {
            continue;
        }
        std::vector<int32_t> stack{s};
        label[s] = 1;
        int32_t size = 0;
        while (!stack.empty()) {
            const int32_t p = stack.back();
            stack.pop_back();
            ++size;
            for (int32_t k = 0; k < state.vertices[p].triangleFanCount; ++k) {
                const int32_t q = state.vertices[p].triangleFan[k];
                if (state.pointState[q] == 1 && label[q] < 0) {
                    label[q] = 1;
                    stack.push_back(q);
                }
            }
        }
        sizes.push_back(size);
    }
    std::sort(sizes.rbegin(), sizes.rend());
    return sizes;
}

TEST(CleanupFoldRemoval, WithdrawalThatCutsATubeIsRecognised) {
    const Tube tube{16, 8};
    TestCloud cloud(tube.positions());
    tube.complete(cloud);
    ReconstructionState& state = cloud.state;
    for (int32_t c = 0; c < 8; ++c) {
        EXPECT_FALSE(state.withdrawalSplitsPiece(tube.at(8, c))) << c;
    }
    EXPECT_FALSE(state.withdrawalSplitsPiece(tube.at(0, 3))); // not completed
    // Row 8 withdrawn but for two points: each still joins the rows 1-7 and 9-14 alone,
    // until its partner goes too.
    for (int32_t c = 2; c < 8; ++c) {
        state.withdrawFan(tube.at(8, c));
    }
    EXPECT_FALSE(state.withdrawalSplitsPiece(tube.at(8, 0)));
    EXPECT_FALSE(state.withdrawalSplitsPiece(tube.at(8, 1)));
    state.withdrawFan(tube.at(8, 1));
    EXPECT_EQ(pieceSizes(state), (std::vector<int32_t>{105}));
    EXPECT_TRUE(state.withdrawalSplitsPiece(tube.at(8, 0)));
    // Cutting off the last completed row (8 points) is not a split that matters.
    for (int32_t c = 1; c < 8; ++c) {
        state.withdrawFan(tube.at(2, c));
    }
    EXPECT_FALSE(state.withdrawalSplitsPiece(tube.at(2, 0)));
    EXPECT_TRUE(fanLinksConsistent(state));
}

TEST(CleanupFoldRemoval, FoldedRingOnATubeKeepsTheTubeInOnePiece) {
    // Every fan of row 8 faces against its point's normal. Withdrawing them and the fans of
    // their neighbours cuts the tube in two; sparing the fans whose withdrawal would cut it
    // keeps one piece that holds nearly every point.
    const Tube tube{18, 8};
    for (const bool joined : {false, true}) {
        TestCloud cloud(tube.positions());
        tube.complete(cloud);
        for (int32_t c = 0; c < 8; ++c) {
            Vector3& normal = cloud.records[tube.at(8, c)].normal;
            normal = Vector3(-normal.x, -normal.y, -normal.z);
        }
        cloud.state.foldRemovalKeepsPiecesJoined = joined;
        cloud.state.removeInconsistentFansPass();
        const std::vector<int32_t> sizes = pieceSizes(cloud.state);
        EXPECT_TRUE(fanLinksConsistent(cloud.state)) << joined;
        EXPECT_FALSE(cloud.state.keepPiecesJoined);
        if (joined) {
            ASSERT_EQ(sizes.size(), 1u);
            EXPECT_GE(sizes[0], 16 * 8 - 8);
        } else {
            EXPECT_GE(sizes.size(), 2u);
        }
    }
}

} // namespace
