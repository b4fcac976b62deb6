// Fan search: closing a regular fan, the size and give-up rules, the neighbour overwrite,
// the choice among start points, the retry from an activating point, the trace, and the
// memo that answers a repeated search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/MeshInvariants.h"

namespace {

// 0: centre; 1..6: distance 1 at 0, 60, ..., 300 degrees; 7..12: distance sqrt(3) at 30,
// 90, ..., 330 degrees; 13..18: distance 2 at 0, 60, ..., 300 degrees, the outer points at
// height lift.
std::vector<Vector3> hexagonalPositions(double lift = 0.1) {
    std::vector<Vector3> positions{Vector3(0.0, 0.0, 0.0)};
    const double radii[3] = {1.0, std::sqrt(3.0), 2.0};
    for (int ring = 0; ring < 3; ++ring) {
        for (int i = 0; i < 6; ++i) {
            const double t = (ring == 1 ? M_PI / 6.0 : 0.0) + i * M_PI / 3.0;
            positions.emplace_back(radii[ring] * std::cos(t), radii[ring] * std::sin(t),
                                   ring == 0 ? 0.0 : lift);
        }
    }
    return positions;
}

// The hexagonal cloud with point 1 completed: its fan runs counter-clockwise seen from +z
// around (1, 0, 0) and holds the centre between points 2 and 6.
struct HexNeighbourhood : meshtest::TestCloud {
    explicit HexNeighbourhood(const std::vector<Vector3>& positions = hexagonalPositions())
        : TestCloud(positions) {
        setFan(1, {13, 7, 2, 0, 6, 12});
    }
};

const std::vector<int32_t> CLOCKWISE_RING{1, 6, 5, 4, 3, 2};

// The hexagon with its inner ring lifted in a zigzag, so that every fan around the centre
// folds; point 4 gets an accepted fan too, so the centre has two start points.
std::vector<Vector3> zigzagPositions() {
    std::vector<Vector3> positions = hexagonalPositions();
    const double heights[6] = {0.0, 0.5, -0.5, 0.5, 0.0, -0.5};
    for (int i = 0; i < 6; ++i) {
        positions[1 + i].z = heights[i];
    }
    return positions;
}

int countOf(const std::string& text, const std::string& piece) {
    int count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

TEST(FanSearch, RegularNeighbourhoodClosesTheRingStartingAtTheStartPoint) {
    HexNeighbourhood cloud;
    ReconstructionState& state = cloud.state;
    ASSERT_TRUE(state.constructFan(0, 1, true));
    EXPECT_EQ(cloud.fan(0), CLOCKWISE_RING);
    EXPECT_EQ(cloud.records[0].currentTriangleFan, CLOCKWISE_RING);
    EXPECT_EQ(state.computeFlatness(0), 0.0);
    EXPECT_EQ(cloud.records[0].fanFlatness, 0.0);
    // The fan runs clockwise seen from +z, so its normal points up.
    EXPECT_NEAR(cloud.records[0].normal.z, 1.0, 1e-12);

    // The other orientation walks the ring the other way round (the outer points are
    // mirrored so that they again lie on the side the fan faces).
    HexNeighbourhood other(hexagonalPositions(-0.1));
    ASSERT_TRUE(other.state.constructFan(0, 1, false));
    EXPECT_EQ(other.fan(0), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(FanSearch, ThreeMemberFanIsRefused) {
    // The centre sits between the same member on both sides in the start point's fan: the
    // initial fan closes at once with 3 entries and is refused.
    HexNeighbourhood cloud;
    cloud.records[1].triangleFanCount = 2;
    cloud.records[1].triangleFan[0] = 2;
    cloud.records[1].triangleFan[1] = 0;
    EXPECT_FALSE(cloud.state.constructFan(0, 1, true));
    EXPECT_EQ(cloud.records[0].triangleFanCount, 0);
    EXPECT_TRUE(cloud.records[0].currentTriangleFan.empty());
}

TEST(FanSearch, BacktrackingStopsAtTheInitialTriangles) {
    // Only neighbour 5 is left open. It is taken, then nothing can follow it, so the search
    // backtracks once and, with the three initial entries left, gives up.
    HexNeighbourhood cloud;
    for (int32_t p : {3, 4, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}) {
        cloud.state.setPointState(p, 1); // completed, with no open fan member
    }
    cloud.state.tracePoint = 0;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(cloud.state.constructFan(0, 1, true));
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(cloud.records[0].currentTriangleFan.empty());
    EXPECT_EQ(countOf(trace, "Got choice, selecting point 5.\n"), 1);
    EXPECT_EQ(countOf(trace, "Shall backtrack one space.\n"), 1);
    EXPECT_EQ(countOf(trace, "And not possible to go backtrack. Shall end here.\n"), 1);
    EXPECT_EQ(countOf(trace, "\tCurrent list - 2 1 6 5 \n"), 1);
    EXPECT_EQ(countOf(trace, "\tCurrent list - 2 1 6 \n"), 1);
    EXPECT_NE(trace.find("Start of Log: For point = 0. Creating fan from pt = 1\n"
                         "LevelFlipping = true \n"),
              std::string::npos);

    // Without a trace point nothing is written.
    HexNeighbourhood quiet;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(quiet.state.constructFan(0, 1, true));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(FanSearch, FirstPointOutsideTheNeighboursReplacesTheLastNeighbourForGood) {
    // Point 6's fan holds the centre after point 18, which is not among the centre's 16
    // nearest neighbours.
    HexNeighbourhood cloud;
    cloud.setFan(6, {12, 18, 0, 5});
    int32_t before[NEIGHBOUR_COUNT];
    std::copy(cloud.records[0].neighbours, cloud.records[0].neighbours + NEIGHBOUR_COUNT, before);
    ASSERT_EQ(std::count(before, before + NEIGHBOUR_COUNT, 18), 0);
    cloud.state.constructFan(0, 6, true);
    EXPECT_EQ(cloud.records[0].neighbours[NEIGHBOUR_COUNT - 1], 18);
    for (int32_t k = 0; k < NEIGHBOUR_COUNT - 1; ++k) {
        EXPECT_EQ(cloud.records[0].neighbours[k], before[k]);
    }

    // findBestFan stops at the first start point with a flat fan: listed first, point 1
    // gives the flat ring and point 6 is never tried; listed second, it is tried first.
    HexNeighbourhood flatFirst;
    flatFirst.setFan(6, {12, 18, 0, 5});
    ASSERT_EQ(flatFirst.records[0].connectedPoints, (std::vector<int32_t>{1, 6}));
    ASSERT_TRUE(flatFirst.state.findBestFan(0, true));
    EXPECT_EQ(flatFirst.fan(0), CLOCKWISE_RING);
    EXPECT_EQ(flatFirst.records[0].currentTriangleFan, CLOCKWISE_RING);
    EXPECT_EQ(flatFirst.records[0].fanFlatness, 0.0);
    EXPECT_EQ(flatFirst.records[0].neighbours[NEIGHBOUR_COUNT - 1], before[NEIGHBOUR_COUNT - 1]);

    HexNeighbourhood flatSecond;
    flatSecond.setFan(6, {12, 18, 0, 5});
    flatSecond.records[0].connectedPoints = {6, 1};
    flatSecond.state.findBestFan(0, true);
    EXPECT_EQ(flatSecond.records[0].neighbours[NEIGHBOUR_COUNT - 1], 18);
}

TEST(FanSearch, BestFanIsTheFlattestWhenNoneIsFlatEnough) {
    // The fans from the two start points each fold (flatness above 400) and differ only in
    // which fold is left out of the measure.
    double flatness[2];
    std::vector<int32_t> fans[2];
    const int32_t starts[2] = {1, 4};
    for (int s = 0; s < 2; ++s) {
        HexNeighbourhood cloud(zigzagPositions());
        cloud.setFan(4, {0, 3, 9, 16, 10, 5});
        ASSERT_TRUE(cloud.state.constructFan(0, starts[s], true));
        flatness[s] = cloud.state.computeFlatness(0);
        fans[s] = cloud.fan(0);
        ASSERT_GE(flatness[s], 400.0);
    }
    ASSERT_NE(flatness[0], flatness[1]);
    const int flattest = flatness[0] < flatness[1] ? 0 : 1;

    for (bool reversed : {false, true}) {
        HexNeighbourhood cloud(zigzagPositions());
        cloud.setFan(4, {0, 3, 9, 16, 10, 5});
        if (reversed) {
            cloud.records[0].connectedPoints = {4, 1};
        }
        ASSERT_TRUE(cloud.state.findBestFan(0, true));
        EXPECT_EQ(cloud.fan(0), fans[flattest]);
        EXPECT_EQ(cloud.records[0].currentTriangleFan, fans[flattest]);
        EXPECT_EQ(cloud.records[0].fanFlatness, flatness[flattest]);
    }
}

TEST(FanSearch, MemoAnswersInputsThatComeBackByTurnsExactlyAsTheSearch) {
    // Point 0 has two start points, from which its fans differ. Searching from one and from
    // the other by turns gives two sets of inputs that keep coming back, then a third set
    // (both start points) comes. One cloud asks the memoised search, its twin always
    // runs the search, and every answer and write must agree.
    HexNeighbourhood memoised;
    HexNeighbourhood searched;
    const std::vector<std::vector<int32_t>> orders{{1}, {6}};
    for (HexNeighbourhood* cloud : {&memoised, &searched}) {
        cloud->setFan(6, {12, 18, 0, 5});
    }
    std::vector<int32_t> fans[2];
    const int rounds = 12;
    for (int round = 0; round <= rounds; ++round) {
        const std::vector<int32_t> order = round < rounds ? orders[round % 2] : std::vector{6, 1};
        memoised.records[0].connectedPoints = order;
        searched.records[0].connectedPoints = order;
        const bool found = memoised.state.findBestFan(0, true);
        ASSERT_EQ(found, searched.state.searchBestFan(0, true)) << "round " << round;
        const Vertex& m = memoised.records[0];
        const Vertex& s = searched.records[0];
        ASSERT_EQ(memoised.fan(0), searched.fan(0)) << "round " << round;
        ASSERT_EQ(m.currentTriangleFan, s.currentTriangleFan) << "round " << round;
        ASSERT_EQ(std::memcmp(&m.fanFlatness, &s.fanFlatness, sizeof(double)), 0);
        ASSERT_EQ(std::memcmp(&m.normal, &s.normal, sizeof(Vector3)), 0) << "round " << round;
        ASSERT_TRUE(std::equal(m.neighbours, m.neighbours + NEIGHBOUR_COUNT, s.neighbours));
        if (round < 2) {
            fans[round] = s.currentTriangleFan;
        }
    }
    // The two start points give different fans, so a memo answering one with the other's fan
    // fails above; and once both have come back, they are answered from the memo.
    EXPECT_NE(fans[0], fans[1]);
    EXPECT_GE(memoised.state.fanSearchReplays, 4);
    EXPECT_EQ(searched.state.fanSearchReplays, 0);
}

TEST(FanSearch, ValidMemoIsNotTrustedWhileThePointsNeighbourListDiffers) {
    // Under the edit watch a valid memo is trusted without walking its inputs; the point's
    // own neighbour list is compared instead of watched, since the point's searches at the
    // two layer parities may set its last slot by turns. Its last slot is set to another
    // point and back, and asked about several times each: every answer and write must be
    // that of the search (a memo replayed for the other list puts that list back).
    HexNeighbourhood memoised;
    HexNeighbourhood searched;
    for (HexNeighbourhood* cloud : {&memoised, &searched}) {
        cloud->state.startEditWatch(cloud->state.pointState.size());
    }
    const int32_t* row = searched.records[0].neighbours;
    int32_t other = -1;
    for (int32_t x = 13; x <= 18 && other < 0; ++x) {
        other = std::find(row, row + NEIGHBOUR_COUNT, x) == row + NEIGHBOUR_COUNT ? x : -1;
    }
    ASSERT_GE(other, 0);
    const int32_t last = row[NEIGHBOUR_COUNT - 1];
    const std::vector<int32_t> lastEntries{last, other, other, last, other, last, last, other};
    for (size_t step = 0; step < lastEntries.size(); ++step) {
        for (HexNeighbourhood* cloud : {&memoised, &searched}) {
            Vertex& v = cloud->records[0];
            if (v.neighbours[NEIGHBOUR_COUNT - 1] != lastEntries[step]) {
                cloud->state.noteEdit(WATCH_ROW, 0);
                v.neighbours[NEIGHBOUR_COUNT - 1] = lastEntries[step];
                cloud->state.noteNeighbourEdit(0);
            }
        }
        for (int ask = 0; ask < 3; ++ask) {
            const bool found = memoised.state.findBestFan(0, true);
            ASSERT_EQ(found, searched.state.searchBestFan(0, true)) << "step " << step;
            const Vertex& m = memoised.records[0];
            const Vertex& s = searched.records[0];
            ASSERT_EQ(memoised.fan(0), searched.fan(0)) << "step " << step;
            ASSERT_EQ(m.currentTriangleFan, s.currentTriangleFan) << "step " << step;
            ASSERT_TRUE(std::equal(m.neighbours, m.neighbours + NEIGHBOUR_COUNT, s.neighbours))
                << "step " << step;
        }
    }
    EXPECT_GE(memoised.state.fanSearchReplays, 8);
}

TEST(FanSearch, DeferredConvexityTestsChooseAsTestingEveryCandidate) {
    // Without a trace the fan search tests convexity only for the candidates its choice
    // reads; with a trace it tests every candidate and keeps them in the heap. Over exact
    // hexagons (equal priorities, where the first candidate in neighbour order must win),
    // lightly and strongly shaken ones (convexity failures of the best candidate), both
    // orientations and both start points, the two must build the same fan, bit for bit.
    uint64_t seed = 12345;
    const auto uniform = [&seed]() {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) * (1.0 / 9007199254740992.0) - 0.5;
    };
    int built = 0;
    int refused = 0;
    for (int trial = 0; trial < 240; ++trial) {
        const double shake = trial < 20 ? 0.0 : (trial < 130 ? 0.15 : 0.6);
        std::vector<Vector3> positions = hexagonalPositions(trial % 3 == 0 ? 0.0 : 0.1);
        for (std::size_t i = 1; i < positions.size(); ++i) {
            positions[i].x += shake * uniform();
            positions[i].y += shake * uniform();
            positions[i].z += shake * uniform();
        }
        const bool flipping = trial % 2 == 0;
        const int32_t start = trial % 4 < 2 ? 1 : 6;
        HexNeighbourhood deferred(positions);
        HexNeighbourhood traced(positions);
        if (start == 6) {
            for (HexNeighbourhood* cloud : {&deferred, &traced}) {
                cloud->setFan(6, {12, 18, 0, 5});
            }
        }
        traced.state.tracePoint = 0;
        const bool found = deferred.state.constructFan(0, start, flipping);
        testing::internal::CaptureStdout();
        const bool tracedFound = traced.state.constructFan(0, start, flipping);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(found, tracedFound) << "trial " << trial;
        const Vertex& d = deferred.records[0];
        const Vertex& t = traced.records[0];
        ASSERT_EQ(deferred.fan(0), traced.fan(0)) << "trial " << trial;
        ASSERT_EQ(d.currentTriangleFan, t.currentTriangleFan) << "trial " << trial;
        ASSERT_EQ(std::memcmp(&d.normal, &t.normal, sizeof(Vector3)), 0) << "trial " << trial;
        ASSERT_TRUE(std::equal(d.neighbours, d.neighbours + NEIGHBOUR_COUNT, t.neighbours));
        (found ? built : refused) += 1;
    }
    // Both outcomes are exercised.
    EXPECT_GE(built, 40);
    EXPECT_GE(refused, 10);
}
