// Static kd-tree for exact k-nearest-neighbour searches: balanced middle splits along the axis
// of greatest extent, buckets of a few points, and a search that only reads the tree.
#include "prep/NeighbourTree.h"

#include <algorithm>
#include <limits>
#include <thread>
#include <utility>

#include "parallel/ParallelFor.h"

namespace {

using Entry = NeighbourTree::Entry;

constexpr int MAX_SPAWN_DEPTH = 6;

double coordinate(const Entry& entry, int axis) {
    return axis == 0 ? entry.x : (axis == 1 ? entry.y : entry.z);
}

struct Builder {
    NeighbourTree& tree;
    int spawnDepth; // subtrees above this depth are built on a thread of their own

    void buildNode(size_t node, int32_t begin, int32_t end, int depth) {
        if (end - begin <= NeighbourTree::LEAF_SIZE) {
            return;
        }
        Entry* const entries = tree.entries.data();
        double low[3] = {entries[begin].x, entries[begin].y, entries[begin].z};
        double high[3] = {low[0], low[1], low[2]};
        for (int32_t i = begin + 1; i < end; ++i) {
            const Entry& e = entries[i];
            low[0] = std::min(low[0], e.x);
            high[0] = std::max(high[0], e.x);
            low[1] = std::min(low[1], e.y);
            high[1] = std::max(high[1], e.y);
            low[2] = std::min(low[2], e.z);
            high[2] = std::max(high[2], e.z);
        }
        int axis = 0;
        for (int a = 1; a < 3; ++a) {
            if (high[a] - low[a] > high[axis] - low[axis]) {
                axis = a;
            }
        }
        const int32_t middle = begin + (end - begin) / 2;
        std::nth_element(entries + begin, entries + middle, entries + end,
                         [axis](const Entry& a, const Entry& b) {
                             return coordinate(a, axis) < coordinate(b, axis);
                         });
        tree.splitAxes[node] = static_cast<uint8_t>(axis);
        tree.splitValues[node] = coordinate(entries[middle], axis);
        if (depth < spawnDepth) {
            std::thread lower([&] { buildNode(2 * node + 1, begin, middle, depth + 1); });
            buildNode(2 * node + 2, middle, end, depth + 1);
            lower.join();
        } else {
            buildNode(2 * node + 1, begin, middle, depth + 1);
            buildNode(2 * node + 2, middle, end, depth + 1);
        }
    }
};

struct Searcher {
    const NeighbourTree& tree;
    const double* query;
    int32_t k;
    NeighbourTree::Result& result;

    double worst() const {
        return result.count < k ? std::numeric_limits<double>::infinity()
                                : result.squaredDistances[k - 1];
    }

    // Keeps the k smallest; a distance equal to one already held goes after it.
    void offer(double distance, int32_t index) {
        int32_t i = result.count < k ? result.count : k - 1;
        while (i > 0 && result.squaredDistances[i - 1] > distance) {
            result.squaredDistances[i] = result.squaredDistances[i - 1];
            result.indices[i] = result.indices[i - 1];
            --i;
        }
        result.squaredDistances[i] = distance;
        result.indices[i] = index;
        if (result.count < k) {
            ++result.count;
        }
    }

    // offsets: per axis, the distance from the query to the node's region (0 inside it).
    // Every point of the region is at least as far as the sum of their squares, also after
    // rounding, because rounding keeps the order of values.
    void visit(size_t node, int32_t begin, int32_t end, const double offsets[3]) {
        if (end - begin <= NeighbourTree::LEAF_SIZE) {
            double limit = worst();
            for (int32_t i = begin; i < end; ++i) {
                const Entry& e = tree.entries[i];
                const double dx = query[0] - e.x;
                const double dy = query[1] - e.y;
                const double dz = query[2] - e.z;
                const double distance = dx * dx + dy * dy + dz * dz;
                if (distance < limit) {
                    offer(distance, e.index);
                    limit = worst();
                }
            }
            return;
        }
        const int axis = tree.splitAxes[node];
        const double gap = query[axis] - tree.splitValues[node];
        const int32_t middle = begin + (end - begin) / 2;
        const bool lowerFirst = gap < 0.0;
        if (lowerFirst) {
            visit(2 * node + 1, begin, middle, offsets);
        } else {
            visit(2 * node + 2, middle, end, offsets);
        }
        double farOffsets[3] = {offsets[0], offsets[1], offsets[2]};
        farOffsets[axis] = gap;
        const double bound = farOffsets[0] * farOffsets[0] + farOffsets[1] * farOffsets[1] +
                             farOffsets[2] * farOffsets[2];
        if (bound < worst()) {
            if (lowerFirst) {
                visit(2 * node + 2, middle, end, farOffsets);
            } else {
                visit(2 * node + 1, begin, middle, farOffsets);
            }
        }
    }
};

} // namespace

bool NeighbourTree::Result::strictlyIncreasing() const {
    for (int32_t i = 1; i < count; ++i) {
        if (!(squaredDistances[i - 1] < squaredDistances[i])) {
            return false;
        }
    }
    return true;
}

void NeighbourTree::build(std::vector<Entry> points, int threads) {
    entries = std::move(points);
    const int32_t count = size();
    int levels = 0;
    for (int64_t largest = count; largest > LEAF_SIZE; largest = (largest + 1) / 2) {
        ++levels;
    }
    const size_t innerNodes = (size_t{1} << levels) - 1;
    splitValues.assign(innerNodes, 0.0);
    splitAxes.assign(innerNodes, 0);
    if (count == 0) {
        return;
    }
    // Subtrees are built in parallel down to the depth that gives every thread one, but no
    // deeper than MAX_SPAWN_DEPTH.
    int spawnDepth = 0;
    const int workers = resolveThreadCount(threads);
    while ((1 << spawnDepth) < workers && spawnDepth < MAX_SPAWN_DEPTH) {
        ++spawnDepth;
    }
    Builder builder{*this, spawnDepth};
    builder.buildNode(0, 0, count, 0);
}

void NeighbourTree::search(const double query[3], int32_t k, Result& result) const {
    result.count = 0;
    Searcher searcher{*this, query, std::min(k, MAX_RESULTS), result};
    if (!entries.empty()) {
        const double offsets[3] = {0.0, 0.0, 0.0};
        searcher.visit(0, 0, size(), offsets);
    }
}
