// MemoInputs: the two ways a search memo walks the inputs of a search. The gathering
// functions write the inputs word by word into a sink: AppendingInputs keeps them (to store
// a new memo), MatchingInputs compares them with a memo's stored inputs and lets the walk
// stop at the first word that differs, so an unchanged search is recognised without
// copying its inputs.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Appends every word to a vector; never stops the walk.
struct AppendingInputs {
    std::vector<int32_t>& out;

    bool put(int32_t word) {
        out.push_back(word);
        return true;
    }
    bool put(const int32_t* begin, const int32_t* end) {
        out.insert(out.end(), begin, end);
        return true;
    }
};

// Compares the words, in order, with stored ones; put returns false from the first word
// that differs or runs past the stored words on.
struct MatchingInputs {
    const int32_t* at;
    const int32_t* end;

    explicit MatchingInputs(const std::vector<int32_t>& stored)
        : at(stored.data()), end(stored.data() + stored.size()) {}

    bool put(int32_t word) {
        if (at == end || *at != word) {
            return false;
        }
        ++at;
        return true;
    }
    bool put(const int32_t* begin, const int32_t* stop) {
        const size_t count = static_cast<size_t>(stop - begin);
        if (static_cast<size_t>(end - at) < count ||
            (count > 0 && std::memcmp(at, begin, count * sizeof(int32_t)) != 0)) {
            return false;
        }
        at += count;
        return true;
    }
    // True when a walk that never stopped used up every stored word.
    bool complete() const { return at == end; }
};
