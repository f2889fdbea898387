#include "arguments.hpp"

#include <cstring>

namespace zimbrel::py {
namespace {

bool keyword_matches(PyObject* key, const char* name) {
  const char* text = PyUnicode_AsUTF8(key);
  if (text == nullptr) {
    PyErr_Clear();
    return false;
  }
  return std::strcmp(text, name) == 0;
}

}  // namespace

bool bind_arguments(const char* func, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::initializer_list<const char*> names, size_t required, PyObject** slots) {
  const size_t count = names.size();
  for (size_t i = 0; i < count; ++i) slots[i] = nullptr;
  if (static_cast<size_t>(nargs) > count) {
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zu argument%s (%zd given)", func, count,
                 count == 1 ? "" : "s", nargs);
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* key = PyTuple_GET_ITEM(kwnames, k);
    size_t i = 0;
    for (const char* name : names) {
      if (keyword_matches(key, name)) break;
      ++i;
    }
    if (i == count) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", func, key);
      return false;
    }
    if (slots[i] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", func, names.begin()[i]);
      return false;
    }
    slots[i] = args[nargs + k];
  }
  for (size_t i = 0; i < required; ++i) {
    if (slots[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)", func, names.begin()[i], i + 1);
      return false;
    }
  }
  return true;
}

bool to_u64(PyObject* obj, const char* name, uint64_t* out) {
  if (!PyLong_Check(obj) && !PyIndex_Check(obj)) {
    PyErr_Format(PyExc_TypeError, "argument '%s': '%.200s' object cannot be interpreted as an integer", name,
                 Py_TYPE(obj)->tp_name);
    return false;
  }
  PyObject* index = PyNumber_Index(obj);
  if (index == nullptr) return false;
  int overflow = 0;
  const long long signed_value = PyLong_AsLongLongAndOverflow(index, &overflow);
  if (overflow < 0 || (overflow == 0 && signed_value < 0)) {
    Py_DECREF(index);
    PyErr_Format(PyExc_OverflowError, "argument '%s': can't convert negative int to unsigned", name);
    return false;
  }
  const unsigned long long value = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    PyErr_Format(PyExc_OverflowError, "argument '%s': int too big to convert to an unsigned 64-bit integer", name);
    return false;
  }
  *out = value;
  return true;
}

bool to_u64_or(PyObject* obj, const char* name, uint64_t fallback, uint64_t* out) {
  if (obj == nullptr || obj == Py_None) {
    *out = fallback;
    return true;
  }
  return to_u64(obj, name, out);
}

bool to_double(PyObject* obj, const char* name, double* out) {
  if (PyFloat_CheckExact(obj)) {
    *out = PyFloat_AS_DOUBLE(obj);
    return true;
  }
  if (!PyFloat_Check(obj) && !PyLong_Check(obj) && !PyIndex_Check(obj) && Py_TYPE(obj)->tp_as_number == nullptr) {
    PyErr_Format(PyExc_TypeError, "argument '%s': must be real number, not %.200s", name, Py_TYPE(obj)->tp_name);
    return false;
  }
  const double value = PyFloat_AsDouble(obj);
  if (value == -1.0 && PyErr_Occurred()) {
    PyObject *type, *val, *tb;
    PyErr_Fetch(&type, &val, &tb);
    PyErr_NormalizeException(&type, &val, &tb);
    PyErr_Format(type, "argument '%s': %S", name, val);
    Py_XDECREF(type);
    Py_XDECREF(val);
    Py_XDECREF(tb);
    return false;
  }
  *out = value;
  return true;
}

}  // namespace zimbrel::py
