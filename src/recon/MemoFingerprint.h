// MemoFingerprint: a 64-bit fingerprint of the inputs of a remembered search. The search
// memos use it only to decide whether a point's search repeats and is worth keeping; an
// answer is taken from a memo only after its inputs compared equal in full.
#pragma once

#include <cstdint>
#include <vector>

// FNV-1a over the words; never 0, which marks "no fingerprint yet".
inline uint64_t memoFingerprint(const std::vector<int32_t>& words) {
    uint64_t hash = 14695981039346656037ull;
    for (const int32_t word : words) {
        hash ^= static_cast<uint32_t>(word);
        hash *= 1099511628211ull;
    }
    return hash == 0 ? 1 : hash;
}
