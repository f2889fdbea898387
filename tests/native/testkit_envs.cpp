// Engine internals that Python cannot see through the environment classes.
#include <chrono>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

#include "core/chunk_plan.hpp"
#include "core/fast_trig.hpp"
#include "envs/cartpole.hpp"
#include "envs/mountain_car.hpp"
#include "envs/pendulum.hpp"
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
  } else if (std::strcmp(name, "pendulum") == 0) {
    seconds = time_engine_loop<Pendulum>(num_envs, workers, steps, Pendulum::kObservationSize,
                                         [&](Pendulum& env, const float* a) { env.step_auto_reset(a, num_envs); });
  } else if (std::strcmp(name, "mountain_car") == 0) {
    seconds = time_engine_loop<MountainCar>(num_envs, workers, steps, MountainCar::kObservationSize,
                                            [&](MountainCar& env, const float* a) { env.step_auto_reset(a, num_envs); });
  }
  Py_END_ALLOW_THREADS
  if (seconds < 0) {
    PyErr_Format(PyExc_ValueError, "unknown engine '%s'", name);
    return nullptr;
  }
  return PyFloat_FromDouble(seconds);
}

// fast_sin(x), fast_cos(x): the shared polynomials at a single-precision x.
PyObject* fast_sin_at(PyObject*, PyObject* args) {
  float x;
  if (!PyArg_ParseTuple(args, "f", &x)) return nullptr;
  return PyFloat_FromDouble(fast_sin(x));
}

PyObject* fast_cos_at(PyObject*, PyObject* args) {
  float x;
  if (!PyArg_ParseTuple(args, "f", &x)) return nullptr;
  return PyFloat_FromDouble(fast_cos(x));
}

// Copies a sequence of numbers into `out`, each rounded to single precision.
bool floats_from(PyObject* seq, std::vector<float>& out) {
  PyObject* fast = PySequence_Fast(seq, "expected a sequence of numbers");
  if (fast == nullptr) return false;
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
  out.resize(n);
  for (Py_ssize_t i = 0; i < n; ++i) out[i] = static_cast<float>(PyFloat_AsDouble(PySequence_Fast_GET_ITEM(fast, i)));
  Py_DECREF(fast);
  return !PyErr_Occurred();
}

template <typename T>
PyObject* list_of(const T* values, uint64_t n) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(n));
  for (uint64_t i = 0; list != nullptr && i < n; ++i) {
    PyObject* item = std::is_floating_point_v<T> ? PyFloat_FromDouble(values[i])
                                                 : PyLong_FromUnsignedLongLong(values[i]);
    if (item == nullptr) {
      Py_CLEAR(list);
      break;
    }
    PyList_SET_ITEM(list, i, item);
  }
  return list;
}

// What one step left behind, as a dict of lists plus the log as a tuple.
template <typename Engine>
PyObject* step_outcome(const Engine& env) {
  const uint64_t n = env.num_envs();
  std::vector<float> obs(n * Engine::kObservationSize);
  env.write_observations(obs.data(), obs.size());
  return Py_BuildValue("{sNsNsNsNsNsNs(fII)}", "observations", list_of(obs.data(), obs.size()), "rewards",
                       list_of(env.rewards.data(), n), "terminals", list_of(env.terminals.data(), n), "truncations",
                       list_of(env.truncations.data(), n), "episode_steps", list_of(env.episode_steps.data(), n),
                       "seeds", list_of(env.seeds.data(), n), "log", static_cast<double>(env.log.total_reward),
                       env.log.episode_count, env.log.total_steps);
}

// Builds an engine of len(actions) environments, sets its two state columns
// and its episode step counters, takes one step_auto_reset (or, with
// auto_reset false, one step_parallel) and reports.
template <typename Engine, typename SetState>
PyObject* step_from_state(PyObject* args, SetState set_state) {
  PyObject *first_arg, *second_arg, *actions_arg;
  unsigned long long workers, steps_done;
  int auto_reset = 1;
  if (!PyArg_ParseTuple(args, "OOOKK|p", &first_arg, &second_arg, &actions_arg, &workers, &steps_done, &auto_reset)) {
    return nullptr;
  }
  std::vector<float> first, second, actions;
  if (!floats_from(first_arg, first) || !floats_from(second_arg, second) || !floats_from(actions_arg, actions)) {
    return nullptr;
  }
  if (actions.empty() || first.size() != actions.size() || second.size() != actions.size()) {
    PyErr_SetString(PyExc_ValueError, "state columns and actions must have one equal, non-zero length");
    return nullptr;
  }
  Engine env = Engine::with_workers(actions.size(), workers);
  for (uint64_t i = 0; i < actions.size(); ++i) {
    set_state(env, i, first[i], second[i]);
    env.episode_steps[i] = static_cast<uint32_t>(steps_done);
  }
  if (auto_reset) env.step_auto_reset(actions.data(), actions.size());
  else env.step_parallel(actions.data(), actions.size());
  return step_outcome(env);
}

// pendulum_step(theta, theta_dot, torques, workers, steps_done, auto_reset=True) -> outcome dict
PyObject* pendulum_step(PyObject*, PyObject* args) {
  return step_from_state<Pendulum>(args, [](Pendulum& env, uint64_t i, float theta, float theta_dot) {
    env.theta[i] = theta;
    env.theta_dot[i] = theta_dot;
  });
}

// mountain_car_step(position, velocity, pushes, workers, steps_done, auto_reset=True) -> outcome dict
PyObject* mountain_car_step(PyObject*, PyObject* args) {
  return step_from_state<MountainCar>(args, [](MountainCar& env, uint64_t i, float position, float velocity) {
    env.position[i] = position;
    env.velocity[i] = velocity;
  });
}

// Everything a refused call must leave alone, as raw bytes.
template <typename Engine>
std::vector<unsigned char> engine_bytes(const Engine& env) {
  const uint64_t n = env.num_envs();
  std::vector<unsigned char> bytes;
  auto append = [&](const void* p, size_t size) {
    const auto* b = static_cast<const unsigned char*>(p);
    bytes.insert(bytes.end(), b, b + size);
  };
  std::vector<float> obs(n * Engine::kObservationSize);
  env.write_observations(obs.data(), obs.size());
  append(obs.data(), obs.size() * sizeof(float));
  append(env.rewards.data(), n * sizeof(float));
  append(env.terminals.data(), n);
  append(env.truncations.data(), n);
  append(env.episode_steps.data(), n * sizeof(uint32_t));
  append(env.episode_returns.data(), n * sizeof(float));
  append(env.seeds.data(), n * sizeof(uint64_t));
  append(&env.log, sizeof(env.log));
  return bytes;
}

// Calls one operation with a buffer of `length` elements (guarded on both
// sides) on a stepped engine; returns (accepted, buffer_untouched, engine_unchanged).
template <typename Engine>
PyObject* call_with_length(uint64_t num_envs, uint64_t workers, const char* op, uint64_t length) {
  Engine env = Engine::with_workers(num_envs, workers);
  env.reset(7);
  std::vector<float> ones(num_envs, 1.0f);
  env.step_auto_reset(ones.data(), num_envs);
  const std::vector<unsigned char> before = engine_bytes(env);

  constexpr size_t kGuard = 64;
  std::vector<float> buffer(length + 2 * kGuard, 0.5f);
  float* floats = buffer.data() + kGuard;
  uint8_t* bytes = reinterpret_cast<uint8_t*>(floats);
  const std::vector<float> pristine = buffer;
  bool accepted;
  if (std::strcmp(op, "step_auto_reset") == 0) accepted = env.step_auto_reset(floats, length);
  else if (std::strcmp(op, "step_parallel") == 0) accepted = env.step_parallel(floats, length);
  else if (std::strcmp(op, "write_observations") == 0) accepted = env.write_observations(floats, length);
  else if (std::strcmp(op, "write_rewards") == 0) accepted = env.write_rewards(floats, length);
  else if (std::strcmp(op, "write_terminals") == 0) accepted = env.write_terminals(bytes, length);
  else if (std::strcmp(op, "write_truncations") == 0) accepted = env.write_truncations(bytes, length);
  else {
    PyErr_Format(PyExc_ValueError, "unknown operation %s", op);
    return nullptr;
  }
  return Py_BuildValue("(NNN)", PyBool_FromLong(accepted), PyBool_FromLong(buffer == pristine),
                       PyBool_FromLong(engine_bytes(env) == before));
}

// call_with_length(engine, num_envs, workers, operation, length); engine is
// "pendulum" or "mountain_car".
PyObject* call_with_length_py(PyObject*, PyObject* args) {
  const char *engine, *op;
  unsigned long long num_envs, workers, length;
  if (!PyArg_ParseTuple(args, "sKKsK", &engine, &num_envs, &workers, &op, &length)) return nullptr;
  if (std::strcmp(engine, "pendulum") == 0) return call_with_length<Pendulum>(num_envs, workers, op, length);
  return call_with_length<MountainCar>(num_envs, workers, op, length);
}

PyMethodDef functions[] = {
    {"engine_loop_seconds", engine_loop_seconds, METH_VARARGS,
     "engine_loop_seconds(env, num_envs, workers, steps) -> seconds of the engine's own step loop"},
    {"chunk_ranges", chunk_ranges, METH_VARARGS, "chunk_ranges(num_envs, workers, rounding) -> (chunk_size, ranges)"},
    {"fast_sin", fast_sin_at, METH_VARARGS, "fast_sin(x) -> the sine polynomial at float32 x"},
    {"fast_cos", fast_cos_at, METH_VARARGS, "fast_cos(x) -> the cosine polynomial at float32 x"},
    {"pendulum_step", pendulum_step, METH_VARARGS,
     "pendulum_step(theta, theta_dot, torques, workers, steps_done, auto_reset=True) -> outcome of one step"},
    {"mountain_car_step", mountain_car_step, METH_VARARGS,
     "mountain_car_step(position, velocity, pushes, workers, steps_done, auto_reset=True) -> outcome of one step"},
    {"call_with_length", call_with_length_py, METH_VARARGS,
     "call_with_length(engine, num_envs, workers, operation, length) -> (accepted, buffer_untouched, engine_unchanged)"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_env_functions(PyObject* module) { return PyModule_AddFunctions(module, functions); }

}  // namespace zimbrel::testkit
