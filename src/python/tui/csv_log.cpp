#include "python/tui/csv_log.hpp"

#include <charconv>

#include "python/tui/number_format.hpp"
#include "termui/io_error.hpp"

namespace zimbrel::tui {
namespace {

// Formats a row's fields, each with its separator, into one piece. The file
// gets whole rows only: were fields handed over one by one, a failed flush
// would drop the fields that do not fit and keep later ones that do, and once
// the file can be written again its columns would be shifted.
class RowWriter {
 public:
  void fixed(double value, int decimals, char separator = ',') {
    put(write_fixed(end_, value, decimals), separator);
  }

  void integer(uint64_t value, char separator = ',') {
    const auto result = std::to_chars(end_, end_ + kFixedBufferSize, value);
    put(static_cast<size_t>(result.ptr - end_), separator);
  }

  std::string_view text() const { return std::string_view(text_, static_cast<size_t>(end_ - text_)); }

 private:
  void put(size_t length, char separator) {
    end_[length] = separator;
    end_ += length + 1;
  }

  // Room for every field at its longest, each with its separator.
  static constexpr size_t kFields = 12;
  char text_[kFields * (kFixedBufferSize + 1)];
  char* end_ = text_;
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

void CsvLog::discard_buffered() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.discard();
}

void CsvLog::write_row(const CsvRow& row) {
  RowWriter out;
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
  file_.write(out.text());
}

}  // namespace zimbrel::tui
