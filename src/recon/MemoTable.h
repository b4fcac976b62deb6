// MemoTable: the search memos of the growth, one per small integer key (a point, or a point
// and a layer parity), found by indexing a per-key slot array instead of hashing. The slots
// come in pages that are made only when a key in their range gets a memo, so a large cloud
// with memos for a few of its points holds few pages. The memos themselves lie side by side
// in a pool; removing one moves the last memo into its place, so the pool never has holes.
// Lookups are the hot path of the layer passes over a noisy cloud, where thousands of open
// points are looked up in every pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

template <typename Memo> class MemoTable {
  public:
    // The memo of key, or null when there is none. Keys are non-negative.
    Memo* find(int64_t key) {
        const int32_t* page = pageOf(key);
        if (page == nullptr) {
            return nullptr;
        }
        const int32_t index = page[static_cast<size_t>(key) % PAGE_SIZE];
        return index < 0 ? nullptr : &pool[static_cast<size_t>(index)].memo;
    }

    // A new, default-constructed memo for key, which must have none. The reference stays valid
    // until the next insert or erase.
    Memo& insert(int64_t key) {
        const size_t number = static_cast<size_t>(key) / PAGE_SIZE;
        if (number >= pages.size()) {
            pages.resize(number + 1);
        }
        if (!pages[number]) {
            pages[number] = std::make_unique<int32_t[]>(PAGE_SIZE);
            std::fill(pages[number].get(), pages[number].get() + PAGE_SIZE, -1);
        }
        pages[number][static_cast<size_t>(key) % PAGE_SIZE] = static_cast<int32_t>(pool.size());
        pool.push_back(Entry{key, Memo{}});
        return pool.back().memo;
    }

    // Removes the memo of key; nothing when there is none.
    void erase(int64_t key) {
        int32_t* page = pageOf(key);
        if (page == nullptr || page[static_cast<size_t>(key) % PAGE_SIZE] < 0) {
            return;
        }
        int32_t& slot = page[static_cast<size_t>(key) % PAGE_SIZE];
        const size_t index = static_cast<size_t>(slot);
        slot = -1;
        if (index + 1 != pool.size()) {
            pool[index] = std::move(pool.back());
            pageOf(pool[index].key)[static_cast<size_t>(pool[index].key) % PAGE_SIZE] =
                static_cast<int32_t>(index);
        }
        pool.pop_back();
    }

    // Removes every memo for whose key drop(key) is true.
    template <typename Predicate> void eraseIf(Predicate drop) {
        for (size_t index = 0; index < pool.size();) {
            const int64_t key = pool[index].key;
            if (drop(key)) {
                erase(key); // moves the last memo to index, which is looked at next
            } else {
                ++index;
            }
        }
    }

    // Calls visit(key, memo) for every memo, in no particular order.
    template <typename Visit> void forEach(Visit visit) {
        for (Entry& entry : pool) {
            visit(entry.key, entry.memo);
        }
    }

    bool empty() const { return pool.empty(); }
    size_t size() const { return pool.size(); }
    // Removes every memo; the pool's storage is kept.
    void clear() {
        pool.clear();
        pages.clear();
    }
    // Removes every memo and returns the storage to the system.
    void release() {
        std::vector<Entry>().swap(pool);
        std::vector<std::unique_ptr<int32_t[]>>().swap(pages);
    }

  private:
    static constexpr size_t PAGE_SIZE = 256;
    struct Entry {
        int64_t key;
        Memo memo;
    };
    // The slot page holding key, or null when none was made.
    int32_t* pageOf(int64_t key) const {
        const size_t number = static_cast<size_t>(key) / PAGE_SIZE;
        return number < pages.size() ? pages[number].get() : nullptr;
    }
    std::vector<Entry> pool;
    // Per page of PAGE_SIZE keys: per key the index into pool, -1 for none; null for a page
    // without a memo so far.
    std::vector<std::unique_ptr<int32_t[]>> pages;
};
