// How a parallel step cuts `num_envs` environments into `workers` contiguous
// chunks. Task k covers [k * chunk_size, min(k * chunk_size + chunk_size, n)),
// the last task (k = workers - 1) runs to n, and tasks that start at or beyond
// n are empty. Only the non-empty leading tasks are ever run, so a huge
// `workers` value costs nothing.
#pragma once
#include <algorithm>
#include <cstdint>

namespace zimbrel {

struct ChunkRange {
  uint64_t begin;
  uint64_t end;
};

class ChunkPlan {
 public:
  ChunkPlan(uint64_t num_envs, uint64_t workers, uint64_t chunk_size)
      : num_envs_(num_envs), workers_(workers < 1 ? 1 : workers), chunk_size_(chunk_size) {
    if (chunk_size_ == 0) {
      // Every task but the last is empty; the last takes everything.
      tasks_ = 1;
      last_is_whole_ = true;
    } else {
      const uint64_t needed = num_envs_ / chunk_size_ + (num_envs_ % chunk_size_ != 0);
      tasks_ = std::min(workers_, std::max<uint64_t>(needed, 1));
    }
  }

  // Rounded down to a multiple of 8, at least 8 (cart-pole, mountain car).
  static uint64_t floor_chunk_size(uint64_t num_envs, uint64_t workers) {
    const uint64_t q = (num_envs / std::max<uint64_t>(workers, 1)) & ~uint64_t{7};
    return q < 16 ? 8 : q;
  }

  // Rounded up to a multiple of 8, 0 staying 0 (pendulum).
  static uint64_t ceil_chunk_size(uint64_t num_envs, uint64_t workers) {
    const uint64_t q = num_envs / std::max<uint64_t>(workers, 1);
    return (q + 7) & ~uint64_t{7};
  }

  // Number of leading tasks that hold environments.
  uint64_t task_count() const { return tasks_; }
  uint64_t chunk_size() const { return chunk_size_; }

  ChunkRange range(uint64_t task) const {
    if (last_is_whole_) return {0, num_envs_};
    const uint64_t begin = task * chunk_size_;
    const bool last = task == workers_ - 1;
    const uint64_t end = last ? num_envs_ : std::min(begin + chunk_size_, num_envs_);
    return {begin, end};
  }

 private:
  uint64_t num_envs_;
  uint64_t workers_;
  uint64_t chunk_size_;
  uint64_t tasks_ = 0;
  bool last_is_whole_ = false;
};

}  // namespace zimbrel
