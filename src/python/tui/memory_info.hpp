// Installed and available RAM from /proc/meminfo.
#pragma once
#include <cstdint>
#include <string_view>

namespace zimbrel::tui {

struct MemoryInfo {
  uint64_t total_bytes = 0;
  uint64_t available_bytes = 0;
};

// Reads MemTotal and MemAvailable from the text of /proc/meminfo. Kernels
// without MemAvailable get MemFree + Buffers + Cached + SReclaimable - Shmem
// (sums saturate, the difference stops at 0).
MemoryInfo parse_meminfo(std::string_view text);

// Reads /proc/meminfo; false, leaving `out` alone, when it cannot be read.
bool read_meminfo(MemoryInfo* out);

}  // namespace zimbrel::tui
