#include "termui/screen_mode.hpp"

#include "termui/write_all.hpp"

namespace zimbrel::termui {

std::error_code enter_alternate_screen(int fd) { return write_all(fd, "\x1b[?1049h"); }
std::error_code leave_alternate_screen(int fd) { return write_all(fd, "\x1b[?1049l"); }
std::error_code hide_cursor(int fd) { return write_all(fd, "\x1b[?25l"); }
std::error_code show_cursor(int fd) { return write_all(fd, "\x1b[?25h"); }

}  // namespace zimbrel::termui
