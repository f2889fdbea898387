// Eight-lane vector types for the engines' blocks. GCC lowers them to one AVX
// register where available and to two SSE registers otherwise; either way each
// lane performs exactly the scalar single-precision operations.
#pragma once
#include <cstdint>
#include <cstring>

namespace zimbrel::simd {

typedef float f32x8 __attribute__((vector_size(32)));
typedef int32_t i32x8 __attribute__((vector_size(32)));
typedef uint32_t u32x8 __attribute__((vector_size(32)));

inline constexpr int kLanes = 8;

template <typename V, typename T>
inline V load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof(V));
  return v;
}

template <typename V, typename T>
inline void store(T* p, V v) {
  std::memcpy(p, &v, sizeof(V));
}

inline f32x8 splat(float x) { return f32x8{x, x, x, x, x, x, x, x}; }

inline f32x8 abs(f32x8 x) {
  const i32x8 bits = reinterpret_cast<i32x8>(x) & 0x7FFFFFFF;
  return reinterpret_cast<f32x8>(bits);
}

// Lane-wise select: mask lanes are all ones (true) or all zeros (false).
inline f32x8 select(i32x8 mask, f32x8 if_true, f32x8 if_false) {
  const i32x8 t = reinterpret_cast<i32x8>(if_true);
  const i32x8 f = reinterpret_cast<i32x8>(if_false);
  return reinterpret_cast<f32x8>((t & mask) | (f & ~mask));
}

// max(c, x) and min(c, x) that let a NaN x through unchanged.
inline f32x8 max_keep_nan(float c, f32x8 x) { return select(x < c, splat(c), x); }
inline f32x8 min_keep_nan(float c, f32x8 x) { return select(x > c, splat(c), x); }

// Writes the eight masks as bytes of 0 or 1.
inline void store_flags(uint8_t* dst, i32x8 mask) {
  for (int lane = 0; lane < kLanes; ++lane) dst[lane] = mask[lane] ? 1 : 0;
}

inline bool any(i32x8 mask) {
  uint64_t words[4];
  std::memcpy(words, &mask, sizeof(words));
  return (words[0] | words[1] | words[2] | words[3]) != 0;
}

}  // namespace zimbrel::simd
