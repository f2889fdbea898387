// Space descriptions as plain dicts laid out like Gymnasium's Discrete and Box.
// Each returns a new dict, or null with an exception set.
#pragma once
#include <Python.h>

#include <cstdint>

namespace zimbrel::py {

// {"n": n, "dtype": "int32"}
PyObject* discrete_space(int32_t n);

// {"shape": (size,), "dtype": "float32", "low": [...], "high": [...]}, the
// single-precision bounds widened to Python floats.
PyObject* box_space(int32_t size, const float* low, const float* high);

}  // namespace zimbrel::py
