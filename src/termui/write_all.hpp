// Writing a whole byte string to a file descriptor.
#pragma once
#include <string_view>
#include <system_error>

namespace zimbrel::termui {

// Writes every byte, retrying after interruptions and short writes (and
// waiting for room when the descriptor is non-blocking). Returns the first
// other error.
std::error_code write_all(int fd, std::string_view bytes);

}  // namespace zimbrel::termui
