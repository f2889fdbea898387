// Process-wide pool of worker threads for the parallel steps.
//
// `run_parallel(count, task)` calls task(k) once for every k in [0, count) and
// returns when all calls have finished; the calling thread works through tasks
// too. The pool starts on first use with one thread per hardware thread (the
// caller counting as one), spins briefly after a job and then sleeps, so idle
// workers leave the CPU to the caller. A child process created by fork() gets
// a fresh pool on its first parallel step.
#pragma once
#include <cstddef>
#include <utility>

namespace zimbrel {

// Non-owning reference to a callable `void(size_t)`; the callable must outlive the call.
class TaskRef {
 public:
  template <typename F>
  TaskRef(F& fn) : ctx_(&fn), call_([](void* ctx, size_t k) { (*static_cast<F*>(ctx))(k); }) {}
  void operator()(size_t k) const { call_(ctx_, k); }

 private:
  void* ctx_;
  void (*call_)(void*, size_t);
};

void run_parallel(size_t count, TaskRef task);

// Number of threads that take part in a job, the caller included.
size_t parallel_thread_count();

}  // namespace zimbrel
