// Tests of the compact per-point containers of the growth: the tokens of remembered
// refusals, the per-point bits and the list of records a memo read.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "recon/EditWatch.h"
#include "recon/PointBits.h"
#include "recon/PointTokens.h"

TEST(PointTokens, EveryPointKeepsItsLatestTokensAndOnlyItsOwn) {
    PointTokens<3> tokens;
    tokens.assign(5000);
    std::map<std::pair<size_t, size_t>, uint32_t> expected;
    const auto expectContents = [&] {
        for (size_t p = 0; p < 5000; ++p) {
            for (size_t k = 0; k < 3; ++k) {
                const auto wanted = expected.find({p, k});
                ASSERT_EQ(tokens.get(p, k), wanted == expected.end() ? 0u : wanted->second)
                    << p << " " << k;
            }
        }
    };
    EXPECT_EQ(tokens.get(17, 1), 0u);
    EXPECT_EQ(tokens.size(), 5000u);
    // Every token of a point, overwrites and invalidations (token 0) in a random order.
    std::mt19937 random(11);
    for (uint32_t step = 1; step <= 3000; ++step) {
        const size_t p = random() % 5000;
        const size_t k = random() % 3;
        const uint32_t token = step % 7 == 0 ? 0 : step;
        tokens.put(p, k, token);
        expected[{p, k}] = token;
    }
    expectContents();
    std::set<size_t> points;
    for (const auto& entry : expected) {
        points.insert(entry.first.first);
    }
    EXPECT_EQ(tokens.pointsWithTokens(), points.size()); // one slot per point
    tokens.zeroAll();
    expected.clear();
    expectContents();
    tokens.assign(10);
    EXPECT_EQ(tokens.pointsWithTokens(), 0u);
}

TEST(PointBits, BitsSetStayUntilTakenOverAndGrowthKeepsThem) {
    PointBits earlier;
    PointBits now;
    earlier.assign(130);
    now.assign(130);
    EXPECT_FALSE(earlier.test(129));
    EXPECT_FALSE(earlier.test(100000)); // out of range: clear
    for (size_t i : {0, 63, 64, 129}) {
        now.set(i);
    }
    earlier.set(5);
    earlier.takeFrom(now);
    for (size_t i = 0; i < 130; ++i) {
        EXPECT_EQ(earlier.test(i), i == 0 || i == 5 || i == 63 || i == 64 || i == 129) << i;
        EXPECT_FALSE(now.test(i)) << i;
    }
    earlier.grow(1000);
    EXPECT_GE(earlier.size(), 1000u);
    EXPECT_TRUE(earlier.test(129));
    EXPECT_FALSE(earlier.test(999));
    earlier.set(999);
    EXPECT_TRUE(earlier.test(999));
}

TEST(WatchedReads, EachRecordListedOnceWithAllItsKindsWhateverEarlierListsLeft) {
    WatchedReads reads;
    // A long list leaves places behind that point into the next, shorter lists.
    reads.begin(20);
    for (int32_t x = 19; x >= 0; --x) {
        reads.add(x, WATCH_STATE);
    }
    ASSERT_EQ(reads.reads.size(), 20u);
    reads.begin(20);
    reads.add(7, WATCH_FAN);
    reads.add(3, WATCH_ROW);    // its old place (16) is past the end of the list
    reads.add(19, WATCH_LINKS); // its old place (0) now holds record 7
    reads.add(7, WATCH_NORMAL);
    reads.add(19, WATCH_STATE);
    ASSERT_EQ(reads.reads.size(), 3u);
    EXPECT_EQ(reads.reads[0].record, 7);
    EXPECT_EQ(reads.reads[0].kinds, WATCH_FAN | WATCH_NORMAL);
    EXPECT_EQ(reads.reads[1].record, 3);
    EXPECT_EQ(reads.reads[1].kinds, WATCH_ROW);
    EXPECT_EQ(reads.reads[2].record, 19);
    EXPECT_EQ(reads.reads[2].kinds, WATCH_LINKS | WATCH_STATE);
    // Room for more records keeps the lists apart as well.
    reads.begin(40);
    reads.add(35, WATCH_FAN);
    reads.add(7, WATCH_FAN);
    ASSERT_EQ(reads.reads.size(), 2u);
    EXPECT_EQ(reads.reads[1].record, 7);
}
