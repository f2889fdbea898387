#include "python/tui/shared_state.hpp"

#include <algorithm>

namespace zimbrel::tui {
namespace {

double percent(uint64_t used, uint64_t total) {
  return total == 0 ? 0.0 : static_cast<double>(used) / static_cast<double>(total) * 100.0;
}

}  // namespace

TUIMode next_mode(TUIMode mode) {
  switch (mode) {
    case TUIMode::Minimal: return TUIMode::Dashboard;
    case TUIMode::Dashboard: return TUIMode::Chart;
    default: return TUIMode::Minimal;
  }
}

HistoryBuffer::HistoryBuffer(size_t max_len)
    : steps_history(std::max<size_t>(max_len, 1)),
      reward_history(std::max<size_t>(max_len, 1)),
      sps_history(std::max<size_t>(max_len, 1)),
      policy_loss_history(std::max<size_t>(max_len, 1)),
      value_loss_history(std::max<size_t>(max_len, 1)),
      cpu_history(std::max<size_t>(max_len, 1)),
      gpu_history(std::max<size_t>(max_len, 1)),
      memory_history(std::max<size_t>(max_len, 1)),
      gpu_memory_history(std::max<size_t>(max_len, 1)),
      max_len(max_len) {}

void HistoryBuffer::push(const HistorySample& sample, const MetricsBuffer& metrics) {
  const double cpu = metrics.cpu_usage.load();
  const double gpu = metrics.gpu_usage.load();
  const double memory = percent(metrics.memory_mb.load(), metrics.total_memory_mb.load());
  const double gpu_memory = percent(metrics.gpu_memory_mb.load(), metrics.total_gpu_memory_mb.load());
  if (steps_history.size() >= max_len) {
    steps_history.pop_front();
    reward_history.pop_front();
    sps_history.pop_front();
    policy_loss_history.pop_front();
    value_loss_history.pop_front();
    cpu_history.pop_front();
    gpu_history.pop_front();
    memory_history.pop_front();
    gpu_memory_history.pop_front();
  }
  steps_history.push_back(sample.steps);
  reward_history.push_back(sample.mean_reward);
  sps_history.push_back(sample.sps);
  policy_loss_history.push_back(sample.policy_loss);
  value_loss_history.push_back(sample.value_loss);
  cpu_history.push_back(cpu);
  gpu_history.push_back(gpu);
  memory_history.push_back(memory);
  gpu_memory_history.push_back(gpu_memory);
}

SharedState::SharedState(TUIMode initial_mode, size_t history_len)
    : metrics(std::make_shared<MetricsBuffer>()),
      history(std::make_shared<BreakableLock<HistoryBuffer>>(history_len)),
      running(std::make_shared<std::atomic<bool>>(true)),
      paused(std::make_shared<std::atomic<bool>>(false)),
      mode(std::make_shared<BreakableLock<TUIMode>>(initial_mode)),
      quit_requested(std::make_shared<std::atomic<bool>>(false)) {}

}  // namespace zimbrel::tui
