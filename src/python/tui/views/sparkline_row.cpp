#include <array>
#include <cmath>
#include <limits>

#include "python/tui/views/panels.hpp"
#include "python/tui/views/view_helpers.hpp"
#include "termui/layout.hpp"
#include "termui/sparkline.hpp"

namespace zimbrel::tui {
namespace {

using termui::Color;
using termui::Percentage;

// clamp(value, 0, 100) truncated; NaN gives 0.
uint64_t clamp_percent(double value) {
  if (!(value > 0.0)) return 0;
  return value >= 100.0 ? 100 : static_cast<uint64_t>(value);
}

void render_sparkline(termui::Frame& frame, termui::Rect area, const char* title, const std::vector<uint64_t>& data,
                      Color color) {
  termui::Sparkline sparkline;
  sparkline.data = data;
  sparkline.max = 100;
  sparkline.style = termui::Style::foreground(color);
  sparkline.block = termui::Block::bordered(title);
  frame.render_widget(sparkline, area);
}

// Two load sparklines stacked in `area`.
void render_load_pair(termui::Frame& frame, termui::Rect area, const char* top_title, const Ring<double>& top,
                      Color top_color, const char* bottom_title, const Ring<double>& bottom, Color bottom_color) {
  const auto halves = termui::split(area, termui::Direction::Vertical, std::array{Percentage(50), Percentage(50)});
  render_sparkline(frame, halves[0], top_title, percent_sparkline_data(top), top_color);
  render_sparkline(frame, halves[1], bottom_title, percent_sparkline_data(bottom), bottom_color);
}

}  // namespace

std::vector<uint64_t> reward_sparkline_data(const Ring<double>& history) {
  if (history.size() < 2) return {50};
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  history.for_each([&](double v) {
    if (v < lo) lo = v;  // comparisons with NaN fail, so NaN samples are skipped
    if (v > hi) hi = v;
  });
  double range = hi - lo;
  if (!(range >= 1.0)) range = 1.0;
  std::vector<uint64_t> data;
  data.reserve(history.size());
  history.for_each([&](double v) { data.push_back(clamp_percent((v - lo) / range * 100.0)); });
  return data;
}

std::vector<uint64_t> percent_sparkline_data(const Ring<double>& history) {
  std::vector<uint64_t> data;
  data.reserve(history.size());
  history.for_each([&](double v) { data.push_back(clamp_percent(v)); });
  return data;
}

void render_sparklines(termui::Frame& frame, termui::Rect area, const SharedState& state, bool show_gpu) {
  const auto history = state.history->lock();
  if (history.broken()) return;
  const auto columns = split_load_columns(area, show_gpu, std::array{Percentage(33), Percentage(33), Percentage(34)});
  render_sparkline(frame, columns[0], " Reward History ", reward_sparkline_data(history->reward_history),
                   Color::Yellow);
  render_load_pair(frame, columns[1], " CPU % ", history->cpu_history, Color::Green, " RAM % ",
                   history->memory_history, Color::Cyan);
  if (show_gpu) {
    render_load_pair(frame, columns[2], " GPU % ", history->gpu_history, Color::Green, " VRAM % ",
                     history->gpu_memory_history, Color::Magenta);
  }
}

}  // namespace zimbrel::tui
