// ParallelFor: runs independent work over an index range on a fixed number of std::threads.
// Work is handed out in fixed chunks; callers that write each item's result to its own slot
// get the same results for every thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

// The number of worker threads to use for a requested count: the request when it is positive,
// otherwise every core the system reports (at least 1).
inline int resolveThreadCount(int requested) {
    if (requested > 0) {
        return requested;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

// Calls work(begin, end, worker) for consecutive chunks [begin, end) of at most chunkSize
// items that together cover [0, count) exactly once. worker (0 .. threads - 1) names the
// thread running the chunk, so per-thread scratch data can be indexed by it. Chunks are
// taken in increasing order by whichever thread is free, so work must not depend on which
// worker runs which chunk. threads is resolved by resolveThreadCount; with one thread, or
// with a single chunk, all chunks run on the calling thread. Returns after all chunks are
// done.
template <typename Work>
void parallelFor(int64_t count, int threads, int64_t chunkSize, Work&& work) {
    if (count <= 0) {
        return;
    }
    chunkSize = std::max<int64_t>(chunkSize, 1);
    const int64_t chunks = (count + chunkSize - 1) / chunkSize;
    const int workers = static_cast<int>(std::min<int64_t>(resolveThreadCount(threads), chunks));
    if (workers <= 1) {
        for (int64_t begin = 0; begin < count; begin += chunkSize) {
            work(begin, std::min(begin + chunkSize, count), 0);
        }
        return;
    }
    std::atomic<int64_t> nextChunk{0};
    const auto run = [&](int worker) {
        for (int64_t chunk = nextChunk.fetch_add(1); chunk < chunks;
             chunk = nextChunk.fetch_add(1)) {
            const int64_t begin = chunk * chunkSize;
            work(begin, std::min(begin + chunkSize, count), worker);
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(workers - 1));
    for (int worker = 1; worker < workers; ++worker) {
        helpers.emplace_back(run, worker);
    }
    run(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
}
