// Small builders the views share.
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "termui/block.hpp"
#include "termui/layout.hpp"
#include "termui/text.hpp"

namespace zimbrel::tui {

// "label" in Gray followed by `value` in `value_style`.
inline termui::Line labelled_value(std::string label, std::string value, termui::Style value_style) {
  return termui::Line({termui::Span::styled(std::move(label), termui::Style::foreground(termui::Color::Gray)),
                       termui::Span::styled(std::move(value), value_style)});
}

// Appends `text` right-aligned in a field of `width` characters; longer
// text is appended whole.
inline void append_right_aligned(std::string& out, std::string_view text, size_t width) {
  const size_t length = termui::display_width(text);
  if (length < width) out.append(width - length, ' ');
  out.append(text);
}

// The columns of a row that grows a GPU column once a GPU is known:
// `with_gpu` widths then, two halves otherwise (the third rectangle empty).
inline std::array<termui::Rect, 3> split_load_columns(termui::Rect area, bool show_gpu,
                                                      const std::array<termui::Constraint, 3>& with_gpu) {
  using termui::Percentage;
  if (show_gpu) return termui::split(area, termui::Direction::Horizontal, with_gpu);
  const auto halves = termui::split(area, termui::Direction::Horizontal, std::array{Percentage(50), Percentage(50)});
  return {halves[0], halves[1], termui::Rect{}};
}

}  // namespace zimbrel::tui
