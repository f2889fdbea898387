#include "termui/text.hpp"

namespace zimbrel::termui {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

char32_t next_code_point(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t length = 0;
  char32_t code = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if (lead >= 0xC2 && lead < 0xE0) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4;
    code = lead & 0x07;
  }
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!is_continuation(byte)) {
      ++pos;
      return kReplacement;
    }
    code = (code << 6) | (byte & 0x3F);
  }
  pos += length;
  return code;
}

size_t display_width(std::string_view text) {
  size_t columns = 0;
  for (size_t pos = 0; pos < text.size(); ++columns) next_code_point(text, pos);
  return columns;
}

size_t Span::width() const { return display_width(content); }

size_t Line::width() const {
  size_t total = 0;
  for (const Span& span : spans) total += span.width();
  return total;
}

}  // namespace zimbrel::termui
