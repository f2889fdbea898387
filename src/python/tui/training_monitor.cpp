#include "python/tui/training_monitor.hpp"

#include <cmath>
#include <new>
#include <system_error>

#include "core/column.hpp"
#include "python/tui/render_thread.hpp"
#include "python/tui/system_monitor.hpp"
#include "termui/io_error.hpp"

namespace zimbrel::tui {
namespace {

constexpr size_t kHistoryCount = 9;

// Each history is allocated on its own; together they must still fit, or the
// first touch of the last ones would get the process killed.
size_t checked_history_len(uint64_t history_len) {
  const uint64_t room = history_len == 0 ? 1 : history_len;
  if (room > SIZE_MAX / (kHistoryCount * sizeof(double))) throw std::bad_alloc();
  ensure_allocatable(room * kHistoryCount * sizeof(double));
  return static_cast<size_t>(history_len);
}

template <typename Spawn>
std::thread spawn_or_throw(Spawn&& spawn) {
  try {
    return spawn();
  } catch (const std::system_error& e) {
    throw ThreadSpawnError("failed to spawn thread: " + termui::describe_error(e.code()));
  }
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const auto whole = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed - whole);
  return static_cast<double>(whole.count()) + static_cast<double>(nanos.count()) / 1e9;
}

}  // namespace

uint64_t to_mebibytes(double value) {
  if (!(value > 0.0)) return 0;  // negative, zero and NaN
  if (value >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<uint64_t>(value);
}

TrainingMonitor::TrainingMonitor(const MonitorOptions& options)
    : state_(options.mode, checked_history_len(options.history_len)),
      update_interval_steps_(options.update_interval_steps) {
  if (options.csv_path) csv_log_ = std::make_unique<CsvLog>(*options.csv_path);
  start_threads(options);
  start_time_ = std::chrono::steady_clock::now();
}

void TrainingMonitor::start_threads(const MonitorOptions& options) {
  monitor_thread_ = spawn_or_throw(
      [&] { return spawn_monitor_thread(state_.metrics, state_.running, options.monitor_interval_ms); });
  try {
    render_thread_ = spawn_or_throw([&] { return spawn_render_thread(state_, options.render_interval_ms); });
  } catch (...) {
    // The monitor thread must not outlive a constructor that failed.
    stop_threads();
    throw;
  }
}

void TrainingMonitor::stop_threads() {
  state_.running->exchange(false);
  if (render_thread_.joinable()) render_thread_.join();
  if (monitor_thread_.joinable()) monitor_thread_.join();
}

void TrainingMonitor::forget_after_fork() {
  // Joining or detaching would hand the C library descriptors of threads that
  // only exist in the parent; the handles are leaked instead.
  if (render_thread_.joinable()) new std::thread(std::move(render_thread_));
  if (monitor_thread_.joinable()) new std::thread(std::move(monitor_thread_));
  if (csv_log_) csv_log_->discard_buffered();
}

void TrainingMonitor::close() {
  stop_threads();
  if (csv_log_) csv_log_->flush();
}

void TrainingMonitor::update(const UpdateValues& values) {
  MetricsBuffer& cells = *state_.metrics;
  cells.steps.store(values.steps);
  cells.episodes.store(values.episodes);
  cells.mean_reward.store(values.mean_reward);
  cells.sps.store(values.sps);
  cells.policy_loss.store(values.policy_loss);
  cells.value_loss.store(values.value_loss);
  cells.entropy.store(values.entropy);
  if (values.gpu_usage) cells.gpu_usage.store(*values.gpu_usage);
  if (values.gpu_memory) cells.gpu_memory_mb.store(to_mebibytes(*values.gpu_memory));
  if (values.total_gpu_memory) cells.total_gpu_memory_mb.store(to_mebibytes(*values.total_gpu_memory));
  push_history(values);
  if (csv_log_) append_csv_row(values);
}

void TrainingMonitor::push_history(const UpdateValues& values) {
  const uint64_t distance = values.steps >= last_history_step_ ? values.steps - last_history_step_ : 0;
  if (distance < update_interval_steps_) return;
  auto history = state_.history->try_lock();
  // A view is drawing: skip, and try again on the next call.
  if (!history.owns_lock()) return;
  history->push(HistorySample{values.steps, values.mean_reward, values.sps, values.policy_loss, values.value_loss},
                *state_.metrics);
  last_history_step_ = values.steps;
}

void TrainingMonitor::append_csv_row(const UpdateValues& values) {
  const MetricsBuffer& cells = *state_.metrics;
  csv_log_->append_row(CsvRow{seconds_since(start_time_), values.steps, values.episodes, values.mean_reward,
                              values.sps, values.policy_loss, values.value_loss, values.entropy,
                              cells.cpu_usage.load(), cells.gpu_usage.load(), cells.memory_mb.load(),
                              cells.gpu_memory_mb.load()});
}

}  // namespace zimbrel::tui
