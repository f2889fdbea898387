#include "python/tui/number_format.hpp"

#include <algorithm>
#include <bit>
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

// The CSV log formats eight of these per update(), so the usual case takes
// a shortcut that is exact too: |value| = m * 2^e with m < 2^53, so
// |value| * 10^d = m * 5^d * 2^(e + d), which for d <= kFastDecimals is an
// integer times a power of two that 128 bits hold. Rounding it to an integer
// N with ties to even is then a shift, and the text is N's digits with a
// point d places from the right. Returns 0 where the shortcut does not apply.
constexpr int kFastDecimals = 8;
constexpr uint64_t kPowersOfFive[kFastDecimals + 1] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625};

size_t write_fixed_fast(char* dst, double value, int decimals) {
  if (decimals > kFastDecimals) return 0;
  const auto bits = std::bit_cast<uint64_t>(value);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t field = bits & ((uint64_t{1} << 52) - 1);
  // Subnormals have no implicit leading bit and the smallest exponent.
  const uint64_t mantissa = biased == 0 ? field : field | (uint64_t{1} << 52);
  const int shift = (biased == 0 ? 1 : biased) - 1075 + decimals;
  if (shift > 0) return 0;  // 2^53 and above: rare in practice
  unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kPowersOfFive[decimals];
  uint64_t rounded = 0;
  if (shift > -100) {  // at -100 and below the value is far under one half
    const int drop = -shift;
    const unsigned __int128 one = 1;
    const unsigned __int128 kept = drop == 0 ? scaled : scaled >> drop;
    const unsigned __int128 rest = drop == 0 ? 0 : scaled & ((one << drop) - 1);
    const unsigned __int128 half = drop == 0 ? 1 : one << (drop - 1);
    if (kept >> 63) return 0;  // 64-bit digits would not do
    rounded = static_cast<uint64_t>(kept + (drop > 0 && (rest > half || (rest == half && (kept & 1)))));
  }
  char digits[24];
  size_t count = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, rounded).ptr - digits);
  const size_t wanted = static_cast<size_t>(decimals) + 1;  // at least one integer digit
  if (count < wanted) {
    std::memmove(digits + (wanted - count), digits, count);
    std::memset(digits, '0', wanted - count);
    count = wanted;
  }
  char* out = dst;
  if (std::signbit(value)) *out++ = '-';
  const size_t integer_digits = count - static_cast<size_t>(decimals);
  std::memcpy(out, digits, integer_digits);
  out += integer_digits;
  if (decimals > 0) {
    *out++ = '.';
    std::memcpy(out, digits + integer_digits, static_cast<size_t>(decimals));
    out += decimals;
  }
  return static_cast<size_t>(out - dst);
}

}  // namespace

size_t write_fixed(char* dst, double value, int decimals) {
  if (std::isnan(value)) return copy_text(dst, "NaN");
  if (std::isinf(value)) return copy_text(dst, value < 0 ? "-inf" : "inf");
  // to_chars in fixed notation with a precision is exact and locale-free:
  // it rounds the double's exact value, ties to even, and keeps -0's sign.
  const int precision = std::clamp(decimals, 0, kMaxDecimals);
  if (const size_t length = write_fixed_fast(dst, value, precision)) return length;
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
