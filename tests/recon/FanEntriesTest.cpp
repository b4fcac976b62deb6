// Tests for FanEntries: a fan reads the same entries whether they are kept in the record or
// in the heap block, across the move between the two, copies and moves.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "recon/FanEntries.h"

namespace {

// Every entry of the fan, 0 to MAX_FAN_SIZE - 1, through the const look-up.
std::vector<int32_t> allEntries(const FanEntries& fan) {
    std::vector<int32_t> entries;
    for (int32_t i = 0; i < MAX_FAN_SIZE; ++i) {
        entries.push_back(fan[static_cast<std::size_t>(i)]);
    }
    return entries;
}

} // namespace

// Entries written before the fan outgrows the record, and the stale entries beyond a fan's
// count that some passes read, survive the move to the heap block; entries never written
// read as 0 in either storage.
TEST(FanEntriesTest, EntriesSurviveTheMoveToTheHeapBlock) {
    FanEntries fan;
    std::vector<int32_t> expected(MAX_FAN_SIZE, 0);
    EXPECT_EQ(allEntries(fan), expected);
    for (int32_t i = 0; i < FanEntries::INLINE_CAPACITY; ++i) {
        fan[static_cast<std::size_t>(i)] = 100 + i;
        expected[static_cast<std::size_t>(i)] = 100 + i;
    }
    EXPECT_EQ(allEntries(fan), expected);
    // One entry past the record's room: the block takes over with the earlier entries.
    fan[static_cast<std::size_t>(FanEntries::INLINE_CAPACITY)] = 7;
    expected[static_cast<std::size_t>(FanEntries::INLINE_CAPACITY)] = 7;
    EXPECT_EQ(allEntries(fan), expected);
    fan[MAX_FAN_SIZE - 1] = 9;
    expected[MAX_FAN_SIZE - 1] = 9;
    EXPECT_EQ(allEntries(fan), expected);
    // first() of a count within the record's room still reads the block.
    const int32_t* entries = fan.first(3);
    EXPECT_EQ(entries[0], 100);
    EXPECT_EQ(entries[2], 102);

    // A whole fan copied in at once, longer than the record's room.
    FanEntries assigned;
    std::vector<int32_t> source(FanEntries::INLINE_CAPACITY + 3);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<int32_t>(50 + i);
    }
    assigned.assign(source.data(), static_cast<int32_t>(source.size()));
    for (std::size_t i = 0; i < source.size(); ++i) {
        EXPECT_EQ(assigned[i], source[i]) << "entry " << i;
    }
    EXPECT_EQ(assigned[source.size()], 0);
}

// Copies and moves between a small fan and one in its heap block carry every entry; a
// copy owns its entries (writing to it leaves the original alone).
TEST(FanEntriesTest, CopiesAndMovesCarryEveryEntry) {
    FanEntries small;
    small[0] = 4;
    small[1] = 5;
    FanEntries large;
    for (int32_t i = 0; i < FanEntries::INLINE_CAPACITY + 4; ++i) {
        large[static_cast<std::size_t>(i)] = 20 + i;
    }
    const std::vector<int32_t> smallEntries = allEntries(small);
    const std::vector<int32_t> largeEntries = allEntries(large);

    FanEntries copy(large);
    EXPECT_EQ(allEntries(copy), largeEntries);
    copy[1] = -1;
    EXPECT_EQ(large[1], 21);

    // Fans in blocks of either size assigned over each other, and a large fan assigned over
    // by a small one, read the assigned fan's entries only.
    FanEntries huge;
    for (int32_t i = 0; i < MAX_FAN_SIZE - 5; ++i) {
        huge[static_cast<std::size_t>(i)] = 1000 + i;
    }
    copy = huge;
    EXPECT_EQ(allEntries(copy), allEntries(huge));
    copy = large;
    EXPECT_EQ(allEntries(copy), largeEntries);
    copy = huge;
    copy = small;
    EXPECT_EQ(allEntries(copy), smallEntries);
    copy = large;
    EXPECT_EQ(allEntries(copy), largeEntries);

    FanEntries moved(std::move(copy));
    EXPECT_EQ(allEntries(moved), largeEntries);
    FanEntries target;
    target[0] = 99;
    target = std::move(moved);
    EXPECT_EQ(allEntries(target), largeEntries);
    target = FanEntries(small);
    EXPECT_EQ(allEntries(target), smallEntries);
}
