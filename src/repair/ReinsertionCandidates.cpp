// The walks back from the records that kept reinsertions edited, and the index of fan and
// link entries they walk along.
#include "repair/ReinsertionCandidates.h"

#include "recon/ReconstructionState.h"

namespace {

// Fills start/by with, per record x, the records r whose list (entries(r)) holds x.
template <typename Entries>
void indexBackwards(int32_t total, Entries entries, std::vector<int32_t>& start,
                    std::vector<int32_t>& by) {
    start.assign(static_cast<size_t>(total) + 1, 0);
    for (int32_t r = 0; r < total; ++r) {
        entries(r, [&](int32_t x) {
            if (x >= 0 && x < total) {
                ++start[static_cast<size_t>(x) + 1];
            }
        });
    }
    for (size_t x = 0; x < static_cast<size_t>(total); ++x) {
        start[x + 1] += start[x];
    }
    by.resize(static_cast<size_t>(start.back()));
    std::vector<int32_t> next(start.begin(), start.end() - 1);
    for (int32_t r = 0; r < total; ++r) {
        entries(r, [&](int32_t x) {
            if (x >= 0 && x < total) {
                by[static_cast<size_t>(next[static_cast<size_t>(x)]++)] = r;
            }
        });
    }
}

// Adds to the walk the records that list one of reached[from, to) (start/by).
void stepBack(ReinsertionCandidates& c, size_t from, size_t to, const std::vector<int32_t>& start,
              const std::vector<int32_t>& by) {
    for (size_t k = from; k < to; ++k) {
        const size_t x = static_cast<size_t>(c.reached[k]);
        for (int32_t e = start[x]; e < start[x + 1]; ++e) {
            const int32_t r = by[static_cast<size_t>(e)];
            if (c.marks[static_cast<size_t>(r)] != c.walk) {
                c.marks[static_cast<size_t>(r)] = c.walk;
                c.reached.push_back(r);
            }
        }
    }
}

// Marks every record from which a path (a link, a fan entry, a fan entry, a link, each
// optional) leads to one of records.
void walkBack(ReinsertionCandidates& c, const std::vector<int32_t>& records) {
    ++c.walk;
    c.reached.clear();
    for (const int32_t x : records) {
        if (c.marks[static_cast<size_t>(x)] != c.walk) {
            c.marks[static_cast<size_t>(x)] = c.walk;
            c.reached.push_back(x);
        }
    }
    stepBack(c, 0, c.reached.size(), c.linkedStart, c.linkedBy);
    const size_t linked = c.reached.size();
    stepBack(c, 0, linked, c.heldStart, c.heldBy);
    // The records reached up to the link step are held already.
    const size_t held = c.reached.size();
    stepBack(c, linked, held, c.heldStart, c.heldBy);
    stepBack(c, 0, c.reached.size(), c.linkedStart, c.linkedBy);
    for (const int32_t r : c.reached) {
        c.nearEdit[static_cast<size_t>(r)] = 1;
    }
}

} // namespace

void startReinsertionPass(ReinsertionCandidates& c, const ReconstructionState& state) {
    const int32_t total = state.totalCount;
    const size_t count = static_cast<size_t>(total);
    if (c.isEdited.size() != count) {
        c.isEdited.assign(count, 0);
    }
    if (c.edited.empty()) {
        return; // the first pass, or nothing changed
    }
    const auto fanEntries = [&state](int32_t r, const auto& visit) {
        const Vertex& record = state.vertices[r];
        for (int32_t m = 0; m < record.triangleFanCount; ++m) {
            visit(record.triangleFan[m]);
        }
    };
    const auto linkEntries = [&state](int32_t r, const auto& visit) {
        for (const int32_t x : state.vertices[r].connectedPoints) {
            visit(x);
        }
    };
    indexBackwards(total, fanEntries, c.heldStart, c.heldBy);
    indexBackwards(total, linkEntries, c.linkedStart, c.linkedBy);
    c.indexed = true;
    c.nearEdit.assign(count, 0);
    c.marks.assign(count, 0);
    c.walk = 0;
    walkBack(c, c.edited);
    for (const int32_t x : c.edited) {
        c.isEdited[static_cast<size_t>(x)] = 0;
    }
    c.edited.clear();
}

void noteKeptInsertion(ReinsertionCandidates& c, const std::vector<int32_t>& records) {
    for (const int32_t x : records) {
        if (c.isEdited[static_cast<size_t>(x)] == 0) {
            c.isEdited[static_cast<size_t>(x)] = 1;
            c.edited.push_back(x);
        }
    }
    if (c.indexed) {
        walkBack(c, records);
    }
}

bool mayReinsertNow(const ReinsertionCandidates& c, const ReconstructionState& state, int32_t i) {
    if (!c.indexed || c.nearEdit[static_cast<size_t>(i)] != 0) {
        return true;
    }
    for (const int32_t k : state.vertices[i].neighbours) {
        if (k >= 0 && k < state.totalCount && c.nearEdit[static_cast<size_t>(k)] != 0) {
            return true;
        }
    }
    return false;
}
