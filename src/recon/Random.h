// Random: a small deterministic 15-bit linear congruential generator with the
// seed/draw semantics of the classic C library generator (values 0..32767), so the
// random layer vectors are the same on every platform and in every run.
#pragma once

#include <cstdint>

// Largest value a draw can return.
inline constexpr int32_t RANDOM_MAX = 32767;
// Fixed seed used at the start of every construction, so that runs are reproducible.
inline constexpr uint32_t RANDOM_SEED = 1u;

struct RandomGenerator {
    uint32_t state = 1u;

    void seed(uint32_t seedValue) { state = seedValue; }
    // Advances the state and returns the next value in [0, RANDOM_MAX].
    int32_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7fffu);
    }
};
