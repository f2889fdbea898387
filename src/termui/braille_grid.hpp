// A raster of braille dots, 2 x 4 per terminal cell, for line charts. Dots
// are addressed from the top-left; each cell remembers the colour of the last
// line that touched it. Lines are clipped to the raster, so any coordinates,
// however far out, are safe and cost at most one pass across the raster.
#pragma once
#include <cstdint>
#include <vector>

#include "termui/buffer.hpp"
#include "termui/rect.hpp"
#include "termui/style.hpp"

namespace zimbrel::termui {

class BrailleGrid {
 public:
  BrailleGrid(int cols, int rows);

  int dot_width() const { return cols_ * 2; }
  int dot_height() const { return rows_ * 4; }

  // A point or a segment in dot coordinates (continuous: 0 is the first dot's
  // centre, dot_width() - 1 the last one's). Non-finite coordinates draw nothing.
  void plot(double x, double y, Color color);
  void line(double x0, double y0, double x1, double y1, Color color);

  // Draws every cell that holds a dot into `area` (same size as the grid).
  void paint(Rect area, Buffer& buffer) const;

 private:
  void set_dot(int x, int y, Color color);

  int cols_;
  int rows_;
  std::vector<uint8_t> dots_;  // one bit per dot, per cell
  std::vector<Color> colors_;
};

}  // namespace zimbrel::termui
