// WorkerPool: batch hand-out through one atomic ticket word, helpers that spin, then sleep.
#include "parallel/WorkerPool.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr int GENERATION_SHIFT = 48;
constexpr int COUNT_SHIFT = 24;
constexpr uint64_t INDEX_MASK = (uint64_t{1} << COUNT_SHIFT) - 1;
// How long an idle helper watches the ticket before it goes to sleep.
constexpr int SPIN_MICROSECONDS = 200;
// Pauses between two looks at the clock (a helper) or two yields (the caller waiting for the
// helpers' last items, which may have lost their core).
constexpr int PAUSES_PER_CHECK = 64;

uint64_t generationOf(uint64_t ticket) {
    return ticket >> GENERATION_SHIFT;
}

void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

WorkerPool::WorkerPool(int threads) {
    for (int worker = 1; worker < threads; ++worker) {
        helpers.emplace_back([this, worker]() { helperLoop(worker); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

bool WorkerPool::claim(uint64_t& current, int64_t& index) {
    for (;;) {
        const uint64_t count = (current >> COUNT_SHIFT) & INDEX_MASK;
        const uint64_t next = current & INDEX_MASK;
        if (next >= count) {
            return false;
        }
        // On failure current is reloaded: a newer batch shows as a new generation.
        const uint64_t generation = generationOf(current);
        if (ticket.compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                         std::memory_order_acquire)) {
            index = static_cast<int64_t>(next);
            return true;
        }
        if (generationOf(current) != generation) {
            return false;
        }
    }
}

void WorkerPool::runClaimed(uint64_t current, int worker) {
    int64_t index = 0;
    while (claim(current, index)) {
        // The batch's call and context were written before its ticket was published and stay
        // until every claimed item has finished.
        batchCall(batchContext, batchOffset + index, worker);
        finished.fetch_add(1, std::memory_order_release);
    }
}

void WorkerPool::runErased(int64_t count, Call call, void* context) {
    if (helpers.empty() || count == 1) {
        for (int64_t i = 0; i < count; ++i) {
            call(context, i, 0);
        }
        return;
    }
    // A batch larger than the ticket's count field runs as consecutive parts.
    const int64_t largest = static_cast<int64_t>(INDEX_MASK);
    for (int64_t offset = 0; offset < count; offset += largest) {
        const int64_t part = std::min(largest, count - offset);
        batchCall = call;
        batchContext = context;
        batchOffset = offset;
        finished.store(0, std::memory_order_relaxed);
        const uint64_t generation = (generationOf(ticket.load(std::memory_order_relaxed)) + 1) &
                                    ((uint64_t{1} << (64 - GENERATION_SHIFT)) - 1);
        const uint64_t fresh =
            (generation << GENERATION_SHIFT) | (static_cast<uint64_t>(part) << COUNT_SHIFT);
        ticket.store(fresh, std::memory_order_seq_cst);
        if (sleepers.load(std::memory_order_seq_cst) > 0) {
            {
                // A helper between its last look at the ticket and its sleep holds the lock.
                std::lock_guard<std::mutex> lock(mutex);
            }
            wake.notify_all();
        }
        runClaimed(fresh, 0);
        for (int spin = 1; finished.load(std::memory_order_acquire) < part; ++spin) {
            spinPause();
            if (spin % PAUSES_PER_CHECK == 0) {
                std::this_thread::yield();
            }
        }
    }
}

void WorkerPool::helperLoop(int worker) {
    using Clock = std::chrono::steady_clock;
    uint64_t seen = generationOf(ticket.load(std::memory_order_acquire));
    for (;;) {
        uint64_t current = ticket.load(std::memory_order_acquire);
        // Spin for a while: batches often follow each other closely.
        const Clock::time_point spinEnd =
            Clock::now() + std::chrono::microseconds(SPIN_MICROSECONDS);
        for (int spin = 1; generationOf(current) == seen; ++spin) {
            spinPause();
            current = ticket.load(std::memory_order_acquire);
            if (spin % PAUSES_PER_CHECK == 0 && Clock::now() > spinEnd) {
                break;
            }
        }
        if (generationOf(current) == seen) {
            std::unique_lock<std::mutex> lock(mutex);
            sleepers.fetch_add(1, std::memory_order_seq_cst);
            wake.wait(lock, [&]() {
                return stopping || generationOf(ticket.load(std::memory_order_seq_cst)) != seen;
            });
            sleepers.fetch_sub(1, std::memory_order_relaxed);
            if (stopping) {
                return;
            }
            current = ticket.load(std::memory_order_acquire);
        }
        seen = generationOf(current);
        runClaimed(current, worker);
    }
}
