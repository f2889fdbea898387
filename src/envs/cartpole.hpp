// Cart-pole balancing: a cart on a track carries a hinged pole; each action
// pushes the cart left or right and an episode ends when the cart leaves the
// track or the pole tips past 12 degrees (or after 200 steps).
//
// Three ways to step, whose numbers differ only in the last bits:
//  - the eight-lane block (step_simd, environments [0, 8*floor(n/8))): force
//    a*20 - 10 and the polynomial sine and cosine;
//  - the scalar form (the remaining n mod 8): force +10 exactly when the action
//    truncates to 1, library sinf/cosf;
//  - the parallel step: the scalar form on every environment, in chunks.
#pragma once
#include <cstdint>

#include "core/chunked_step.hpp"
#include "core/column.hpp"
#include "core/episode_columns.hpp"
#include "core/episode_log.hpp"
#include "core/vec_environment.hpp"

namespace zimbrel {

class CartPole : public VecEnvironment, public EpisodeColumns {
 public:
  static constexpr uint32_t kMaxSteps = 200;
  static constexpr float kResetRange = 0.05f;
  static constexpr int kObservationSize = 4;

  // Throws std::invalid_argument("num_envs must be at least 1") for 0 and
  // std::bad_alloc when the columns cannot be allocated. A `workers` of 0 is 1.
  CartPole(uint64_t num_envs, uint32_t max_steps, uint64_t workers, float reset_range);
  static CartPole with_workers(uint64_t num_envs, uint64_t workers) {
    return CartPole(num_envs, kMaxSteps, workers, kResetRange);
  }
  CartPole(CartPole&&) = default;

  void reset(uint64_t seed) override;
  void reset_single(uint64_t i, uint64_t seed);

  // `actions` must hold num_envs floats (the Python layer guarantees it).
  void step_simd(const float* actions);
  void step_auto_reset_simd(const float* actions);
  void step_parallel(const float* actions);
  void step_auto_reset_parallel(const float* actions);

  // False, writing nothing, when `len` is not 4 * num_envs. write_rewards,
  // write_terminals and write_truncations come from EpisodeColumns.
  bool write_observations(float* dst, uint64_t len) const;

  uint64_t num_envs() const { return num_envs_; }
  uint64_t workers() const { return workers_; }
  CartPoleLog log;

  Column<float> cart_pos, cart_vel, pole_angle, pole_vel;

 private:
  void draw_initial_state(uint64_t i, uint64_t seed);
  void step_block(uint64_t first, const float* actions);
  // Steps [begin, end) with the scalar form, adding finished episodes to `sink`.
  void step_scalar_range(uint64_t begin, uint64_t end, const float* actions, EpisodeLog& sink);
  void auto_reset_finished();

  uint64_t num_envs_;
  uint64_t workers_;
  float reset_range_;
  ChunkedStep chunked_step_;
};

}  // namespace zimbrel
