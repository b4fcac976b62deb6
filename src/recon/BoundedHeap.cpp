// BoundedHeap: array heap with strict comparisons, the full-heap replacement rule and an
// optional key -> position index for O(1) lookups by key.
#include "recon/BoundedHeap.h"

#include <cstddef>

namespace {
// The dense index is used while the key range is at most this many times the capacity
// (plus a small constant), so allocating it never costs more than O(capacity).
constexpr int64_t DENSE_INDEX_FACTOR = 4;
constexpr int64_t DENSE_INDEX_SLACK = 64;
} // namespace

void BoundedHeap::clear() {
    count = 0;
    capacity = 0;
    std::vector<HeapItem>().swap(items);
    ownsItems = false;
    dropIndex();
}

void BoundedHeap::init(int32_t capacityValue, int32_t modeValue, int32_t keyLimit) {
    capacity = capacityValue > 0 ? capacityValue : 0;
    mode = modeValue;
    items.resize(static_cast<size_t>(capacity));
    ownsItems = true;
    // Items beyond the new capacity cannot be kept.
    if (count > capacity) {
        count = capacity;
    }
    dropIndex();
    if (keyLimit < 0) {
        return;
    }
    indexed = true;
    denseIndex = static_cast<int64_t>(keyLimit) <=
                 DENSE_INDEX_FACTOR * static_cast<int64_t>(capacity) + DENSE_INDEX_SLACK;
    if (denseIndex) {
        densePosition.assign(static_cast<size_t>(keyLimit), -1);
    } else {
        hashPosition.reserve(static_cast<size_t>(capacity));
    }
    for (int32_t i = 0; i < count && indexed; ++i) {
        if (!indexInsert(items[i].key, i)) {
            dropIndex();
        }
    }
}

void BoundedHeap::release() {
    count = 0;
    capacity = 0;
    if (ownsItems) {
        std::vector<HeapItem>().swap(items);
    }
    ownsItems = false;
    dropIndex();
}

bool BoundedHeap::push(int32_t key, double priority) {
    if (!ownsItems || capacity <= 0) {
        return false;
    }
    const HeapItem item{key, priority};
    if (count < capacity) {
        if (!indexInsert(key, count)) {
            dropIndex();
        }
        items[count] = item;
        siftUp(count);
        ++count;
        return true;
    }
    if (!better(items[0].priority, priority)) {
        return false;
    }
    indexErase(items[0].key);
    if (!indexInsert(key, 0)) {
        dropIndex();
    }
    items[0] = item;
    siftDown(0);
    return true;
}

void BoundedHeap::popTop() {
    if (count <= 0) {
        return;
    }
    indexErase(items[0].key);
    --count;
    if (count > 0) {
        place(0, items[count]);
        siftDown(0);
    }
}

void BoundedHeap::update(int32_t key, double priority) {
    int32_t last = -1;
    if (indexed) {
        last = indexedPosition(key);
        if (last >= 0) {
            items[last].priority = priority;
        }
    } else {
        for (int32_t i = 0; i < count; ++i) {
            if (items[i].key == key) {
                items[i].priority = priority;
                last = i;
            }
        }
    }
    if (last < 0) {
        return;
    }
    if (last > 0 && better(items[last].priority, items[(last + 1) / 2 - 1].priority)) {
        siftUp(last);
    } else {
        siftDown(last);
    }
}

bool BoundedHeap::find(int32_t key, double& priority) const {
    const int32_t position = lastPositionOf(key);
    if (position < 0) {
        return false;
    }
    priority = items[position].priority;
    return true;
}

bool BoundedHeap::find(int32_t key) const {
    return lastPositionOf(key) >= 0;
}

void BoundedHeap::place(int32_t position, const HeapItem& item) {
    items[position] = item;
    if (indexed) {
        if (denseIndex) {
            densePosition[item.key] = position;
        } else {
            hashPosition[item.key] = position;
        }
    }
}

void BoundedHeap::swapItems(int32_t a, int32_t b) {
    const HeapItem first = items[a];
    place(a, items[b]);
    place(b, first);
}

void BoundedHeap::siftUp(int32_t position) {
    int32_t i = position;
    while (i > 0) {
        const int32_t parent = (i + 1) / 2 - 1;
        if (!better(items[i].priority, items[parent].priority)) {
            break;
        }
        swapItems(i, parent);
        i = parent;
    }
}

void BoundedHeap::siftDown(int32_t position) {
    int32_t i = position;
    while (true) {
        const int32_t left = 2 * i + 1;
        if (left >= count) {
            return;
        }
        const int32_t right = left + 1;
        int32_t child = left;
        if (right < count && better(items[right].priority, items[left].priority)) {
            child = right;
        }
        if (!better(items[child].priority, items[i].priority)) {
            return;
        }
        swapItems(i, child);
        i = child;
    }
}

int32_t BoundedHeap::indexedPosition(int32_t key) const {
    if (denseIndex) {
        if (key < 0 || key >= static_cast<int32_t>(densePosition.size())) {
            return -1;
        }
        return densePosition[key];
    }
    const auto found = hashPosition.find(key);
    return found == hashPosition.end() ? -1 : found->second;
}

// Records the position of a key that is entering the heap. Returns false when the key is
// already present (the index then no longer describes the heap and must be dropped).
bool BoundedHeap::indexInsert(int32_t key, int32_t position) {
    if (!indexed) {
        return true;
    }
    if (denseIndex && (key < 0 || key >= static_cast<int32_t>(densePosition.size()))) {
        // A key outside the dense range: continue with the hash map. The entries are
        // copied from the dense index, not from the items: a replaced top item is already
        // erased from the index but still sits in the array.
        hashPosition.reserve(static_cast<size_t>(capacity));
        for (size_t k = 0; k < densePosition.size(); ++k) {
            if (densePosition[k] >= 0) {
                hashPosition.emplace(static_cast<int32_t>(k), densePosition[k]);
            }
        }
        denseIndex = false;
        std::vector<int32_t>().swap(densePosition);
    }
    if (denseIndex) {
        if (densePosition[key] >= 0) {
            return false;
        }
        densePosition[key] = position;
        return true;
    }
    return hashPosition.emplace(key, position).second;
}

void BoundedHeap::indexErase(int32_t key) {
    if (!indexed) {
        return;
    }
    if (denseIndex) {
        densePosition[key] = -1;
    } else {
        hashPosition.erase(key);
    }
}

void BoundedHeap::dropIndex() {
    indexed = false;
    denseIndex = false;
    std::vector<int32_t>().swap(densePosition);
    std::unordered_map<int32_t, int32_t>().swap(hashPosition);
}

int32_t BoundedHeap::lastPositionOf(int32_t key) const {
    if (indexed) {
        return indexedPosition(key);
    }
    for (int32_t i = count - 1; i >= 0; --i) {
        if (items[i].key == key) {
            return i;
        }
    }
    return -1;
}
