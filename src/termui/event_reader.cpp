#include "termui/event_reader.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "termui/io_error.hpp"

namespace zimbrel::termui {

bool EventReader::has_complete_event() const {
  Event ignored;
  return decode_event(std::string_view(buffer_ + begin_, end_ - begin_), true, &ignored) > 0;
}

std::error_code EventReader::wait_readable(std::chrono::milliseconds timeout, bool* readable) {
  pollfd input{fd_, POLLIN, 0};
  const int count = ::poll(&input, 1, static_cast<int>(timeout.count()));
  *readable = false;
  if (count < 0) return errno == EINTR ? std::error_code() : last_os_error();
  if (count == 0) return {};
  if (input.revents & POLLNVAL) return std::make_error_code(std::errc::bad_file_descriptor);
  // A hang-up or error shows up as a failed read below.
  *readable = true;
  return {};
}

std::error_code EventReader::fill(std::chrono::milliseconds timeout, bool* got) {
  *got = false;
  bool readable = false;
  if (std::error_code error = wait_readable(timeout, &readable); error || !readable) return error;
  if (begin_ > 0) {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == kBufferSize) return {};  // full of unread events already
  const ssize_t count = ::read(fd_, buffer_ + end_, kBufferSize - end_);
  if (count < 0) return errno == EINTR || errno == EAGAIN ? std::error_code() : last_os_error();
  // End of input on a terminal means it hung up; reading on would spin.
  if (count == 0) return std::make_error_code(std::errc::io_error);
  end_ += static_cast<size_t>(count);
  *got = true;
  return {};
}

std::error_code EventReader::poll(std::chrono::milliseconds timeout, bool* ready) {
  *ready = has_complete_event();
  if (*ready) return {};
  bool got = false;
  if (std::error_code error = fill(timeout, &got); error || !got) return error;
  // The bytes read may end inside an escape sequence: give the rest a moment.
  while (!has_complete_event()) {
    if (std::error_code error = fill(kSequenceWait, &got)) return error;
    if (!got) break;
  }
  *ready = true;
  return {};
}

std::error_code EventReader::read(Event* event) {
  while (begin_ == end_) {
    bool got = false;
    if (std::error_code error = fill(std::chrono::milliseconds(-1), &got)) return error;
  }
  const std::string_view pending(buffer_ + begin_, end_ - begin_);
  size_t taken = decode_event(pending, true, event);
  if (taken == 0) taken = decode_event(pending, false, event);
  begin_ += taken;
  return {};
}

}  // namespace zimbrel::termui
