// MemoTable: the search memos of the growth, one per small integer key (a point, or a point
// and a layer parity), found by indexing a per-key slot array instead of hashing. The memos
// themselves lie side by side in a pool; removing one moves the last memo into its place, so
// the pool never has holes. Lookups are the hot path of the layer passes over a noisy cloud,
// where thousands of open points are looked up in every pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

template <typename Memo> class MemoTable {
  public:
    // The memo of key, or null when there is none. Keys are non-negative.
    Memo* find(int64_t key) {
        const size_t at = static_cast<size_t>(key);
        if (at >= slots.size() || slots[at] < 0) {
            return nullptr;
        }
        return &pool[static_cast<size_t>(slots[at])].memo;
    }

    // A new, default-constructed memo for key, which must have none. The reference stays valid
    // until the next insert or erase.
    Memo& insert(int64_t key) {
        const size_t at = static_cast<size_t>(key);
        if (at >= slots.size()) {
            slots.resize(at + 1, -1);
        }
        slots[at] = static_cast<int32_t>(pool.size());
        pool.push_back(Entry{key, Memo{}});
        return pool.back().memo;
    }

    // Removes the memo of key; nothing when there is none.
    void erase(int64_t key) {
        const size_t at = static_cast<size_t>(key);
        if (at >= slots.size() || slots[at] < 0) {
            return;
        }
        const size_t index = static_cast<size_t>(slots[at]);
        slots[at] = -1;
        if (index + 1 != pool.size()) {
            pool[index] = std::move(pool.back());
            slots[static_cast<size_t>(pool[index].key)] = static_cast<int32_t>(index);
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
    // Removes every memo; the storage is kept.
    void clear() {
        pool.clear();
        slots.clear();
    }
    // Removes every memo and returns the storage to the system.
    void release() {
        std::vector<Entry>().swap(pool);
        std::vector<int32_t>().swap(slots);
    }

  private:
    struct Entry {
        int64_t key;
        Memo memo;
    };
    std::vector<Entry> pool;
    std::vector<int32_t> slots; // per key: index into pool, -1 for none
};
