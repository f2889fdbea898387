// Everything the monitor's three threads share: the Python thread that calls
// update(), the render thread and the system monitor thread.
//
// - MetricsBuffer: thirteen 64-bit cells, each read and written atomically on
//   its own with no lock (no consistency across cells). Float cells hold the
//   bits of a double.
// - HistoryBuffer: nine equally long bounded histories behind the `history`
//   lock. Views wait for that lock; update() only tries it and skips its push
//   when a view holds it.
// - running / paused / quit_requested flags and the display mode (mode lock:
//   render thread only). No lock is ever held together with another.
#pragma once
#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <mutex>

#include "python/tui/ring.hpp"

namespace zimbrel::tui {

enum class TUIMode : uint8_t { Minimal = 0, Dashboard = 1, Chart = 2 };

// Minimal -> Dashboard -> Chart -> Minimal.
TUIMode next_mode(TUIMode mode);

class AtomicF64 {
 public:
  double load() const { return std::bit_cast<double>(bits_.load(std::memory_order_relaxed)); }
  void store(double v) { bits_.store(std::bit_cast<uint64_t>(v), std::memory_order_relaxed); }

 private:
  std::atomic<uint64_t> bits_{0};
};

class AtomicU64 {
 public:
  uint64_t load() const { return value_.load(std::memory_order_relaxed); }
  void store(uint64_t v) { value_.store(v, std::memory_order_relaxed); }

 private:
  std::atomic<uint64_t> value_{0};
};

struct MetricsBuffer {
  AtomicU64 steps;
  AtomicU64 episodes;
  AtomicF64 mean_reward;
  AtomicF64 sps;
  AtomicF64 policy_loss;
  AtomicF64 value_loss;
  AtomicF64 entropy;
  AtomicF64 cpu_usage;            // percent, whole machine
  AtomicF64 gpu_usage;            // percent, GPU 0
  AtomicU64 memory_mb;            // MiB in use
  AtomicU64 gpu_memory_mb;        // MiB in use on GPU 0
  AtomicU64 total_memory_mb;      // installed MiB; 0 until first read
  AtomicU64 total_gpu_memory_mb;  // 0 while no GPU is known
};

// The values one history push records from its update() call.
struct HistorySample {
  uint64_t steps;
  double mean_reward;
  double sps;
  double policy_loss;
  double value_loss;
};

// Nine histories that always hold the same number of samples, oldest first;
// position i of each belongs to the same push. Room for max(max_len, 1)
// samples is reserved up front (std::bad_alloc when it cannot be).
struct HistoryBuffer {
  explicit HistoryBuffer(size_t max_len);

  // Appends one sample, dropping the oldest first when max_len is reached;
  // the load histories record the cells as they are now (memory as percent).
  void push(const HistorySample& sample, const MetricsBuffer& metrics);
  size_t size() const { return steps_history.size(); }

  Ring<uint64_t> steps_history;
  Ring<double> reward_history;
  Ring<double> sps_history;
  Ring<double> policy_loss_history;
  Ring<double> value_loss_history;
  Ring<double> cpu_history;
  Ring<double> gpu_history;
  Ring<double> memory_history;      // percent of total RAM
  Ring<double> gpu_memory_history;  // percent of total GPU memory
  size_t max_len;
};

// A mutex that remembers when a holder left by an exception, so that later
// holders can tell the data may be half-written and skip it.
template <typename T>
class BreakableLock {
 public:
  template <typename... Args>
  explicit BreakableLock(Args&&... args) : value_(std::forward<Args>(args)...) {}

  class Guard {
   public:
    Guard(BreakableLock& owner, std::unique_lock<std::mutex> lock)
        : owner_(&owner), lock_(std::move(lock)), exceptions_(std::uncaught_exceptions()) {}
    ~Guard() {
      if (lock_.owns_lock() && std::uncaught_exceptions() > exceptions_) owner_->broken_.store(true);
    }
    Guard(Guard&&) = default;
    bool owns_lock() const { return lock_.owns_lock(); }
    // True when an earlier holder failed while holding the lock.
    bool broken() const { return owner_->broken_.load(); }
    T& operator*() const { return owner_->value_; }
    T* operator->() const { return &owner_->value_; }

   private:
    BreakableLock* owner_;
    std::unique_lock<std::mutex> lock_;
    int exceptions_;
  };

  Guard lock() { return Guard(*this, std::unique_lock<std::mutex>(mutex_)); }
  // Check owns_lock() on the result.
  Guard try_lock() { return Guard(*this, std::unique_lock<std::mutex>(mutex_, std::try_to_lock)); }
  void mark_broken() { broken_.store(true); }

 private:
  std::mutex mutex_;
  std::atomic<bool> broken_{false};
  T value_;
};

// Six reference-counted handles; copying the state copies the handles.
struct SharedState {
  SharedState(TUIMode mode, size_t history_len);

  std::shared_ptr<MetricsBuffer> metrics;
  std::shared_ptr<BreakableLock<HistoryBuffer>> history;
  std::shared_ptr<std::atomic<bool>> running;
  std::shared_ptr<std::atomic<bool>> paused;
  std::shared_ptr<BreakableLock<TUIMode>> mode;
  std::shared_ptr<std::atomic<bool>> quit_requested;
};

}  // namespace zimbrel::tui
