// PointBits: one bit per point, for per-point flags that most points never set; an eighth of
// the memory of a byte per point.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class PointBits {
  public:
    // Makes room for count points, every bit clear.
    void assign(size_t count) { words.assign((count + 63) / 64, 0); }
    // Makes room for at least count points; the bits set stay set, new bits are clear.
    void grow(size_t count) {
        if (words.size() * 64 < count) {
            words.resize((count + 63) / 64, 0);
        }
    }
    // Number of points there is room for (a multiple of 64).
    size_t size() const { return words.size() * 64; }
    // Whether the bit of i is set; false for i out of range.
    bool test(size_t i) const {
        return i / 64 < words.size() && ((words[i / 64] >> (i % 64)) & 1) != 0;
    }
    // Sets the bit of i, which must be in range.
    void set(size_t i) { words[i / 64] |= uint64_t{1} << (i % 64); }
    // Sets every bit set in other (of the same size) and clears other.
    void takeFrom(PointBits& other) {
        for (size_t w = 0; w < words.size() && w < other.words.size(); ++w) {
            words[w] |= other.words[w];
        }
        std::fill(other.words.begin(), other.words.end(), 0);
    }
    // Returns the storage.
    void release() { std::vector<uint64_t>().swap(words); }

  private:
    std::vector<uint64_t> words;
};
