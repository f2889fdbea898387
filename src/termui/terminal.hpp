// A full-screen terminal over a file descriptor (standard output by default)
// that keeps the previous frame and writes only what changed.
//
// draw(render): sizes the screen from the terminal (TIOCGWINSZ on the fd;
// 80 x 24 when that fails or reports zero), lets `render(Frame&)` draw a
// complete frame into a blank off-screen buffer, then writes the changed
// cells as ANSI sequences in one go. The first draw, and the first after a
// resize or a failed write, clears the screen and repaints it all. The
// cursor is hidden on the first draw and shown again by the destructor.
//
// Errors: draw returns the errno of a failed write as a std::error_code
// (empty on success); the next draw then repaints the whole screen. Not
// thread-safe: one thread owns a Terminal. Does not own the fd.
#pragma once
#include <cstddef>
#include <string>
#include <system_error>
#include <unistd.h>

#include "termui/buffer.hpp"
#include "termui/frame.hpp"

namespace zimbrel::termui {

class Terminal {
 public:
  explicit Terminal(int fd = STDOUT_FILENO) : fd_(fd) {}
  // A fixed screen size instead of the terminal's (off-screen use, benchmarks).
  Terminal(int fd, uint16_t width, uint16_t height) : fd_(fd), fixed_size_(true), fixed_width_(width), fixed_height_(height) {}
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  template <typename Render>
  std::error_code draw(Render&& render) {
    begin_frame();
    Frame frame(current_);
    render(frame);
    return end_frame();
  }

  // Bytes handed to the fd by the last draw.
  size_t last_write_size() const { return last_write_size_; }

 private:
  Rect screen_size() const;
  void begin_frame();
  std::error_code end_frame();

  int fd_;
  bool fixed_size_ = false;
  uint16_t fixed_width_ = 0;
  uint16_t fixed_height_ = 0;
  Buffer current_;
  Buffer previous_;  // what the screen shows now
  bool repaint_ = true;
  bool cursor_hidden_ = false;
  std::string out_;  // reused, so steady redraws do not allocate
  size_t last_write_size_ = 0;
};

}  // namespace zimbrel::termui
