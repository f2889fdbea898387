#include "termui/terminal.hpp"

#include <sys/ioctl.h>

#include <string_view>

#include "termui/ansi_diff.hpp"
#include "termui/write_all.hpp"

namespace zimbrel::termui {
namespace {

constexpr uint16_t kFallbackWidth = 80;
constexpr uint16_t kFallbackHeight = 24;
constexpr std::string_view kHideCursor = "\x1b[?25l";
constexpr std::string_view kShowCursor = "\x1b[?25h";
constexpr std::string_view kResetAndClear = "\x1b[0m\x1b[2J";

}  // namespace

Terminal::~Terminal() {
  if (cursor_hidden_) write_all(fd_, kShowCursor);
}

Rect Terminal::screen_size() const {
  if (fixed_size_) return Rect{0, 0, fixed_width_, fixed_height_};
  winsize size{};
  if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    return Rect{0, 0, size.ws_col, size.ws_row};
  }
  return Rect{0, 0, kFallbackWidth, kFallbackHeight};
}

void Terminal::begin_frame() {
  const Rect area = screen_size();
  if (area != current_.area()) {
    current_.resize(area);
    previous_.resize(area);
    repaint_ = true;
  } else {
    current_.reset();
  }
}

std::error_code Terminal::end_frame() {
  out_.clear();
  if (!cursor_hidden_ || repaint_) out_ += kHideCursor;
  // Set before writing: after a failed write the cursor may be hidden already.
  cursor_hidden_ = true;
  if (repaint_) {
    // The screen's contents are unknown: clear it, then diff against blank.
    out_ += kResetAndClear;
    previous_.reset();
  }
  append_diff(previous_, current_, out_);
  last_write_size_ = out_.size();
  std::swap(previous_, current_);
  if (const std::error_code error = write_all(fd_, out_)) {
    repaint_ = true;
    return error;
  }
  repaint_ = false;
  return {};
}

}  // namespace zimbrel::termui
