#include <algorithm>
#include <array>
#include <cmath>

#include "python/tui/number_format.hpp"
#include "python/tui/views/panels.hpp"
#include "python/tui/views/view_helpers.hpp"
#include "termui/gauge.hpp"
#include "termui/layout.hpp"
#include "termui/paragraph.hpp"

namespace zimbrel::tui {
namespace {

using termui::Color;
using termui::Style;

void render_two_lines(termui::Frame& frame, termui::Rect area, const char* title, termui::Line first,
                      termui::Line second) {
  termui::Paragraph paragraph;
  paragraph.lines.push_back(std::move(first));
  paragraph.lines.push_back(std::move(second));
  paragraph.block = termui::Block::bordered(title);
  frame.render_widget(paragraph, area);
}

void render_entropy(termui::Frame& frame, termui::Rect area, double entropy) {
  termui::Gauge gauge;
  gauge.percent = entropy_gauge_percent(entropy);
  gauge.label = format_fixed(entropy, 4);
  gauge.gauge_style = Style::foreground(Color::Green);
  gauge.block = termui::Block::bordered(" Entropy ");
  frame.render_widget(gauge, area);
}

}  // namespace

uint16_t entropy_gauge_percent(double entropy) {
  const double magnitude = std::isnan(entropy) ? 1.0 : std::min(std::fabs(entropy), 1.0);
  return static_cast<uint16_t>(magnitude * 100.0);
}

void render_stats(termui::Frame& frame, termui::Rect area, const SharedState& state) {
  using termui::Percentage;
  const MetricsBuffer& metrics = *state.metrics;
  const auto columns = termui::split(area, termui::Direction::Horizontal,
                                     std::array{Percentage(25), Percentage(25), Percentage(25), Percentage(25)});
  render_two_lines(frame, columns[0], " Progress ",
                   labelled_value("Steps: ", format_number(metrics.steps.load()),
                                  Style::foreground(Color::Cyan).with_bold()),
                   labelled_value("Episodes: ", format_number(metrics.episodes.load()),
                                  Style::foreground(Color::Green).with_bold()));
  render_two_lines(frame, columns[1], " Performance ",
                   labelled_value("Reward: ", format_fixed(metrics.mean_reward.load(), 2),
                                  Style::foreground(Color::Yellow).with_bold()),
                   labelled_value("SPS: ", format_fixed(metrics.sps.load(), 0),
                                  Style::foreground(Color::Magenta).with_bold()));
  render_two_lines(frame, columns[2], " Losses ",
                   labelled_value("Policy: ", format_fixed(metrics.policy_loss.load(), 6),
                                  Style::foreground(Color::Red)),
                   labelled_value("Value: ", format_fixed(metrics.value_loss.load(), 6),
                                  Style::foreground(Color::Blue)));
  render_entropy(frame, columns[3], metrics.entropy.load());
}

}  // namespace zimbrel::tui
