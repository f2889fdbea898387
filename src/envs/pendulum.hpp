// Pendulum swing-up: a rigid pendulum driven by a torque in [-2, 2] must be
// swung up and held upright (angle 0; +-pi hangs down). There is no terminal
// state: every episode is truncated after 200 steps. Dynamics of the classic
// control task: g = 10, m = 1, l = 1, dt = 0.05, speed limit 8.
//
// Three stepping paths, deliberately kept apart because their numbers differ:
//  - batched (workers = 1, environments [0, 8*floor(n/8))): polynomial sine
//    and cosine, floor-based angle wrap, reward from the updated state;
//  - scalar tail (workers = 1, the last n mod 8): library sinf/cosf,
//    fmodf-based wrap, reward from the state before the step;
//  - parallel (workers >= 2): the scalar tail with one sincosf for the
//    observation, each finished environment reset inside its own chunk.
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

class Pendulum : public VecEnvironment, public EpisodeColumns {
 public:
  static constexpr uint32_t kMaxSteps = 200;
  static constexpr float kThetaResetRange = 3.1415927f;  // pi, 0x40490FDB
  static constexpr float kThetaDotResetRange = 1.0f;
  static constexpr int kObservationSize = 3;

  // Throws std::invalid_argument("num_envs must be at least 1") for 0 and
  // std::bad_alloc when the columns cannot be allocated. A `workers` of 0 is 1.
  Pendulum(uint64_t num_envs, uint32_t max_steps, uint64_t workers, float theta_reset_range,
           float theta_dot_reset_range);
  static Pendulum with_workers(uint64_t num_envs, uint64_t workers) {
    return Pendulum(num_envs, kMaxSteps, workers, kThetaResetRange, kThetaDotResetRange);
  }
  Pendulum(Pendulum&&) = default;

  void reset(uint64_t seed) override;

  // `actions` are torques, one per environment, read in place and assumed
  // to be aligned to nothing beyond a byte. Both return false, changing
  // nothing, when `len` is not num_envs. step_auto_reset takes the parallel
  // path when workers >= 2; step_parallel always does. Both reset finished
  // environments.
  bool step_auto_reset(const float* actions, uint64_t len);
  bool step_parallel(const float* actions, uint64_t len);

  // False, writing nothing, when `len` is not 3 * num_envs; rows hold
  // cos_theta, sin_theta, theta_dot. write_rewards, write_terminals and
  // write_truncations come from EpisodeColumns.
  bool write_observations(float* dst, uint64_t len) const;

  uint64_t num_envs() const { return num_envs_; }
  uint64_t workers() const { return workers_; }
  PendulumLog log;

  Column<float> theta, theta_dot, cos_theta, sin_theta;

 private:
  // Draws environment i's start from seeds[i] and advances that counter.
  void auto_reset(uint64_t i);
  void draw_initial_state(uint64_t i, uint64_t seed);
  void step_batch(uint64_t first, const float* actions);
  // Scalar-tail dynamics and bookkeeping of one environment; true when it
  // was truncated. The parallel path asks for one sincosf call instead of two.
  template <bool kSinCos>
  bool step_scalar(uint64_t i, float action);
  void step_parallel_unchecked(const float* actions);

  uint64_t num_envs_;
  uint64_t workers_;
  float theta_reset_range_;
  float theta_dot_reset_range_;
  ChunkedStep chunked_step_;
};

}  // namespace zimbrel
