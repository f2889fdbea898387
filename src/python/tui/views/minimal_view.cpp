#include <string>

#include "python/tui/number_format.hpp"
#include "python/tui/views/view_helpers.hpp"
#include "python/tui/views/views.hpp"
#include "termui/paragraph.hpp"

namespace zimbrel::tui {
namespace {

std::string minimal_line(const MetricsBuffer& metrics) {
  std::string line;
  line.reserve(128);
  line += " Steps: ";
  append_right_aligned(line, format_number(metrics.steps.load()), 12);
  line += " │ Episodes: ";
  append_right_aligned(line, format_number(metrics.episodes.load()), 8);
  line += " │ Reward: ";
  append_right_aligned(line, format_fixed(metrics.mean_reward.load(), 2), 10);
  line += " │ SPS: ";
  append_right_aligned(line, format_fixed(metrics.sps.load(), 0), 12);
  line += " │ [q]uit [p]ause [m]ode ";
  return line;
}

}  // namespace

void render_minimal(termui::Frame& frame, const SharedState& state) {
  termui::Paragraph paragraph;
  paragraph.lines.emplace_back(minimal_line(*state.metrics));
  paragraph.style = termui::Style::foreground(termui::Color::Cyan);
  paragraph.block = termui::Block::bordered(" Zimbrel ");
  frame.render_widget(paragraph, frame.area());
}

}  // namespace zimbrel::tui
