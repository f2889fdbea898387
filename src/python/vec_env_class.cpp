#include "vec_env_class.hpp"

namespace zimbrel::py {
namespace {

bool set_float(PyObject* dict, const char* key, float value) {
  Ref item = Ref::steal(PyFloat_FromDouble(value));
  return item && PyDict_SetItemString(dict, key, item.get()) == 0;
}

const char* dtype_name(int dtype) { return dtype == NPY_INT32 ? "int32" : "float32"; }

}  // namespace

PyObject* episode_log_dict(const EpisodeLog& log) {
  const float episodes = static_cast<float>(log.episode_count);
  const float steps = static_cast<float>(log.total_steps);
  const bool any = log.episode_count != 0;
  Ref dict = Ref::steal(PyDict_New());
  if (!dict || !set_float(dict.get(), "episode_count", episodes) ||
      !set_float(dict.get(), "total_reward", log.total_reward) || !set_float(dict.get(), "total_steps", steps) ||
      !set_float(dict.get(), "mean_reward", any ? log.total_reward / episodes : 0.0f) ||
      !set_float(dict.get(), "mean_length", any ? steps / episodes : 0.0f)) {
    return nullptr;
  }
  return dict.release();
}

PyArrayObject* checked_actions(PyObject* actions, int dtype, uint64_t num_envs) {
  // Native byte order only: the engines read the array's memory directly.
  static PyArray_Descr* const int32_descr = PyArray_DescrFromType(NPY_INT32);
  static PyArray_Descr* const float32_descr = PyArray_DescrFromType(NPY_FLOAT32);
  PyArray_Descr* want = dtype == NPY_INT32 ? int32_descr : float32_descr;
  if (!PyArray_Check(actions)) {
    PyErr_Format(PyExc_TypeError, "argument 'actions': expected a one-dimensional numpy array of dtype %s, got '%.200s'",
                 dtype_name(dtype), Py_TYPE(actions)->tp_name);
    return nullptr;
  }
  PyArrayObject* arr = reinterpret_cast<PyArrayObject*>(actions);
  if (PyArray_NDIM(arr) != 1 || !PyArray_EquivTypes(PyArray_DESCR(arr), want)) {
    PyErr_Format(PyExc_TypeError,
                 "argument 'actions': expected a one-dimensional numpy array of dtype %s, got a %d-dimensional "
                 "array of dtype %S",
                 dtype_name(dtype), PyArray_NDIM(arr), reinterpret_cast<PyObject*>(PyArray_DESCR(arr)));
    return nullptr;
  }
  if (!PyArray_IS_C_CONTIGUOUS(arr)) {
    PyErr_SetString(PyExc_ValueError, "Actions must be a contiguous C-order array");
    return nullptr;
  }
  const npy_intp length = PyArray_DIM(arr, 0);
  if (static_cast<uint64_t>(length) != num_envs) {
    PyErr_Format(PyExc_ValueError, "Expected %llu actions, got %lld", static_cast<unsigned long long>(num_envs),
                 static_cast<long long>(length));
    return nullptr;
  }
  return arr;
}

PyObject* new_class(PyType_Spec* spec, const char* name) {
  PyObject* type = PyType_FromSpec(spec);
  if (type != nullptr) reinterpret_cast<PyTypeObject*>(type)->tp_name = name;
  return type;
}

bool check_size(uint64_t num_envs, int observation_size) {
  // The observation array's element count must fit NumPy's signed index type.
  if (num_envs > static_cast<uint64_t>(NPY_MAX_INTP) / static_cast<uint64_t>(observation_size)) {
    PyErr_NoMemory();
    return false;
  }
  return true;
}

}  // namespace zimbrel::py
