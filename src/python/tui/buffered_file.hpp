// A file written through a fixed 8192-byte buffer. Bytes reach the file only
// when a write does not fit in the buffer, on flush() and on destruction:
// never once per small write. A write of 8192 bytes or more goes straight to
// the file. When a flush fails, the bytes not written stay buffered and the
// next flush tries them again.
//
// Not thread safe: the owner serialises access. Copying is deleted.
#pragma once
#include <cstddef>
#include <string_view>
#include <system_error>

namespace zimbrel::tui {

class BufferedFile {
 public:
  static constexpr size_t kCapacity = 8192;

  BufferedFile() = default;
  // Flushes what is buffered (errors ignored) and closes the file.
  ~BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  // Creates `path`, or truncates it when it exists; new files get mode 0666
  // before the umask.
  std::error_code open(const char* path);

  std::error_code write(std::string_view bytes);
  std::error_code flush();
  // Forgets the buffered bytes.
  void discard() { length_ = 0; }

 private:
  int fd_ = -1;
  size_t length_ = 0;
  char buffer_[kCapacity];
};

}  // namespace zimbrel::tui
