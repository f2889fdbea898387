#include "spaces.hpp"

#include "py_ref.hpp"

namespace zimbrel::py {
namespace {

// Sets dict[key] = value, consuming `value`. Returns false with an exception set.
bool set_item(PyObject* dict, const char* key, PyObject* value) {
  Ref owned = Ref::steal(value);
  return owned && PyDict_SetItemString(dict, key, owned.get()) == 0;
}

PyObject* float_list(int32_t size, const float* values) {
  Ref list = Ref::steal(PyList_New(size));
  if (!list) return nullptr;
  for (int32_t i = 0; i < size; ++i) {
    PyObject* item = PyFloat_FromDouble(static_cast<double>(values[i]));
    if (item == nullptr) return nullptr;
    PyList_SET_ITEM(list.get(), i, item);
  }
  return list.release();
}

}  // namespace

PyObject* discrete_space(int32_t n) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict || !set_item(dict.get(), "n", PyLong_FromLong(n)) ||
      !set_item(dict.get(), "dtype", PyUnicode_FromString("int32"))) {
    return nullptr;
  }
  return dict.release();
}

PyObject* box_space(int32_t size, const float* low, const float* high) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict || !set_item(dict.get(), "shape", Py_BuildValue("(i)", size)) ||
      !set_item(dict.get(), "dtype", PyUnicode_FromString("float32")) ||
      !set_item(dict.get(), "low", float_list(size, low)) || !set_item(dict.get(), "high", float_list(size, high))) {
    return nullptr;
  }
  return dict.release();
}

}  // namespace zimbrel::py
