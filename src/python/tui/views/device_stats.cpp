#include <array>
#include <string>

#include "python/tui/number_format.hpp"
#include "python/tui/views/panels.hpp"
#include "python/tui/views/view_helpers.hpp"
#include "termui/layout.hpp"
#include "termui/paragraph.hpp"

namespace zimbrel::tui {
namespace {

using termui::Color;
using termui::Percentage;

constexpr double kMiBPerGB = 1024.0;

// Red above 80, Yellow above 60, otherwise `calm`; NaN fails both tests.
Color load_color(double load, Color calm) {
  if (load > 80.0) return Color::Red;
  if (load > 60.0) return Color::Yellow;
  return calm;
}

double percent_of(double used, double total) { return total == 0.0 ? 0.0 : used / total * 100.0; }

std::string load_text(double load) { return load > 0.0 ? format_fixed(load, 1) + "%" : "N/A"; }

std::string memory_text(double used_mb, double total_mb) {
  return format_fixed(used_mb / kMiBPerGB, 1) + "/" + format_fixed(total_mb / kMiBPerGB, 1) + " GB";
}

void render_device_box(termui::Frame& frame, termui::Rect area, const char* title, const char* label,
                       std::string value, Color color) {
  termui::Paragraph paragraph;
  paragraph.lines.push_back(
      labelled_value(label, std::move(value), termui::Style::foreground(color).with_bold()));
  paragraph.block = termui::Block::bordered(title);
  frame.render_widget(paragraph, area);
}

}  // namespace

void render_device_stats(termui::Frame& frame, termui::Rect area, const SharedState& state) {
  const MetricsBuffer& metrics = *state.metrics;
  const double cpu = metrics.cpu_usage.load();
  const double gpu = metrics.gpu_usage.load();
  const auto memory_mb = static_cast<double>(metrics.memory_mb.load());
  const auto total_memory_mb = static_cast<double>(metrics.total_memory_mb.load());
  const auto gpu_memory_mb = static_cast<double>(metrics.gpu_memory_mb.load());
  const uint64_t total_gpu_memory = metrics.total_gpu_memory_mb.load();

  const std::string memory = total_memory_mb != 0.0 ? memory_text(memory_mb, total_memory_mb) : "N/A";
  const Color memory_color = load_color(percent_of(memory_mb, total_memory_mb), Color::Cyan);
  if (total_gpu_memory == 0) {
    const auto columns =
        termui::split(area, termui::Direction::Horizontal, std::array{Percentage(50), Percentage(50)});
    render_device_box(frame, columns[0], " CPU ", "CPU: ", load_text(cpu), load_color(cpu, Color::Green));
    render_device_box(frame, columns[1], " Memory ", "RAM: ", memory, memory_color);
    return;
  }
  const auto total_gpu_memory_mb = static_cast<double>(total_gpu_memory);
  const auto columns = termui::split(area, termui::Direction::Horizontal,
                                     std::array{Percentage(25), Percentage(25), Percentage(25), Percentage(25)});
  render_device_box(frame, columns[0], " CPU ", "CPU: ", load_text(cpu), load_color(cpu, Color::Green));
  render_device_box(frame, columns[1], " GPU ", "GPU: ", load_text(gpu), load_color(gpu, Color::Green));
  render_device_box(frame, columns[2], " Memory ", "RAM: ", memory, memory_color);
  render_device_box(frame, columns[3], " GPU Memory ", "VRAM: ", memory_text(gpu_memory_mb, total_gpu_memory_mb),
                    load_color(percent_of(gpu_memory_mb, total_gpu_memory_mb), Color::Magenta));
}

}  // namespace zimbrel::tui
