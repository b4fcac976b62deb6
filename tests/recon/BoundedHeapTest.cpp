// Tests of the bounded heap: ordering, the full-heap rule, and the key index agreeing with
// the plain scan on random operation sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "recon/BoundedHeap.h"

namespace {

std::vector<double> popAll(BoundedHeap& heap) {
    std::vector<double> out;
    while (heap.count > 0) {
        out.push_back(heap.top().priority);
        heap.popTop();
    }
    return out;
}

void expectSameItems(const BoundedHeap& a, const BoundedHeap& b) {
    ASSERT_EQ(a.count, b.count);
    for (int32_t i = 0; i < a.count; ++i) {
        ASSERT_EQ(a.items[i].key, b.items[i].key) << "position " << i;
        ASSERT_EQ(a.items[i].priority, b.items[i].priority) << "position " << i;
    }
}

void expectHeapOrder(const BoundedHeap& heap) {
    for (int32_t i = 1; i < heap.count; ++i) {
        const double child = heap.items[i].priority;
        const double parent = heap.items[(i + 1) / 2 - 1].priority;
        if (heap.mode == 1) {
            ASSERT_LE(parent, child);
        } else {
            ASSERT_GE(parent, child);
        }
    }
}

} // namespace

TEST(BoundedHeap, OrderingFullHeapAndEmptyOperations) {
    BoundedHeap heap;
    heap.clear();
    heap.init(3, 1);
    heap.push(10, 3.0);
    heap.push(11, 1.0);
    heap.push(12, 2.0);
    EXPECT_EQ(popAll(heap), (std::vector<double>{1.0, 2.0, 3.0}));

    // Full mode-1 heap keeps the largest priorities seen.
    heap.clear();
    heap.init(2, 1);
    heap.push(0, 5.0);
    heap.push(1, 7.0);
    EXPECT_FALSE(heap.push(2, 4.0));
    EXPECT_TRUE(heap.push(3, 6.0));
    EXPECT_FALSE(heap.find(0));
    EXPECT_TRUE(heap.find(3));
    EXPECT_EQ(popAll(heap), (std::vector<double>{6.0, 7.0}));

    // Full mode-2 heap keeps the smallest.
    heap.clear();
    heap.init(2, 2);
    heap.push(0, 5.0);
    heap.push(1, 7.0);
    EXPECT_FALSE(heap.push(2, 8.0));
    EXPECT_TRUE(heap.push(3, 6.0));
    EXPECT_EQ(popAll(heap), (std::vector<double>{6.0, 5.0}));

    // Empty heap: pop and update do nothing.
    heap.popTop();
    EXPECT_EQ(heap.count, 0);
    heap.push(4, 1.0);
    heap.update(99, -5.0);
    double priority = 0.0;
    EXPECT_FALSE(heap.find(99, priority));
    ASSERT_TRUE(heap.find(4, priority));
    EXPECT_EQ(priority, 1.0);
    heap.release();
    EXPECT_EQ(heap.count, 0);
}

TEST(BoundedHeap, RefusesWithoutArrayAndKeepsTiesInPlace) {
    BoundedHeap heap;
    heap.clear();
    EXPECT_FALSE(heap.push(1, 1.0));
    EXPECT_EQ(heap.count, 0);
    heap.init(0, 1);
    EXPECT_FALSE(heap.push(1, 1.0));

    // Equal priorities are never swapped: the first pushed stays on top; on pop the
    // last item moves up and, the children being equal, stays (left child on ties).
    heap.clear();
    heap.init(4, 1);
    heap.push(0, 1.0);
    heap.push(1, 1.0);
    heap.push(2, 1.0);
    heap.push(3, 1.0);
    EXPECT_EQ(heap.top().key, 0);
    heap.popTop();
    EXPECT_EQ(heap.top().key, 3);
    EXPECT_EQ(heap.items[1].key, 1);
    EXPECT_EQ(heap.items[2].key, 2);

    // Update: an increased top priority sifts down to the left child on ties.
    heap.clear();
    heap.init(3, 1);
    heap.push(0, 1.0);
    heap.push(1, 2.0);
    heap.push(2, 2.0);
    heap.update(0, 5.0);
    EXPECT_EQ(heap.items[0].key, 1);
    EXPECT_EQ(heap.items[1].key, 0);
    heap.update(2, 0.5);
    EXPECT_EQ(heap.top().key, 2);
}

// Random push/pop/update sequences: the indexed heaps (dense and hash form) must hold the
// same items in the same array positions as the scanning heap, and pops must come out in
// sorted order.
TEST(BoundedHeap, KeyIndexMatchesScanOnRandomSequences) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        const int32_t mode = 1 + round % 2;
        const int32_t capacity = 1 + static_cast<int32_t>(random() % 40);
        const int32_t keyRange = round % 3 == 0 ? 1000000 : 3 * capacity;
        const bool uniqueKeys = round % 5 != 4;
        BoundedHeap scan, dense, hashed;
        scan.clear();
        dense.clear();
        hashed.clear();
        scan.init(capacity, mode);
        dense.init(capacity, mode, keyRange);
        hashed.init(capacity, mode, 1 << 30);
        std::vector<int32_t> present;
        for (int step = 0; step < 400; ++step) {
            const int action = static_cast<int>(random() % 10);
            // Few distinct priorities, so that ties are frequent.
            const double priority = static_cast<double>(random() % 8);
            if (action < 5) {
                int32_t key = static_cast<int32_t>(random() % keyRange);
                if (uniqueKeys && std::find(present.begin(), present.end(), key) != present.end()) {
                    continue;
                }
                scan.push(key, priority);
                dense.push(key, priority);
                hashed.push(key, priority);
            } else if (action < 7) {
                scan.popTop();
                dense.popTop();
                hashed.popTop();
            } else {
                int32_t key = scan.count > 0 && action < 9
                                  ? scan.items[random() % scan.count].key
                                  : static_cast<int32_t>(random() % keyRange);
                scan.update(key, priority);
                dense.update(key, priority);
                hashed.update(key, priority);
            }
            present.clear();
            for (int32_t i = 0; i < scan.count; ++i) {
                present.push_back(scan.items[i].key);
            }
            expectSameItems(scan, dense);
            expectSameItems(scan, hashed);
            // With repeated keys an update re-sorts only the last copy, so the heap
            // order holds only for unique keys.
            if (uniqueKeys) {
                expectHeapOrder(scan);
            }
            const int32_t probe = scan.count > 0 && step % 2 == 0
                                      ? scan.items[random() % scan.count].key
                                      : static_cast<int32_t>(random() % keyRange);
            double a = -1.0, b = -2.0, c = -3.0;
            const bool foundScan = scan.find(probe, a);
            ASSERT_EQ(foundScan, dense.find(probe, b));
            ASSERT_EQ(foundScan, hashed.find(probe, c));
            if (foundScan) {
                ASSERT_EQ(a, b);
                ASSERT_EQ(a, c);
            }
        }
        if (!uniqueKeys) {
            continue;
        }
        std::vector<double> order = popAll(scan);
        std::vector<double> sorted = order;
        if (mode == 1) {
            std::sort(sorted.begin(), sorted.end());
        } else {
            std::sort(sorted.rbegin(), sorted.rend());
        }
        EXPECT_EQ(order, sorted);
    }
}

// A key beyond the dense key range switches the index to its hash form; when that key
// replaces the top of a full heap, the replaced key must be gone from the index.
TEST(BoundedHeap, KeyIndexForgetsReplacedTopWhenLeavingDenseRange) {
    BoundedHeap scan, dense;
    scan.clear();
    dense.clear();
    scan.init(2, 1);
    dense.init(2, 1, 4);
    for (BoundedHeap* heap : {&scan, &dense}) {
        heap->push(0, 1.0);
        heap->push(1, 2.0);
        heap->push(100, 5.0);
    }
    expectSameItems(scan, dense);
    EXPECT_FALSE(scan.find(0));
    EXPECT_FALSE(dense.find(0));
    dense.update(0, -1.0);
    scan.update(0, -1.0);
    expectSameItems(scan, dense);
    double priority = 0.0;
    ASSERT_TRUE(dense.find(100, priority));
    EXPECT_EQ(priority, 5.0);
}
