#include "python/tui/memory_info.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <limits>
#include <optional>

namespace zimbrel::tui {
namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

uint64_t saturating_add(uint64_t a, uint64_t b) { return a > kMax - b ? kMax : a + b; }

// The value of "Name:   123 kB" in bytes, when `line` is that field.
std::optional<uint64_t> field_bytes(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != ':') {
    return std::nullopt;
  }
  const char* at = line.data() + name.size() + 1;
  const char* end = line.data() + line.size();
  while (at < end && *at == ' ') ++at;
  uint64_t kib = 0;
  if (std::from_chars(at, end, kib).ec != std::errc()) return std::nullopt;
  return kib > kMax / 1024 ? kMax : kib * 1024;
}

}  // namespace

MemoryInfo parse_meminfo(std::string_view text) {
  std::optional<uint64_t> total, available, free, buffers, cached, reclaimable, shmem;
  struct Wanted {
    std::string_view name;
    std::optional<uint64_t>* value;
  };
  const Wanted wanted[] = {{"MemTotal", &total},   {"MemAvailable", &available}, {"MemFree", &free},
                           {"Buffers", &buffers},  {"Cached", &cached},          {"SReclaimable", &reclaimable},
                           {"Shmem", &shmem}};
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    for (const Wanted& field : wanted) {
      if (!*field.value) *field.value = field_bytes(line, field.name);
    }
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  MemoryInfo info;
  info.total_bytes = total.value_or(0);
  if (available) {
    info.available_bytes = *available;
  } else {
    uint64_t sum = saturating_add(free.value_or(0), buffers.value_or(0));
    sum = saturating_add(sum, cached.value_or(0));
    sum = saturating_add(sum, reclaimable.value_or(0));
    const uint64_t shared = shmem.value_or(0);
    info.available_bytes = sum > shared ? sum - shared : 0;
  }
  return info;
}

bool read_meminfo(MemoryInfo* out) {
  const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[8192];
  size_t length = 0;
  while (length < sizeof buffer) {
    const ssize_t count = ::read(fd, buffer + length, sizeof buffer - length);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    length += static_cast<size_t>(count);
  }
  ::close(fd);
  if (length == 0) return false;
  *out = parse_meminfo(std::string_view(buffer, length));
  return true;
}

}  // namespace zimbrel::tui
