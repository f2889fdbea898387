// A horizontal bar filled in whole cells in proportion to `percent`
// (round(width * percent / 100), half up, percent capped at 100) across every
// row of its area, with `label` centred on the middle row. The fill is drawn
// as full blocks in `gauge_style`; label characters over the filled part swap
// to black on the fill colour so they stay readable.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "termui/block.hpp"
#include "termui/buffer.hpp"

namespace zimbrel::termui {

struct Gauge {
  uint16_t percent = 0;
  std::string label;
  Style style;        // patched over the whole area, box included
  Style gauge_style;  // the filled part; its fg is the fill colour
  std::optional<Block> block;

  void render(Rect area, Buffer& buffer) const;
};

}  // namespace zimbrel::termui
