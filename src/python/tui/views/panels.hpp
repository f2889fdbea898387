// The rows the dashboard and chart views are made of. Each draws into the
// rectangle it is given and nowhere else.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "python/tui/ring.hpp"
#include "python/tui/shared_state.hpp"
#include "termui/frame.hpp"
#include "termui/rect.hpp"

namespace zimbrel::tui {

// Progress, Performance, Losses and Entropy boxes.
void render_stats(termui::Frame& frame, termui::Rect area, const SharedState& state);

// CPU and Memory boxes, plus GPU and GPU Memory once a GPU is known.
void render_device_stats(termui::Frame& frame, termui::Rect area, const SharedState& state);

// Reward, CPU/RAM and (with `show_gpu`) GPU/VRAM sparklines. Waits for the
// `history` lock; leaves the area blank when the lock is marked broken.
void render_sparklines(termui::Frame& frame, termui::Rect area, const SharedState& state, bool show_gpu);

// Reward, loss and load charts. Takes the `history` lock once per chart and
// leaves a chart's cell blank when the lock is marked broken.
void render_chart_grid(termui::Frame& frame, termui::Rect area, const SharedState& state);

// The key reminder at the bottom of the dashboard and chart views.
void render_help_bar(termui::Frame& frame, termui::Rect area, std::string_view text);

// Reward samples rescaled to 0-100 over the window's own range (at least
// 1.0 wide); a single bar at 50 while fewer than two samples exist.
std::vector<uint64_t> reward_sparkline_data(const Ring<double>& history);

// Load samples clamped to 0-100 and truncated; NaN gives 0.
std::vector<uint64_t> percent_sparkline_data(const Ring<double>& history);

// The entropy gauge's fill: truncate(min(|entropy|, 1) * 100), NaN as 1.
uint16_t entropy_gauge_percent(double entropy);

}  // namespace zimbrel::tui
