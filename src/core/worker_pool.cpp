#include "core/worker_pool.hpp"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zimbrel {
namespace {

inline void cpu_relax() { __builtin_ia32_pause(); }

// How long an idle worker keeps polling for the next job before it sleeps:
// long enough to catch back-to-back steps, short enough not to steal the
// Python thread's core while it computes the next actions.
constexpr auto kIdleSpin = std::chrono::microseconds(50);

// Jobs are numbered; `current_` holds the running job's number, 0 when none.
// A worker announces the job it is about to work on in its `hazard` slot and
// re-checks `current_`; the caller retires a job only after every slot has let
// go of it, so job fields are never rewritten under a worker's feet.
class WorkerPool {
 public:
  explicit WorkerPool(size_t workers) : slots_(workers) {
    threads_.reserve(workers);
    for (size_t i = 0; i < workers; ++i) threads_.emplace_back([this, i] { worker_loop(slots_[i]); });
    // The pool is never destroyed: exit() may run while workers sleep, and
    // joining them from a static destructor would only add a way to hang.
    for (auto& t : threads_) t.detach();
  }

  size_t thread_count() const { return threads_.size() + 1; }

  void run(size_t count, TaskRef task) {
    std::lock_guard<std::mutex> guard(run_mutex_);
    task_ = &task;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    const uint64_t job = ++last_job_;
    current_.store(job);
    if (sleepers_.load() > 0) current_.notify_all();

    work_through_tasks();
    wait_until([&] { return done_.load(std::memory_order_acquire) == count_; });

    current_.store(0);
    for (auto& slot : slots_) wait_until([&] { return slot.hazard.load() != job; });
  }

 private:
  struct alignas(64) Slot {
    std::atomic<uint64_t> hazard{0};
  };

  template <typename Pred>
  static void wait_until(Pred done) {
    for (int spins = 0; !done(); ++spins) {
      if (spins < 4096) cpu_relax();
      else std::this_thread::yield();
    }
  }

  void work_through_tasks() {
    size_t k;
    while ((k = next_.fetch_add(1, std::memory_order_relaxed)) < count_) {
      (*task_)(k);
      done_.fetch_add(1, std::memory_order_release);
    }
  }

  // Returns the number of a job this worker has not handled yet.
  uint64_t await_job(uint64_t handled) {
    auto fresh = [&](uint64_t job) { return job != 0 && job != handled; };
    const auto spin_until = std::chrono::steady_clock::now() + kIdleSpin;
    while (std::chrono::steady_clock::now() < spin_until) {
      for (int i = 0; i < 64; ++i) {
        const uint64_t job = current_.load();
        if (fresh(job)) return job;
        cpu_relax();
      }
    }
    for (;;) {
      sleepers_.fetch_add(1);
      const uint64_t job = current_.load();
      if (!fresh(job)) current_.wait(job);
      sleepers_.fetch_sub(1);
      const uint64_t now = current_.load();
      if (fresh(now)) return now;
    }
  }

  void worker_loop(Slot& slot) {
    uint64_t handled = 0;
    for (;;) {
      const uint64_t job = await_job(handled);
      slot.hazard.store(job);
      if (current_.load() == job) work_through_tasks();
      slot.hazard.store(0);
      handled = job;
    }
  }

  std::mutex run_mutex_;
  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;
  std::atomic<uint64_t> current_{0};
  std::atomic<uint32_t> sleepers_{0};
  std::atomic<size_t> next_{0};
  std::atomic<size_t> done_{0};
  uint64_t last_job_ = 0;
  size_t count_ = 0;
  const TaskRef* task_ = nullptr;
};

std::mutex g_pool_mutex;
WorkerPool* g_pool = nullptr;

// The child of a fork() has none of the parent's threads: forget the pool
// (leaking it, since its mutexes may be in any state) and build a new one.
void forget_pool_in_child() {
  new (&g_pool_mutex) std::mutex();
  g_pool = nullptr;
}

WorkerPool& pool() {
  std::lock_guard<std::mutex> guard(g_pool_mutex);
  if (g_pool == nullptr) {
    static std::once_flag atfork_once;
    std::call_once(atfork_once, [] { pthread_atfork(nullptr, nullptr, forget_pool_in_child); });
    const unsigned hardware = std::thread::hardware_concurrency();
    g_pool = new WorkerPool(hardware > 1 ? hardware - 1 : 1);
  }
  return *g_pool;
}

}  // namespace

void run_parallel(size_t count, TaskRef task) {
  if (count == 0) return;
  if (count == 1) {
    task(0);
    return;
  }
  pool().run(count, task);
}

size_t parallel_thread_count() { return pool().thread_count(); }

}  // namespace zimbrel
