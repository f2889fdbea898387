#include "termui/sparkline.hpp"

#include <algorithm>

namespace zimbrel::termui {
namespace {

constexpr char32_t kBarSymbols[9] = {U' ', U'▁', U'▂', U'▃', U'▄', U'▅', U'▆', U'▇', U'█'};

// Height of a bar in eighths of a cell, at most `rows` full cells.
uint64_t bar_eighths(uint64_t value, uint64_t max, int rows) {
  const uint64_t full = uint64_t(rows) * 8;
  if (max == 0) return 0;
  if (value >= max) return full;
  // 128 bits: value * full overflows 64 bits for large samples.
  return static_cast<uint64_t>(static_cast<unsigned __int128>(value) * full / max);
}

}  // namespace

void Sparkline::render(Rect area, Buffer& buffer) const {
  const Rect bars = prepare_widget_area(area, buffer, Style{}, block);
  if (bars.empty()) return;
  const size_t shown = std::min<size_t>(data.size(), bars.width);
  const std::span<const uint64_t> newest = data.last(shown);
  for (size_t i = 0; i < shown; ++i) {
    uint64_t remaining = bar_eighths(newest[i], max, bars.height);
    const int col = bars.left() + static_cast<int>(i);
    for (int row = bars.bottom() - 1; row >= bars.top(); --row) {
      const uint64_t level = std::min<uint64_t>(remaining, 8);
      buffer.set_symbol(col, row, kBarSymbols[level], style);
      remaining -= level;
    }
  }
}

}  // namespace zimbrel::termui
