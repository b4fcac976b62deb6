// The persistent worker pool: every index of every batch exactly once with valid worker
// numbers, over many batches of the same pool; and items that wait for earlier items of
// their batch, which the growth's batches rely on, always finish.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "parallel/WorkerPool.h"

TEST(WorkerPool, EveryIndexOnceInEveryBatchWithValidWorkers) {
    for (const int threads : {0, 1, 2, 3}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.threadCount(), threads > 1 ? threads : 1);
        std::vector<std::atomic<int>> visits(300);
        std::atomic<bool> badWorker{false};
        // Small batches, one after the other, as the growth runs them; and a few large ones.
        for (int batch = 0; batch < 2000; ++batch) {
            const int64_t count = batch % 50 == 0 ? 300 : batch % 7;
            for (int64_t i = 0; i < count; ++i) {
                visits[static_cast<size_t>(i)] = 0;
            }
            pool.run(count, [&](int64_t index, int worker) {
                if (worker < 0 || worker >= pool.threadCount()) {
                    badWorker = true;
                }
                ++visits[static_cast<size_t>(index)];
            });
            for (int64_t i = 0; i < count; ++i) {
                ASSERT_EQ(visits[static_cast<size_t>(i)], 1)
                    << "index " << i << " of batch " << batch << ", " << threads << " threads";
            }
        }
        EXPECT_FALSE(badWorker);
    }
}

TEST(WorkerPool, ItemsWaitingForEarlierItemsFinish) {
    // Item i waits until item i - 1 is done: indices are handed out in increasing order, so
    // the item waited for is always running already.
    WorkerPool pool(3);
    for (int batch = 0; batch < 200; ++batch) {
        const int64_t count = 1 + batch % 9;
        std::vector<std::atomic<int>> done(static_cast<size_t>(count));
        std::atomic<int> order{0};
        std::vector<int> finished(static_cast<size_t>(count), -1);
        pool.run(count, [&](int64_t index, int) {
            if (index > 0) {
                while (done[static_cast<size_t>(index - 1)].load() == 0) {
                    std::this_thread::yield();
                }
            }
            finished[static_cast<size_t>(index)] = order.fetch_add(1);
            done[static_cast<size_t>(index)] = 1;
        });
        for (int64_t i = 0; i < count; ++i) {
            ASSERT_EQ(finished[static_cast<size_t>(i)], i) << "batch " << batch;
        }
    }
}
