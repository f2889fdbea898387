#include "termui/io_error.hpp"

#include <cerrno>

namespace zimbrel::termui {

std::error_code last_os_error() { return std::error_code(errno, std::system_category()); }

std::string describe_error(const std::error_code& error) {
  if (error.category() != std::system_category() && error.category() != std::generic_category()) {
    return error.message();
  }
  return error.message() + " (os error " + std::to_string(error.value()) + ")";
}

}  // namespace zimbrel::termui
