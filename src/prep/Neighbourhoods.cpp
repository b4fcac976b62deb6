// Exact 16-nearest-neighbour search over the kept points on all threads, and the timing file
// of each search. A point whose nearest points include equal distances is searched again
// with ANN, whose order among equal distances the neighbour lists follow.
#include <ANN/ANN.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>

#include "parallel/ParallelFor.h"
#include "prep/NeighbourTree.h"
#include "prep/PointSetPreparation.h"
#include "prep/ProcessTicks.h"

namespace {

constexpr int SEARCH_DIMENSION = 3;
constexpr int SEARCH_COUNT = NEIGHBOUR_COUNT + 1; // the point itself comes first
// One more than kept, so that a tie between the last kept and the first dropped point shows.
constexpr int CHECKED_COUNT = SEARCH_COUNT + 1;
constexpr int BUCKET_SIZE = 1;
constexpr int64_t QUERIES_PER_CHUNK = 4096;

void writeStamp(std::FILE* file, const char* label) {
    const std::time_t now = std::time(nullptr);
    std::fprintf(file, "%s: Current date and time are: %s", label, std::ctime(&now));
}

// Searches the given kept records again, one after the other, with an ANN kd-tree over all
// kept records in record order. Where points lie at equal distances, this fixes which of them
// are kept and in which order. ANN keeps its search state in globals, so these searches
// cannot run on several threads.
void searchWithAnn(std::vector<Vertex>& vertices, int32_t keptCount,
                   const std::vector<int32_t>& records) {
    // One ANN search at a time in the whole process, also across preparations.
    static std::mutex searchLibraryLock;
    const std::lock_guard<std::mutex> searchGuard(searchLibraryLock);
    ANNpointArray points = annAllocPts(keptCount, SEARCH_DIMENSION);
    for (int32_t i = 0; i < keptCount; ++i) {
        const Vector3& p = vertices[i].position;
        points[i][0] = p.x;
        points[i][1] = p.y;
        points[i][2] = p.z;
    }
    ANNkd_tree* tree =
        new ANNkd_tree(points, keptCount, SEARCH_DIMENSION, BUCKET_SIZE, ANN_KD_SUGGEST);
    ANNidx resultIndices[SEARCH_COUNT];
    ANNdist resultDistances[SEARCH_COUNT];
    for (const int32_t j : records) {
        tree->annkSearch(points[j], SEARCH_COUNT, resultIndices, resultDistances, 0.0);
        std::copy(resultIndices + 1, resultIndices + SEARCH_COUNT, vertices[j].neighbours);
    }
    delete tree;
    annDeallocPts(points);
    annClose();
}

} // namespace

bool PointSetPreparation::computeNeighbours() {
    if (keptCount < SEARCH_COUNT) {
        failure = Failure{pointFileName, 0,
                          "only " + std::to_string(keptCount) + " points remain; at least " +
                              std::to_string(SEARCH_COUNT) + " are needed"}
                      .describe();
        return false;
    }
    // The timing file is written only when it is named.
    if (!timingFileName.empty()) {
        timingFile = std::fopen(timingFileName.c_str(), "w");
        if (timingFile == nullptr) {
            failure = timingFileName + ": cannot create the side file: " + std::strerror(errno);
            return false;
        }
        writeStamp(timingFile, "Start");
    }
    const long startTicks = processTicks();

    // Every point is searched on its own in the shared, read-only tree; each result goes to
    // its own record, so the lists do not depend on the thread count. Queries run in tree
    // order, which keeps neighbouring queries close in memory.
    {
        std::vector<NeighbourTree::Entry> entries(static_cast<size_t>(keptCount));
        for (int32_t i = 0; i < keptCount; ++i) {
            const Vector3& p = vertices[i].position;
            entries[i] = NeighbourTree::Entry{p.x, p.y, p.z, i};
        }
        NeighbourTree tree;
        tree.build(std::move(entries), threads);
        const int workers = resolveThreadCount(threads);
        std::vector<std::vector<int32_t>> tied(static_cast<size_t>(workers));
        parallelFor(keptCount, workers, QUERIES_PER_CHUNK,
                    [&](int64_t begin, int64_t end, int worker) {
                        NeighbourTree::Result result;
                        for (int64_t r = begin; r < end; ++r) {
                            const NeighbourTree::Entry& entry = tree.entries[r];
                            const double query[3] = {entry.x, entry.y, entry.z};
                            tree.search(query, CHECKED_COUNT, result);
                            if (!result.strictlyIncreasing()) {
                                tied[worker].push_back(entry.index);
                                continue;
                            }
                            std::copy(result.indices + 1, result.indices + SEARCH_COUNT,
                                      vertices[entry.index].neighbours);
                        }
                    });
        spatialOrder.resize(static_cast<size_t>(keptCount));
        for (int32_t r = 0; r < keptCount; ++r) {
            spatialOrder[r] = tree.entries[r].index;
        }
        // Points with neighbours at equal distances get the order the ANN search gives.
        std::vector<int32_t> tiedRecords;
        for (const std::vector<int32_t>& list : tied) {
            tiedRecords.insert(tiedRecords.end(), list.begin(), list.end());
        }
        if (!tiedRecords.empty()) {
            std::sort(tiedRecords.begin(), tiedRecords.end());
            searchWithAnn(vertices, keptCount, tiedRecords);
        }
    }
    const long finishTicks = processTicks();
    if (timingFile != nullptr) {
        writeStamp(timingFile, "End");
        std::fprintf(timingFile, "start = %d\n", static_cast<int>(startTicks));
        std::fprintf(timingFile, "finish = %d\n", static_cast<int>(finishTicks));
        std::fprintf(timingFile, "CLOCKS_PER_SEC = %d\n", PROCESS_TICKS_PER_SECOND);
        std::fprintf(timingFile, "detailed timing = %f\n",
                     static_cast<double>(finishTicks - startTicks) * 0.001);
        const bool written = std::ferror(timingFile) == 0;
        const bool closed = std::fclose(timingFile) == 0;
        timingFile = nullptr;
        if (!written || !closed) {
            failure = timingFileName + ": cannot write the side file";
            return false;
        }
    }
    return true;
}
