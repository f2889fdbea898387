// Whole-machine CPU utilisation from the aggregate first line of /proc/stat.
#pragma once
#include <chrono>
#include <cstdint>
#include <string_view>

namespace zimbrel::tui {

// Cumulative times of all CPUs, in the kernel's clock ticks.
struct CpuTimes {
  uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0;
  uint64_t irq = 0, softirq = 0, steal = 0, guest = 0, guest_nice = 0;
};

// Parses a "cpu ..." line; fields the kernel does not give stay 0. False when
// the line is not the aggregate line.
bool parse_cpu_line(std::string_view line, CpuTimes* out);

// The busy share of the time between two readings, in percent, capped at 100.
// Guest time is already part of user and nice time, so it counts once.
float cpu_usage_between(const CpuTimes& previous, const CpuTimes& current);

// Keeps the previous reading of /proc/stat and the usage computed from it.
// Usage is recomputed only when more than 200 ms have passed since the last
// computation, so that two refreshes in quick succession do not divide
// noise by a few ticks. The first refresh compares against zero counters and
// so gives the average since boot. Not thread safe.
class CpuUsageMeter {
 public:
  void refresh();
  float usage() const { return usage_; }

 private:
  static constexpr std::chrono::milliseconds kMinimumSpan{200};

  CpuTimes previous_;
  float usage_ = 0.0f;
  bool computed_ = false;
  std::chrono::steady_clock::time_point computed_at_;
};

}  // namespace zimbrel::tui
