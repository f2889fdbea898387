// Reads terminal input events one at a time from a descriptor in raw mode.
// Bytes that arrive together (a burst of keys, an escape sequence) are kept
// until each of their events has been read.
//
// One thread owns a reader; it does not own the descriptor.
#pragma once
#include <chrono>
#include <cstddef>
#include <system_error>

#include "termui/key_event.hpp"

namespace zimbrel::termui {

class EventReader {
 public:
  explicit EventReader(int fd) : fd_(fd) {}
  EventReader(const EventReader&) = delete;
  EventReader& operator=(const EventReader&) = delete;

  // Waits up to `timeout` until an event can be read; *ready tells whether one
  // can. An interrupted wait reports no event and no error.
  std::error_code poll(std::chrono::milliseconds timeout, bool* ready);
  // Reads one event, waiting for input if poll() did not report one.
  std::error_code read(Event* event);

 private:
  static constexpr size_t kBufferSize = 1024;
  // The rest of an escape sequence normally arrives with its start; this is
  // how long an incomplete one waits before it is read as it stands.
  static constexpr std::chrono::milliseconds kSequenceWait{5};

  bool has_complete_event() const;
  // Appends what the descriptor has to the buffer, waiting up to `timeout`
  // (negative: no limit). *got tells whether any byte arrived.
  std::error_code fill(std::chrono::milliseconds timeout, bool* got);
  std::error_code wait_readable(std::chrono::milliseconds timeout, bool* readable);

  int fd_;
  char buffer_[kBufferSize];
  size_t begin_ = 0;
  size_t end_ = 0;
};

}  // namespace zimbrel::termui
