#include "termui/key_event.hpp"

#include <algorithm>

namespace zimbrel::termui {
namespace {

constexpr char kEsc = 0x1b;

Event key(KeyCode code, char32_t ch = 0, uint8_t modifiers = 0) {
  Event event;
  event.kind = Event::Kind::Key;
  event.key = KeyEvent{code, ch, modifiers};
  return event;
}

Event other() { return Event{}; }

// A byte under 0x20 or DEL, as the key a user pressed to send it.
Event control_byte(unsigned char byte) {
  switch (byte) {
    case '\r':
    case '\n': return key(KeyCode::Enter);
    case '\t': return key(KeyCode::Tab);
    case 0x7f:
    case 0x08: return key(KeyCode::Backspace);
    case 0x00: return key(KeyCode::Char, U' ', kControl);
    default: break;
  }
  if (byte <= 0x1a) return key(KeyCode::Char, U'a' + (byte - 1), kControl);
  return key(KeyCode::Char, U'4' + (byte - 0x1c), kControl);  // 0x1c..0x1f
}

// Length of the UTF-8 sequence that `lead` starts, 0 for an invalid lead.
size_t utf8_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xe0) == 0xc0) return 2;
  if ((lead & 0xf0) == 0xe0) return 3;
  if ((lead & 0xf8) == 0xf0) return 4;
  return 0;
}

size_t decode_utf8(std::string_view input, bool more_may_follow, Event* out) {
  const size_t length = utf8_length(static_cast<unsigned char>(input[0]));
  if (length == 0) {
    *out = other();
    return 1;
  }
  if (input.size() < length) {
    if (more_may_follow) return 0;
    *out = other();
    return input.size();
  }
  // The lead byte keeps 7 bits for ASCII, and 7 - length bits otherwise.
  char32_t ch = static_cast<unsigned char>(input[0]) & (length == 1 ? 0x7f : 0x7f >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(input[i]);
    if ((byte & 0xc0) != 0x80) {
      *out = other();
      return i;
    }
    ch = (ch << 6) | (byte & 0x3f);
  }
  *out = key(KeyCode::Char, ch);
  return length;
}

// One key that is not an escape sequence: a control byte or a character.
size_t decode_plain(std::string_view input, bool more_may_follow, Event* out) {
  const auto byte = static_cast<unsigned char>(input[0]);
  if (byte < 0x20 || byte == 0x7f) {
    *out = control_byte(byte);
    return 1;
  }
  return decode_utf8(input, more_may_follow, out);
}

// xterm encodes modifiers as 1 + (shift | alt << 1 | control << 2).
uint8_t xterm_modifiers(unsigned parameter) {
  return parameter > 1 ? static_cast<uint8_t>((parameter - 1) & 0x7) : 0;
}

Event tilde_key(unsigned number, uint8_t modifiers) {
  switch (number) {
    case 1:
    case 7: return key(KeyCode::Home, 0, modifiers);
    case 4:
    case 8: return key(KeyCode::End, 0, modifiers);
    case 2: return key(KeyCode::Insert, 0, modifiers);
    case 3: return key(KeyCode::Delete, 0, modifiers);
    case 5: return key(KeyCode::PageUp, 0, modifiers);
    case 6: return key(KeyCode::PageDown, 0, modifiers);
    default: break;
  }
  // F1..F12 are 11-15, 17-21, 23-24 in the vt220 numbering.
  static constexpr unsigned kFunctionNumbers[] = {11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 23, 24};
  for (unsigned f = 0; f < 12; ++f) {
    if (kFunctionNumbers[f] == number) return key(KeyCode::Function, f + 1, modifiers);
  }
  return other();
}

Event final_byte_key(char final_byte, uint8_t modifiers) {
  switch (final_byte) {
    case 'A': return key(KeyCode::Up, 0, modifiers);
    case 'B': return key(KeyCode::Down, 0, modifiers);
    case 'C': return key(KeyCode::Right, 0, modifiers);
    case 'D': return key(KeyCode::Left, 0, modifiers);
    case 'H': return key(KeyCode::Home, 0, modifiers);
    case 'F': return key(KeyCode::End, 0, modifiers);
    case 'Z': return key(KeyCode::BackTab, 0, kShift);
    case 'P':
    case 'Q':
    case 'R':
    case 'S': return key(KeyCode::Function, static_cast<char32_t>(final_byte - 'P' + 1), modifiers);
    default: return other();  // focus reports (I, O), mouse reports (M, m) and the rest
  }
}

// ESC [ params final. `input` starts at the ESC.
size_t decode_csi(std::string_view input, bool more_may_follow, Event* out) {
  size_t end = 2;
  while (end < input.size() && static_cast<unsigned char>(input[end]) >= 0x20 &&
         static_cast<unsigned char>(input[end]) <= 0x3f) {
    ++end;
  }
  if (end == input.size()) {
    if (more_may_follow) return 0;
    *out = other();
    return end;
  }
  const char final_byte = input[end];
  if (static_cast<unsigned char>(final_byte) < 0x40 || static_cast<unsigned char>(final_byte) > 0x7e) {
    *out = other();  // malformed: drop what was read so far
    return end;
  }
  const std::string_view params = input.substr(2, end - 2);
  unsigned numbers[2] = {0, 0};
  size_t count = 0;
  for (char c : params) {
    if (c == ';') {
      if (++count == 2) break;
    } else if (c >= '0' && c <= '9') {
      numbers[count] = numbers[count] * 10 + static_cast<unsigned>(c - '0');
    }
  }
  const uint8_t modifiers = xterm_modifiers(numbers[1]);
  if (final_byte == 'M' && params.empty()) {
    // X10 mouse report: three raw bytes follow.
    if (input.size() < end + 4 && more_may_follow) return 0;
    *out = other();
    return std::min(input.size(), end + 4);
  }
  *out = final_byte == '~' ? tilde_key(numbers[0], modifiers) : final_byte_key(final_byte, modifiers);
  return end + 1;
}

size_t decode_escape(std::string_view input, bool more_may_follow, Event* out) {
  if (input.size() == 1) {
    if (more_may_follow) return 0;
    *out = key(KeyCode::Esc);
    return 1;
  }
  const char next = input[1];
  if (next == '[') return decode_csi(input, more_may_follow, out);
  if (next == 'O') {
    if (input.size() < 3) {
      if (more_may_follow) return 0;
      *out = key(KeyCode::Char, U'O', kAlt);
      return 2;
    }
    *out = final_byte_key(input[2], 0);
    return 3;
  }
  if (next == kEsc) {
    *out = key(KeyCode::Esc);
    return 1;
  }
  const size_t taken = decode_plain(input.substr(1), more_may_follow, out);
  if (taken == 0) return 0;
  if (out->kind == Event::Kind::Key) out->key.modifiers |= kAlt;
  return taken + 1;
}

}  // namespace

size_t decode_event(std::string_view input, bool more_may_follow, Event* out) {
  if (input.empty()) return 0;
  if (input[0] == kEsc) return decode_escape(input, more_may_follow, out);
  return decode_plain(input, more_may_follow, out);
}

}  // namespace zimbrel::termui
