#include "termui/block.hpp"

namespace zimbrel::termui {

void Block::render(Rect area, Buffer& buffer) const {
  area = area.intersection(buffer.area());
  if (area.empty()) return;
  buffer.set_style(area, style);
  const int last_col = area.right() - 1;
  const int last_row = area.bottom() - 1;
  for (int col = area.left(); col <= last_col; ++col) {
    buffer.set_symbol(col, area.top(), U'─', Style{});
    buffer.set_symbol(col, last_row, U'─', Style{});
  }
  for (int row = area.top(); row <= last_row; ++row) {
    buffer.set_symbol(area.left(), row, U'│', Style{});
    buffer.set_symbol(last_col, row, U'│', Style{});
  }
  buffer.set_symbol(area.left(), area.top(), U'┌', Style{});
  buffer.set_symbol(last_col, area.top(), U'┐', Style{});
  buffer.set_symbol(area.left(), last_row, U'└', Style{});
  buffer.set_symbol(last_col, last_row, U'┘', Style{});
  if (!title.empty()) buffer.set_string(area.left() + 1, area.top(), title, title_style, area.width - 2);
}

Rect prepare_widget_area(Rect area, Buffer& buffer, Style style, const std::optional<Block>& block) {
  area = area.intersection(buffer.area());
  if (area.empty()) return area;
  buffer.set_style(area, style);
  if (!block) return area;
  block->render(area, buffer);
  return Block::inner(area);
}

}  // namespace zimbrel::termui
