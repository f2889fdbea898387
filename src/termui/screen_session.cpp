#include "termui/screen_session.hpp"

#include "termui/screen_mode.hpp"

namespace zimbrel::termui {

std::error_code ScreenSession::enter_alternate_screen() {
  // Marked first: a failed write may still have switched the screen.
  alternate_screen_ = true;
  return termui::enter_alternate_screen(output_fd_);
}

std::error_code ScreenSession::restore() {
  std::error_code first = raw_mode_.disable();
  if (alternate_screen_) {
    alternate_screen_ = false;
    std::error_code left = leave_alternate_screen(output_fd_);
    std::error_code shown = show_cursor(output_fd_);
    if (!first) first = left ? left : shown;
  }
  return first;
}

}  // namespace zimbrel::termui
