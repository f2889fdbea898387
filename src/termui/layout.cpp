#include "termui/layout.hpp"

#include <algorithm>
#include <cassert>
#include <vector>

namespace zimbrel::termui {
namespace {

using Kind = Constraint::Kind;

// Cells of `total` covered by the first `percent_sum` percent, rounded half up.
int64_t percent_edge(int64_t total, int64_t percent_sum) { return (total * percent_sum * 2 + 100) / 200; }

// Sizes asked for by the constraints alone (steps 1 of the header).
void requested_sizes(int total, std::span<const Constraint> constraints, std::span<int64_t> sizes) {
  int64_t percent_sum = 0;
  for (size_t i = 0; i < constraints.size(); ++i) {
    const Constraint c = constraints[i];
    if (c.kind == Kind::Percentage) {
      const int64_t before = percent_edge(total, percent_sum);
      percent_sum += c.value;
      sizes[i] = percent_edge(total, percent_sum) - before;
    } else {
      sizes[i] = c.value;
    }
  }
}

void share_surplus(int64_t surplus, std::span<const Constraint> constraints, std::span<int64_t> sizes) {
  const auto growers = std::count_if(constraints.begin(), constraints.end(),
                                     [](Constraint c) { return c.kind == Kind::Min; });
  if (growers == 0) return;
  int64_t extra_for_first = surplus % growers;
  for (size_t i = 0; i < constraints.size(); ++i) {
    if (constraints[i].kind != Kind::Min) continue;
    sizes[i] += surplus / growers + (extra_for_first > 0 ? 1 : 0);
    --extra_for_first;
  }
}

}  // namespace

void split(Rect area, Direction direction, std::span<const Constraint> constraints, std::span<Rect> parts) {
  assert(parts.size() == constraints.size());
  const bool horizontal = direction == Direction::Horizontal;
  const int total = horizontal ? area.width : area.height;
  std::array<int64_t, 16> small_sizes;
  std::vector<int64_t> large_sizes;
  std::span<int64_t> sizes(small_sizes.data(), constraints.size());
  if (constraints.size() > small_sizes.size()) {
    large_sizes.resize(constraints.size());
    sizes = large_sizes;
  }
  requested_sizes(total, constraints, sizes);
  int64_t requested = 0;
  for (int64_t size : sizes) requested += size;
  if (requested < total) share_surplus(total - requested, constraints, sizes);

  int64_t offset = 0;
  for (size_t i = 0; i < constraints.size(); ++i) {
    const int64_t size = std::clamp<int64_t>(sizes[i], 0, total - offset);
    const auto start = static_cast<uint16_t>((horizontal ? area.x : area.y) + offset);
    const auto length = static_cast<uint16_t>(size);
    parts[i] = horizontal ? Rect{start, area.y, length, area.height} : Rect{area.x, start, area.width, length};
    offset += size;
  }
}

}  // namespace zimbrel::termui
