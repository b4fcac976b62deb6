// Tests of the bounded heap: ordering, the full-heap rule, ties, and the key index agreeing
// with the plain scan on random operation sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "recon/BoundedHeap.h"

namespace {

void fill(BoundedHeap& heap, int32_t capacity, int32_t mode,
          std::initializer_list<std::pair<int32_t, double>> items) {
    heap.clear();
    heap.init(capacity, mode);
    for (const auto& [key, priority] : items) {
        heap.push(key, priority);
    }
}

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

} // namespace

TEST(BoundedHeap, OrderingFullHeapTiesAndEmptyOperations) {
    BoundedHeap heap;
    fill(heap, 3, 1, {{10, 3.0}, {11, 1.0}, {12, 2.0}});
    EXPECT_EQ(popAll(heap), (std::vector<double>{1.0, 2.0, 3.0}));

    // A full heap keeps the largest priorities seen in mode 1, the smallest in mode 2.
    fill(heap, 2, 1, {{0, 5.0}, {1, 7.0}});
    EXPECT_FALSE(heap.push(2, 4.0));
    EXPECT_TRUE(heap.push(3, 6.0));
    EXPECT_FALSE(heap.find(0));
    EXPECT_TRUE(heap.find(3));
    EXPECT_EQ(popAll(heap), (std::vector<double>{6.0, 7.0}));
    fill(heap, 2, 2, {{0, 5.0}, {1, 7.0}});
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

    // Without an array nothing is pushed.
    BoundedHeap bare;
    bare.clear();
    EXPECT_FALSE(bare.push(1, 1.0));
    EXPECT_EQ(bare.count, 0);
    bare.init(0, 1);
    EXPECT_FALSE(bare.push(1, 1.0));

    // Equal priorities are never swapped: the first pushed stays on top; on pop the last
    // item moves up and, the children being equal, stays (left child on ties).
    fill(bare, 4, 1, {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}});
    EXPECT_EQ(bare.top().key, 0);
    bare.popTop();
    EXPECT_EQ(bare.top().key, 3);
    EXPECT_EQ(bare.items[1].key, 1);
    EXPECT_EQ(bare.items[2].key, 2);
    // An increased top priority sifts down to the left child on ties.
    fill(bare, 3, 1, {{0, 1.0}, {1, 2.0}, {2, 2.0}});
    bare.update(0, 5.0);
    EXPECT_EQ(bare.items[0].key, 1);
    EXPECT_EQ(bare.items[1].key, 0);
    bare.update(2, 0.5);
    EXPECT_EQ(bare.top().key, 2);
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
        BoundedHeap heaps[3]; // scan, dense index, hash index
        const int32_t keyLimits[3] = {-1, keyRange, 1 << 30};
        for (int h = 0; h < 3; ++h) {
            heaps[h].clear();
            heaps[h].init(capacity, mode, keyLimits[h]);
        }
        BoundedHeap& scan = heaps[0];
        for (int step = 0; step < 400; ++step) {
            const int action = static_cast<int>(random() % 10);
            // Few distinct priorities, so that ties are frequent.
            const double priority = static_cast<double>(random() % 8);
            const int32_t key = scan.count > 0 && action >= 7 && action < 9
                                    ? scan.items[random() % scan.count].key
                                    : static_cast<int32_t>(random() % keyRange);
            if (action < 5 && uniqueKeys && scan.find(key)) {
                continue;
            }
            for (BoundedHeap& heap : heaps) {
                if (action < 5) {
                    heap.push(key, priority);
                } else if (action < 7) {
                    heap.popTop();
                } else {
                    heap.update(key, priority);
                }
            }
            expectSameItems(scan, heaps[1]);
            expectSameItems(scan, heaps[2]);
            // With repeated keys an update re-sorts only the last copy, so the heap order
            // holds only for unique keys.
            for (int32_t i = 1; uniqueKeys && i < scan.count; ++i) {
                const double child = scan.items[i].priority;
                const double parent = scan.items[(i + 1) / 2 - 1].priority;
                ASSERT_TRUE(mode == 1 ? parent <= child : parent >= child);
            }
            const int32_t probe = scan.count > 0 && step % 2 == 0
                                      ? scan.items[random() % scan.count].key
                                      : static_cast<int32_t>(random() % keyRange);
            double found[3] = {-1.0, -2.0, -3.0};
            const bool inScan = scan.find(probe, found[0]);
            ASSERT_EQ(inScan, heaps[1].find(probe, found[1]));
            ASSERT_EQ(inScan, heaps[2].find(probe, found[2]));
            if (inScan) {
                ASSERT_EQ(found[0], found[1]);
                ASSERT_EQ(found[0], found[2]);
            }
        }
        if (uniqueKeys) {
            std::vector<double> order = popAll(scan);
            std::vector<double> sorted = order;
            std::sort(sorted.begin(), sorted.end());
            if (mode == 2) {
                std::reverse(sorted.begin(), sorted.end());
            }
            EXPECT_EQ(order, sorted);
        }
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
        EXPECT_FALSE(heap->find(0));
        heap->update(0, -1.0);
    }
    expectSameItems(scan, dense);
    double priority = 0.0;
    ASSERT_TRUE(dense.find(100, priority));
    EXPECT_EQ(priority, 5.0);
}
