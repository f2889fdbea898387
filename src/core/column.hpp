// Owning, zero-filled, fixed-size array: one struct-of-arrays column.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace zimbrel {

// Refuses requests larger than the machine's physical memory up front:
// overcommit would accept them and the first touch would get the process killed.
void ensure_allocatable(size_t bytes);

template <typename T>
class Column {
 public:
  Column() = default;
  // Throws std::bad_alloc when `count` entries cannot be allocated.
  explicit Column(size_t count) : size_(count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    ensure_allocatable(count * sizeof(T));
    data_ = static_cast<T*>(std::calloc(count ? count : 1, sizeof(T)));
    if (data_ == nullptr) throw std::bad_alloc();
  }
  ~Column() { std::free(data_); }
  Column(Column&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  Column& operator=(Column&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = other.data_;
      size_ = other.size_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }
  Column(const Column&) = delete;
  Column& operator=(const Column&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace zimbrel

#include <algorithm>
#include <array>

namespace zimbrel {

// Copies a column out; false, writing nothing, when `len` is not its size.
template <typename T>
bool copy_column(const Column<T>& src, T* dst, uint64_t len) {
  if (len != src.size()) return false;
  std::copy(src.data(), src.data() + len, dst);
  return true;
}

// Interleaves columns into row-major observations: row i holds entry i of
// every column in order. False, writing nothing, when `len` is not the number
// of columns times their size.
template <typename... Columns>
bool write_rows(float* dst, uint64_t len, const Columns&... columns) {
  constexpr size_t kWidth = sizeof...(Columns);
  const std::array<const float*, kWidth> src{columns.data()...};
  const uint64_t rows = std::min({columns.size()...});
  if (len % kWidth != 0 || len / kWidth != rows) return false;
  for (uint64_t i = 0; i < rows; ++i) {
    for (size_t c = 0; c < kWidth; ++c) dst[i * kWidth + c] = src[c][i];
  }
  return true;
}

}  // namespace zimbrel
