#include "python/tui/render_thread.hpp"

#include <unistd.h>

#include <exception>
#include <string>

#include "python/tui/render_loop.hpp"
#include "python/tui/views/views.hpp"
#include "termui/io_error.hpp"
#include "termui/screen_session.hpp"
#include "termui/terminal.hpp"
#include "termui/write_all.hpp"

namespace zimbrel::tui {
namespace {

void render_view(termui::Frame& frame, const SharedState& state, TUIMode mode) {
  switch (mode) {
    case TUIMode::Dashboard: render_dashboard(frame, state); break;
    case TUIMode::Chart: render_chart_dashboard(frame, state); break;
    default: render_minimal(frame, state); break;
  }
}

void report(const std::string& text) { termui::write_all(STDERR_FILENO, "TUI error: " + text + "\n"); }

}  // namespace

std::error_code run_tui(SharedState state, uint64_t render_interval_ms) {
  termui::ScreenSession session;
  if (std::error_code error = session.enable_raw_mode()) return error;
  if (std::error_code error = session.enter_alternate_screen()) return error;
  termui::Terminal terminal;
  const DrawView draw = [&](TUIMode mode) {
    return terminal.draw([&](termui::Frame& frame) { render_view(frame, state, mode); });
  };
  if (std::error_code error = run_render_loop(session.input_fd(), state, render_interval_ms, draw)) return error;
  return session.restore();
}

std::thread spawn_render_thread(SharedState state, uint64_t render_interval_ms) {
  return std::thread([state = std::move(state), render_interval_ms] {
    // An exception must not end the process from this thread; the session
    // has restored the terminal by the time it arrives here.
    try {
      if (std::error_code error = run_tui(state, render_interval_ms)) report(termui::describe_error(error));
    } catch (const std::exception& e) {
      report(e.what());
    }
  });
}

}  // namespace zimbrel::tui
