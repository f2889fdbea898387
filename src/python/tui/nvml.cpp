#include "python/tui/nvml.hpp"

#include <dlfcn.h>

namespace zimbrel::tui {
namespace {

// The C ABI of the five functions, as NVML's header declares it.
using Status = int;  // nvmlReturn_t; 0 is success
constexpr Status kSuccess = 0;
struct MemoryRecord {  // nvmlMemory_t
  unsigned long long total, free, used;
};
struct UtilizationRecord {  // nvmlUtilization_t
  unsigned int gpu, memory;
};

constexpr const char* kLibraryNames[] = {"libnvidia-ml.so", "libnvidia-ml.so.1"};

void* load_library() {
  for (const char* name : kLibraryNames) {
    if (void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return nullptr;
}

template <typename F>
bool resolve(void* library, const char* name, F** out) {
  *out = reinterpret_cast<F*>(::dlsym(library, name));
  return *out != nullptr;
}

}  // namespace

struct Nvml::Functions {
  Status (*init)();
  Status (*shutdown)();
  Status (*device_by_index)(unsigned, Device*);
  Status (*memory_info)(Device, MemoryRecord*);
  Status (*utilization_rates)(Device, UtilizationRecord*);

  bool resolve_all(void* library) {
    return resolve(library, "nvmlInit_v2", &init) && resolve(library, "nvmlShutdown", &shutdown) &&
           resolve(library, "nvmlDeviceGetHandleByIndex_v2", &device_by_index) &&
           resolve(library, "nvmlDeviceGetMemoryInfo", &memory_info) &&
           resolve(library, "nvmlDeviceGetUtilizationRates", &utilization_rates);
  }
};

Nvml::Nvml(void* library, std::unique_ptr<Functions> functions)
    : library_(library), functions_(std::move(functions)) {}

std::unique_ptr<Nvml> Nvml::open() {
  void* library = load_library();
  if (library == nullptr) return nullptr;
  auto functions = std::make_unique<Functions>();
  if (!functions->resolve_all(library) || functions->init() != kSuccess) {
    ::dlclose(library);
    return nullptr;
  }
  return std::unique_ptr<Nvml>(new Nvml(library, std::move(functions)));
}

Nvml::~Nvml() {
  functions_->shutdown();
  ::dlclose(library_);
}

bool Nvml::device(unsigned index, Device* out) const { return functions_->device_by_index(index, out) == kSuccess; }

bool Nvml::memory(Device device, Memory* out) const {
  MemoryRecord record{};
  if (functions_->memory_info(device, &record) != kSuccess) return false;
  *out = Memory{record.total, record.used};
  return true;
}

bool Nvml::utilization(Device device, unsigned* gpu_percent) const {
  UtilizationRecord record{};
  if (functions_->utilization_rates(device, &record) != kSuccess) return false;
  *gpu_percent = record.gpu;
  return true;
}

}  // namespace zimbrel::tui
