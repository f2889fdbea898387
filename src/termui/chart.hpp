// A line chart: named datasets of (x, y) points drawn in braille dots inside
// an x and a y axis, with an optional legend.
//
// Layout inside the box, from the edges in:
//  - the y axis title (if any) on the first row, from the left;
//  - the x labels (if any) on the last row, from the lower bound at the
//    axis corner to the upper bound at the right edge: the first label starts
//    at the corner, the last ends at the right edge, the others are centred
//    at their share of the width; a label that would touch the one before it
//    is left out;
//  - the x axis line (└───) on the row above, in the x axis style, with the x
//    title (if any) at its right end;
//  - the y labels right-aligned in a column as wide as the widest of them,
//    from the lower bound on the bottom graph row to the upper bound on the
//    top one, then the y axis line (│) in the y axis style;
//  - the graph: the rest. The points of each dataset, oldest first, are
//    mapped linearly from the axis bounds onto the graph's dots; with the
//    line graph type consecutive points are joined by segments. Everything
//    outside the bounds is clipped; non-finite points draw nothing, and
//    bounds that are not finite and increasing draw no data at all.
//  - the legend: a box of the named datasets in the graph's top-right corner,
//    left out when it would need more than a quarter of the chart's width or
//    height (the chart's whole rectangle) or when it does not fit the graph.
// The chart's style is patched over its whole area first.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "termui/block.hpp"
#include "termui/buffer.hpp"
#include "termui/text.hpp"

namespace zimbrel::termui {

struct Point {
  double x;
  double y;
};

struct Axis {
  std::optional<Span> title;
  Style style;
  double lower = 0.0;
  double upper = 0.0;
  std::vector<Span> labels;
};

// Scatter draws the points alone, Line joins consecutive ones.
enum class GraphType : uint8_t { Line, Scatter };

struct Dataset {
  std::string name;
  std::span<const Point> points;
  GraphType graph_type = GraphType::Line;
  Style style;  // its fg colours the dots
};

struct Chart {
  std::span<const Dataset> datasets;
  std::optional<Block> block;
  Axis x_axis;
  Axis y_axis;
  Style style;

  void render(Rect area, Buffer& buffer) const;
};

}  // namespace zimbrel::termui
