// Each testkit unit adds its functions to the module; returns -1 with an exception set.
#pragma once
#include <Python.h>

namespace zimbrel::testkit {

int add_env_functions(PyObject* module);
int add_view_functions(PyObject* module);
int add_monitor_functions(PyObject* module);

}  // namespace zimbrel::testkit
