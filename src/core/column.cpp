#include "core/column.hpp"

#include <unistd.h>

namespace zimbrel {

void ensure_allocatable(size_t bytes) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return;
  const auto physical = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page_size);
  if (bytes > physical) throw std::bad_alloc();
}

}  // namespace zimbrel
