// The monitor's intervals arrive as unsigned millisecond counts; these turn
// them into durations without overflowing for huge counts.
#pragma once
#include <chrono>
#include <cstdint>
#include <ctime>

namespace zimbrel::tui {

// A steady-clock duration, saturating at its largest value.
inline std::chrono::steady_clock::duration interval_duration(uint64_t ms) {
  using Duration = std::chrono::steady_clock::duration;
  constexpr uint64_t kLargest = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Duration::max()).count());
  if (ms >= kLargest) return Duration::max();
  return std::chrono::duration_cast<Duration>(std::chrono::milliseconds(ms));
}

// ms / 1000 seconds plus (ms mod 1000) milliseconds, as nanosleep takes it.
inline timespec interval_timespec(uint64_t ms) {
  return timespec{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
}

}  // namespace zimbrel::tui
