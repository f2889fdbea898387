// Splits a rectangle into consecutive parts along one direction, with no
// margin and no spacing, packing from the start. The parts never overlap and
// never leave the area.
//
// Sizing, in this order:
//  1. Length(n) asks for n cells and Min(n) for at least n.
//     Percentage(p) parts are placed by cumulative rounding: the percentage
//     parts up to and including the k-th one, whose percentages add up to P_k,
//     take round_half_up(size * P_k / 100) cells together. Each part is then
//     within one cell of its exact share, and percentages that add up to 100
//     fill the area exactly.
//  2. Space left over goes to the Min parts, shared evenly, the earlier ones
//     taking one cell more when it does not divide. Without a Min part the
//     rest of the area stays unused at the end.
//  3. When the parts ask for more than the area, they are granted in order
//     and the later ones shrink, down to zero.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "termui/rect.hpp"

namespace zimbrel::termui {

enum class Direction : uint8_t { Horizontal, Vertical };

struct Constraint {
  enum class Kind : uint8_t { Length, Min, Percentage };
  Kind kind;
  uint16_t value;
};

constexpr Constraint Length(uint16_t n) { return {Constraint::Kind::Length, n}; }
constexpr Constraint Min(uint16_t n) { return {Constraint::Kind::Min, n}; }
constexpr Constraint Percentage(uint16_t p) { return {Constraint::Kind::Percentage, p}; }

// Writes one rectangle per constraint into `parts` (same length as `constraints`).
void split(Rect area, Direction direction, std::span<const Constraint> constraints, std::span<Rect> parts);

template <size_t N>
std::array<Rect, N> split(Rect area, Direction direction, const std::array<Constraint, N>& constraints) {
  std::array<Rect, N> parts;
  split(area, direction, constraints, parts);
  return parts;
}

}  // namespace zimbrel::termui
