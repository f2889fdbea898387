// NVIDIA's management library, opened at run time so that machines without
// the driver need nothing: "libnvidia-ml.so" is tried first, then
// "libnvidia-ml.so.1", the only name a driver without development files
// installs. Five functions are resolved by name; a missing one counts as no
// library.
//
// An open Nvml has been initialised; its destructor shuts NVML down and
// unloads the library. Use it from one thread. Copying is deleted.
#pragma once
#include <cstdint>
#include <memory>

namespace zimbrel::tui {

class Nvml {
 public:
  // Null when the library is missing, lacks a function or fails to initialise.
  static std::unique_ptr<Nvml> open();
  ~Nvml();
  Nvml(const Nvml&) = delete;
  Nvml& operator=(const Nvml&) = delete;

  using Device = void*;
  struct Memory {
    uint64_t total_bytes;
    uint64_t used_bytes;
  };

  // Each returns false when NVML reports anything but success.
  bool device(unsigned index, Device* out) const;
  bool memory(Device device, Memory* out) const;
  bool utilization(Device device, unsigned* gpu_percent) const;

 private:
  struct Functions;
  Nvml(void* library, std::unique_ptr<Functions> functions);

  void* library_;
  std::unique_ptr<Functions> functions_;
};

}  // namespace zimbrel::tui
