// Statistics of completed episodes, as every engine keeps them.
#pragma once
#include <cstdint>

namespace zimbrel {

// Sums over completed episodes. Counters wrap modulo 2^32, the reward sum is
// single precision and added in the order episodes are folded in.
struct EpisodeLog {
  float total_reward = 0.0f;
  uint32_t episode_count = 0;
  uint32_t total_steps = 0;

  void add_episode(float episode_return, uint32_t episode_steps) {
    total_reward = total_reward + episode_return;
    episode_count += 1;
    total_steps += episode_steps;
  }

  // Folds a partial record (one eight-lane block or one parallel chunk) in.
  void add(const EpisodeLog& part) {
    total_reward = total_reward + part.total_reward;
    episode_count += part.episode_count;
    total_steps += part.total_steps;
  }

  void clear() { *this = EpisodeLog{}; }
};

using CartPoleLog = EpisodeLog;
using PendulumLog = EpisodeLog;
using MountainCarLog = EpisodeLog;

}  // namespace zimbrel
