#include "envs/mountain_car.hpp"

#include <cmath>

#include "core/clamp.hpp"
#include "core/random.hpp"
#include "core/simd.hpp"

namespace zimbrel {
namespace {

// The scalar and eight-lane clamps, both visible to the shared template.
using zimbrel::max_keep_nan;
using zimbrel::min_keep_nan;
using simd::max_keep_nan;
using simd::min_keep_nan;

constexpr float kForce = 0.001f;          // 0x3A83126F
constexpr float kGravity = -0.0025f;      // 0xBB23D70A
constexpr float kMaxSpeed = 0.07f;        // 0x3D8F5C29
constexpr float kMinPosition = -1.2f;     // 0xBF99999A
constexpr float kMaxPosition = 0.6f;      // 0x3F19999A
constexpr float kGoalPosition = 0.5f;
constexpr float kStepReward = -1.0f;
// Start positions are drawn from [-0.6, -0.4): the width is the single-precision
// result of -0.4 - (-0.6), 0x3E4CCCCE, one unit in the last place above 0.2.
constexpr float kStartLow = -0.6f;        // 0xBF19999A
constexpr float kStartWidth = 0.20000002f;

template <typename F>
struct Motion {
  F position, velocity;
};

// The left wall is inelastic: a car pressed against it stops.
inline float stop_at_wall(float p, float v) { return (p == kMinPosition && v < 0.0f) ? 0.0f : v; }
inline simd::f32x8 stop_at_wall(simd::f32x8 p, simd::f32x8 v) {
  return simd::select((p == kMinPosition) & (v < 0.0f), simd::splat(0.0f), v);
}

// cos_3p is cosf(p * 3), which every path takes from the C library.
template <typename F>
inline Motion<F> advance(F p, F v, F action, F cos_3p) {
  const F force = (action + -1.0f) * kForce;
  const F new_v = min_keep_nan(kMaxSpeed, max_keep_nan(-kMaxSpeed, (cos_3p * kGravity + force) + v));
  const F new_p = min_keep_nan(kMaxPosition, max_keep_nan(kMinPosition, p + new_v));
  return {new_p, stop_at_wall(new_p, new_v)};
}

inline simd::f32x8 cos_lanes(simd::f32x8 x) {
  for (int lane = 0; lane < simd::kLanes; ++lane) x[lane] = std::cos(x[lane]);
  return x;
}

}  // namespace

MountainCar::MountainCar(uint64_t num_envs, uint32_t max_steps, uint64_t workers)
    : EpisodeColumns(num_envs, max_steps),
      position(num_envs),
      velocity(num_envs),
      num_envs_(num_envs),
      workers_(workers == 0 ? 1 : workers) {}

void MountainCar::reset(uint64_t seed) {
  for (uint64_t i = 0; i < num_envs_; ++i) {
    seeds[i] = seed + i;
    auto_reset(i);
    terminals[i] = 0;
    truncations[i] = 0;
  }
}

void MountainCar::auto_reset(uint64_t i) {
  Xoshiro256 rng(seeds[i]);
  position[i] = rng.uniform() * kStartWidth + kStartLow;
  velocity[i] = 0.0f;
  restart_episode(i);
  seeds[i] += 1;
}

void MountainCar::step_batch(uint64_t first, const float* actions) {
  using namespace simd;
  const f32x8 p = load<f32x8>(&position[first]);
  const Motion<f32x8> m =
      advance(p, load<f32x8>(&velocity[first]), load<f32x8>(actions + first), cos_lanes(p * 3.0f));
  store(&position[first], m.position);
  store(&velocity[first], m.velocity);
  const EpisodeLog finished = record_block(first, splat(kStepReward), m.position >= kGoalPosition);
  if (finished.episode_count != 0) log.add(finished);
}

void MountainCar::step_scalar_range(uint64_t begin, uint64_t end, const float* actions, EpisodeLog& sink) {
  for (uint64_t i = begin; i < end; ++i) {
    const float p = position[i];
    const Motion<float> m = advance(p, velocity[i], actions[i], std::cos(p * 3.0f));
    position[i] = m.position;
    velocity[i] = m.velocity;
    if (record_step(i, kStepReward, m.position >= kGoalPosition)) {
      sink.add_episode(episode_returns[i], episode_steps[i]);
    }
  }
}

bool MountainCar::step_auto_reset(const float* actions, uint64_t len) {
  if (len != num_envs_) return false;
  if (workers_ >= 2) {
    step_parallel_unchecked(actions);
  } else {
    const uint64_t batched = num_envs_ & ~uint64_t{7};
    for (uint64_t first = 0; first < batched; first += simd::kLanes) step_batch(first, actions);
    step_scalar_range(batched, num_envs_, actions, log);
  }
  auto_reset_finished();
  return true;
}

bool MountainCar::step_parallel(const float* actions, uint64_t len) {
  if (len != num_envs_) return false;
  step_parallel_unchecked(actions);
  return true;
}

void MountainCar::step_parallel_unchecked(const float* actions) {
  const ChunkPlan plan(num_envs_, workers_, ChunkPlan::floor_chunk_size(num_envs_, workers_));
  chunked_step_.run(plan, log, [&](uint64_t begin, uint64_t end, EpisodeLog& record) {
    step_scalar_range(begin, end, actions, record);
  });
}

void MountainCar::auto_reset_finished() {
  for (uint64_t i = 0; i < num_envs_; ++i) {
    if (terminals[i] | truncations[i]) auto_reset(i);
  }
}

bool MountainCar::write_observations(float* dst, uint64_t len) const {
  return write_rows(dst, len, position, velocity);
}

}  // namespace zimbrel
