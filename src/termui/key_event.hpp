// Input events decoded from the bytes a terminal sends in raw mode.
//
// Control bytes become the letter with the control modifier (0x11 is Ctrl+q),
// a byte after a lone escape gets the alt modifier (ESC q is Alt+q), CSI and
// SS3 sequences become named keys with the xterm modifier parameter, and UTF-8
// sequences become one character. Mouse and focus reports and anything
// unrecognised decode to an event of kind Other.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zimbrel::termui {

enum class KeyCode : uint8_t {
  Char,
  Enter,
  Tab,
  BackTab,
  Backspace,
  Esc,
  Up,
  Down,
  Left,
  Right,
  Home,
  End,
  PageUp,
  PageDown,
  Insert,
  Delete,
  Function,
};

// Bits of KeyEvent::modifiers.
inline constexpr uint8_t kShift = 1;
inline constexpr uint8_t kAlt = 2;
inline constexpr uint8_t kControl = 4;

struct KeyEvent {
  KeyCode code = KeyCode::Char;
  char32_t ch = 0;       // the character for Char, the number for Function (F1 = 1)
  uint8_t modifiers = 0;
};

struct Event {
  enum class Kind : uint8_t { Key, Other };
  Kind kind = Kind::Other;
  KeyEvent key;
};

// Decodes the first event of `input` into `out` and returns the number of
// bytes it took. Returns 0 when `input` is empty, or when it ends inside a
// sequence and `more_may_follow` is true; with `more_may_follow` false the
// bytes present are decoded as they stand (a lone ESC is the Esc key).
size_t decode_event(std::string_view input, bool more_may_follow, Event* out);

}  // namespace zimbrel::termui
