// BoundedHeap: fixed-capacity binary heap of (point index, priority) pairs, with the
// smallest (mode 1) or the largest (mode 2) priority on top. All comparisons are strict,
// so items of equal priority are never swapped.
//
// Key index: `update` and `find` look an item up by key. By default they scan the heap.
// When `init` is given a key limit (>= 0), the heap also keeps a key -> position index
// (a dense array when the key limit is small compared to the capacity, a hash map
// otherwise), so lookups cost O(1) instead of O(count). The index gives the same results
// as the scan as long as every key is in the heap at most once; the first time a push
// would put a second item with the same key into the heap the index is dropped and the
// heap falls back to the scan for the rest of its life (until the next `init`).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

struct HeapItem {
    int32_t key;
    double priority;
};

struct BoundedHeap {
    static constexpr int32_t SMALLEST_ON_TOP = 1;
    static constexpr int32_t LARGEST_ON_TOP = 2;

    int32_t count = 0;
    int32_t capacity = 0;
    std::vector<HeapItem> items;
    int32_t mode = SMALLEST_ON_TOP;
    bool ownsItems = false;

    // Empty heap without item array (the state after construction). Drops the key index.
    void clear();
    // Allocates room for `capacityValue` items and sets the mode; `count` is kept (call
    // `clear` first). keyLimit >= 0 turns the key index on; keys are expected in
    // [0, keyLimit) but any key works (a key outside it uses the hash map form).
    void init(int32_t capacityValue, int32_t modeValue, int32_t keyLimit = -1);
    // count := 0 and the item array is freed.
    void release();
    // Adds an item; on a full heap the item replaces the top only when the top is better.
    // Returns false when the item was not stored (full heap, or no item array).
    bool push(int32_t key, double priority);
    // Removes the top item; nothing happens on an empty heap.
    void popTop();
    // The top item; valid when count > 0.
    const HeapItem& top() const { return items[0]; }
    bool empty() const { return count == 0; }
    // Every item with the key gets the new priority; the last one in array order is
    // sifted. An absent key changes nothing.
    void update(int32_t key, double priority);
    // True when an item with the key exists; its priority (the last one in array order)
    // is stored in `priority`.
    bool find(int32_t key, double& priority) const;
    bool find(int32_t key) const;

  private:
    // Key index state.
    bool indexed = false;
    bool denseIndex = false;
    std::vector<int32_t> densePosition;                // key -> position or -1
    std::unordered_map<int32_t, int32_t> hashPosition; // key -> position

    bool better(double a, double b) const { return mode == SMALLEST_ON_TOP ? a < b : a > b; }
    void place(int32_t position, const HeapItem& item);
    void swapItems(int32_t a, int32_t b);
    void siftUp(int32_t position);
    void siftDown(int32_t position);
    int32_t indexedPosition(int32_t key) const;
    bool indexInsert(int32_t key, int32_t position);
    void indexErase(int32_t key);
    void dropIndex();
    int32_t lastPositionOf(int32_t key) const;
};
