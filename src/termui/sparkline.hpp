// A bar per sample, left to right from the oldest, drawn with the nine-level
// bar set (blank, ▁ … ▇, █) so that each row resolves eighths of a cell. A
// sample of `max` or more fills the whole height. When there are more samples
// than columns, the newest ones are shown, the newest at the right edge.
// `style` colours the bars only; the box keeps its own style.
#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "termui/block.hpp"
#include "termui/buffer.hpp"

namespace zimbrel::termui {

struct Sparkline {
  std::span<const uint64_t> data;
  uint64_t max = 100;
  Style style;
  std::optional<Block> block;

  void render(Rect area, Buffer& buffer) const;
};

}  // namespace zimbrel::termui
