// The render thread's loop, apart from what it draws: every turn it waits up
// to 10 ms for one input event and applies the keys (q quits, p pauses and
// resumes drawing, m switches the view), then draws when the render interval
// has passed since the last draw and drawing is not paused.
//
// Keys act by character alone: Ctrl+q and Alt+q act as q, Ctrl+C is ignored
// (raw mode turned it into a key), upper case and other keys do nothing.
// Runs on the render thread; touches only `running`, `paused`, `mode` (under
// its lock, never held while drawing) and `quit_requested`.
#pragma once
#include <cstdint>
#include <functional>
#include <system_error>

#include "python/tui/shared_state.hpp"
#include "termui/key_event.hpp"

namespace zimbrel::tui {

// Draws one frame of the view for a mode, returning the terminal's error.
using DrawView = std::function<std::error_code(TUIMode)>;

// Applies one input event; true when it asks the loop to end (q).
bool apply_event(const termui::Event& event, const SharedState& state);

// Runs until `running` goes false or q is pressed; returns the first input or
// drawing error. `input_fd` is the terminal in raw mode.
std::error_code run_render_loop(int input_fd, const SharedState& state, uint64_t render_interval_ms,
                                const DrawView& draw);

}  // namespace zimbrel::tui
