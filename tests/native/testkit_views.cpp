#include "testkit.hpp"

namespace zimbrel::testkit {

int add_view_functions(PyObject*) { return 0; }

}  // namespace zimbrel::testkit
