#include <string>

#include "python/tui/views/panels.hpp"
#include "termui/paragraph.hpp"

namespace zimbrel::tui {

void render_help_bar(termui::Frame& frame, termui::Rect area, std::string_view text) {
  termui::Paragraph paragraph;
  paragraph.lines.emplace_back(std::string(text));
  paragraph.style = termui::Style::foreground(termui::Color::DarkGray);
  paragraph.block = termui::Block::bordered();
  frame.render_widget(paragraph, area);
}

}  // namespace zimbrel::tui
