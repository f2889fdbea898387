// Numbers as people read them in the views and the CSV log: fixed point,
// never an exponent, rounded to nearest with exact ties to even on the exact
// value of the double; "NaN", "inf", "-inf"; negative zero keeps its sign.
// Independent of the C locale.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zimbrel::tui {

// Enough room for any double with up to 17 decimals.
inline constexpr size_t kFixedBufferSize = 352;

// Writes `value` with exactly `decimals` digits after the point (no point for
// 0) into `dst`, which holds kFixedBufferSize bytes; returns the length.
size_t write_fixed(char* dst, double value, int decimals);

std::string format_fixed(double value, int decimals);

// Decimal with a comma before every group of three digits from the right.
std::string format_number(uint64_t n);

}  // namespace zimbrel::tui
