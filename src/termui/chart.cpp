#include "termui/chart.hpp"

#include <algorithm>
#include <cmath>

#include "termui/braille_grid.hpp"

namespace zimbrel::termui {
namespace {

struct ChartLayout {
  int axis_col;  // column of the y axis line
  int axis_row;  // row of the x axis line
  Rect graph;    // where the data go
};

int widest_label(const Axis& axis) {
  size_t widest = 0;
  for (const Span& label : axis.labels) widest = std::max(widest, label.width());
  return static_cast<int>(widest);
}

// Empty graph when the inner area is too small for axes and data.
ChartLayout lay_out(Rect inner, const Axis& x_axis, const Axis& y_axis) {
  const int label_rows = x_axis.labels.empty() ? 0 : 1;
  const int title_rows = y_axis.title && inner.height > label_rows + 2 ? 1 : 0;
  ChartLayout layout{};
  layout.axis_col = inner.left() + widest_label(y_axis);
  layout.axis_row = inner.bottom() - 1 - label_rows;
  const int graph_left = layout.axis_col + 1;
  const int graph_top = inner.top() + title_rows;
  if (graph_left >= inner.right() || graph_top >= layout.axis_row) return layout;
  layout.graph = Rect::from_edges(graph_left, graph_top, inner.right(), layout.axis_row);
  return layout;
}

void draw_axis_lines(const ChartLayout& layout, Rect inner, const Chart& chart, Buffer& buffer) {
  for (int row = layout.graph.top(); row < layout.axis_row; ++row) {
    buffer.set_symbol(layout.axis_col, row, U'│', chart.y_axis.style);
  }
  buffer.set_symbol(layout.axis_col, layout.axis_row, U'└', chart.x_axis.style);
  for (int col = layout.axis_col + 1; col < inner.right(); ++col) {
    buffer.set_symbol(col, layout.axis_row, U'─', chart.x_axis.style);
  }
  if (chart.x_axis.title) {
    const int width = static_cast<int>(chart.x_axis.title->width());
    const int start = std::max(layout.axis_col + 1, inner.right() - width);
    buffer.set_string(start, layout.axis_row, chart.x_axis.title->content, chart.x_axis.title->style,
                      inner.right() - start);
  }
  if (chart.y_axis.title && layout.graph.top() > inner.top()) {
    buffer.set_string(inner.left(), inner.top(), chart.y_axis.title->content, chart.y_axis.title->style,
                      inner.width);
  }
}

void draw_x_labels(const ChartLayout& layout, Rect inner, const Axis& axis, Buffer& buffer) {
  const int count = static_cast<int>(axis.labels.size());
  const int row = inner.bottom() - 1;
  const int span = inner.right() - layout.axis_col;
  int previous_end = layout.axis_col - 1;  // a label must start after this column + 1
  for (int i = 0; i < count; ++i) {
    const Span& label = axis.labels[i];
    const int width = static_cast<int>(label.width());
    int start = layout.axis_col;
    if (i == count - 1 && count > 1) start = inner.right() - width;
    else if (i > 0) start = layout.axis_col + i * (span - 1) / (count - 1) - width / 2;
    if (start <= previous_end + (i > 0 ? 1 : 0) || start + width > inner.right()) continue;
    previous_end = buffer.set_string(start, row, label.content, label.style, width) - 1;
  }
}

void draw_y_labels(const ChartLayout& layout, const Axis& axis, Buffer& buffer) {
  const int count = static_cast<int>(axis.labels.size());
  const int bottom = layout.graph.bottom() - 1;
  int previous_row = bottom + 1;
  for (int i = 0; i < count; ++i) {
    const int row = count == 1 ? bottom : bottom - i * (layout.graph.height - 1) / (count - 1);
    if (row == previous_row) continue;
    const Span& label = axis.labels[i];
    const int width = static_cast<int>(label.width());
    buffer.set_string(layout.axis_col - width, row, label.content, label.style, width);
    previous_row = row;
  }
}

bool usable_bounds(const Axis& axis) {
  return std::isfinite(axis.lower) && std::isfinite(axis.upper) && axis.upper > axis.lower &&
         std::isfinite(axis.upper - axis.lower);
}

void draw_datasets(const Chart& chart, Rect graph, Buffer& buffer) {
  if (!usable_bounds(chart.x_axis) || !usable_bounds(chart.y_axis)) return;
  BrailleGrid grid(graph.width, graph.height);
  const double x_scale = (grid.dot_width() - 1) / (chart.x_axis.upper - chart.x_axis.lower);
  const double y_scale = (grid.dot_height() - 1) / (chart.y_axis.upper - chart.y_axis.lower);
  for (const Dataset& dataset : chart.datasets) {
    const Color color = dataset.style.fg;
    double prev_x = NAN, prev_y = NAN;
    for (const Point& point : dataset.points) {
      const double x = (point.x - chart.x_axis.lower) * x_scale;
      const double y = (chart.y_axis.upper - point.y) * y_scale;
      grid.plot(x, y, color);
      if (dataset.graph_type == GraphType::Line && !std::isnan(prev_x)) grid.line(prev_x, prev_y, x, y, color);
      prev_x = x, prev_y = y;
    }
  }
  grid.paint(graph, buffer);
}

void draw_legend(const Chart& chart, Rect chart_area, Rect graph, Buffer& buffer) {
  int names = 0;
  size_t widest = 0;
  for (const Dataset& dataset : chart.datasets) {
    if (dataset.name.empty()) continue;
    ++names;
    widest = std::max(widest, display_width(dataset.name));
  }
  if (names == 0) return;
  const int width = static_cast<int>(widest) + 2;
  const int height = names + 2;
  if (width * 4 > chart_area.width || height * 4 > chart_area.height) return;
  if (width > graph.width || height > graph.height) return;
  const Rect legend = Rect::from_edges(graph.right() - width, graph.top(), graph.right(), graph.top() + height);
  buffer.clear(legend);
  buffer.set_style(legend, chart.style);
  Block::bordered().render(legend, buffer);
  int row = legend.top() + 1;
  for (const Dataset& dataset : chart.datasets) {
    if (dataset.name.empty()) continue;
    buffer.set_string(legend.left() + 1, row++, dataset.name, dataset.style, width - 2);
  }
}

}  // namespace

void Chart::render(Rect area, Buffer& buffer) const {
  const Rect inner = prepare_widget_area(area, buffer, style, block);
  const ChartLayout layout = lay_out(inner, x_axis, y_axis);
  if (layout.graph.empty()) return;
  draw_axis_lines(layout, inner, *this, buffer);
  draw_x_labels(layout, inner, x_axis, buffer);
  draw_y_labels(layout, y_axis, buffer);
  draw_datasets(*this, layout.graph, buffer);
  draw_legend(*this, area.intersection(buffer.area()), layout.graph, buffer);
}

}  // namespace zimbrel::termui
