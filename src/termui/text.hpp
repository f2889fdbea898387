// Styled text: a Span is a run of UTF-8 text in one style, a Line a row of
// spans. Every code point takes one terminal column; the toolkit's callers draw
// ASCII, box-drawing, block and braille characters, which all do.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "termui/style.hpp"

namespace zimbrel::termui {

struct Span {
  std::string content;
  Style style;

  static Span raw(std::string text) { return Span{std::move(text), Style{}}; }
  static Span styled(std::string text, Style style) { return Span{std::move(text), style}; }
  size_t width() const;
};

struct Line {
  std::vector<Span> spans;

  Line() = default;
  explicit Line(std::vector<Span> parts) : spans(std::move(parts)) {}
  explicit Line(std::string text) { spans.push_back(Span::raw(std::move(text))); }
  size_t width() const;
};

// Columns taken by `text`: its number of code points.
size_t display_width(std::string_view text);

// Decodes the code point at `pos` and advances `pos` past it. Malformed or
// truncated sequences decode as U+FFFD, one byte at a time.
char32_t next_code_point(std::string_view text, size_t& pos);

}  // namespace zimbrel::termui
