// The environment classes, each created once per process. Each returns a
// borrowed reference to the class object, or null with an exception set.
#pragma once
#include <Python.h>

namespace zimbrel::py {

PyObject* cartpole_class();
PyObject* mountain_car_class();
PyObject* pendulum_class();

}  // namespace zimbrel::py
