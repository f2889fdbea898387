// Module initialisation: builds `zimbrel`, its submodule `zimbrel.envs` and
// registers every class, each name also appended to the module's __all__.
#include <Python.h>

#include "env_classes.hpp"
#include "numpy_import.hpp"
#include "py_ref.hpp"
#include "tui/tui_logger.hpp"

namespace zimbrel::py {
namespace {

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "zimbrel", "Zimbrel Python module.", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// Appends `name` to module.__all__ (creating the list) and sets the attribute.
// Returns false with an exception set.
bool add_to_module(PyObject* module, const char* name, PyObject* value) {
  if (value == nullptr) return false;
  Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = Ref::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return false;
  }
  Ref key = Ref::steal(PyUnicode_FromString(name));
  return key && PyList_Append(all.get(), key.get()) == 0 && PyObject_SetAttr(module, key.get(), value) == 0;
}

bool add_env_classes(PyObject* module) {
  return add_to_module(module, "PyCartPoleVecEnv", cartpole_class()) &&
         add_to_module(module, "PyMountainCarVecEnv", mountain_car_class()) &&
         add_to_module(module, "PyPendulumVecEnv", pendulum_class());
}

// Adds TUILogger, then the same object read back from the module as Logger.
bool add_logger_class(PyObject* module) {
  if (!add_to_module(module, "TUILogger", tui_logger_class())) return false;
  Ref logger = Ref::steal(PyObject_GetAttrString(module, "TUILogger"));
  return add_to_module(module, "Logger", logger.get());
}

// Makes `import zimbrel.envs` find the submodule.
bool register_submodule(PyObject* envs) {
  Ref sys = Ref::steal(PyImport_ImportModule("sys"));
  if (!sys) return false;
  Ref modules = Ref::steal(PyObject_GetAttrString(sys.get(), "modules"));
  return modules && PyMapping_SetItemString(modules.get(), "zimbrel.envs", envs) == 0;
}

PyObject* init_module() {
  static bool initialised = false;
  if (initialised) {
    PyErr_SetString(PyExc_ImportError, "zimbrel can only be initialised once per interpreter process");
    return nullptr;
  }
  if (import_numpy() < 0) return nullptr;

  Ref module = Ref::steal(PyModule_Create(&module_def));
  if (!module) return nullptr;
  Ref envs = Ref::steal(PyModule_New("envs"));
  if (!envs || !add_env_classes(envs.get()) || !add_to_module(module.get(), "envs", envs.get()) ||
      !register_submodule(envs.get()) || !add_logger_class(module.get()) || !add_env_classes(module.get())) {
    return nullptr;
  }
  initialised = true;
  return module.release();
}

}  // namespace
}  // namespace zimbrel::py

PyMODINIT_FUNC PyInit_zimbrel() { return zimbrel::py::init_module(); }
