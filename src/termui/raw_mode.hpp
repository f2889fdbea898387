// Raw mode on the terminal the user types into: standard input when that is a
// terminal, otherwise /dev/tty. Raw mode is non-canonical input without echo
// and without signal keys (Ctrl+C arrives as a byte instead of SIGINT).
//
// One thread owns an object; it is not safe to share. The settings found when
// raw mode was switched on are restored exactly by disable(), and by the
// destructor when raw mode is still on. A /dev/tty opened here is closed by
// the destructor.
#pragma once
#include <termios.h>

#include <system_error>

namespace zimbrel::termui {

class RawMode {
 public:
  RawMode() = default;
  ~RawMode();
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

  // Finds the terminal on first use and switches it to raw mode. Without a
  // controlling terminal this fails ("No such device or address").
  std::error_code enable();
  // Restores the saved settings; does nothing when raw mode is off.
  std::error_code disable();

  bool enabled() const { return enabled_; }
  // The terminal's descriptor, for reading keys; -1 before enable().
  int input_fd() const { return fd_; }

 private:
  std::error_code open_terminal();

  int fd_ = -1;
  bool owns_fd_ = false;
  bool enabled_ = false;
  termios saved_{};
};

}  // namespace zimbrel::termui
