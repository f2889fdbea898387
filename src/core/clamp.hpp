// Scalar clamps that let a NaN through unchanged, matching the vector forms.
#pragma once

namespace zimbrel {

inline float max_keep_nan(float c, float x) { return x < c ? c : x; }
inline float min_keep_nan(float c, float x) { return x > c ? c : x; }

}  // namespace zimbrel
