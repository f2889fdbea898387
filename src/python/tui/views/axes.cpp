#include "python/tui/views/axes.hpp"

#include "python/tui/number_format.hpp"

namespace zimbrel::tui {
namespace {

using termui::Color;
using termui::Span;
using termui::Style;

constexpr Style kAxisStyle = Style::foreground(Color::DarkGray);

}  // namespace

std::string compact_step_label(double value) {
  if (value >= 1'000'000.0) return format_fixed(value / 1'000'000.0, 1) + "M";
  if (value >= 1'000.0) return format_fixed(value / 1'000.0, 1) + "K";
  return format_fixed(value, 0);
}

termui::Axis create_x_axis(double lo, double hi) {
  termui::Axis axis;
  axis.style = kAxisStyle;
  axis.lower = lo;
  axis.upper = hi;
  axis.labels = {Span::raw(compact_step_label(lo)), Span::raw(compact_step_label((lo + hi) * 0.5)),
                 Span::raw(compact_step_label(hi))};
  return axis;
}

termui::Axis create_y_axis(std::string_view title, double lo, double hi) {
  termui::Axis axis;
  axis.title = Span::styled(std::string(title), kAxisStyle);
  axis.style = kAxisStyle;
  axis.lower = lo;
  axis.upper = hi;
  axis.labels = {Span::raw(format_fixed(lo, 2)), Span::raw(format_fixed((lo + hi) * 0.5, 2)),
                 Span::raw(format_fixed(hi, 2))};
  return axis;
}

termui::Axis create_percentage_y_axis() {
  termui::Axis axis;
  axis.title = Span::styled("%", kAxisStyle);
  axis.style = kAxisStyle;
  axis.lower = 0.0;
  axis.upper = 100.0;
  axis.labels = {Span::raw("0"), Span::raw("50"), Span::raw("100")};
  return axis;
}

}  // namespace zimbrel::tui
