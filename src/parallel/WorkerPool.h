// WorkerPool: a fixed set of helper threads, started once and kept, that share small batches
// of independent work items with the calling thread. Batches of a few items arrive many
// thousand times a second during growth, so starting threads per batch would cost more than
// the work; idle helpers spin briefly before they sleep.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
  public:
    // A pool of threads - 1 helpers (none for threads <= 1).
    explicit WorkerPool(int threads);
    // Stops and joins the helpers; no batch may be running.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Number of threads that run a batch: the helpers and the calling thread.
    int threadCount() const { return static_cast<int>(helpers.size()) + 1; }

    // Calls work(index, worker) once for every index in [0, count), on the calling thread
    // (worker 0) and the helpers (1 .. threadCount() - 1); returns when every call has
    // returned. Which worker runs which index is not fixed, so work must write only data of
    // its own index or of its worker. Indices are handed out in increasing order, so an item
    // may wait for an earlier item of its batch (that one is running already). Not
    // reentrant: one batch at a time, from one thread.
    template <typename Work> void run(int64_t count, Work&& work) {
        if (count <= 0) {
            return;
        }
        using Callable = std::remove_reference_t<Work>;
        runErased(
            count,
            [](void* context, int64_t index, int worker) {
                (*static_cast<Callable*>(context))(index, worker);
            },
            static_cast<void*>(&work));
    }

  private:
    using Call = void (*)(void*, int64_t, int);
    void runErased(int64_t count, Call call, void* context);
    void helperLoop(int worker);
    // Claims the next index of the batch named by ticket; false when the batch has none left
    // or a newer batch replaced it.
    bool claim(uint64_t& ticket, int64_t& index);
    void runClaimed(uint64_t ticket, int worker);

    // The current batch: generation (16 bits), item count (24 bits) and next index (24 bits)
    // in one word, so that claiming an index also checks which batch it belongs to.
    std::atomic<uint64_t> ticket{0};
    // Items of the current batch that have returned.
    std::atomic<int64_t> finished{0};
    Call batchCall = nullptr;
    void* batchContext = nullptr;
    int64_t batchOffset = 0; // index of the part's first item in the whole batch
    bool stopping = false;
    // Helpers asleep (or about to sleep) on wake; the caller takes the lock and wakes them only
    // when there are some.
    std::atomic<int> sleepers{0};
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<std::thread> helpers;
};
