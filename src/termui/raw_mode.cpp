#include "termui/raw_mode.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "termui/io_error.hpp"

namespace zimbrel::termui {
namespace {

std::error_code set_attributes(int fd, const termios& settings) {
  while (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    if (errno != EINTR) return last_os_error();
  }
  return {};
}

}  // namespace

RawMode::~RawMode() {
  disable();
  if (owns_fd_) ::close(fd_);
}

std::error_code RawMode::open_terminal() {
  if (::isatty(STDIN_FILENO)) {
    fd_ = STDIN_FILENO;
    return {};
  }
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return last_os_error();
  fd_ = fd;
  owns_fd_ = true;
  return {};
}

std::error_code RawMode::enable() {
  if (enabled_) return {};
  if (fd_ < 0) {
    if (std::error_code error = open_terminal()) return error;
  }
  if (::tcgetattr(fd_, &saved_) != 0) return last_os_error();
  termios raw = saved_;
  ::cfmakeraw(&raw);
  if (std::error_code error = set_attributes(fd_, raw)) return error;
  enabled_ = true;
  return {};
}

std::error_code RawMode::disable() {
  if (!enabled_) return {};
  if (std::error_code error = set_attributes(fd_, saved_)) return error;
  enabled_ = false;
  return {};
}

}  // namespace zimbrel::termui
