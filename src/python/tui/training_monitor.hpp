// The training monitor behind the Python class: the shared state, the system
// monitor and render threads, the optional CSV log and the history throttle.
//
// Thread safety: one thread (the Python thread) calls every method. update()
// never waits: cells are atomic stores, the history push and the CSV row only
// try their locks. The threads see only the shared state. The destructor runs
// close(), which stops and joins both threads; copying is deleted.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "python/tui/csv_log.hpp"
#include "python/tui/shared_state.hpp"

namespace zimbrel::tui {

struct MonitorOptions {
  TUIMode mode = TUIMode::Minimal;
  uint64_t render_interval_ms = 100;
  uint64_t history_len = 100;
  std::optional<std::string> csv_path;
  uint64_t monitor_interval_ms = 1000;
  uint64_t update_interval_steps = 10000;
};

// One update() call's numbers; a GPU value that was not passed is empty.
struct UpdateValues {
  uint64_t steps = 0;
  uint64_t episodes = 0;
  double mean_reward = 0.0;
  double sps = 0.0;
  double policy_loss = 0.0;
  double value_loss = 0.0;
  double entropy = 0.0;
  std::optional<double> gpu_usage;
  std::optional<double> gpu_memory;        // MiB
  std::optional<double> total_gpu_memory;  // MiB
};

// "failed to spawn thread: <system text>".
class ThreadSpawnError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A MiB figure as the cells hold it: truncated toward zero, 0 for negative
// values and NaN, the largest value for 2^64 and above.
uint64_t to_mebibytes(double value);

class TrainingMonitor {
 public:
  // Throws std::bad_alloc (history too large), CsvCreateError and
  // ThreadSpawnError; nothing keeps running after a throw.
  explicit TrainingMonitor(const MonitorOptions& options);
  ~TrainingMonitor() { close(); }
  TrainingMonitor(const TrainingMonitor&) = delete;
  TrainingMonitor& operator=(const TrainingMonitor&) = delete;

  void update(const UpdateValues& values);
  bool should_quit() const { return state_.quit_requested->load(); }
  // Stops and joins the threads (the render thread restores the terminal),
  // then flushes the CSV log. May be called any number of times.
  void close();
  // In the child of a fork(): the threads and the buffered CSV rows belong to
  // the parent. Forgets both, so that the child neither joins threads it does
  // not have nor writes the parent's rows a second time.
  void forget_after_fork();

 private:
  void start_threads(const MonitorOptions& options);
  void stop_threads();
  void push_history(const UpdateValues& values);
  void append_csv_row(const UpdateValues& values);

  SharedState state_;
  std::unique_ptr<CsvLog> csv_log_;
  std::thread monitor_thread_;
  std::thread render_thread_;
  uint64_t last_history_step_ = 0;
  uint64_t update_interval_steps_;
  std::chrono::steady_clock::time_point start_time_;
};

}  // namespace zimbrel::tui
