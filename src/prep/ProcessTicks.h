// Process clock and wall clock in milliseconds: the tick unit of every preparation timing line.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

inline constexpr int32_t PROCESS_TICKS_PER_SECOND = 1000;

// Processor time used so far, in ticks of 1/1000 s.
inline long processTicks() {
    return static_cast<long>(std::clock() / (CLOCKS_PER_SEC / PROCESS_TICKS_PER_SECOND));
}

// Milliseconds on a monotonic wall clock. With several threads the processor time grows with
// the thread count, so durations the user reads as elapsed time are taken from this clock.
inline long wallTicks() {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}
