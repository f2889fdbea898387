// Cell styles: a foreground and a background from the terminal's sixteen
// named colours, plus bold. Styles layer: patching one style with another
// keeps every attribute the other leaves at Default, so a widget can colour a
// whole area and let its parts override only what they set.
#pragma once
#include <cstdint>

namespace zimbrel::termui {

// Default is the terminal's own colour (and "unchanged" when patching).
enum class Color : uint8_t { Default, Black, Red, Green, Yellow, Blue, Magenta, Cyan, Gray, DarkGray, White };

struct Style {
  Color fg = Color::Default;
  Color bg = Color::Default;
  bool bold = false;

  static constexpr Style foreground(Color color) { return Style{color, Color::Default, false}; }
  constexpr Style with_bold() const { return Style{fg, bg, true}; }

  // `other` layered over this style.
  constexpr Style patched(Style other) const {
    return Style{other.fg == Color::Default ? fg : other.fg, other.bg == Color::Default ? bg : other.bg,
                 bold || other.bold};
  }

  friend constexpr bool operator==(Style, Style) = default;
};

}  // namespace zimbrel::termui
