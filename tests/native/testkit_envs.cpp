// Engine internals that Python cannot see through the environment classes.
#include "core/chunk_plan.hpp"
#include "testkit.hpp"

namespace zimbrel::testkit {
namespace {

// chunk_ranges(num_envs, workers, rounding) -> [(begin, end), ...] for every
// task k in [0, workers), empty tasks included; rounding is "floor" or "ceil".
PyObject* chunk_ranges(PyObject*, PyObject* args) {
  unsigned long long num_envs, workers;
  const char* rounding;
  if (!PyArg_ParseTuple(args, "KKs", &num_envs, &workers, &rounding)) return nullptr;
  const bool floor = rounding[0] == 'f';
  const uint64_t chunk = floor ? ChunkPlan::floor_chunk_size(num_envs, workers)
                               : ChunkPlan::ceil_chunk_size(num_envs, workers);
  const ChunkPlan plan(num_envs, workers, chunk);
  PyObject* list = PyList_New(0);
  if (list == nullptr) return nullptr;
  for (uint64_t k = 0; k < workers; ++k) {
    ChunkRange r{0, 0};
    if (chunk == 0) {
      if (k + 1 == workers) r = plan.range(0);  // the only task that holds environments
    } else if (k < plan.task_count()) {
      r = plan.range(k);
    }
    PyObject* item = Py_BuildValue("(KK)", static_cast<unsigned long long>(r.begin), static_cast<unsigned long long>(r.end));
    if (item == nullptr || PyList_Append(list, item) < 0) {
      Py_XDECREF(item);
      Py_DECREF(list);
      return nullptr;
    }
    Py_DECREF(item);
  }
  return Py_BuildValue("(KN)", static_cast<unsigned long long>(chunk), list);
}

PyMethodDef functions[] = {
    {"chunk_ranges", chunk_ranges, METH_VARARGS, "chunk_ranges(num_envs, workers, rounding) -> (chunk_size, ranges)"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_env_functions(PyObject* module) { return PyModule_AddFunctions(module, functions); }

}  // namespace zimbrel::testkit
