"""The monitor as a user meets it: a training script runs on a real
pseudo-terminal of a fixed size, and its output is fed into a terminal
emulator, so that each test reads the screen the user would see and types
keys as the user would. Also: what happens without any terminal, and how the
terminal is handed back on every way out."""

import os
import re
import time

import pytest

from terminal_harness import PtyProcess, run_without_terminal

MINIMAL_LINE = (
    " Steps:    1,234,567 │ Episodes:      890 │ Reward:     195.46 │ SPS:        45679 │ [q]uit [p]ause [m]ode "
)
DASHBOARD_HELP = "[m] Toggle Mode"
CHART_HELP = "[m] Switch Mode"


@pytest.fixture
def files(tmp_path):
    """Paths the test and its child share: a `go` file the test creates to let
    the child go on, and whatever else the child writes."""

    class Files:
        def __getattr__(self, name):
            return str(tmp_path / name)

        def create(self, name):
            (tmp_path / name).touch()

        def read(self, name):
            return (tmp_path / name).read_text()

    return Files()


@pytest.fixture
def terminal():
    """Starts children on pseudo-terminals and makes sure none is left running."""
    started = []

    def start(script, **kwargs):
        child = PtyProcess(script, **kwargs)
        started.append(child)
        return child

    yield start
    for child in started:
        child.close()


def shown_steps(child):
    match = re.search(r"Steps:\s+([\d,]+)", "\n".join(child.display))
    return int(match.group(1).replace(",", "")) if match else None


def wait_until_still(child, progress, updates=50, timeout=15.0):
    """Waits until the training loop has made `updates` more updates without
    a byte of output reaching the screen."""
    deadline = time.monotonic() + timeout
    mark = progress()
    while progress() - mark < updates:
        assert time.monotonic() < deadline, "the screen kept changing"
        if child.pump(0.02):
            mark = progress()


def assert_terminal_handed_back(child):
    assert not child.screen.in_alternate_screen
    assert not child.screen.cursor.hidden
    assert child.settings_now() == child.settings_before


def known_metrics_script(files, **logger_args):
    """A child showing the known metrics until the test creates `go`, then closing."""
    args = ", ".join(f"{k}={v!r}" for k, v in {"render_interval_ms": 20, "monitor_interval_ms": 50, **logger_args}.items())
    return f"""
        print("shell line before the monitor")
        import zimbrel
        log = zimbrel.TUILogger({args})
        log.update(1234567, 890, 195.4567, 45678.9)
        wait_for_file({files.go!r})
        log.close()
        print("closed, quit requested:", log.should_quit())
    """


class TestViews:
    def test_minimal_line_for_known_metrics(self, terminal, files):
        child = terminal(known_metrics_script(files))
        child.wait_for_text(MINIMAL_LINE)
        # A frame can arrive in more than one read.
        child.wait_for(lambda: child.display[-1].startswith("└"), what="the bottom border")
        assert child.display[0].startswith("┌ Zimbrel ─")
        assert child.display[1] == "│" + MINIMAL_LINE.ljust(child.columns - 2) + "│"
        assert child.display[-1].startswith("└") and child.display[-1].endswith("┘")
        assert child.screen.in_alternate_screen and child.screen.cursor.hidden
        files.create("go")
        assert child.finish() == 0

    def test_m_cycles_the_three_views(self, terminal, files):
        child = terminal(known_metrics_script(files), rows=30)
        child.wait_for_text(MINIMAL_LINE)
        for help_text in (DASHBOARD_HELP, CHART_HELP):
            child.send(b"m")
            child.wait_for_text(help_text)
        child.wait_for(lambda: child.contains(" Reward History ") and child.contains(" Losses (Policy/Value) "),
                       what="the reward and loss charts")
        child.send(b"m")
        child.wait_for(lambda: child.contains(MINIMAL_LINE) and not child.contains(CHART_HELP), what="the minimal view")
        files.create("go")
        assert child.finish() == 0

    @pytest.mark.parametrize("mode, text", [("dashboard", DASHBOARD_HELP), ("chart", CHART_HELP)])
    def test_initial_mode(self, terminal, files, mode, text):
        child = terminal(known_metrics_script(files, mode=mode), rows=30)
        child.wait_for_text(text)
        files.create("go")
        assert child.finish() == 0

    def test_first_frame_waits_one_render_interval(self, terminal, files):
        child = terminal(known_metrics_script(files, render_interval_ms=2000))
        child.wait_for(lambda: child.screen.in_alternate_screen, what="the alternate screen")
        switched_at = time.monotonic()
        child.wait_for_text(MINIMAL_LINE)
        assert time.monotonic() - switched_at >= 1.0
        files.create("go")
        assert child.finish() == 0


class TestKeys:
    def test_pause_freezes_the_screen_while_updates_continue(self, terminal, files):
        child = terminal(f"""
            import zimbrel
            log = zimbrel.TUILogger(render_interval_ms=30, monitor_interval_ms=50)
            i = 0
            while not os.path.exists({files.go!r}):
                i += 1
                log.update(i, 0, 0.0, 0.0)
                with open({files.progress!r} + ".new", "w") as f:
                    f.write(str(i))
                os.replace({files.progress!r} + ".new", {files.progress!r})
                time.sleep(0.005)
            log.close()
        """)
        progress = lambda: int(files.read("progress")) if os.path.exists(files.progress) else 0
        child.wait_for(lambda: (shown_steps(child) or 0) > 0, what="steps counting up")
        child.send(b"p")
        wait_until_still(child, progress)
        frozen = list(child.display)
        assert shown_steps(child) < progress()
        child.send(b"p")
        resumed_at = progress()
        child.wait_for(lambda: shown_steps(child) >= resumed_at, what="the screen to catch up")
        assert child.display != frozen
        files.create("go")
        assert child.finish() == 0

    @pytest.mark.parametrize(
        "keys",
        [[b"q"], [b"\x11"], [b"\x1bq"], [b"p", b"q"]],
        ids=["q", "ctrl+q", "alt+q", "q while paused"],
    )
    def test_q_requests_quit_and_hands_the_terminal_back(self, terminal, files, keys):
        child = terminal(f"""
            print("shell line before the monitor")
            import zimbrel
            log = zimbrel.TUILogger(render_interval_ms=20, monitor_interval_ms=50)
            log.update(1234567, 890, 195.4567, 45678.9)
            while not log.should_quit():
                time.sleep(0.01)
            open({files.quit_seen!r}, "w").close()
            wait_for_file({files.go!r})
            log.close()
            print("after close, quit requested:", log.should_quit())
        """)
        child.wait_for_text(MINIMAL_LINE)
        for key in keys:
            child.send(key)
        child.wait_for(lambda: os.path.exists(files.quit_seen), what="should_quit() to turn True")
        # The render thread has restored the terminal by itself, before close().
        child.wait_for(lambda: not child.screen.in_alternate_screen, what="the normal screen")
        assert child.contains("shell line before the monitor") and not child.contains("Zimbrel")
        assert child.settings_now() == child.settings_before
        files.create("go")
        assert child.finish() == 0
        assert child.contains("after close, quit requested: True")
        assert_terminal_handed_back(child)

    def test_other_keys_do_nothing(self, terminal, files):
        """s, Q, arrows and Ctrl+C are read and ignored (Ctrl+C raises no
        KeyboardInterrupt); the m behind them still switches the view."""
        child = terminal(known_metrics_script(files), rows=30)
        child.wait_for_text(MINIMAL_LINE)
        child.send(b"sQ\x1b[A\x1b[1;5D\x03\x1bOP\xc3\xa9")
        child.send(b"m")
        child.wait_for_text(DASHBOARD_HELP)
        assert child.process.poll() is None
        files.create("go")
        assert child.finish() == 0
        assert child.contains("closed, quit requested: False")


class TestHistoryThrottle:
    @pytest.mark.parametrize(
        "interval, updates, labels",
        [
            (None, [(5000, 1.0), (9999, 2.0)], ["Waiting for data..."]),
            (None, [(5000, 1.0), (10000, 2.0), (15000, 3.0), (20000, 4.0)], ["10.0K", "15.0K", "20.0K", "1.90", "3.00", "4.10"]),
            (1000, [(s, s / 100) for s in range(100, 1001, 100)], ["1.0K", "10.00"]),
            (1000, [(2000, 2.0), (500, 5.0), (2999, 9.0), (3000, 3.0)], ["2.0K", "2.5K", "3.0K", "1.95", "2.50", "3.05"]),
            (0, [(300, 3.0), (100, 1.0), (200, 2.0)], ["100", "200", "300", "0.90", "2.00", "3.10"]),
        ],
        ids=["nothing before 10000 steps", "every 10000 steps", "one sample in ten calls", "steps going back", "every call"],
    )
    def test_history_samples_shown_by_the_chart(self, terminal, files, interval, updates, labels):
        child = terminal(f"""
            import zimbrel
            log = zimbrel.TUILogger(mode="chart", render_interval_ms=20, monitor_interval_ms=50,
                                    update_interval_steps={interval!r})
            for steps, reward in {updates!r}:
                log.update(steps, 7, reward, 1.0)
            log.update({updates[-1][0]!r}, 8, {updates[-1][1]!r}, 1.0)
            wait_for_file({files.go!r})
            log.close()
        """, rows=30)
        # The second call with the last steps value pushes nothing new (distance 0)
        # unless every call pushes, which the labels account for.
        child.wait_for_text("Episodes: 8")
        reward_chart = lambda: "\n".join(line[:60] for line in child.display)
        child.wait_for(lambda: all(label in reward_chart() for label in labels), what=f"labels {labels}")
        files.create("go")
        assert child.finish() == 0


class TestHandingBack:
    def test_close_restores_settings_and_leaves_the_alternate_screen(self, terminal, files):
        child = terminal(known_metrics_script(files))
        child.wait_for_text(MINIMAL_LINE)
        files.create("go")
        assert child.finish() == 0
        assert child.display[0].startswith("shell line before the monitor")
        assert child.display[1].startswith("closed, quit requested: False")
        assert_terminal_handed_back(child)

    def test_uncaught_exception_leaves_a_readable_traceback(self, terminal, files):
        child = terminal(f"""
            import zimbrel
            log = zimbrel.TUILogger(render_interval_ms=20, monitor_interval_ms=50)
            log.update(1234567, 890, 195.4567, 45678.9)
            wait_for_file({files.go!r})
            raise RuntimeError("training diverged")
        """)
        child.wait_for_text(MINIMAL_LINE)
        files.create("go")
        assert child.finish() == 1
        assert child.display[0].startswith("Traceback (most recent call last):")
        assert child.contains("RuntimeError: training diverged")
        assert_terminal_handed_back(child)

    def test_interpreter_exit_with_the_monitor_open(self, terminal, files):
        child = terminal(f"""
            import zimbrel
            log = zimbrel.TUILogger(render_interval_ms=20, monitor_interval_ms=50, csv_path={files.csv!r})
            log.update(1234567, 890, 195.4567, 45678.9)
            wait_for_file({files.go!r})
        """)
        child.wait_for_text(MINIMAL_LINE)
        files.create("go")
        assert child.finish() == 0
        assert_terminal_handed_back(child)
        assert files.read("csv").splitlines()[1].split(",")[1] == "1234567"

    def test_output_error_hands_the_terminal_back_before_reporting(self, terminal, files):
        """Standard output is a pipe nobody reads: entering the alternate screen
        fails after raw mode went on, and raw mode must go off again."""
        read_end, write_end = os.pipe()
        os.close(read_end)
        child = terminal(f"""
            import zimbrel
            log = zimbrel.TUILogger(render_interval_ms=20, monitor_interval_ms=50, csv_path={files.csv!r})
            log.update(5, 1, 1.0, 1.0)
            wait_for_file({files.go!r})
            log.update(6, 1, 1.0, 1.0)
            open({files.quit!r}, "w").write(str(log.should_quit()))
            log.close()
        """, stdout=write_end)
        os.close(write_end)
        child.wait_for_text("TUI error: Broken pipe (os error 32)")
        assert child.settings_now() == child.settings_before
        files.create("go")
        assert child.finish() == 0
        assert [line.split(",")[1] for line in files.read("csv").splitlines()[1:]] == ["5", "6"]
        assert files.read("quit") == "False"

    def test_input_error_leaves_the_alternate_screen_before_reporting(self, terminal):
        """The keyboard is another terminal, which hangs up while the monitor
        shows: the alternate screen is left and the cursor shown again."""
        keyboard, keyboard_side = os.openpty()
        child = terminal("""
            import signal
            signal.signal(signal.SIGHUP, signal.SIG_IGN)
            import zimbrel
            log = zimbrel.TUILogger(render_interval_ms=20, monitor_interval_ms=50)
            log.update(1234567, 890, 195.4567, 45678.9)
            time.sleep(30)
        """, stdin=keyboard_side)
        os.close(keyboard_side)
        child.wait_for_text(MINIMAL_LINE)
        os.close(keyboard)
        child.wait_for_text("TUI error: Input/output error (os error 5)")
        assert not child.screen.in_alternate_screen and not child.screen.cursor.hidden


def test_without_any_terminal(tmp_path):
    """No controlling terminal at all: one "TUI error" line, while update, the
    CSV log and should_quit carry on."""
    csv = tmp_path / "run.csv"
    result = run_without_terminal(f"""
        import time, zimbrel
        log = zimbrel.TUILogger(mode="dashboard", render_interval_ms=10, monitor_interval_ms=20, csv_path={str(csv)!r})
        for i in range(20):
            log.update(i, i, float(i), 100.0)
            time.sleep(0.01)
        print(log.should_quit())
        log.close()
        log.close()
    """)
    assert result.returncode == 0
    assert result.stdout == "False\n"
    assert result.stderr == "TUI error: No such device or address (os error 6)\n"
    assert len(csv.read_text().splitlines()) == 21
