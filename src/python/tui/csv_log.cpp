#include "python/tui/csv_log.hpp"

#include <charconv>

#include "python/tui/number_format.hpp"
#include "termui/io_error.hpp"

namespace zimbrel::tui {
namespace {

// Formats one field and its separator, then hands it to the file: a row that
// fills the buffer is written up to the field that did not fit.
class FieldWriter {
 public:
  explicit FieldWriter(BufferedFile& file) : file_(file) {}

  void fixed(double value, int decimals, char separator = ',') {
    const size_t length = write_fixed(text_, value, decimals);
    put(length, separator);
  }

  void integer(uint64_t value, char separator = ',') {
    const auto result = std::to_chars(text_, text_ + sizeof text_, value);
    put(static_cast<size_t>(result.ptr - text_), separator);
  }

 private:
  void put(size_t length, char separator) {
    text_[length] = separator;
    file_.write(std::string_view(text_, length + 1));
  }

  BufferedFile& file_;
  char text_[kFixedBufferSize + 1];
};

}  // namespace

CsvLog::CsvLog(const std::string& path) {
  if (std::error_code error = file_.open(path.c_str())) {
    throw CsvCreateError("Failed to create CSV file: " + termui::describe_error(error));
  }
  file_.write(kCsvHeader);
}

void CsvLog::append_row(const CsvRow& row) {
  std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
  if (lock.owns_lock()) write_row(row);
}

void CsvLog::flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.flush();
}

void CsvLog::write_row(const CsvRow& row) {
  FieldWriter out(file_);
  out.fixed(row.timestamp, 3);
  out.integer(row.steps);
  out.integer(row.episodes);
  out.fixed(row.mean_reward, 4);
  out.fixed(row.sps, 0);
  out.fixed(row.policy_loss, 6);
  out.fixed(row.value_loss, 6);
  out.fixed(row.entropy, 6);
  out.fixed(row.cpu_usage, 2);
  out.fixed(row.gpu_usage, 2);
  out.integer(row.memory_mb);
  out.integer(row.gpu_memory_mb, '\n');
}

}  // namespace zimbrel::tui
