// Work sharing over an index range: every index exactly once, valid worker numbers, and the
// thread-count rule.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "parallel/ParallelFor.h"

TEST(ParallelFor, CoversEveryIndexOnceWithValidWorkers) {
    const struct {
        int64_t count, chunk;
        int threads;
    } cases[] = {{0, 4, 3},    {1, 4, 3},    {10, 3, 2},  {10, 100, 4},
                 {1000, 7, 3}, {1000, 1, 8}, {999, 0, 2}, {50, 5, 1}};
    for (const auto& c : cases) {
        std::vector<std::atomic<int>> visits(static_cast<size_t>(c.count));
        std::atomic<bool> badCall{false};
        parallelFor(c.count, c.threads, c.chunk, [&](int64_t begin, int64_t end, int worker) {
            if (begin >= end || worker < 0 || worker >= c.threads ||
                (c.chunk > 0 && end - begin > c.chunk)) {
                badCall = true;
            }
            for (int64_t i = begin; i < end; ++i) {
                ++visits[static_cast<size_t>(i)];
            }
        });
        EXPECT_FALSE(badCall) << c.count << " " << c.chunk << " " << c.threads;
        for (int64_t i = 0; i < c.count; ++i) {
            ASSERT_EQ(visits[static_cast<size_t>(i)], 1) << "index " << i << " of " << c.count;
        }
    }
    EXPECT_EQ(resolveThreadCount(3), 3);
    EXPECT_GE(resolveThreadCount(0), 1);
    EXPECT_EQ(resolveThreadCount(-2), resolveThreadCount(0));
}
