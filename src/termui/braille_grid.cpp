#include "termui/braille_grid.hpp"

#include <cmath>
#include <cstdlib>

namespace zimbrel::termui {
namespace {

// Bit of dot (column, row) inside a braille cell, as Unicode numbers them.
constexpr uint8_t kDotBits[4][2] = {{0x01, 0x08}, {0x02, 0x10}, {0x04, 0x20}, {0x40, 0x80}};
constexpr char32_t kBrailleBlank = 0x2800;

// Liang-Barsky: shrinks the segment to the part inside [0, w] x [0, h].
// Returns false when nothing of it is inside.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, double w, double h) {
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0, w - x0, y0, h - y0};
  double t0 = 0.0;
  double t1 = 1.0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0.0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
  }
  const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
  const double nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
  if (!std::isfinite(nx0) || !std::isfinite(ny0) || !std::isfinite(nx1) || !std::isfinite(ny1)) return false;
  x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
  return true;
}

}  // namespace

BrailleGrid::BrailleGrid(int cols, int rows)
    : cols_(cols), rows_(rows), dots_(size_t(cols) * rows, 0), colors_(size_t(cols) * rows, Color::Default) {}

void BrailleGrid::set_dot(int x, int y, Color color) {
  if (x < 0 || y < 0 || x >= dot_width() || y >= dot_height()) return;
  const size_t cell = size_t(y / 4) * cols_ + size_t(x / 2);
  dots_[cell] |= kDotBits[y % 4][x % 2];
  colors_[cell] = color;
}

void BrailleGrid::plot(double x, double y, Color color) {
  if (!(x >= -0.5 && x < dot_width() - 0.5 && y >= -0.5 && y < dot_height() - 0.5)) return;
  set_dot(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)), color);
}

void BrailleGrid::line(double x0, double y0, double x1, double y1, Color color) {
  if (dot_width() == 0 || dot_height() == 0) return;
  if (!clip_segment(x0, y0, x1, y1, dot_width() - 1, dot_height() - 1)) return;
  // Bresenham between the rounded, clipped end points.
  int ax = static_cast<int>(std::lround(x0)), ay = static_cast<int>(std::lround(y0));
  const int bx = static_cast<int>(std::lround(x1)), by = static_cast<int>(std::lround(y1));
  const int dx = std::abs(bx - ax), dy = -std::abs(by - ay);
  const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  int error = dx + dy;
  while (true) {
    set_dot(ax, ay, color);
    if (ax == bx && ay == by) break;
    const int twice = 2 * error;
    if (twice >= dy) error += dy, ax += sx;
    if (twice <= dx) error += dx, ay += sy;
  }
}

void BrailleGrid::paint(Rect area, Buffer& buffer) const {
  for (int row = 0; row < rows_; ++row) {
    for (int col = 0; col < cols_; ++col) {
      const size_t cell = size_t(row) * cols_ + size_t(col);
      if (dots_[cell] == 0) continue;
      buffer.set_symbol(area.left() + col, area.top() + row, kBrailleBlank + dots_[cell],
                        Style::foreground(colors_[cell]));
    }
  }
}

}  // namespace zimbrel::termui
