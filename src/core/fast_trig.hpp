// Degree-5 sine and degree-4 cosine Taylor polynomials in single precision.
// The eight-lane blocks use them instead of library calls, with no range
// reduction; written as templates so that one definition serves plain floats
// and GCC vector types alike, operation for operation.
#pragma once

namespace zimbrel {

inline constexpr float kInvSix = 0x1.555556p-3f;          // 1/6,   0x3E2AAAAB
inline constexpr float kInvOneTwenty = 0x1.111112p-7f;    // 1/120, 0x3C088889
inline constexpr float kInvTwentyFour = 0x1.555556p-5f;   // 1/24,  0x3D2AAAAB

template <typename F>
inline F fast_sin(F x) {
  const F x2 = x * x;
  const F x3 = x * x2;
  return (x2 * x3) * kInvOneTwenty + (x - x3 * kInvSix);
}

template <typename F>
inline F fast_cos(F x) {
  const F x2 = x * x;
  return (x2 * x2) * kInvTwentyFour + (x2 * -0.5f + 1.0f);
}

}  // namespace zimbrel
