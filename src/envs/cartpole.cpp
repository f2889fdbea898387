#include "envs/cartpole.hpp"

#include <cmath>

#include "core/fast_trig.hpp"
#include "core/random.hpp"
#include "core/simd.hpp"

namespace zimbrel {
namespace {

constexpr float kTau = 0.02f;                // 0x3CA3D70A
constexpr float kForceMag = 10.0f;
constexpr float kGravity = 9.8f;             // 0x411CCCCD
constexpr float kTotalMass = 1.1f;           // 0x3F8CCCCD
constexpr float kPoleMassLength = 0.05f;     // 0x3D4CCCCD
constexpr float kNegPoleMass = -0.1f;        // 0xBDCCCCCD
constexpr float kHalfLength = 0.5f;
constexpr float kFourThirds = 1.3333334f;    // 0x3FAAAAAB
constexpr float kPositionLimit = 2.4f;       // 0x4019999A
constexpr float kAngleLimit = 0.20943952f;   // 0x3E567750

template <typename F>
struct State {
  F x, x_dot, theta, theta_dot;
};

// Explicit Euler step of the cart-pole equations, every product rounded before
// it is added. F is float for the scalar form and simd::f32x8 for the block.
template <typename F>
inline State<F> advance(const State<F>& s, F force, F sin_t, F cos_t) {
  const F temp = (((s.theta_dot * kPoleMassLength) * s.theta_dot) * sin_t + force) / kTotalMass;
  const F alpha = (sin_t * kGravity - cos_t * temp) /
                  ((((cos_t * kNegPoleMass) * cos_t) / kTotalMass + kFourThirds) * kHalfLength);
  const F acc = temp - ((alpha * kPoleMassLength) * cos_t) / kTotalMass;
  return {s.x + s.x_dot * kTau, acc * kTau + s.x_dot, s.theta + s.theta_dot * kTau, alpha * kTau + s.theta_dot};
}

// The scalar form pushes right exactly when the action truncated toward zero
// is 1, that is for actions in [1, 2); everything else, NaN included, pushes left.
inline float scalar_force(float action) {
  return (action >= 1.0f && action < 2.0f) ? kForceMag : -kForceMag;
}

}  // namespace

CartPole::CartPole(uint64_t num_envs, uint32_t max_steps, uint64_t workers, float reset_range)
    : EpisodeColumns(num_envs, max_steps),
      cart_pos(num_envs),
      cart_vel(num_envs),
      pole_angle(num_envs),
      pole_vel(num_envs),
      num_envs_(num_envs),
      workers_(workers == 0 ? 1 : workers),
      reset_range_(reset_range) {}

void CartPole::reset(uint64_t seed) {
  for (uint64_t i = 0; i < num_envs_; ++i) reset_single(i, seed + i);
}

void CartPole::reset_single(uint64_t i, uint64_t seed) {
  draw_initial_state(i, seed);
  rewards[i] = 0.0f;
  terminals[i] = 0;
  truncations[i] = 0;
}

void CartPole::draw_initial_state(uint64_t i, uint64_t seed) {
  seeds[i] = seed;
  Xoshiro256 rng(seed);
  cart_pos[i] = rng.symmetric(reset_range_);
  cart_vel[i] = rng.symmetric(reset_range_);
  pole_angle[i] = rng.symmetric(reset_range_);
  pole_vel[i] = rng.symmetric(reset_range_);
  restart_episode(i);
}

void CartPole::step_block(uint64_t first, const float* actions) {
  using namespace simd;
  State<f32x8> s{load<f32x8>(&cart_pos[first]), load<f32x8>(&cart_vel[first]),
                 load<f32x8>(&pole_angle[first]), load<f32x8>(&pole_vel[first])};
  const f32x8 force = load<f32x8>(actions + first) * 20.0f + -10.0f;
  const State<f32x8> n = advance(s, force, fast_sin(s.theta), fast_cos(s.theta));

  const i32x8 terminal = (simd::abs(n.x) > kPositionLimit) | (simd::abs(n.theta) > kAngleLimit);
  store(&cart_pos[first], n.x);
  store(&cart_vel[first], n.x_dot);
  store(&pole_angle[first], n.theta);
  store(&pole_vel[first], n.theta_dot);
  const EpisodeLog finished = record_block(first, select(terminal, splat(0.0f), splat(1.0f)), terminal);
  if (finished.episode_count != 0) log.add(finished);
}

void CartPole::step_scalar_range(uint64_t begin, uint64_t end, const float* actions, EpisodeLog& sink) {
  for (uint64_t i = begin; i < end; ++i) {
    const State<float> s{cart_pos[i], cart_vel[i], pole_angle[i], pole_vel[i]};
    const State<float> n = advance(s, scalar_force(actions[i]), std::sin(s.theta), std::cos(s.theta));
    const bool terminal = std::fabs(n.x) > kPositionLimit || std::fabs(n.theta) > kAngleLimit;
    cart_pos[i] = n.x;
    cart_vel[i] = n.x_dot;
    pole_angle[i] = n.theta;
    pole_vel[i] = n.theta_dot;
    if (record_step(i, terminal ? 0.0f : 1.0f, terminal)) sink.add_episode(episode_returns[i], episode_steps[i]);
  }
}

void CartPole::step_simd(const float* actions) {
  const uint64_t blocked = num_envs_ & ~uint64_t{7};
  for (uint64_t first = 0; first < blocked; first += simd::kLanes) step_block(first, actions);
  step_scalar_range(blocked, num_envs_, actions, log);
}

void CartPole::step_parallel(const float* actions) {
  const ChunkPlan plan(num_envs_, workers_, ChunkPlan::floor_chunk_size(num_envs_, workers_));
  chunked_step_.run(plan, log, [&](uint64_t begin, uint64_t end, EpisodeLog& record) {
    step_scalar_range(begin, end, actions, record);
  });
}

void CartPole::auto_reset_finished() {
  for (uint64_t i = 0; i < num_envs_; ++i) {
    if (terminals[i] | truncations[i]) draw_initial_state(i, seeds[i] + num_envs_);
  }
}

void CartPole::step_auto_reset_simd(const float* actions) {
  step_simd(actions);
  auto_reset_finished();
}

void CartPole::step_auto_reset_parallel(const float* actions) {
  step_parallel(actions);
  auto_reset_finished();
}

bool CartPole::write_observations(float* dst, uint64_t len) const {
  return write_rows(dst, len, cart_pos, cart_vel, pole_angle, pole_vel);
}

}  // namespace zimbrel
