// Lines of styled spans, left-aligned, never wrapped: a line longer than the
// area is clipped at its right edge, lines beyond its height are not drawn.
// The paragraph's style is patched over the whole area, box included, before
// the box and the text are drawn.
#pragma once
#include <optional>
#include <vector>

#include "termui/block.hpp"
#include "termui/buffer.hpp"
#include "termui/text.hpp"

namespace zimbrel::termui {

struct Paragraph {
  std::vector<Line> lines;
  Style style;
  std::optional<Block> block;

  void render(Rect area, Buffer& buffer) const;
};

}  // namespace zimbrel::termui
