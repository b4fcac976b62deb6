// Point creation's per-point searches in batches over several threads: the fan searches of
// the points a completion activates (or of all points a component starts with) read only
// their own point's record, the fans of completed points, neighbour lists and states, and
// write only their own point's record; so they run at once, and their outcomes are applied
// one after the other in the order of the single-threaded loop, which gives the same result.
//
// One thing a member's work reads can be changed by another member's: a point's neighbour
// list, which its own search may edit and which the convexity test of every point whose fan
// holds it reads (the ray from a fan member ignores that member's neighbours). The test
// therefore reads the list of a later member as it was before the batch (a copy), and that
// of an earlier member once that member's search has returned. (The normal refreshed for a
// point that is not searched is read by no other member's work.)
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>
#include <thread>

#include "parallel/WorkerPool.h"
#include "recon/ReconstructionState.h"

namespace {

#ifdef FANMESH_CHECK_FAN_MEMO
bool sameNeighbours(const int32_t* a, const int32_t* b) {
    return std::memcmp(a, b, sizeof(int32_t) * NEIGHBOUR_COUNT) == 0;
}

// Everything a batch member's work writes, for the checking build's comparison.
struct TaskWrites {
    Vertex record;
    int32_t blockedOrigin = -1;
    bool found = false;
    bool convex = false;
};

bool sameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

bool sameWrites(const TaskWrites& a, const TaskWrites& b) {
    const Vertex& x = a.record;
    const Vertex& y = b.record;
    return a.found == b.found && a.convex == b.convex && a.blockedOrigin == b.blockedOrigin &&
           sameDouble(x.normal.x, y.normal.x) && sameDouble(x.normal.y, y.normal.y) &&
           sameDouble(x.normal.z, y.normal.z) && sameDouble(x.fanFlatness, y.fanFlatness) &&
           x.triangleFanCount == y.triangleFanCount &&
           std::equal(x.triangleFan.first(x.triangleFanCount),
                      x.triangleFan.first(x.triangleFanCount) + x.triangleFanCount,
                      y.triangleFan.first(y.triangleFanCount)) &&
           x.currentTriangleFan == y.currentTriangleFan && x.connectedPoints == y.connectedPoints &&
           sameNeighbours(x.neighbours, y.neighbours);
}
#endif

} // namespace

namespace {

// What the convexity test of one batch member reads as the neighbour list of a point.
struct BatchNeighbours {
    const ReconstructionState* state;
    const CreationTask* tasks;
    size_t member;

    static const int32_t* lookup(const void* context, int32_t x) {
        const BatchNeighbours& self = *static_cast<const BatchNeighbours*>(context);
        const ReconstructionState& state = *self.state;
        const int32_t owner = static_cast<size_t>(x) < state.batchTaskOf.size()
                                  ? state.batchTaskOf[static_cast<size_t>(x)]
                                  : -1;
        if (owner < 0 || static_cast<size_t>(owner) == self.member) {
            return state.vertices[x].neighbours;
        }
        const CreationTask& task = self.tasks[owner];
        if (static_cast<size_t>(owner) > self.member) {
            return task.neighboursBefore;
        }
        // An earlier member: its search is running or done (members are taken in order, and
        // it waits for nothing later), and its list is final once it is done.
        std::atomic_ref<uint8_t> done(const_cast<uint8_t&>(task.searchDone));
        while (done.load(std::memory_order_acquire) == 0) {
            std::this_thread::yield();
        }
        return state.vertices[x].neighbours;
    }
};

} // namespace

void ReconstructionState::runCreationTasks(std::vector<CreationTask>& tasks, size_t count,
                                           Octree& tree, bool levelFlipping, int32_t completed) {
    if (!growthPool) {
        growthPool = std::make_unique<WorkerPool>(growthThreads);
        rayMarks.resize(static_cast<size_t>(growthPool->threadCount()));
    }
    if (blockedOrigins.size() < static_cast<size_t>(activeCount)) {
        blockedOrigins.resize(static_cast<size_t>(activeCount), -1);
    }
    if (batchTaskOf.size() < static_cast<size_t>(totalCount)) {
        batchTaskOf.resize(static_cast<size_t>(totalCount), -1);
    }
    for (size_t worker = 1; worker < rayMarks.size(); ++worker) {
        if (rayMarks[worker].size() < tree.excluded.size()) {
            rayMarks[worker].resize(tree.excluded.size(), 0);
        }
    }
    // The searches all want this value; set here so that none of them writes it.
    hiddenSideReversed = hiddenUnderTrianglesOnly && levelFlipping;

    // The memo decisions, one after the other.
    for (size_t i = 0; i < count; ++i) {
        CreationTask& task = tasks[i];
        task.found = false;
        task.convex = false;
        task.searchDone = 0;
        if (task.kind == CreationTask::NORMAL) {
            continue;
        }
        std::memcpy(task.neighboursBefore, vertices[task.point].neighbours,
                    sizeof(task.neighboursBefore));
        batchTaskOf[static_cast<size_t>(task.point)] = static_cast<int32_t>(i);
        if (task.kind == CreationTask::SEARCH) {
            planFanSearch(task.point, levelFlipping, task.plan);
        }
    }
#ifdef FANMESH_CHECK_FAN_MEMO
    std::vector<TaskWrites> before(count);
    for (size_t i = 0; i < count; ++i) {
        before[i].record = vertices[tasks[i].point];
        before[i].blockedOrigin =
            tasks[i].point < activeCount ? blockedOrigins[static_cast<size_t>(tasks[i].point)] : -1;
    }
#endif

    growthPool->run(static_cast<int64_t>(count), [&](int64_t index, int worker) {
        CreationTask& task = tasks[static_cast<size_t>(index)];
        if (task.kind == CreationTask::NORMAL) {
            updateClosedFanNormal(task.point);
            return;
        }
        task.found = task.kind == CreationTask::SEARCH
                         ? runFanSearch(task.point, levelFlipping, task.plan)
                         : refineFan(task.point, completed, levelFlipping);
        std::atomic_ref<uint8_t>(task.searchDone).store(1, std::memory_order_release);
        if (task.found) {
            const BatchNeighbours neighbours{this, tasks.data(), static_cast<size_t>(index)};
            std::vector<uint8_t>& marks = worker == 0 ? tree.excluded : rayMarks[worker];
            task.convex = convexityRaysClear(task.point, tree, false, marks,
                                             &BatchNeighbours::lookup, &neighbours);
        }
    });
    for (size_t i = 0; i < count; ++i) {
        if (tasks[i].kind != CreationTask::NORMAL) {
            batchTaskOf[static_cast<size_t>(tasks[i].point)] = -1;
        }
    }

#ifdef FANMESH_CHECK_FAN_MEMO
    // Checking build: run the batch again one member after the other, as the single-threaded
    // loop does, from the records as they were, and stop at the first difference.
    std::vector<TaskWrites> after(count);
    for (size_t i = 0; i < count; ++i) {
        const int32_t p = tasks[i].point;
        after[i].record = vertices[p];
        after[i].blockedOrigin = p < activeCount ? blockedOrigins[static_cast<size_t>(p)] : -1;
        after[i].found = tasks[i].found;
        after[i].convex = tasks[i].convex;
    }
    const int64_t edits = neighbourListEdits.load();
    for (size_t i = 0; i < count; ++i) {
        const int32_t p = tasks[i].point;
        vertices[p] = before[i].record;
        noteNeighbourEdit(p);
        if (p < activeCount) {
            blockedOrigins[static_cast<size_t>(p)] = before[i].blockedOrigin;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        const CreationTask& task = tasks[i];
        const int32_t p = task.point;
        TaskWrites sequential;
        if (task.kind == CreationTask::NORMAL) {
            updateClosedFanNormal(p);
        } else {
            sequential.found = task.kind == CreationTask::SEARCH
                                   ? searchBestFan(p, levelFlipping)
                                   : refineFan(p, completed, levelFlipping);
            sequential.convex = sequential.found && globalConvexityTest(p, tree, false);
        }
        sequential.record = vertices[p];
        sequential.blockedOrigin = p < activeCount ? blockedOrigins[static_cast<size_t>(p)] : -1;
        if (!sameWrites(sequential, after[i])) {
            std::cerr << "point creation batch differs from the single-threaded order at point "
                      << p << "\n";
            std::abort();
        }
    }
    neighbourListEdits.store(edits);
#endif
}
