// Mountain car: an underpowered car in a valley (height sin(3x)) must rock
// back and forth to reach the flag at position 0.5 on the right hill. Pushes
// are 0 (left), 1 (none) and 2 (right); every step costs -1; an episode ends
// at the goal or is truncated after 200 steps. Dynamics of the classic control
// task: force 0.001, gravity 0.0025, speed limit 0.07, track [-1.2, 0.6] with
// an inelastic wall on the left.
//
// The batched path (groups of eight, workers = 1), the scalar tail and the
// parallel path (workers >= 2) compute identical states and rewards; only the
// order in which finished episodes are summed into `log.total_reward` differs.
// Finished environments are reset on the calling thread after all stepping.
//
// Seeding: environment i's next episode draws from seeds[i], which then grows
// by one, so after reset(s) its k-th automatic reset uses s + i + k.
// One caller at a time; a parallel step's tasks touch only their own chunk.
#pragma once
#include <cstdint>

#include "core/chunked_step.hpp"
#include "core/column.hpp"
#include "core/episode_columns.hpp"
#include "core/episode_log.hpp"
#include "core/vec_environment.hpp"

namespace zimbrel {

class MountainCar : public VecEnvironment, public EpisodeColumns {
 public:
  static constexpr uint32_t kMaxSteps = 200;
  static constexpr int kObservationSize = 2;

  // Throws std::invalid_argument("num_envs must be at least 1") for 0 and
  // std::bad_alloc when the columns cannot be allocated. A `workers` of 0 is 1.
  MountainCar(uint64_t num_envs, uint32_t max_steps, uint64_t workers);
  static MountainCar with_workers(uint64_t num_envs, uint64_t workers) {
    return MountainCar(num_envs, kMaxSteps, workers);
  }
  MountainCar(MountainCar&&) = default;

  void reset(uint64_t seed) override;

  // `actions` are push indices as floats; any value acts as the force
  // (a - 1) * 0.001. Both return false, changing nothing, when `len` is not
  // num_envs. step_parallel steps in chunks on the worker pool and leaves
  // finished environments as they ended; step_auto_reset steps (in parallel
  // when workers >= 2) and then resets them.
  bool step_auto_reset(const float* actions, uint64_t len);
  bool step_parallel(const float* actions, uint64_t len);

  // False, writing nothing, when `len` is not 2 * num_envs; rows hold
  // position, velocity. write_rewards, write_terminals and write_truncations
  // come from EpisodeColumns.
  bool write_observations(float* dst, uint64_t len) const;

  uint64_t num_envs() const { return num_envs_; }
  uint64_t workers() const { return workers_; }
  MountainCarLog log;

  Column<float> position, velocity;

 private:
  // Draws environment i's start from seeds[i] and advances that counter.
  void auto_reset(uint64_t i);
  void step_batch(uint64_t first, const float* actions);
  // Steps [begin, end) one at a time, adding finished episodes to `sink`.
  void step_scalar_range(uint64_t begin, uint64_t end, const float* actions, EpisodeLog& sink);
  void step_parallel_unchecked(const float* actions);
  void auto_reset_finished();

  uint64_t num_envs_;
  uint64_t workers_;
  ChunkedStep chunked_step_;
};

}  // namespace zimbrel
