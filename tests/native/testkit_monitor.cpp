#include "testkit.hpp"

namespace zimbrel::testkit {

int add_monitor_functions(PyObject*) { return 0; }

}  // namespace zimbrel::testkit
