#include "python/tui/buffered_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "termui/io_error.hpp"
#include "termui/write_all.hpp"

namespace zimbrel::tui {

BufferedFile::~BufferedFile() {
  if (fd_ < 0) return;
  flush();
  ::close(fd_);
}

std::error_code BufferedFile::open(const char* path) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return termui::last_os_error();
  fd_ = fd;
  return {};
}

std::error_code BufferedFile::write(std::string_view bytes) {
  if (bytes.size() > kCapacity - length_) {
    if (std::error_code error = flush()) return error;
  }
  if (bytes.size() >= kCapacity) return termui::write_all(fd_, bytes);
  std::memcpy(buffer_ + length_, bytes.data(), bytes.size());
  length_ += bytes.size();
  return {};
}

std::error_code BufferedFile::flush() {
  size_t written = 0;
  std::error_code error;
  while (written < length_) {
    const ssize_t count = ::write(fd_, buffer_ + written, length_ - written);
    if (count > 0) {
      written += static_cast<size_t>(count);
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else {
      error = count == 0 ? std::make_error_code(std::errc::io_error) : termui::last_os_error();
      break;
    }
  }
  std::memmove(buffer_, buffer_ + written, length_ - written);
  length_ -= written;
  return error;
}

}  // namespace zimbrel::tui
