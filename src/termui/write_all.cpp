#include "termui/write_all.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "termui/io_error.hpp"

namespace zimbrel::termui {

std::error_code write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd wait_for_room{fd, POLLOUT, 0};
      ::poll(&wait_for_room, 1, -1);
    } else {
      return written == 0 ? std::make_error_code(std::errc::io_error) : last_os_error();
    }
  }
  return {};
}

}  // namespace zimbrel::termui
