#include "python/tui/cpu_usage.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <limits>

namespace zimbrel::tui {
namespace {

uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

uint64_t saturating_sub(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }

uint64_t busy_time(const CpuTimes& t) {
  uint64_t busy = saturating_add(saturating_sub(t.user, t.guest), saturating_sub(t.nice, t.guest_nice));
  busy = saturating_add(busy, t.system);
  busy = saturating_add(busy, t.irq);
  return saturating_add(busy, t.softirq);
}

uint64_t total_time(const CpuTimes& t) {
  uint64_t total = saturating_add(busy_time(t), t.idle);
  for (uint64_t part : {t.iowait, t.steal, t.guest, t.guest_nice}) total = saturating_add(total, part);
  return total;
}

// The first line of /proc/stat; only that much is read, the rest can be long.
bool read_first_stat_line(char* buffer, size_t size, std::string_view* line) {
  const int fd = ::open("/proc/stat", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t count = ::read(fd, buffer, size);
  ::close(fd);
  if (count <= 0) return false;
  std::string_view text(buffer, static_cast<size_t>(count));
  *line = text.substr(0, text.find('\n'));
  return true;
}

}  // namespace

bool parse_cpu_line(std::string_view line, CpuTimes* out) {
  if (line.substr(0, 4) != "cpu " && line.substr(0, 4) != "cpu\t") return false;
  uint64_t* fields[] = {&out->user, &out->nice,    &out->system, &out->idle,  &out->iowait,
                        &out->irq,  &out->softirq, &out->steal,  &out->guest, &out->guest_nice};
  *out = CpuTimes{};
  const char* at = line.data() + 3;
  const char* end = line.data() + line.size();
  for (uint64_t* field : fields) {
    while (at < end && (*at == ' ' || *at == '\t')) ++at;
    const auto [next, error] = std::from_chars(at, end, *field);
    if (error != std::errc()) break;
    at = next;
  }
  return true;
}

float cpu_usage_between(const CpuTimes& previous, const CpuTimes& current) {
  const uint64_t busy_now = busy_time(current), busy_before = busy_time(previous);
  const uint64_t total_now = total_time(current), total_before = total_time(previous);
  if (busy_now <= busy_before) return 0.0f;
  const uint64_t busy = busy_now - busy_before;
  const uint64_t total = total_now > total_before ? total_now - total_before : 1;
  return std::min(static_cast<float>(busy) / static_cast<float>(total) * 100.0f, 100.0f);
}

void CpuUsageMeter::refresh() {
  const auto now = std::chrono::steady_clock::now();
  if (computed_ && now - computed_at_ <= kMinimumSpan) return;
  char buffer[512];
  std::string_view line;
  CpuTimes current;
  if (!read_first_stat_line(buffer, sizeof buffer, &line) || !parse_cpu_line(line, &current)) return;
  usage_ = cpu_usage_between(previous_, current);
  previous_ = current;
  computed_ = true;
  computed_at_ = now;
}

}  // namespace zimbrel::tui
