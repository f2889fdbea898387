// The off-screen grid a frame is drawn into: one Cell (a code point and a
// style) per terminal cell. Every write is clipped to the buffer's area, so
// no widget can write outside the screen whatever rectangle it is handed.
// Writing text replaces the symbols and patches the cells' styles with the
// text's style (see Style::patched).
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "termui/rect.hpp"
#include "termui/style.hpp"
#include "termui/text.hpp"

namespace zimbrel::termui {

struct Cell {
  char32_t symbol = U' ';
  Style style;

  friend bool operator==(const Cell&, const Cell&) = default;
};

class Buffer {
 public:
  Buffer() = default;
  explicit Buffer(Rect area) { resize(area); }

  Rect area() const { return area_; }
  // Re-sizes to `area` and blanks every cell.
  void resize(Rect area);
  // Blanks every cell without re-allocating.
  void reset();

  // Null when (col, row) lies outside the buffer.
  Cell* cell_at(int col, int row);
  const Cell* cell_at(int col, int row) const;

  void set_symbol(int col, int row, char32_t symbol, Style style);
  void set_style(Rect area, Style style);
  // Blanks the cells of `area` (symbol and style).
  void clear(Rect area);

  // Writes `text` from (col, row), at most `max_width` columns, and returns
  // the column after the last one written. Control characters are drawn as
  // U+FFFD so that text can never smuggle escape sequences to the terminal.
  int set_string(int col, int row, std::string_view text, Style style, int max_width);
  int set_line(int col, int row, const Line& line, int max_width);

  const std::vector<Cell>& cells() const { return cells_; }

 private:
  Rect area_;
  std::vector<Cell> cells_;
};

}  // namespace zimbrel::termui
