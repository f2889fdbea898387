#include "testkit.hpp"

namespace {

PyModuleDef testkit_def = {
    PyModuleDef_HEAD_INIT, "_zimbrel_testkit", "Test-only access to zimbrel's C++ layers.", 0,
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__zimbrel_testkit() {
  PyObject* module = PyModule_Create(&testkit_def);
  if (module == nullptr) return nullptr;
  if (zimbrel::testkit::add_env_functions(module) < 0 || zimbrel::testkit::add_view_functions(module) < 0 ||
      zimbrel::testkit::add_monitor_functions(module) < 0) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
