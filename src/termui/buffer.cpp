#include "termui/buffer.hpp"

#include <algorithm>

namespace zimbrel::termui {
namespace {

bool is_control(char32_t code) { return code < 0x20 || (code >= 0x7F && code < 0xA0); }

}  // namespace

void Buffer::resize(Rect area) {
  area_ = area;
  cells_.assign(size_t{area.width} * area.height, Cell{});
}

void Buffer::reset() { std::fill(cells_.begin(), cells_.end(), Cell{}); }

Cell* Buffer::cell_at(int col, int row) {
  if (!area_.contains(col, row)) return nullptr;
  return &cells_[size_t(row - area_.top()) * area_.width + size_t(col - area_.left())];
}

const Cell* Buffer::cell_at(int col, int row) const { return const_cast<Buffer*>(this)->cell_at(col, row); }

void Buffer::set_symbol(int col, int row, char32_t symbol, Style style) {
  if (Cell* cell = cell_at(col, row)) {
    cell->symbol = symbol;
    cell->style = cell->style.patched(style);
  }
}

void Buffer::set_style(Rect area, Style style) {
  const Rect clipped = area.intersection(area_);
  for (int row = clipped.top(); row < clipped.bottom(); ++row) {
    Cell* cell = cell_at(clipped.left(), row);
    for (int i = 0; i < clipped.width; ++i) cell[i].style = cell[i].style.patched(style);
  }
}

void Buffer::clear(Rect area) {
  const Rect clipped = area.intersection(area_);
  for (int row = clipped.top(); row < clipped.bottom(); ++row) {
    Cell* cell = cell_at(clipped.left(), row);
    std::fill(cell, cell + clipped.width, Cell{});
  }
}

int Buffer::set_string(int col, int row, std::string_view text, Style style, int max_width) {
  const int end = std::min(col + std::max(max_width, 0), area_.right());
  size_t pos = 0;
  while (pos < text.size() && col < end) {
    char32_t code = next_code_point(text, pos);
    if (is_control(code)) code = 0xFFFD;
    set_symbol(col, row, code, style);
    ++col;
  }
  return col;
}

int Buffer::set_line(int col, int row, const Line& line, int max_width) {
  const int end = col + std::max(max_width, 0);
  for (const Span& span : line.spans) {
    if (col >= end) break;
    col = set_string(col, row, span.content, span.style, end - col);
  }
  return col;
}

}  // namespace zimbrel::termui
