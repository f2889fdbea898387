#include <array>

#include "python/tui/views/panels.hpp"
#include "python/tui/views/views.hpp"
#include "termui/layout.hpp"

namespace zimbrel::tui {

void render_dashboard(termui::Frame& frame, const SharedState& state) {
  using termui::Length;
  const auto rows = termui::split(frame.area(), termui::Direction::Vertical,
                                  std::array{Length(5), Length(3), termui::Min(8), Length(3)});
  render_stats(frame, rows[0], state);
  render_device_stats(frame, rows[1], state);
  render_sparklines(frame, rows[2], state, state.metrics->total_gpu_memory_mb.load() != 0);
  render_help_bar(frame, rows[3], " [q] Quit  [p] Pause  [m] Toggle Mode  [s] Save Checkpoint ");
}

}  // namespace zimbrel::tui
