// Fixed-capacity ring buffer, oldest element first. All room is allocated at
// construction, so pushes never allocate.
#pragma once
#include <cstddef>
#include <new>
#include <vector>

#include "core/column.hpp"

namespace zimbrel::tui {

template <typename T>
class Ring {
 public:
  // Throws std::bad_alloc when `capacity` elements cannot be allocated.
  explicit Ring(size_t capacity) {
    if (capacity > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    ensure_allocatable(capacity * sizeof(T));
    data_.resize(capacity);
  }

  size_t size() const { return size_; }
  size_t capacity() const { return data_.size(); }
  bool empty() const { return size_ == 0; }

  // Element i counted from the oldest.
  const T& operator[](size_t i) const {
    size_t at = head_ + i;
    if (at >= data_.size()) at -= data_.size();
    return data_[at];
  }

  void pop_front() {
    if (size_ == 0) return;
    head_ = head_ + 1 == data_.size() ? 0 : head_ + 1;
    --size_;
  }

  // The caller makes room first (pop_front) when the ring is full.
  void push_back(const T& value) {
    size_t at = head_ + size_;
    if (at >= data_.size()) at -= data_.size();
    data_[at] = value;
    ++size_;
  }

  template <typename F>
  void for_each(F&& fn) const {
    for (size_t i = 0; i < size_; ++i) fn((*this)[i]);
  }

 private:
  std::vector<T> data_;
  size_t head_ = 0;
  size_t size_ = 0;
};

}  // namespace zimbrel::tui
