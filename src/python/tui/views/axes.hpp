// The chart view's axes: steps along x, values or percentages along y.
#pragma once
#include <string>
#include <string_view>

#include "termui/chart.hpp"

namespace zimbrel::tui {

// No title, DarkGray, labels at lo, the middle and hi in compact form.
termui::Axis create_x_axis(double lo, double hi);

// Title in DarkGray, DarkGray axis, labels at lo, the middle and hi with 2 decimals.
termui::Axis create_y_axis(std::string_view title, double lo, double hi);

// "%" from 0 to 100, labelled "0", "50", "100".
termui::Axis create_percentage_y_axis();

// A step count as the x labels show it: 1 decimal and "M" from a million,
// 1 decimal and "K" from a thousand, otherwise no decimals.
std::string compact_step_label(double value);

}  // namespace zimbrel::tui
