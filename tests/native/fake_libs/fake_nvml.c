/* A stand-in for NVIDIA's management library with one GPU, for tests.
 *
 * Environment variables (read at each call):
 *   FAKE_NVML_INIT_STATUS   status returned by nvmlInit_v2 (default 0, success)
 *   FAKE_NVML_DEVICES       number of devices (default 1)
 *   FAKE_NVML_TOTAL_MIB     device memory size in MiB (default 8192)
 *   FAKE_NVML_USED_MIB      memory in use in MiB (default 3072)
 *   FAKE_NVML_GPU_PERCENT   GPU utilisation (default 42)
 *   FAKE_NVML_LOG           file that gets one line per init, handle and shutdown call
 */
#include <stdio.h>
#include <stdlib.h>

#define EXPORT __attribute__((visibility("default")))

enum { kSuccess = 0, kInvalidArgument = 2 };

typedef struct {
  unsigned long long total, free, used;
} Memory;

typedef struct {
  unsigned int gpu, memory;
} Utilization;

static int device_token;

static unsigned long long setting(const char* name, unsigned long long fallback) {
  const char* text = getenv(name);
  return text != NULL && *text != '\0' ? strtoull(text, NULL, 10) : fallback;
}

static void log_call(const char* name) {
  const char* path = getenv("FAKE_NVML_LOG");
  if (path == NULL) return;
  FILE* log = fopen(path, "a");
  if (log == NULL) return;
  fprintf(log, "%s\n", name);
  fclose(log);
}

EXPORT int nvmlInit_v2(void) {
  log_call("nvmlInit_v2");
  return (int)setting("FAKE_NVML_INIT_STATUS", kSuccess);
}

#ifndef FAKE_NVML_WITHOUT_SHUTDOWN
EXPORT int nvmlShutdown(void) {
  log_call("nvmlShutdown");
  return kSuccess;
}
#endif

EXPORT int nvmlDeviceGetHandleByIndex_v2(unsigned int index, void** device) {
  log_call("nvmlDeviceGetHandleByIndex_v2");
  if (index >= setting("FAKE_NVML_DEVICES", 1)) return kInvalidArgument;
  *device = &device_token;
  return kSuccess;
}

EXPORT int nvmlDeviceGetMemoryInfo(void* device, Memory* memory) {
  if (device != &device_token) return kInvalidArgument;
  memory->total = setting("FAKE_NVML_TOTAL_MIB", 8192) << 20;
  memory->used = setting("FAKE_NVML_USED_MIB", 3072) << 20;
  memory->free = memory->total - memory->used;
  return kSuccess;
}

EXPORT int nvmlDeviceGetUtilizationRates(void* device, Utilization* rates) {
  if (device != &device_token) return kInvalidArgument;
  rates->gpu = (unsigned int)setting("FAKE_NVML_GPU_PERCENT", 42);
  rates->memory = 0;
  return kSuccess;
}
