// Space descriptions as plain dicts laid out like Gymnasium's Discrete and Box.
// Each returns a new dict, or null with an exception set.
#pragma once
#include <Python.h>

#include <cstdint>

// Opening lines of every class's space docstrings, joined to the class's own
// lines by literal concatenation.
#define ZIMBREL_ACTION_SPACE_DOC_HEAD "Gymnasium-compatible action space specification.\n\n"
#define ZIMBREL_OBSERVATION_SPACE_DOC_HEAD "Gymnasium-compatible observation space specification.\n\n"
#define ZIMBREL_DISCRETE_DOC_FORMAT "Returns a dict matching gymnasium.spaces.Discrete format:\n"
#define ZIMBREL_BOX_DOC_FORMAT "Returns a dict matching gymnasium.spaces.Box format:\n"

namespace zimbrel::py {

// {"n": n, "dtype": "int32"}
PyObject* discrete_space(int32_t n);

// {"shape": (size,), "dtype": "float32", "low": [...], "high": [...]}, the
// single-precision bounds widened to Python floats.
PyObject* box_space(int32_t size, const float* low, const float* high);

}  // namespace zimbrel::py
