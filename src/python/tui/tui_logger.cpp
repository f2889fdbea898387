// TUILogger: the Python class over a TrainingMonitor. Parses and converts
// arguments, translates the monitor's C++ exceptions into Python ones, and
// makes sure the terminal is handed back before Python prints a traceback or
// exits with a monitor still open.
#include "python/tui/tui_logger.hpp"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "python/arguments.hpp"
#include "python/py_ref.hpp"
#include "python/tui/training_monitor.hpp"
#include "python/vec_env_class.hpp"

namespace zimbrel::py {
namespace {

using tui::TrainingMonitor;

constexpr const char kClassDoc[] =
    "TUILogger(mode=\"minimal\", render_interval_ms=100, history_len=100, csv_path=None, "
    "monitor_interval_ms=None, update_interval_steps=None)\n--\n\n"
    "High-performance TUI logger built on a terminal UI toolkit.\n\n"
    "Renders training metrics in a terminal UI with minimal overhead.\n"
    "Python updates metrics via atomic writes; a separate thread handles rendering.";
constexpr const char kUpdateDoc[] =
    "update($self, steps, episodes, mean_reward, sps, policy_loss=None, value_loss=None, entropy=None, "
    "gpu_usage=None, gpu_memory=None, total_gpu_memory=None)\n--\n\n"
    "Update metrics from Python training loop.\n\n"
    "This method is optimized for minimal overhead - uses atomic writes only.\n"
    "GPU metrics are optional and can be provided by Python if available.";
constexpr const char kCloseDoc[] = "close($self)\n--\n\nClose the TUI and restore terminal.";
constexpr const char kShouldQuitDoc[] = "should_quit($self)\n--\n\nCheck if quit was requested via keyboard.";

struct Object {
  PyObject_HEAD
  TrainingMonitor* monitor;
};

Object* self_of(PyObject* obj) { return reinterpret_cast<Object*>(obj); }

// --- Handing the terminal back on the way out -------------------------------
// Python prints an uncaught exception's traceback before it tears objects
// down; a monitor still drawing would put it on the alternate screen and wipe
// it when leaving. So the excepthook and an atexit handler close every open
// monitor first. The list is only touched with the GIL held.

std::vector<TrainingMonitor*>& open_monitors() {
  static auto* monitors = new std::vector<TrainingMonitor*>();
  return *monitors;
}

void close_open_monitors() {
  for (TrainingMonitor* monitor : open_monitors()) monitor->close();
}

void forget_monitor(TrainingMonitor* monitor) {
  auto& monitors = open_monitors();
  monitors.erase(std::remove(monitors.begin(), monitors.end(), monitor), monitors.end());
}

// A forked child has none of the monitors' threads, and the parent will write
// the CSV rows buffered so far: the child lets go of both.
void forget_monitors_in_child() {
  for (TrainingMonitor* monitor : open_monitors()) monitor->forget_after_fork();
}

PyObject* close_all_at_exit(PyObject*, PyObject*) {
  close_open_monitors();
  Py_RETURN_NONE;
}

// `previous` is the hook that was installed before this one.
PyObject* excepthook(PyObject* previous, PyObject* const* args, Py_ssize_t nargs) {
  close_open_monitors();
  return PyObject_Vectorcall(previous, args, static_cast<size_t>(nargs), nullptr);
}

PyMethodDef close_all_def = {"_close_open_loggers", close_all_at_exit, METH_NOARGS,
                             "Close every open TUILogger, restoring the terminal."};
PyMethodDef excepthook_def = {"excepthook", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(excepthook)),
                              METH_FASTCALL, "Close every open TUILogger, then report the exception."};

// Installs both hooks once per process. Returns false with an exception set.
bool install_exit_hooks() {
  static bool installed = false;
  if (installed) return true;
  Ref sys = Ref::steal(PyImport_ImportModule("sys"));
  Ref previous = sys ? Ref::steal(PyObject_GetAttrString(sys.get(), "excepthook")) : Ref();
  Ref hook = previous ? Ref::steal(PyCFunction_New(&excepthook_def, previous.get())) : Ref();
  if (!hook || PyObject_SetAttrString(sys.get(), "excepthook", hook.get()) < 0) return false;
  Ref atexit = Ref::steal(PyImport_ImportModule("atexit"));
  Ref closer = Ref::steal(PyCFunction_New(&close_all_def, nullptr));
  if (!atexit || !closer) return false;
  Ref registered = Ref::steal(PyObject_CallMethod(atexit.get(), "register", "O", closer.get()));
  if (!registered) return false;
  if (int error = pthread_atfork(nullptr, nullptr, forget_monitors_in_child)) {
    errno = error;
    PyErr_SetFromErrno(PyExc_OSError);
    return false;
  }
  installed = true;
  return true;
}

// --- Construction ------------------------------------------------------------

// The UTF-8 text of a str argument; TypeError naming `name` for anything
// else. Returns false with an exception set.
bool str_argument(PyObject* arg, const char* name, std::string_view* out) {
  if (!PyUnicode_Check(arg)) {
    PyErr_Format(PyExc_TypeError, "argument '%s': '%.200s' object cannot be converted to 'str'", name,
                 Py_TYPE(arg)->tp_name);
    return false;
  }
  Py_ssize_t length = 0;
  const char* text = PyUnicode_AsUTF8AndSize(arg, &length);
  if (text == nullptr) return false;
  *out = std::string_view(text, static_cast<size_t>(length));
  return true;
}

// Returns false with an exception set.
bool parse_mode(PyObject* arg, tui::TUIMode* out) {
  std::string_view mode;
  if (arg == nullptr) return true;
  if (!str_argument(arg, "mode", &mode)) return false;
  if (mode == "minimal") {
    *out = tui::TUIMode::Minimal;
  } else if (mode == "dashboard") {
    *out = tui::TUIMode::Dashboard;
  } else if (mode == "chart") {
    *out = tui::TUIMode::Chart;
  } else {
    PyErr_SetString(PyExc_ValueError, "mode must be 'minimal', 'dashboard', or 'chart'");
    return false;
  }
  return true;
}

// Returns false with an exception set.
bool parse_csv_path(PyObject* arg, std::optional<std::string>* out) {
  std::string_view path;
  if (arg == nullptr || arg == Py_None) return true;
  if (!str_argument(arg, "csv_path", &path)) return false;
  // The C library would silently open the path cut at the NUL.
  if (path.find('\0') != std::string_view::npos) {
    PyErr_SetString(PyExc_ValueError, "Failed to create CSV file: path contains a NUL byte");
    return false;
  }
  out->emplace(path);
  return true;
}

// Returns false with an exception set.
bool parse_options(PyObject* args, PyObject* kwargs, tui::MonitorOptions* options) {
  static const char* keywords[] = {"mode", "render_interval_ms", "history_len", "csv_path",
                                   "monitor_interval_ms", "update_interval_steps", nullptr};
  PyObject *mode = nullptr, *render_interval = nullptr, *history_len = nullptr, *csv_path = nullptr;
  PyObject *monitor_interval = nullptr, *update_interval = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|OOOOOO:TUILogger", const_cast<char**>(keywords), &mode,
                                   &render_interval, &history_len, &csv_path, &monitor_interval,
                                   &update_interval)) {
    return false;
  }
  tui::TUIMode parsed_mode = tui::TUIMode::Minimal;
  if (!parse_mode(mode, &parsed_mode) ||
      (render_interval && !to_u64(render_interval, "render_interval_ms", &options->render_interval_ms)) ||
      (history_len && !to_u64(history_len, "history_len", &options->history_len)) ||
      !parse_csv_path(csv_path, &options->csv_path) ||
      !to_u64_or(monitor_interval, "monitor_interval_ms", 1000, &options->monitor_interval_ms) ||
      !to_u64_or(update_interval, "update_interval_steps", 10000, &options->update_interval_steps)) {
    return false;
  }
  options->mode = parsed_mode;
  return true;
}

// Creates the monitor, translating its exceptions. Returns null with an
// exception set.
TrainingMonitor* start_monitor(const tui::MonitorOptions& options) {
  try {
    return new TrainingMonitor(options);
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const tui::CsvCreateError& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  } catch (const tui::ThreadSpawnError& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return nullptr;
}

PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  tui::MonitorOptions options;
  if (!parse_options(args, kwargs, &options) || !install_exit_hooks()) return nullptr;
  Ref obj = Ref::steal(type->tp_alloc(type, 0));
  if (!obj) return nullptr;
  try {
    open_monitors().reserve(open_monitors().size() + 1);
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  }
  TrainingMonitor* monitor = start_monitor(options);
  if (monitor == nullptr) return nullptr;
  self_of(obj.get())->monitor = monitor;
  open_monitors().push_back(monitor);
  return obj.release();
}

void dealloc(PyObject* obj) {
  if (TrainingMonitor* monitor = self_of(obj)->monitor) {
    forget_monitor(monitor);
    delete monitor;  // closes: joins the threads, flushes and closes the CSV log
  }
  PyTypeObject* type = Py_TYPE(obj);
  type->tp_free(obj);
  Py_DECREF(type);
}

// --- Methods -----------------------------------------------------------------

// Plain ints take the short way; anything else gets to_u64's checks and
// messages. Returns false with an exception set.
bool steps_value(PyObject* obj, const char* name, uint64_t* out) {
  if (PyLong_CheckExact(obj)) {
    const unsigned long long value = PyLong_AsUnsignedLongLong(obj);
    if (!(value == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
      *out = value;
      return true;
    }
    PyErr_Clear();
  }
  return to_u64(obj, name, out);
}

// None or absent gives `fallback`. Returns false with an exception set.
bool double_or(PyObject* obj, const char* name, double fallback, double* out) {
  if (obj == nullptr || obj == Py_None) {
    *out = fallback;
    return true;
  }
  return to_double(obj, name, out);
}

// None or absent leaves `out` empty. Returns false with an exception set.
bool optional_double(PyObject* obj, const char* name, std::optional<double>* out) {
  if (obj == nullptr || obj == Py_None) return true;
  double value;
  if (!to_double(obj, name, &value)) return false;
  *out = value;
  return true;
}

constexpr size_t kUpdateArgumentCount = 10;
constexpr size_t kUpdateRequired = 4;
constexpr const char* kUpdateNames[kUpdateArgumentCount] = {
    "steps", "episodes", "mean_reward", "sps", "policy_loss", "value_loss", "entropy",
    "gpu_usage", "gpu_memory", "total_gpu_memory"};

// Keyword names in a call are interned strings, so in the usual call each is
// found by identity; false sends the call to bind_arguments, which also
// reports every kind of mistake.
bool bind_interned_keywords(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots) {
  static PyObject* interned[kUpdateArgumentCount] = {};
  if (interned[0] == nullptr) {
    for (size_t i = 0; i < kUpdateArgumentCount; ++i) {
      interned[i] = PyUnicode_InternFromString(kUpdateNames[i]);  // kept for the life of the process
      if (interned[i] == nullptr) {
        PyErr_Clear();
        interned[0] = nullptr;
        return false;
      }
    }
  }
  if (nargs > static_cast<Py_ssize_t>(kUpdateArgumentCount)) return false;
  std::copy(args, args + nargs, slots);
  const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < count; ++k) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, k);
    size_t i = 0;
    while (i < kUpdateArgumentCount && interned[i] != name) ++i;
    if (i == kUpdateArgumentCount || slots[i] != nullptr) return false;
    slots[i] = args[nargs + k];
  }
  for (size_t i = 0; i < kUpdateRequired; ++i) {
    if (slots[i] == nullptr) return false;
  }
  return true;
}

// Returns false with an exception set.
bool parse_update(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, tui::UpdateValues* values) {
  PyObject* slots[kUpdateArgumentCount] = {};
  const bool bound =
      kwnames == nullptr
          ? nargs >= static_cast<Py_ssize_t>(kUpdateRequired) && nargs <= static_cast<Py_ssize_t>(kUpdateArgumentCount)
          : bind_interned_keywords(args, nargs, kwnames, slots);
  if (bound) {
    if (kwnames == nullptr) std::copy(args, args + nargs, slots);
  } else if (!bind_arguments("update", args, nargs, kwnames,
                             {kUpdateNames[0], kUpdateNames[1], kUpdateNames[2], kUpdateNames[3], kUpdateNames[4],
                              kUpdateNames[5], kUpdateNames[6], kUpdateNames[7], kUpdateNames[8], kUpdateNames[9]},
                             kUpdateRequired, slots)) {
    return false;
  }
  return steps_value(slots[0], "steps", &values->steps) && steps_value(slots[1], "episodes", &values->episodes) &&
         to_double(slots[2], "mean_reward", &values->mean_reward) && to_double(slots[3], "sps", &values->sps) &&
         double_or(slots[4], "policy_loss", 0.0, &values->policy_loss) &&
         double_or(slots[5], "value_loss", 0.0, &values->value_loss) &&
         double_or(slots[6], "entropy", 0.0, &values->entropy) &&
         optional_double(slots[7], "gpu_usage", &values->gpu_usage) &&
         optional_double(slots[8], "gpu_memory", &values->gpu_memory) &&
         optional_double(slots[9], "total_gpu_memory", &values->total_gpu_memory);
}

PyObject* update(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  tui::UpdateValues values;
  if (!parse_update(args, nargs, kwnames, &values)) return nullptr;
  self_of(obj)->monitor->update(values);
  Py_RETURN_NONE;
}

PyObject* should_quit(PyObject* obj, PyObject*) { return PyBool_FromLong(self_of(obj)->monitor->should_quit()); }

PyObject* close(PyObject* obj, PyObject*) {
  self_of(obj)->monitor->close();
  Py_RETURN_NONE;
}

PyMethodDef methods[] = {
    {"update", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(update)), METH_FASTCALL | METH_KEYWORDS,
     kUpdateDoc},
    {"should_quit", should_quit, METH_NOARGS, kShouldQuitDoc},
    {"close", close, METH_NOARGS, kCloseDoc},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(tp_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_doc, const_cast<char*>(kClassDoc)},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"builtins.TUILogger", sizeof(Object), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* tui_logger_class() {
  static PyObject* cached = nullptr;
  if (cached == nullptr) cached = new_class(&spec, "TUILogger");
  return cached;
}

}  // namespace zimbrel::py
