// Engine internals that Python cannot see through the environment classes.
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "core/chunk_plan.hpp"
#include "envs/cartpole.hpp"
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

// The engine's own loop, with no Python in it: one automatic-reset step and
// the four write operations per iteration, into buffers made once.
template <typename Engine, typename Step>
double time_engine_loop(uint64_t num_envs, uint64_t workers, uint64_t steps, int obs_size, Step step) {
  Engine env = Engine::with_workers(num_envs, workers);
  env.reset(0);
  std::vector<float> actions(num_envs), observations(num_envs * obs_size), rewards(num_envs);
  std::vector<uint8_t> terminals(num_envs), truncations(num_envs);
  std::mt19937 rng(1);
  for (auto& a : actions) a = static_cast<float>(rng() & 1);
  const auto start = std::chrono::steady_clock::now();
  for (uint64_t s = 0; s < steps; ++s) {
    step(env, actions.data());
    env.write_observations(observations.data(), observations.size());
    env.write_rewards(rewards.data(), num_envs);
    env.write_terminals(terminals.data(), num_envs);
    env.write_truncations(truncations.data(), num_envs);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// engine_loop_seconds(env, num_envs, workers, steps) -> seconds for `steps` iterations.
PyObject* engine_loop_seconds(PyObject*, PyObject* args) {
  const char* name;
  unsigned long long num_envs, workers, steps;
  if (!PyArg_ParseTuple(args, "sKKK", &name, &num_envs, &workers, &steps)) return nullptr;
  double seconds = -1;
  Py_BEGIN_ALLOW_THREADS
  if (std::strcmp(name, "cartpole") == 0) {
    seconds = time_engine_loop<CartPole>(num_envs, workers, steps, CartPole::kObservationSize,
                                         [](CartPole& env, const float* a) {
                                           if (env.workers() <= 1) env.step_auto_reset_simd(a);
                                           else env.step_auto_reset_parallel(a);
                                         });
  }
  Py_END_ALLOW_THREADS
  if (seconds < 0) {
    PyErr_Format(PyExc_ValueError, "unknown engine '%s'", name);
    return nullptr;
  }
  return PyFloat_FromDouble(seconds);
}

PyMethodDef functions[] = {
    {"engine_loop_seconds", engine_loop_seconds, METH_VARARGS,
     "engine_loop_seconds(env, num_envs, workers, steps) -> seconds of the engine's own step loop"},
    {"chunk_ranges", chunk_ranges, METH_VARARGS, "chunk_ranges(num_envs, workers, rounding) -> (chunk_size, ranges)"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_env_functions(PyObject* module) { return PyModule_AddFunctions(module, functions); }

}  // namespace zimbrel::testkit
