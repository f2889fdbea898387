// The render thread owns the terminal while the monitor runs: raw mode on the
// controlling terminal, the alternate screen and a hidden cursor on standard
// output, and a redraw of the current view on the render interval.
//
// The terminal is handed back (raw mode off, alternate screen left, cursor
// shown) on every way out: `running` going false, q, and any error. An error
// is reported as one line "TUI error: <text>" on standard error, written
// after the terminal has been restored; the thread then ends and is not
// restarted. It never takes the CSV lock or the interpreter lock.
#pragma once
#include <cstdint>
#include <system_error>
#include <thread>

#include "python/tui/shared_state.hpp"

namespace zimbrel::tui {

// The thread body without the report: returns the first terminal error.
std::error_code run_tui(SharedState state, uint64_t render_interval_ms);

// Throws std::system_error when the thread cannot be started.
std::thread spawn_render_thread(SharedState state, uint64_t render_interval_ms);

}  // namespace zimbrel::tui
