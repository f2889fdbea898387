#define ZIMBREL_NUMPY_IMPORT_UNIT
#include "numpy_import.hpp"

namespace zimbrel::py {

int import_numpy() {
  import_array1(-1);
  return 0;
}

}  // namespace zimbrel::py
