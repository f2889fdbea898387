// Holds a terminal for a full-screen program: raw mode on the controlling
// terminal, then the alternate screen on the output descriptor. restore()
// hands both back and shows the cursor; the destructor does the same for
// whatever is still held, so that an early return or an exception leaves the
// terminal as it was found.
//
// One thread owns a session; copying is deleted.
#pragma once
#include <unistd.h>

#include <system_error>

#include "termui/raw_mode.hpp"

namespace zimbrel::termui {

class ScreenSession {
 public:
  explicit ScreenSession(int output_fd = STDOUT_FILENO) : output_fd_(output_fd) {}
  ~ScreenSession() { restore(); }
  ScreenSession(const ScreenSession&) = delete;
  ScreenSession& operator=(const ScreenSession&) = delete;

  std::error_code enable_raw_mode() { return raw_mode_.enable(); }
  std::error_code enter_alternate_screen();
  // Raw mode off, alternate screen left, cursor shown: every step is tried,
  // and the first error is returned.
  std::error_code restore();

  // Where keys are read from, once raw mode is on.
  int input_fd() const { return raw_mode_.input_fd(); }

 private:
  int output_fd_;
  RawMode raw_mode_;
  bool alternate_screen_ = false;
};

}  // namespace zimbrel::termui
