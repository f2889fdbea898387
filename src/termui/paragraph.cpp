#include "termui/paragraph.hpp"

#include <algorithm>

namespace zimbrel::termui {

void Paragraph::render(Rect area, Buffer& buffer) const {
  const Rect text_area = prepare_widget_area(area, buffer, style, block);
  const int rows = std::min<int>(text_area.height, static_cast<int>(lines.size()));
  for (int i = 0; i < rows; ++i) buffer.set_line(text_area.left(), text_area.top() + i, lines[i], text_area.width);
}

}  // namespace zimbrel::termui
