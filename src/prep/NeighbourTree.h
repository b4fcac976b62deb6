// NeighbourTree: a static kd-tree over 3-D points for exact k-nearest-neighbour searches.
// Searches only read the tree, so any number of threads may search it at once. A search also
// reports whether its answer is fully determined by the distances, that is free of equal
// distances that another search order could rank differently.
#pragma once

#include <cstdint>
#include <vector>

struct NeighbourTree {
    static constexpr int32_t LEAF_SIZE = 8;
    static constexpr int32_t MAX_RESULTS = 18;

    // One point in tree order: its coordinates and its index in the input.
    struct Entry {
        double x, y, z;
        int32_t index;
    };
    // The nearest points of one search, nearest first, with their squared distances.
    struct Result {
        int32_t count = 0;
        int32_t indices[MAX_RESULTS];
        double squaredDistances[MAX_RESULTS];
        // True when every distance differs from the next one (no two results at the same
        // distance), so the set and its order are the only exact answer.
        bool strictlyIncreasing() const;
    };

    std::vector<Entry> entries; // the points, reordered so that every node is a range of them
    // Per inner node, in heap numbering (node i has the children 2i+1 and 2i+2): the split
    // axis and value. The lower child holds coordinates up to the value, the upper one from it.
    std::vector<double> splitValues;
    std::vector<uint8_t> splitAxes;

    // Builds the tree over the given points (their index fields name them in results). Each
    // inner node splits its range at the middle position along the axis of greatest extent,
    // so the tree is balanced; up to `threads` threads build subtrees (resolveThreadCount
    // rules). The tree is the same for every thread count. No errors.
    void build(std::vector<Entry> points, int threads);

    // The min(k, point count) points nearest to query, nearest first, k in 1 .. MAX_RESULTS.
    // Squared distances are summed x, y, z in that order from the coordinate differences.
    // Among equal distances the order is the tree's; strictlyIncreasing tells when none
    // occurred.
    void search(const double query[3], int32_t k, Result& result) const;

    // Entries in tree order: consecutive entries are near each other in space.
    int32_t size() const { return static_cast<int32_t>(entries.size()); }
};
