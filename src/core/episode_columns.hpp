// The per-environment bookkeeping every engine keeps beside its state
// columns: last reward and flags, the running episode's step count and
// return, and the seed counter. Recording a step is the same for every
// engine, so it lives here once, in a scalar and an eight-lane form.
#pragma once
#include <cstdint>
#include <stdexcept>

#include "core/column.hpp"
#include "core/episode_log.hpp"
#include "core/simd.hpp"

namespace zimbrel {

class EpisodeColumns {
 public:
  // Zero-filled columns of `num_envs` entries, seeds[i] = i. Throws
  // std::invalid_argument("num_envs must be at least 1") for 0 and
  // std::bad_alloc when the columns cannot be allocated.
  EpisodeColumns(uint64_t num_envs, uint32_t max_steps)
      : rewards(at_least_one(num_envs)),
        terminals(num_envs),
        truncations(num_envs),
        episode_steps(num_envs),
        episode_returns(num_envs),
        seeds(num_envs),
        max_steps_(max_steps) {
    for (uint64_t i = 0; i < num_envs; ++i) seeds[i] = i;
  }

  // Each returns false and writes nothing when `len` is not the column's size.
  bool write_rewards(float* dst, uint64_t len) const { return copy_column(rewards, dst, len); }
  bool write_terminals(uint8_t* dst, uint64_t len) const { return copy_column(terminals, dst, len); }
  bool write_truncations(uint8_t* dst, uint64_t len) const { return copy_column(truncations, dst, len); }

  Column<float> rewards;
  Column<uint8_t> terminals, truncations;
  Column<uint32_t> episode_steps;
  Column<float> episode_returns;
  Column<uint64_t> seeds;

 protected:
  // Stores environment i's reward and terminal flag, counts the step, sets
  // the truncation flag and adds the reward to the return. True when the
  // episode is complete (terminal, truncated or both).
  bool record_step(uint64_t i, float reward, bool terminal) {
    const uint32_t steps = episode_steps[i] + 1;
    const bool truncated = steps >= max_steps_;
    rewards[i] = reward;
    terminals[i] = terminal;
    truncations[i] = truncated;
    episode_steps[i] = steps;
    episode_returns[i] = episode_returns[i] + reward;
    return terminal || truncated;
  }

  // The same for the eight environments from `first`. Returns the episodes
  // completed among them, their returns summed in lane order from 0.
  EpisodeLog record_block(uint64_t first, simd::f32x8 reward, simd::i32x8 terminal) {
    using namespace simd;
    const u32x8 steps = load<u32x8>(&episode_steps[first]) + 1u;
    const i32x8 truncated = reinterpret_cast<i32x8>(steps >= max_steps_);
    const f32x8 returns = load<f32x8>(&episode_returns[first]) + reward;
    store(&rewards[first], reward);
    store_flags(&terminals[first], terminal);
    store_flags(&truncations[first], truncated);
    store(&episode_steps[first], steps);
    store(&episode_returns[first], returns);

    EpisodeLog finished;
    const i32x8 done = terminal | truncated;
    if (!any(done)) return finished;
    for (int lane = 0; lane < kLanes; ++lane) {
      if (done[lane]) finished.add_episode(returns[lane], steps[lane]);
    }
    return finished;
  }

  // Starts environment i's next episode count and return from zero.
  void restart_episode(uint64_t i) {
    episode_steps[i] = 0;
    episode_returns[i] = 0.0f;
  }

 private:
  static uint64_t at_least_one(uint64_t num_envs) {
    if (num_envs == 0) throw std::invalid_argument("num_envs must be at least 1");
    return num_envs;
  }

  uint32_t max_steps_;
};

}  // namespace zimbrel
