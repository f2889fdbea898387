#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "python/tui/views/axes.hpp"
#include "python/tui/views/panels.hpp"
#include "python/tui/views/view_helpers.hpp"
#include "termui/layout.hpp"
#include "termui/paragraph.hpp"

namespace zimbrel::tui {
namespace {

using termui::Color;
using termui::Percentage;
using termui::Point;

// One chart of the grid; `second` is set for the loss chart only.
struct ChartSpec {
  const char* title;
  const char* waiting_title;
  const char* name;
  Ring<double> HistoryBuffer::*series;
  Color color;
  const char* second_name = nullptr;
  Ring<double> HistoryBuffer::*second_series = nullptr;
  Color second_color = Color::Default;
  const char* y_title = nullptr;  // null: the fixed percentage axis
};

constexpr ChartSpec kRewardChart{" Reward History ", " Reward History ", "Reward", &HistoryBuffer::reward_history,
                                 Color::Yellow, nullptr, nullptr, Color::Default, "Reward"};
constexpr ChartSpec kLossChart{" Losses (Policy/Value) ", " Losses ", "Policy", &HistoryBuffer::policy_loss_history,
                               Color::Red, "Value", &HistoryBuffer::value_loss_history, Color::Blue, "Loss"};
constexpr ChartSpec kCpuChart{" CPU % ", " CPU % ", "CPU", &HistoryBuffer::cpu_history, Color::Green};
constexpr ChartSpec kRamChart{" RAM % ", " RAM % ", "RAM", &HistoryBuffer::memory_history, Color::Cyan};
constexpr ChartSpec kGpuChart{" GPU % ", " GPU % ", "GPU", &HistoryBuffer::gpu_history, Color::Green};
constexpr ChartSpec kVramChart{" VRAM % ", " VRAM % ", "VRAM", &HistoryBuffer::gpu_memory_history, Color::Magenta};

// Smallest and largest finite value seen; infinities are skipped like NaN
// so that one infinite sample cannot stretch the axis over every other one.
struct Extremes {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();

  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  bool found() const { return lo <= hi; }
};

std::vector<Point> chart_points(const HistoryBuffer& history, const Ring<double>& series) {
  const size_t count = std::min(history.steps_history.size(), series.size());
  std::vector<Point> points(count);
  for (size_t i = 0; i < count; ++i) points[i] = Point{static_cast<double>(history.steps_history[i]), series[i]};
  return points;
}

termui::Axis x_axis_for(std::span<const Point> points) {
  Extremes x;
  for (const Point& p : points) x.add(p.x);
  if (!x.found()) return create_x_axis(0.0, 1.0);
  return create_x_axis(x.lo, std::max(x.hi, x.lo + 1.0));
}

// y bounds padded by 5 % of the spread (at least 0.001 wide) on each side.
termui::Axis y_axis_for(const char* title, std::span<const Point> first, std::span<const Point> second) {
  Extremes y;
  for (const Point& p : first) y.add(p.y);
  for (const Point& p : second) y.add(p.y);
  if (!y.found()) return create_y_axis(title, 0.0, 1.0);
  const double pad = 0.05 * std::max(y.hi - y.lo, 0.001);
  return create_y_axis(title, y.lo - pad, y.hi + pad);
}

void render_waiting(termui::Frame& frame, termui::Rect area, const char* title) {
  termui::Paragraph paragraph;
  paragraph.lines.emplace_back(std::string("Waiting for data..."));
  paragraph.style = termui::Style::foreground(Color::DarkGray);
  paragraph.block = termui::Block::bordered(title);
  frame.render_widget(paragraph, area);
}

void render_history_chart(termui::Frame& frame, termui::Rect area, const SharedState& state, const ChartSpec& spec) {
  const auto history = state.history->lock();
  if (history.broken()) return;
  if (history->steps_history.empty()) return render_waiting(frame, area, spec.waiting_title);

  const std::vector<Point> points = chart_points(*history, (*history).*spec.series);
  std::vector<Point> second_points;
  if (spec.second_series) second_points = chart_points(*history, (*history).*spec.second_series);
  std::vector<termui::Dataset> datasets;
  datasets.push_back({spec.name, points, termui::GraphType::Line, termui::Style::foreground(spec.color)});
  if (spec.second_series) {
    datasets.push_back(
        {spec.second_name, second_points, termui::GraphType::Line, termui::Style::foreground(spec.second_color)});
  }
  termui::Chart chart;
  chart.datasets = datasets;
  chart.block = termui::Block::bordered(spec.title);
  chart.x_axis = x_axis_for(points);
  chart.y_axis = spec.y_title ? y_axis_for(spec.y_title, points, second_points) : create_percentage_y_axis();
  frame.render_widget(chart, area);
}

}  // namespace

void render_chart_grid(termui::Frame& frame, termui::Rect area, const SharedState& state) {
  const bool show_gpu = state.metrics->total_gpu_memory_mb.load() != 0;
  const auto columns = split_load_columns(area, show_gpu, std::array{Percentage(40), Percentage(30), Percentage(30)});
  const auto first = termui::split(columns[0], termui::Direction::Vertical, std::array{Percentage(60), Percentage(40)});
  const auto second = termui::split(columns[1], termui::Direction::Vertical, std::array{Percentage(50), Percentage(50)});
  render_history_chart(frame, first[0], state, kRewardChart);
  render_history_chart(frame, first[1], state, kLossChart);
  render_history_chart(frame, second[0], state, kCpuChart);
  render_history_chart(frame, second[1], state, kRamChart);
  if (!show_gpu) return;
  const auto third = termui::split(columns[2], termui::Direction::Vertical, std::array{Percentage(50), Percentage(50)});
  render_history_chart(frame, third[0], state, kGpuChart);
  render_history_chart(frame, third[1], state, kVramChart);
}

}  // namespace zimbrel::tui
