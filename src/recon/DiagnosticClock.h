// DiagnosticClock: a cheap millisecond tick count for the octree timing diagnostics
// (octreeTicks), which are taken around every ray query and component build. A monotonic
// clock is read in user space, unlike the process CPU clock, which costs a system call.
#pragma once

#include <chrono>
#include <cstdint>

// Milliseconds of a monotonic clock, truncated to 32 bits (only differences are used).
inline int32_t diagnosticTicks() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
