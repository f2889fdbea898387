// The monitor's CSV log: a header line, then one row per update() call, every
// number written in fixed point (never an exponent) through an 8 KiB buffer.
//
// Thread safety: the writer has its own mutex. append_row() only tries it and
// skips the row when it is busy, so it never waits; flush() waits for it.
// In the monitor only the Python thread uses the log. Copying is deleted.
#pragma once
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "python/tui/buffered_file.hpp"

namespace zimbrel::tui {

inline constexpr std::string_view kCsvHeader =
    "timestamp,steps,episodes,mean_reward,sps,policy_loss,value_loss,entropy,cpu_usage,gpu_usage,memory_mb,"
    "gpu_memory_mb\n";

// One row's fields, in column order.
struct CsvRow {
  double timestamp;  // seconds since the monitor started
  uint64_t steps;
  uint64_t episodes;
  double mean_reward;
  double sps;
  double policy_loss;
  double value_loss;
  double entropy;
  double cpu_usage;
  double gpu_usage;
  uint64_t memory_mb;
  uint64_t gpu_memory_mb;
};

// "Failed to create CSV file: <system text> (os error N)".
class CsvCreateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CsvLog {
 public:
  // Creates or truncates the file and buffers the header without writing it.
  // Throws CsvCreateError.
  explicit CsvLog(const std::string& path);
  CsvLog(const CsvLog&) = delete;
  CsvLog& operator=(const CsvLog&) = delete;

  // Buffers one row unless another thread holds the log; errors are dropped.
  void append_row(const CsvRow& row);
  // Writes out what is buffered; errors are dropped (the bytes stay buffered).
  void flush();
  // Drops what is buffered without writing it.
  void discard_buffered();

 private:
  void write_row(const CsvRow& row);

  std::mutex mutex_;
  BufferedFile file_;  // guarded by mutex_
};

}  // namespace zimbrel::tui
