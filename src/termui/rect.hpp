// A rectangle of cells: top-left corner plus size, in terminal columns and
// rows. Edges are computed in int so that x + width never wraps.
#pragma once
#include <algorithm>
#include <cstdint>

namespace zimbrel::termui {

struct Rect {
  uint16_t x = 0;
  uint16_t y = 0;
  uint16_t width = 0;
  uint16_t height = 0;

  int left() const { return x; }
  int top() const { return y; }
  int right() const { return int{x} + width; }    // one past the last column
  int bottom() const { return int{y} + height; }  // one past the last row
  bool empty() const { return width == 0 || height == 0; }
  bool contains(int col, int row) const { return col >= left() && col < right() && row >= top() && row < bottom(); }

  // The part of this rectangle that lies inside `other` (empty when none).
  Rect intersection(const Rect& other) const {
    const int l = std::max(left(), other.left());
    const int t = std::max(top(), other.top());
    const int r = std::min(right(), other.right());
    const int b = std::min(bottom(), other.bottom());
    if (r <= l || b <= t) return Rect{static_cast<uint16_t>(l), static_cast<uint16_t>(t), 0, 0};
    return from_edges(l, t, r, b);
  }

  // This rectangle shrunk by `margin` cells on every side, never below empty.
  Rect shrunk(uint16_t margin) const {
    const int w = std::max(0, int{width} - 2 * margin);
    const int h = std::max(0, int{height} - 2 * margin);
    const int l = std::min(left() + margin, right());
    const int t = std::min(top() + margin, bottom());
    return from_edges(l, t, l + w, t + h);
  }

  static Rect from_edges(int l, int t, int r, int b) {
    return Rect{static_cast<uint16_t>(l), static_cast<uint16_t>(t), static_cast<uint16_t>(r - l),
                static_cast<uint16_t>(b - t)};
  }

  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace zimbrel::termui
