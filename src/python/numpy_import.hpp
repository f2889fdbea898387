// Every unit that uses the NumPy C API includes this header; numpy_import.cpp
// owns the API table and loads it once at module initialisation.
#pragma once
#include <Python.h>

#define PY_ARRAY_UNIQUE_SYMBOL zimbrel_ARRAY_API
#ifndef ZIMBREL_NUMPY_IMPORT_UNIT
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>

namespace zimbrel::py {

// Returns -1 with an exception set when NumPy cannot be imported.
int import_numpy();

}  // namespace zimbrel::py
