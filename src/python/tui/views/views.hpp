// The monitor's three views, one per display mode. Each draws a whole frame
// from the shared state: it reads the metric cells without a lock and waits
// for the `history` lock only while it reads the histories. Any screen size
// is safe, down to 0 x 0; what does not fit is clipped.
#pragma once
#include "python/tui/shared_state.hpp"
#include "termui/frame.hpp"

namespace zimbrel::tui {

// One box titled " Zimbrel " with the headline counters on one cyan line.
void render_minimal(termui::Frame& frame, const SharedState& state);

// Statistics row, device row, sparklines of recent history, help bar.
void render_dashboard(termui::Frame& frame, const SharedState& state);

// Statistics row, device row, line charts of the histories, help bar.
void render_chart_dashboard(termui::Frame& frame, const SharedState& state);

}  // namespace zimbrel::tui
