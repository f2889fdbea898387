#include "python/tui/number_format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace zimbrel::tui {
namespace {

constexpr int kMaxDecimals = 17;

size_t copy_text(char* dst, const char* text) {
  const size_t length = std::strlen(text);
  std::memcpy(dst, text, length);
  return length;
}

}  // namespace

size_t write_fixed(char* dst, double value, int decimals) {
  if (std::isnan(value)) return copy_text(dst, "NaN");
  if (std::isinf(value)) return copy_text(dst, value < 0 ? "-inf" : "inf");
  // to_chars in fixed notation with a precision is exact and locale-free:
  // it rounds the double's exact value, ties to even, and keeps -0's sign.
  const int precision = std::clamp(decimals, 0, kMaxDecimals);
  const auto result = std::to_chars(dst, dst + kFixedBufferSize, value, std::chars_format::fixed, precision);
  return static_cast<size_t>(result.ptr - dst);
}

std::string format_fixed(double value, int decimals) {
  char text[kFixedBufferSize];
  return std::string(text, write_fixed(text, value, decimals));
}

std::string format_number(uint64_t n) {
  char digits[20];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  const size_t count = static_cast<size_t>(end - digits);
  std::string text;
  text.reserve(count + count / 3);
  for (size_t i = 0; i < count; ++i) {
    // A comma before each digit whose position from the right is a non-zero multiple of 3.
    const size_t from_right = count - 1 - i;
    if (i > 0 && (from_right + 1) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

}  // namespace zimbrel::tui
