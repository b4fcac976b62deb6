// Process clock in milliseconds: the tick unit of every preparation timing line.
#pragma once

#include <cstdint>
#include <ctime>

inline constexpr int32_t PROCESS_TICKS_PER_SECOND = 1000;

// Processor time used so far, in ticks of 1/1000 s.
inline long processTicks() {
    return static_cast<long>(std::clock() / (CLOCKS_PER_SEC / PROCESS_TICKS_PER_SECOND));
}
