// Tests of the memo table: after any mix of inserts and removals every key finds exactly its
// own memo, also the memos moved into the places of removed ones.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "recon/MemoTable.h"

namespace {

struct Tagged {
    int64_t tag = -1;
    std::vector<int32_t> words;
};

// Every key of expected finds a memo carrying its tag, and no other key below limit finds one.
void expectContents(MemoTable<Tagged>& table, const std::map<int64_t, int64_t>& expected,
                    int64_t limit) {
    EXPECT_EQ(table.size(), expected.size());
    for (int64_t key = 0; key < limit; ++key) {
        Tagged* memo = table.find(key);
        const auto wanted = expected.find(key);
        if (wanted == expected.end()) {
            EXPECT_EQ(memo, nullptr) << key;
        } else {
            ASSERT_NE(memo, nullptr) << key;
            EXPECT_EQ(memo->tag, wanted->second) << key;
            EXPECT_EQ(memo->words, std::vector<int32_t>(3, static_cast<int32_t>(wanted->second)));
        }
    }
}

} // namespace

TEST(MemoTable, RemovalsKeepEveryOtherKeyOnItsOwnMemo) {
    MemoTable<Tagged> table;
    std::map<int64_t, int64_t> expected;
    const auto add = [&](int64_t key, int64_t tag) {
        Tagged& memo = table.insert(key);
        EXPECT_EQ(memo.tag, -1); // a new memo starts empty
        memo.tag = tag;
        memo.words.assign(3, static_cast<int32_t>(tag));
        expected[key] = tag;
    };
    EXPECT_EQ(table.find(0), nullptr);
    EXPECT_EQ(table.find(1000), nullptr); // past the slots: no memo, no growth
    for (int64_t key : {40, 3, 17, 0, 25, 9}) {
        add(key, key * 10 + 1);
    }
    expectContents(table, expected, 50);

    // Removing the first, a middle and the last memo; an absent key changes nothing.
    for (int64_t key : {40, 0, 9, 9, 33}) {
        table.erase(key);
        expected.erase(key);
        expectContents(table, expected, 50);
    }
    // A removed key can be filled again.
    add(40, 7);
    add(12, 8);
    expectContents(table, expected, 50);

    // eraseIf also looks at the memos moved into the places of removed ones.
    table.eraseIf([](int64_t key) { return key % 2 == 1 || key == 12; });
    for (auto entry = expected.begin(); entry != expected.end();) {
        entry = entry->first % 2 == 1 || entry->first == 12 ? expected.erase(entry) : ++entry;
    }
    expectContents(table, expected, 50);

    table.clear();
    expected.clear();
    expectContents(table, expected, 50);
    EXPECT_TRUE(table.empty());
    add(5, 5);
    expectContents(table, expected, 50);
}

TEST(MemoTable, ManyKeysSharingProbeRunsSurviveRemovalsAndEnlargements) {
    // Thousands of keys, consecutive (as point numbers are) and scattered, inserted and removed
    // at random: removals in the middle of a run of colliding keys must leave every later key
    // of the run findable, and the table's enlargements must keep every memo.
    MemoTable<Tagged> table;
    std::map<int64_t, int64_t> expected;
    std::mt19937 random(5);
    for (int64_t step = 0; step < 20000; ++step) {
        const int64_t key = step % 2 == 0 ? static_cast<int64_t>(random() % 3000)
                                          : static_cast<int64_t>(random() % 4000000000u);
        if (expected.count(key) != 0 || random() % 3 == 0) {
            table.erase(key);
            expected.erase(key);
        } else {
            Tagged& memo = table.insert(key);
            memo.tag = step;
            memo.words.assign(3, static_cast<int32_t>(step));
            expected[key] = step;
        }
    }
    expectContents(table, expected, 3000);
    for (const auto& [key, tag] : expected) {
        Tagged* memo = table.find(key);
        ASSERT_NE(memo, nullptr) << key;
        EXPECT_EQ(memo->tag, tag) << key;
    }
}
