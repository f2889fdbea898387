#include "termui/ansi_diff.hpp"

#include <charconv>

namespace zimbrel::termui {
namespace {

// SGR foreground codes; backgrounds are these plus 10.
int sgr_foreground(Color color) {
  switch (color) {
    case Color::Black: return 30;
    case Color::Red: return 31;
    case Color::Green: return 32;
    case Color::Yellow: return 33;
    case Color::Blue: return 34;
    case Color::Magenta: return 35;
    case Color::Cyan: return 36;
    case Color::Gray: return 37;
    case Color::DarkGray: return 90;
    case Color::White: return 97;
    case Color::Default: break;
  }
  return 39;
}

void append_int(int value, std::string& out) {
  char digits[12];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void append_move(int col, int row, std::string& out) {
  out += "\x1b[";
  append_int(row + 1, out);
  out += ';';
  append_int(col + 1, out);
  out += 'H';
}

void append_style(Style style, std::string& out) {
  out += "\x1b[0";
  if (style.bold) out += ";1";
  if (style.fg != Color::Default) {
    out += ';';
    append_int(sgr_foreground(style.fg), out);
  }
  if (style.bg != Color::Default) {
    out += ';';
    append_int(sgr_foreground(style.bg) + 10, out);
  }
  out += 'm';
}

}  // namespace

void append_utf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void append_diff(const Buffer& previous, const Buffer& next, std::string& out) {
  const Rect area = next.area();
  const Cell* before = previous.cells().data();
  const Cell* after = next.cells().data();
  int cursor_col = -1, cursor_row = -1;
  Style written{};
  bool styled = false;
  for (int row = 0; row < area.height; ++row) {
    for (int col = 0; col < area.width; ++col, ++before, ++after) {
      if (*before == *after) continue;
      const int screen_col = area.left() + col, screen_row = area.top() + row;
      if (screen_col != cursor_col || screen_row != cursor_row) append_move(screen_col, screen_row, out);
      if (!styled || after->style != written) {
        append_style(after->style, out);
        written = after->style;
        styled = true;
      }
      append_utf8(after->symbol, out);
      cursor_col = screen_col + 1;
      cursor_row = screen_row;
    }
  }
  if (styled) out += "\x1b[0m";
}

}  // namespace zimbrel::termui
