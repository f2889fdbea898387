#include "python/tui/system_monitor.hpp"

#include <cerrno>
#include <ctime>
#include <optional>

#include "python/tui/cpu_usage.hpp"
#include "python/tui/interval.hpp"
#include "python/tui/memory_info.hpp"
#include "python/tui/nvml.hpp"

namespace zimbrel::tui {
namespace {

constexpr unsigned kBytesPerMiBShift = 20;

void sleep_for(const timespec& period) {
  timespec remaining = period;
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

// CPU and RAM: the part of a sample every machine has.
class HostSampler {
 public:
  explicit HostSampler(MetricsBuffer& metrics) : metrics_(metrics) {
    cpu_.refresh();
    read_meminfo(&memory_);
    metrics_.total_memory_mb.store(memory_.total_bytes >> kBytesPerMiBShift);
  }

  void sample() {
    cpu_.refresh();
    read_meminfo(&memory_);
    metrics_.cpu_usage.store(static_cast<double>(cpu_.usage()));
    const uint64_t used = memory_.total_bytes > memory_.available_bytes ? memory_.total_bytes - memory_.available_bytes : 0;
    metrics_.memory_mb.store(used >> kBytesPerMiBShift);
  }

 private:
  MetricsBuffer& metrics_;
  CpuUsageMeter cpu_;
  MemoryInfo memory_;
};

// GPU 0 through NVML, when the library and the device are there.
class GpuSampler {
 public:
  GpuSampler(MetricsBuffer& metrics, const Nvml& nvml, Nvml::Device device)
      : metrics_(metrics), nvml_(nvml), device_(device) {
    Nvml::Memory memory;
    if (nvml_.memory(device_, &memory)) metrics_.total_gpu_memory_mb.store(memory.total_bytes >> kBytesPerMiBShift);
  }

  void sample() {
    unsigned load = 0;
    if (nvml_.utilization(device_, &load)) metrics_.gpu_usage.store(static_cast<double>(load));
    Nvml::Memory memory;
    if (nvml_.memory(device_, &memory)) metrics_.gpu_memory_mb.store(memory.used_bytes >> kBytesPerMiBShift);
  }

 private:
  MetricsBuffer& metrics_;
  const Nvml& nvml_;
  Nvml::Device device_;
};

void run_monitor(const std::shared_ptr<MetricsBuffer>& metrics, const std::shared_ptr<std::atomic<bool>>& running,
                 uint64_t monitor_interval_ms) {
  const timespec period = interval_timespec(monitor_interval_ms);
  HostSampler host(*metrics);
  // Declared before the sampler that borrows it, so it is shut down last.
  const std::unique_ptr<Nvml> nvml = Nvml::open();
  Nvml::Device device = nullptr;
  std::optional<GpuSampler> gpu;
  if (nvml && nvml->device(0, &device)) gpu.emplace(*metrics, *nvml, device);
  while (running->load()) {
    host.sample();
    if (gpu) gpu->sample();
    sleep_for(period);
  }
}

}  // namespace

std::thread spawn_monitor_thread(std::shared_ptr<MetricsBuffer> metrics, std::shared_ptr<std::atomic<bool>> running,
                                 uint64_t monitor_interval_ms) {
  return std::thread([metrics = std::move(metrics), running = std::move(running), monitor_interval_ms] {
    run_monitor(metrics, running, monitor_interval_ms);
  });
}

}  // namespace zimbrel::tui
