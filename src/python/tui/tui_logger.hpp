// The TUILogger class: Python's handle on a TrainingMonitor.
#pragma once
#include <Python.h>

namespace zimbrel::py {

// The class object, created on first use and kept for the life of the
// process. Returns a borrowed reference, or null with an exception set.
PyObject* tui_logger_class();

}  // namespace zimbrel::py
