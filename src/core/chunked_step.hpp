// The frame of every parallel step: run each chunk of a ChunkPlan as one task
// on the worker pool, each summing its finished episodes into its own record,
// then fold the records into the engine's log in chunk order, so the result
// never depends on scheduling. The record list grows once and is reused.
#pragma once
#include <cstdint>
#include <vector>

#include "core/chunk_plan.hpp"
#include "core/episode_log.hpp"
#include "core/worker_pool.hpp"

namespace zimbrel {

class ChunkedStep {
 public:
  // Calls step_range(begin, end, record) once per non-empty chunk, possibly
  // concurrently; step_range must touch only entries in [begin, end) and the
  // record it is given. Returns when every chunk is done and folded into `log`.
  template <typename StepRange>
  void run(const ChunkPlan& plan, EpisodeLog& log, StepRange step_range) {
    const uint64_t tasks = plan.task_count();
    if (records_.size() < tasks) records_.resize(tasks);
    auto task = [&](size_t k) {
      const ChunkRange r = plan.range(k);
      EpisodeLog record;  // local, so that neighbouring records share no cache line while stepping
      step_range(r.begin, r.end, record);
      records_[k] = record;
    };
    run_parallel(tasks, task);
    for (uint64_t k = 0; k < tasks; ++k) log.add(records_[k]);
  }

 private:
  std::vector<EpisodeLog> records_;
};

}  // namespace zimbrel
