// Switches of a terminal's screen, written as escape sequences to an output
// descriptor: xterm's alternate screen (private mode 1049) and the text
// cursor's visibility (private mode 25). Each returns the write error, if any.
#pragma once
#include <system_error>

namespace zimbrel::termui {

std::error_code enter_alternate_screen(int fd);
std::error_code leave_alternate_screen(int fd);
std::error_code hide_cursor(int fd);
std::error_code show_cursor(int fd);

}  // namespace zimbrel::termui
