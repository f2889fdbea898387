// One redraw's drawing surface: the whole screen's rectangle and the
// off-screen buffer behind it. A view renders widgets into rectangles of it.
#pragma once
#include "termui/buffer.hpp"
#include "termui/rect.hpp"

namespace zimbrel::termui {

class Frame {
 public:
  explicit Frame(Buffer& buffer) : buffer_(buffer) {}

  Rect area() const { return buffer_.area(); }
  Buffer& buffer() { return buffer_; }

  // Any widget with `void render(Rect, Buffer&) const`.
  template <typename Widget>
  void render_widget(const Widget& widget, Rect area) {
    widget.render(area, buffer_);
  }

 private:
  Buffer& buffer_;
};

}  // namespace zimbrel::termui
