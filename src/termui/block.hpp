// A box: all four borders in the plain single-line set (┌ ┐ └ ┘ │ ─) and an
// optional title on the top border, starting one column in from the left
// corner and clipped before the right one. Its style is patched over the
// whole area first, so frame and title take it; the title's own style is
// patched over that.
#pragma once
#include <optional>
#include <string>

#include "termui/buffer.hpp"
#include "termui/rect.hpp"
#include "termui/style.hpp"

namespace zimbrel::termui {

struct Block {
  std::string title;
  Style style;
  Style title_style;

  static Block bordered(std::string title = {}) { return Block{std::move(title), Style{}, Style{}}; }

  // The area inside the borders (empty when the area is two cells or less).
  static Rect inner(Rect area) { return area.shrunk(1); }
  void render(Rect area, Buffer& buffer) const;
};

// The common start of a widget's render: clips `area` to the buffer, patches
// `style` over it and draws `block` if there is one. Returns the area left
// for the widget's content (empty when nothing is left).
Rect prepare_widget_area(Rect area, Buffer& buffer, Style style, const std::optional<Block>& block);

}  // namespace zimbrel::termui
