// The system monitor thread: samples whole-machine CPU and RAM use and, when
// NVML opens GPU 0, its load and memory, and stores them in the metric cells.
//
// The thread writes only cpu_usage, memory_mb and total_memory_mb, and with a
// GPU gpu_usage, gpu_memory_mb and total_gpu_memory_mb, each by a single
// atomic store; it takes no lock. It tests `running` before each sample and
// sleeps a full period after it, so stopping takes up to one period. It never
// reports an error: a reading that fails leaves its cell as it was.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "python/tui/shared_state.hpp"

namespace zimbrel::tui {

// Throws std::system_error when the thread cannot be started.
std::thread spawn_monitor_thread(std::shared_ptr<MetricsBuffer> metrics, std::shared_ptr<std::atomic<bool>> running,
                                 uint64_t monitor_interval_ms);

}  // namespace zimbrel::tui
