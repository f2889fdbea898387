#include "termui/gauge.hpp"

#include <algorithm>

namespace zimbrel::termui {
namespace {

int filled_columns(int width, uint16_t percent) {
  const int capped = std::min<int>(percent, 100);
  return (width * capped * 2 + 100) / 200;
}

}  // namespace

void Gauge::render(Rect area, Buffer& buffer) const {
  const Rect bar = prepare_widget_area(area, buffer, style, block);
  if (bar.empty()) return;
  const int fill_end = bar.left() + filled_columns(bar.width, percent);
  for (int row = bar.top(); row < bar.bottom(); ++row) {
    for (int col = bar.left(); col < fill_end; ++col) buffer.set_symbol(col, row, U'█', gauge_style);
  }

  const int label_width = static_cast<int>(display_width(label));
  const int label_col = bar.left() + std::max(0, (bar.width - label_width) / 2);
  const int label_row = bar.top() + bar.height / 2;
  const int label_end = buffer.set_string(label_col, label_row, label, Style{}, bar.width);
  const Style over_fill{Color::Black, gauge_style.fg, false};
  for (int col = label_col; col < std::min(label_end, fill_end); ++col) {
    if (Cell* cell = buffer.cell_at(col, label_row)) cell->style = cell->style.patched(over_fill);
  }
}

}  // namespace zimbrel::termui
