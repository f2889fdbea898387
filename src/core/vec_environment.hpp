// What every engine offers: `num_envs` independent copies of one environment
// in struct-of-arrays form, stepped together.
//
// Contract shared by the engines:
//  - every per-environment column holds exactly `num_envs` entries, zero after
//    construction except `seeds` (i for environment i);
//  - observations are written row-major, `num_envs` x observation_size floats;
//  - a step never allocates beyond the engine's grow-once chunk scratch;
//  - one caller at a time: engines are not internally synchronised.
// The write operations return false, writing nothing, when the destination
// length is wrong; steps do the same for a wrong action count.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zimbrel {

class VecEnvironment {
 public:
  virtual ~VecEnvironment() = default;
  // Re-initialises environment i from seed + i (64-bit wrap-around).
  virtual void reset(uint64_t seed) = 0;
};

}  // namespace zimbrel
