// PointStates: the growth state of every record (0 open, 1 completed, other values for points
// set aside by a pass), readable by everyone but written only through
// ReconstructionState::setPointState, which also tells the search memos that read the state
// (EditWatch). Keeping the writes behind one member lets the compiler find every one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ReconstructionState;

class PointStates {
  public:
    uint8_t operator[](size_t i) const { return values[i]; }
    size_t size() const { return values.size(); }
    bool empty() const { return values.empty(); }
    std::vector<uint8_t>::const_iterator begin() const { return values.begin(); }
    std::vector<uint8_t>::const_iterator end() const { return values.end(); }
    // The states as one vector, for copies and comparisons.
    const std::vector<uint8_t>& all() const { return values; }
    operator const std::vector<uint8_t>&() const { return values; }

    friend bool operator==(const PointStates& a, const std::vector<uint8_t>& b) {
        return a.values == b;
    }
    friend bool operator!=(const PointStates& a, const std::vector<uint8_t>& b) {
        return a.values != b;
    }

  private:
    friend struct ReconstructionState;
    std::vector<uint8_t> values;
};
