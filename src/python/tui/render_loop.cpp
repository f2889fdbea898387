#include "python/tui/render_loop.hpp"

#include <chrono>

#include "python/tui/interval.hpp"
#include "termui/event_reader.hpp"

namespace zimbrel::tui {
namespace {

constexpr std::chrono::milliseconds kInputPoll{10};

void switch_mode(const SharedState& state) {
  auto mode = state.mode->lock();
  *mode = next_mode(*mode);
}

TUIMode current_mode(const SharedState& state) { return *state.mode->lock(); }

}  // namespace

bool apply_event(const termui::Event& event, const SharedState& state) {
  if (event.kind != termui::Event::Kind::Key || event.key.code != termui::KeyCode::Char) return false;
  switch (event.key.ch) {
    case U'q':
      state.quit_requested->exchange(true);
      return true;
    case U'p':
      state.paused->store(!state.paused->load());
      return false;
    case U'm':
      switch_mode(state);
      return false;
    default:
      return false;
  }
}

std::error_code run_render_loop(int input_fd, const SharedState& state, uint64_t render_interval_ms,
                                const DrawView& draw) {
  using Clock = std::chrono::steady_clock;
  const Clock::duration interval = interval_duration(render_interval_ms);
  termui::EventReader input(input_fd);
  Clock::time_point last_draw = Clock::now();
  while (state.running->load()) {
    bool ready = false;
    if (std::error_code error = input.poll(kInputPoll, &ready)) return error;
    if (ready) {
      termui::Event event;
      if (std::error_code error = input.read(&event)) return error;
      if (apply_event(event, state)) break;
    }
    if (Clock::now() - last_draw >= interval && !state.paused->load()) {
      if (std::error_code error = draw(current_mode(state))) return error;
      last_draw = Clock::now();
    }
  }
  return {};
}

}  // namespace zimbrel::tui
