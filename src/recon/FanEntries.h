// FanEntries: the accepted fan of one point, at most MAX_FAN_SIZE point indices in cyclic
// order. Nearly every fan has fewer than a dozen entries, so the first INLINE_CAPACITY live
// in the record itself; a fan that grows past them moves to a heap block of MAX_FAN_SIZE
// entries, which the record keeps until it is destroyed. Entries never written read as 0,
// in either storage.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

inline constexpr int32_t MAX_FAN_SIZE = 80;

struct FanEntries {
    static constexpr int32_t INLINE_CAPACITY = 12;

    FanEntries() = default;
    FanEntries(const FanEntries& other) { copyFrom(other); }
    FanEntries(FanEntries&& other) noexcept : heap(other.heap) {
        other.heap = nullptr;
        std::copy(other.local, other.local + INLINE_CAPACITY, local);
    }
    FanEntries& operator=(const FanEntries& other) {
        if (this != &other) {
            copyFrom(other);
        }
        return *this;
    }
    FanEntries& operator=(FanEntries&& other) noexcept {
        if (this != &other) {
            delete[] heap;
            heap = other.heap;
            other.heap = nullptr;
            std::copy(other.local, other.local + INLINE_CAPACITY, local);
        }
        return *this;
    }
    ~FanEntries() { delete[] heap; }

    // The first count entries (count at most MAX_FAN_SIZE) as one array, for reading or
    // writing; room for them is made first.
    int32_t* first(int32_t count) {
        reserve(count);
        return data();
    }
    const int32_t* first(int32_t count) const {
        reserve(count);
        return data();
    }

    // Makes room for count entries (count at most MAX_FAN_SIZE). Const, as it changes where
    // the entries are kept but not their values.
    void reserve(int32_t count) const {
        if (count > INLINE_CAPACITY && heap == nullptr) {
            heap = new int32_t[MAX_FAN_SIZE]();
            std::copy(local, local + INLINE_CAPACITY, heap);
        }
    }

    // Entry i (i < MAX_FAN_SIZE); writing to it makes room for it first.
    int32_t& operator[](std::size_t i) {
        if (heap == nullptr) {
            if (i < static_cast<std::size_t>(INLINE_CAPACITY)) {
                return local[i];
            }
            reserve(MAX_FAN_SIZE);
        }
        return heap[i];
    }
    int32_t operator[](std::size_t i) const {
        if (heap == nullptr) {
            return i < static_cast<std::size_t>(INLINE_CAPACITY) ? local[i] : 0;
        }
        return heap[i];
    }

    // Copies count entries from source into the fan, from its first entry on.
    void assign(const int32_t* source, int32_t count) {
        std::copy(source, source + count, first(count));
    }

  private:
    int32_t* data() const { return heap != nullptr ? heap : local; }

    void copyFrom(const FanEntries& other) {
        if (other.heap != nullptr) {
            reserve(MAX_FAN_SIZE);
            std::copy(other.heap, other.heap + MAX_FAN_SIZE, heap);
        } else {
            delete[] heap;
            heap = nullptr;
        }
        std::copy(other.local, other.local + INLINE_CAPACITY, local);
    }

    mutable int32_t* heap = nullptr;
    mutable int32_t local[INLINE_CAPACITY] = {};
};
