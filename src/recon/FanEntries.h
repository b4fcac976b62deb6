// FanEntries: the accepted fan of one point, at most MAX_FAN_SIZE point indices in cyclic
// order. Nearly every fan has at most eight entries, so the first INLINE_CAPACITY live
// in the record itself; a fan that grows past them moves to a heap block of SMALL_BLOCK
// entries, and past those to one of MAX_FAN_SIZE; the record keeps its block until it is
// destroyed. Entries never written read as 0, in any storage.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

inline constexpr int32_t MAX_FAN_SIZE = 80;

struct FanEntries {
    static constexpr int32_t INLINE_CAPACITY = 8;
    static constexpr int32_t SMALL_BLOCK = 16;

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
        if (count <= capacity()) {
            return;
        }
        const int32_t size = count <= SMALL_BLOCK ? SMALL_BLOCK : MAX_FAN_SIZE;
        int32_t* block = new int32_t[static_cast<std::size_t>(size)]();
        const int32_t* entries = data();
        std::copy(entries, entries + capacity(), block);
        delete[] heap;
        heap = block;
        blockSize() = size;
    }

    // Entry i (i < MAX_FAN_SIZE); writing to it makes room for it first.
    int32_t& operator[](std::size_t i) {
        const int32_t index = static_cast<int32_t>(i);
        if (index >= capacity()) {
            reserve(index + 1);
        }
        return data()[i];
    }
    int32_t operator[](std::size_t i) const {
        return static_cast<int32_t>(i) < capacity() ? data()[i] : 0;
    }

    // Copies count entries from source into the fan, from its first entry on.
    void assign(const int32_t* source, int32_t count) {
        std::copy(source, source + count, first(count));
    }

  private:
    int32_t* data() const { return heap != nullptr ? heap : local; }
    // Entries the current storage holds. While a block is in use the record's own entries
    // are not, and the first of them holds the block's size.
    int32_t capacity() const { return heap != nullptr ? local[0] : INLINE_CAPACITY; }
    int32_t& blockSize() const { return local[0]; }

    void copyFrom(const FanEntries& other) {
        if (other.heap != nullptr) {
            if (heap == nullptr || blockSize() != other.blockSize()) {
                delete[] heap;
                heap = new int32_t[static_cast<std::size_t>(other.blockSize())];
            }
            std::copy(other.heap, other.heap + other.blockSize(), heap);
        } else {
            delete[] heap;
            heap = nullptr;
        }
        std::copy(other.local, other.local + INLINE_CAPACITY, local);
    }

    mutable int32_t* heap = nullptr;
    mutable int32_t local[INLINE_CAPACITY] = {};
};
