// Per-environment random draws: xoshiro256** seeded through SplitMix64.
// Each re-initialisation makes a fresh generator from the environment's seed,
// takes its draws and drops it, so only the seed needs to be remembered.
#pragma once
#include <cstdint>

namespace zimbrel {

class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  uint64_t state_;
};

class Xoshiro256 {
 public:
  explicit Xoshiro256(uint64_t seed) {
    seed_from(seed);
    // An all-zero state would only ever produce zeros.
    if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0) seed_from(0);
  }

  uint64_t next() {
    const uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }

  // Uniform in [0, 1): the top 24 bits of one output, scaled by 2^-24.
  float uniform() { return static_cast<float>(next() >> 40) * 0x1.0p-24f; }

  // Uniform in [-r, r), evaluated as (u * (r + r)) - r in single precision.
  float symmetric(float r) { return uniform() * (r + r) - r; }

 private:
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  void seed_from(uint64_t seed) {
    SplitMix64 sm(seed);
    for (auto& word : s_) word = sm.next();
  }
  uint64_t s_[4];
};

}  // namespace zimbrel
