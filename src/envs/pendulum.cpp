#include "envs/pendulum.hpp"

#include <cmath>

#include "core/clamp.hpp"
#include "core/fast_trig.hpp"
#include "core/random.hpp"
#include "core/simd.hpp"

namespace zimbrel {
namespace {

constexpr float kDt = 0.05f;             // 0x3D4CCCCD
constexpr float kGravityGain = 15.0f;    // 3g / (2l), g = 10, l = 1
constexpr float kTorqueGain = 3.0f;      // 3 / (m l^2), m = 1
constexpr float kMaxTorque = 2.0f;
constexpr float kMaxSpeed = 8.0f;
constexpr float kTorqueCost = 0.001f;    // 0x3A83126F
constexpr float kSpeedCost = 0.1f;       // 0x3DCCCCCD
constexpr float kPi = 3.1415927f;        // 0x40490FDB
constexpr float kTwoPi = 6.2831855f;     // 0x40C90FDB
constexpr float kNegPi = -3.1415927f;    // 0xC0490FDB

// floorf on every lane; exact, so any instruction that computes it will do.
inline simd::f32x8 floor_lanes(simd::f32x8 x) {
  for (int lane = 0; lane < simd::kLanes; ++lane) x[lane] = std::floor(x[lane]);
  return x;
}

// The batched path's wrap into [-pi, pi), built from floor rather than fmodf.
inline simd::f32x8 wrap_with_floor(simd::f32x8 x) {
  const simd::f32x8 a = x + kPi;
  const simd::f32x8 b = (a - floor_lanes(a / kTwoPi) * kTwoPi) + kTwoPi;
  return (b - floor_lanes(b / kTwoPi) * kTwoPi) + kNegPi;
}

// Torques come straight from the caller's array, which need not be aligned.
inline float torque_at(const float* actions, uint64_t i) { return simd::load<float>(actions + i); }

inline float wrap_with_fmod(float x) {
  return std::fmod(std::fmod(x + kPi, kTwoPi) + kTwoPi, kTwoPi) + kNegPi;
}

}  // namespace

Pendulum::Pendulum(uint64_t num_envs, uint32_t max_steps, uint64_t workers, float theta_reset_range,
                   float theta_dot_reset_range)
    : EpisodeColumns(num_envs, max_steps),
      theta(num_envs),
      theta_dot(num_envs),
      cos_theta(num_envs),
      sin_theta(num_envs),
      num_envs_(num_envs),
      workers_(workers == 0 ? 1 : workers),
      theta_reset_range_(theta_reset_range),
      theta_dot_reset_range_(theta_dot_reset_range) {}

void Pendulum::reset(uint64_t seed) {
  for (uint64_t i = 0; i < num_envs_; ++i) {
    seeds[i] = seed + i;
    auto_reset(i);
    terminals[i] = 0;
    truncations[i] = 0;
  }
}

void Pendulum::auto_reset(uint64_t i) {
  draw_initial_state(i, seeds[i]);
  seeds[i] += 1;
}

void Pendulum::draw_initial_state(uint64_t i, uint64_t seed) {
  Xoshiro256 rng(seed);
  const float angle = rng.symmetric(theta_reset_range_);
  theta[i] = angle;
  theta_dot[i] = rng.symmetric(theta_dot_reset_range_);
  cos_theta[i] = std::cos(angle);
  sin_theta[i] = std::sin(angle);
  restart_episode(i);
}

void Pendulum::step_batch(uint64_t first, const float* actions) {
  using namespace simd;
  const f32x8 th = load<f32x8>(&theta[first]);
  const f32x8 om = load<f32x8>(&theta_dot[first]);
  const f32x8 u = min_keep_nan(kMaxTorque, max_keep_nan(-kMaxTorque, load<f32x8>(actions + first)));
  const f32x8 new_om =
      min_keep_nan(kMaxSpeed, max_keep_nan(-kMaxSpeed, ((u * kTorqueGain) + (fast_sin(th) * kGravityGain)) * kDt + om));
  const f32x8 new_th = wrap_with_floor(new_om * kDt + th);
  store(&theta[first], new_th);
  store(&theta_dot[first], new_om);
  store(&cos_theta[first], fast_cos(new_th));
  store(&sin_theta[first], fast_sin(new_th));
  // Unlike the scalar paths, the cost is taken from the updated state.
  const f32x8 reward = -((u * u) * kTorqueCost + ((new_om * new_om) * kSpeedCost + new_th * new_th));
  const EpisodeLog finished = record_block(first, reward, i32x8{});
  if (finished.episode_count != 0) log.add(finished);
}

template <bool kSinCos>
bool Pendulum::step_scalar(uint64_t i, float action) {
  const float th = theta[i];
  const float om = theta_dot[i];
  const float u = min_keep_nan(kMaxTorque, max_keep_nan(-kMaxTorque, action));
  const float new_om =
      min_keep_nan(kMaxSpeed, max_keep_nan(-kMaxSpeed, ((u * kTorqueGain) + (std::sin(th) * kGravityGain)) * kDt + om));
  const float new_th = wrap_with_fmod(new_om * kDt + th);
  theta[i] = new_th;
  theta_dot[i] = new_om;
  if constexpr (kSinCos) {
    ::sincosf(new_th, &sin_theta[i], &cos_theta[i]);
  } else {
    cos_theta[i] = std::cos(new_th);
    sin_theta[i] = std::sin(new_th);
  }
  // Cost from the state before the step; subtracting it equals adding the reward.
  const float cost = u * (u * kTorqueCost) + (om * (om * kSpeedCost) + th * th);
  return record_step(i, -cost, false);
}

bool Pendulum::step_auto_reset(const float* actions, uint64_t len) {
  if (len != num_envs_) return false;
  if (workers_ >= 2) {
    step_parallel_unchecked(actions);
    return true;
  }
  const uint64_t batched = num_envs_ & ~uint64_t{7};
  for (uint64_t first = 0; first < batched; first += simd::kLanes) step_batch(first, actions);
  for (uint64_t i = batched; i < num_envs_; ++i) {
    if (step_scalar<false>(i, torque_at(actions, i))) log.add_episode(episode_returns[i], episode_steps[i]);
  }
  for (uint64_t i = 0; i < num_envs_; ++i) {
    if (truncations[i]) auto_reset(i);
  }
  return true;
}

bool Pendulum::step_parallel(const float* actions, uint64_t len) {
  if (len != num_envs_) return false;
  step_parallel_unchecked(actions);
  return true;
}

void Pendulum::step_parallel_unchecked(const float* actions) {
  const ChunkPlan plan(num_envs_, workers_, ChunkPlan::ceil_chunk_size(num_envs_, workers_));
  chunked_step_.run(plan, log, [&](uint64_t begin, uint64_t end, EpisodeLog& record) {
    for (uint64_t i = begin; i < end; ++i) {
      if (!step_scalar<true>(i, torque_at(actions, i))) continue;
      record.add_episode(episode_returns[i], episode_steps[i]);
      auto_reset(i);
    }
  });
}

bool Pendulum::write_observations(float* dst, uint64_t len) const {
  return write_rows(dst, len, cos_theta, sin_theta, theta_dot);
}

}  // namespace zimbrel
