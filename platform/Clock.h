// The system millisecond timer: a monotonic 32-bit count of milliseconds
// that wraps around like the Windows timer the demos were timed with.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

std::uint32_t TimeGetTime();

// Tests can replace the timer; an empty function restores the real one.
void SetTimeSource(std::function<std::uint32_t()> source);

// Sleeps the calling thread (used only to avoid spinning while minimised).
void SleepMilliseconds(std::uint32_t ms);

}  // namespace platform
