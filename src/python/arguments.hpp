// Argument parsing for the vectorcall methods, with messages that name the
// argument. Every function returns false (or -1) with a Python exception set.
#pragma once
#include <Python.h>

#include <cstdint>
#include <initializer_list>

namespace zimbrel::py {

// Binds positional and keyword arguments of a METH_FASTCALL | METH_KEYWORDS
// call to `names` in order. Slots that were not passed stay null (borrowed
// references otherwise). The first `required` names must be passed.
bool bind_arguments(const char* func, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::initializer_list<const char*> names, size_t required, PyObject** slots);

// Converts an int (or an object with __index__) to unsigned 64 bits: TypeError
// naming `name` for anything else, OverflowError when negative or too large.
bool to_u64(PyObject* obj, const char* name, uint64_t* out);

// None or absent gives `fallback`, anything else goes through to_u64.
bool to_u64_or(PyObject* obj, const char* name, uint64_t fallback, uint64_t* out);

// A Python number as a double, TypeError naming `name` otherwise.
bool to_double(PyObject* obj, const char* name, double* out);

}  // namespace zimbrel::py
