// The Python class pattern shared by the three environment classes: an
// instance owns one engine, validates NumPy actions, runs the automatic-reset
// step and returns fresh NumPy arrays.
//
// A Traits type supplies what differs per class:
//   Engine                          the engine type (with_workers, reset, write_*, log)
//   kName, kSpecName ("builtins." + kName), kDoc, kStepDoc, kResetDoc
//   kObservationSize                columns per observation row
//   kActionType                     NPY_INT32 (converted to floats) or NPY_FLOAT32 (passed as is)
//   step(Engine&, const float*)     the automatic-reset step
//   action_space(), observation_space()   new space dicts
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "arguments.hpp"
#include "core/column.hpp"
#include "core/episode_log.hpp"
#include "numpy_import.hpp"
#include "py_ref.hpp"

namespace zimbrel::py {

inline constexpr const char kGetLogsDoc[] =
    "get_logs($self)\n--\n\n"
    "Get episode statistics since last clear.\n\n"
    "Returns dict with:\n"
    "- episode_count: number of completed episodes\n"
    "- total_reward: sum of rewards across all completed episodes\n"
    "- total_steps: sum of steps across all completed episodes\n"
    "- mean_reward: average episode reward (or 0 if no episodes)\n"
    "- mean_length: average episode length (or 0 if no episodes)";
inline constexpr const char kClearLogsDoc[] = "clear_logs($self)\n--\n\nClear episode statistics.";
inline constexpr const char kNumEnvsDoc[] = "Get the number of environments.";
inline constexpr const char kObservationSizeDoc[] = "Get the observation shape per environment.";
inline constexpr const char kSingleActionSpaceDoc[] = "Gymnasium-compatible action space for a single environment.";
inline constexpr const char kSingleObservationSpaceDoc[] =
    "Gymnasium-compatible observation space for a single environment.";

// Returns the log as the dict that get_logs hands out, or null with an exception set.
PyObject* episode_log_dict(const EpisodeLog& log);

// Checks that `actions` is a one-dimensional, contiguous array of `dtype`
// holding `num_envs` entries. Returns null with TypeError or ValueError set.
PyArrayObject* checked_actions(PyObject* actions, int dtype, uint64_t num_envs);

// Creates a class from `spec`, whose name must be "builtins.<name>": like a
// built-in type the class reports __module__ "builtins" and its plain `name`
// in messages. Returns a new reference, or null with an exception set.
PyObject* new_class(PyType_Spec* spec, const char* name);

// Rejects sizes whose observation array would not fit in memory.
bool check_size(uint64_t num_envs, int observation_size);

template <typename Traits>
class VecEnvClass {
 public:
  using Engine = typename Traits::Engine;
  static constexpr int K = Traits::kObservationSize;
  static constexpr bool kConvertsActions = Traits::kActionType == NPY_INT32;

  struct Object {
    PyObject_HEAD
    Engine* env;
    Column<float>* action_buffer;  // int32 actions converted for the engine; null otherwise
    uint64_t num_envs;
  };

  // The class object, created on first use and kept for the life of the process.
  // Returns a borrowed reference, or null with an exception set.
  static PyObject* type() {
    static PyObject* cached = nullptr;
    if (cached == nullptr) cached = new_class(&spec_, Traits::kName);
    return cached;
  }

 private:
  static Object* self_of(PyObject* obj) { return reinterpret_cast<Object*>(obj); }

  static PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"num_envs", "workers", nullptr};
    PyObject* num_envs_arg = nullptr;
    PyObject* workers_arg = Py_None;
    uint64_t num_envs, workers;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O", const_cast<char**>(keywords), &num_envs_arg,
                                     &workers_arg) ||
        !to_u64(num_envs_arg, "num_envs", &num_envs) || !to_u64_or(workers_arg, "workers", 1, &workers)) {
      return nullptr;
    }
    if (num_envs == 0) {
      PyErr_SetString(PyExc_ValueError, "num_envs must be greater than 0");
      return nullptr;
    }
    if (!check_size(num_envs, K)) return nullptr;
    Ref obj = Ref::steal(type->tp_alloc(type, 0));
    if (!obj) return nullptr;
    Object* self = self_of(obj.get());
    try {
      self->env = new Engine(Engine::with_workers(num_envs, workers));
      if constexpr (kConvertsActions) self->action_buffer = new Column<float>(num_envs);
    } catch (const std::bad_alloc&) {
      return PyErr_NoMemory();
    }
    self->num_envs = num_envs;
    return obj.release();
  }

  static void dealloc(PyObject* obj) {
    Object* self = self_of(obj);
    delete self->env;
    delete self->action_buffer;
    PyTypeObject* type = Py_TYPE(obj);
    type->tp_free(obj);
    Py_DECREF(type);
  }

  static PyObject* new_observations(Engine& env, uint64_t n) {
    npy_intp dims[2] = {static_cast<npy_intp>(n), K};
    PyObject* arr = PyArray_SimpleNew(2, dims, NPY_FLOAT32);
    if (arr != nullptr) env.write_observations(static_cast<float*>(PyArray_DATA((PyArrayObject*)arr)), n * K);
    return arr;
  }

  template <typename T, typename Write>
  static PyObject* new_column(uint64_t n, int dtype, Write write) {
    npy_intp dims[1] = {static_cast<npy_intp>(n)};
    PyObject* arr = PyArray_SimpleNew(1, dims, dtype);
    if (arr != nullptr) write(static_cast<T*>(PyArray_DATA((PyArrayObject*)arr)), n);
    return arr;
  }

  static const float* engine_actions(Object* self, PyArrayObject* actions) {
    if constexpr (kConvertsActions) {
      // NumPy allows contiguous arrays at any byte offset: read through memcpy.
      const char* src = static_cast<const char*>(PyArray_DATA(actions));
      float* dst = self->action_buffer->data();
      for (uint64_t i = 0; i < self->num_envs; ++i) {
        int32_t action;
        std::memcpy(&action, src + i * sizeof(int32_t), sizeof(int32_t));
        dst[i] = static_cast<float>(action);
      }
      return dst;
    } else {
      return static_cast<const float*>(PyArray_DATA(actions));
    }
  }

  static PyObject* step(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Object* self = self_of(obj);
    PyObject* actions_arg;
    if (nargs == 1 && kwnames == nullptr) {
      actions_arg = args[0];
    } else if (!bind_arguments("step", args, nargs, kwnames, {"actions"}, 1, &actions_arg)) {
      return nullptr;
    }
    PyArrayObject* actions = checked_actions(actions_arg, Traits::kActionType, self->num_envs);
    if (actions == nullptr) return nullptr;
    Engine& env = *self->env;
    Traits::step(env, engine_actions(self, actions));

    const uint64_t n = self->num_envs;
    Ref observations = Ref::steal(new_observations(env, n));
    Ref rewards = Ref::steal(new_column<float>(n, NPY_FLOAT32, [&](float* d, uint64_t len) { env.write_rewards(d, len); }));
    Ref terminals = Ref::steal(new_column<uint8_t>(n, NPY_UINT8, [&](uint8_t* d, uint64_t len) { env.write_terminals(d, len); }));
    Ref truncations = Ref::steal(new_column<uint8_t>(n, NPY_UINT8, [&](uint8_t* d, uint64_t len) { env.write_truncations(d, len); }));
    if (!observations || !rewards || !terminals || !truncations) return nullptr;
    return PyTuple_Pack(4, observations.get(), rewards.get(), terminals.get(), truncations.get());
  }

  static PyObject* reset(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Object* self = self_of(obj);
    PyObject* seed_arg;
    uint64_t seed;
    if (!bind_arguments("reset", args, nargs, kwnames, {"seed"}, 1, &seed_arg) ||
        !to_u64_or(seed_arg, "seed", 0, &seed)) {
      return nullptr;
    }
    self->env->reset(seed);
    return new_observations(*self->env, self->num_envs);
  }

  static PyObject* get_logs(PyObject* obj, PyObject*) { return episode_log_dict(self_of(obj)->env->log); }

  static PyObject* clear_logs(PyObject* obj, PyObject*) {
    self_of(obj)->env->log.clear();
    Py_RETURN_NONE;
  }

  static PyObject* get_num_envs(PyObject* obj, void*) { return PyLong_FromUnsignedLongLong(self_of(obj)->num_envs); }
  static PyObject* get_observation_size(PyObject*, void*) { return PyLong_FromLong(K); }
  static PyObject* get_action_space(PyObject*, void*) { return Traits::action_space(); }
  static PyObject* get_observation_space(PyObject*, void*) { return Traits::observation_space(); }

  static inline PyMethodDef methods_[] = {
      {"step", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(step)), METH_FASTCALL | METH_KEYWORDS,
       Traits::kStepDoc},
      {"reset", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(reset)), METH_FASTCALL | METH_KEYWORDS,
       Traits::kResetDoc},
      {"get_logs", get_logs, METH_NOARGS, kGetLogsDoc},
      {"clear_logs", clear_logs, METH_NOARGS, kClearLogsDoc},
      {nullptr, nullptr, 0, nullptr},
  };

  static inline PyGetSetDef getset_[] = {
      {"num_envs", get_num_envs, nullptr, kNumEnvsDoc, nullptr},
      {"observation_size", get_observation_size, nullptr, kObservationSizeDoc, nullptr},
      {"action_space", get_action_space, nullptr, Traits::kActionSpaceDoc, nullptr},
      {"observation_space", get_observation_space, nullptr, Traits::kObservationSpaceDoc, nullptr},
      {"single_action_space", get_action_space, nullptr, kSingleActionSpaceDoc, nullptr},
      {"single_observation_space", get_observation_space, nullptr, kSingleObservationSpaceDoc, nullptr},
      {nullptr, nullptr, nullptr, nullptr, nullptr},
  };

  static inline PyType_Slot slots_[] = {
      {Py_tp_new, reinterpret_cast<void*>(tp_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
      {Py_tp_doc, const_cast<char*>(Traits::kDoc)},
      {Py_tp_methods, methods_},
      {Py_tp_getset, getset_},
      {0, nullptr},
  };

  static inline PyType_Spec spec_ = {Traits::kSpecName, sizeof(Object), 0, Py_TPFLAGS_DEFAULT, slots_};
};

}  // namespace zimbrel::py
