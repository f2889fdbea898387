"""TUILogger from Python: construction and its errors, update's arguments and
conversions, close and destruction, and the CSV log that records every update.

These tests run the logger in the test process. Where the process has no
terminal the render thread reports one "TUI error" line and ends; the CSV log,
update and close behave the same either way. The screen is tested on a real
pseudo-terminal in test_monitor_terminal.py."""

import gc
import inspect
import math
import os
import re
import time

import pytest

import zimbrel
from terminal_harness import run_without_terminal

TUILogger = zimbrel.TUILogger

HEADER = (
    "timestamp,steps,episodes,mean_reward,sps,policy_loss,value_loss,entropy,"
    "cpu_usage,gpu_usage,memory_mb,gpu_memory_mb\n"
)
MODE_MESSAGE = "mode must be 'minimal', 'dashboard', or 'chart'"


def thread_count():
    return len(os.listdir("/proc/self/task"))


@pytest.fixture
def csv_path(tmp_path):
    return str(tmp_path / "run.csv")


@pytest.fixture
def open_logger(csv_path):
    """Makes loggers that sample quickly (so close is quick) and closes them all."""
    made = []

    def make(**kwargs):
        kwargs.setdefault("csv_path", csv_path)
        kwargs.setdefault("monitor_interval_ms", 20)
        logger = TUILogger(**kwargs)
        made.append(logger)
        return logger

    yield make
    for logger in made:
        logger.close()


def rows(path):
    """The data rows of a CSV log, each a list of its fields."""
    with open(path) as f:
        text = f.read()
    assert text.startswith(HEADER)
    return [line.split(",") for line in text[len(HEADER):].splitlines()]


def logged_row(open_logger, csv_path, *args, **kwargs):
    """The one row that a single update with these arguments writes."""
    logger = open_logger()
    logger.update(*args, **kwargs)
    logger.close()
    (row,) = rows(csv_path)
    return row


class TestClass:
    def test_registered_under_both_names(self):
        assert zimbrel.Logger is TUILogger
        assert TUILogger.__module__ == "builtins"
        assert [name for name in dir(TUILogger) if not name.startswith("_")] == ["close", "should_quit", "update"]

    def test_docstrings_and_signatures(self):
        assert TUILogger.__doc__ == (
            "High-performance TUI logger built on a terminal UI toolkit.\n\n"
            "Renders training metrics in a terminal UI with minimal overhead.\n"
            "Python updates metrics via atomic writes; a separate thread handles rendering."
        )
        assert str(inspect.signature(TUILogger)) == (
            "(mode='minimal', render_interval_ms=100, history_len=100, csv_path=None, "
            "monitor_interval_ms=None, update_interval_steps=None)"
        )
        assert TUILogger.update.__text_signature__ == (
            "($self, steps, episodes, mean_reward, sps, policy_loss=None, value_loss=None, entropy=None, "
            "gpu_usage=None, gpu_memory=None, total_gpu_memory=None)"
        )
        assert TUILogger.update.__doc__ == (
            "Update metrics from Python training loop.\n\n"
            "This method is optimized for minimal overhead - uses atomic writes only.\n"
            "GPU metrics are optional and can be provided by Python if available."
        )
        assert TUILogger.close.__text_signature__ == "($self)"
        assert TUILogger.close.__doc__ == "Close the TUI and restore terminal."
        assert TUILogger.should_quit.__text_signature__ == "($self)"
        assert TUILogger.should_quit.__doc__ == "Check if quit was requested via keyboard."


class TestConstruction:
    @pytest.mark.parametrize("mode", ["minimal", "dashboard", "chart"])
    def test_modes(self, open_logger, mode):
        assert open_logger(mode=mode).should_quit() is False

    def test_all_arguments_positionally(self, csv_path):
        logger = TUILogger("chart", 50, 10, csv_path, 20, 5)
        logger.update(5, 1, 1.0, 1.0)
        logger.close()
        assert len(rows(csv_path)) == 1

    @pytest.mark.parametrize(
        "kwargs, error, text",
        [
            ({"mode": "Chart"}, ValueError, MODE_MESSAGE),
            ({"mode": "minimal "}, ValueError, MODE_MESSAGE),
            ({"mode": 3}, TypeError, "'mode'"),
            ({"mode": None}, TypeError, "'mode'"),
            ({"render_interval_ms": None}, TypeError, "'render_interval_ms'"),
            ({"render_interval_ms": 1.5}, TypeError, "'render_interval_ms'"),
            ({"render_interval_ms": -1}, OverflowError, "'render_interval_ms'"),
            ({"history_len": -1}, OverflowError, "'history_len'"),
            ({"history_len": 2**64}, OverflowError, "'history_len'"),
            ({"csv_path": 5}, TypeError, "'csv_path'"),
            ({"monitor_interval_ms": "1000"}, TypeError, "'monitor_interval_ms'"),
            ({"update_interval_steps": -1}, OverflowError, "'update_interval_steps'"),
            ({"colour": True}, TypeError, "colour"),
        ],
    )
    def test_argument_errors_name_the_argument_and_start_nothing(self, kwargs, error, text):
        before = thread_count()
        with pytest.raises(error, match=re.escape(text)):
            TUILogger(**kwargs)
        assert thread_count() == before

    def test_too_many_positional_arguments(self):
        with pytest.raises(TypeError):
            TUILogger("minimal", 100, 100, None, None, None, 7)

    @pytest.mark.parametrize("history_len", [2**64 - 1, 2**61, 2**40])
    def test_history_too_large_raises_memory_error(self, tmp_path, history_len):
        before = thread_count()
        path = tmp_path / "never.csv"
        with pytest.raises(MemoryError):
            TUILogger(history_len=history_len, csv_path=str(path))
        assert thread_count() == before
        assert not path.exists()

    @pytest.mark.parametrize(
        "path, message",
        [
            ("missing-directory/run.csv", "Failed to create CSV file: No such file or directory (os error 2)"),
            (".", "Failed to create CSV file: Is a directory (os error 21)"),
            ("run\0.csv", "Failed to create CSV file: path contains a NUL byte"),
        ],
    )
    def test_csv_file_that_cannot_be_created(self, tmp_path, path, message):
        before = thread_count()
        with pytest.raises(ValueError) as caught:
            TUILogger(csv_path=str(tmp_path / path) if path != "." else str(tmp_path))
        assert str(caught.value) == message
        assert thread_count() == before

    def test_threads_are_joined_by_close(self, open_logger):
        before = thread_count()
        logger = open_logger()
        # The monitor thread runs until close; without a terminal the render thread may be gone already.
        assert thread_count() in (before + 1, before + 2)
        logger.close()
        assert thread_count() == before


class TestUpdate:
    def test_required_arguments_only(self, open_logger, csv_path):
        row = logged_row(open_logger, csv_path, 3, 0, 1.5, 7.6)
        assert row[1:8] == ["3", "0", "1.5000", "8", "0.000000", "0.000000", "0.000000"]

    def test_every_argument_by_keyword(self, open_logger, csv_path):
        row = logged_row(
            open_logger, csv_path, steps=10, episodes=2, mean_reward=-3, sps=2, policy_loss=0.25, value_loss=1,
            entropy=-0.5, gpu_usage=55, gpu_memory=100.0, total_gpu_memory=8192,
        )
        assert row[1:10] == ["10", "2", "-3.0000", "2", "0.250000", "1.000000", "-0.500000", row[8], "55.00"]
        assert row[11] == "100"

    @pytest.mark.parametrize(
        "gpu_memory, stored",
        [
            (-5.0, 0),
            (20.9, 20),
            (math.nan, 0),
            (-math.inf, 0),
            (2.0**63, 2**63),
            (2.0**64, 2**64 - 1),
            (1e30, 2**64 - 1),
            (math.inf, 2**64 - 1),
            (7, 7),
        ],
    )
    def test_gpu_memory_conversion(self, open_logger, csv_path, gpu_memory, stored):
        row = logged_row(open_logger, csv_path, 1, 0, 0.0, 0.0, gpu_memory=gpu_memory)
        assert row[11] == str(stored)

    def test_gpu_cells_keep_their_value_when_not_passed(self, open_logger, csv_path):
        logger = open_logger()
        logger.update(1, 0, 0.0, 0.0, gpu_usage=12.5, gpu_memory=300)
        logger.update(2, 0, 0.0, 0.0)
        logger.update(3, 0, 0.0, 0.0, gpu_usage=None, gpu_memory=None)
        logger.close()
        assert [(r[9], r[11]) for r in rows(csv_path)] == [("12.50", "300")] * 3

    @pytest.mark.parametrize(
        "args, kwargs, error, text",
        [
            ((1.5, 0, 0.0, 0.0), {}, TypeError, "'steps'"),
            ((-1, 0, 0.0, 0.0), {}, OverflowError, "'steps'"),
            ((0, 2**64, 0.0, 0.0), {}, OverflowError, "'episodes'"),
            ((0, None, 0.0, 0.0), {}, TypeError, "'episodes'"),
            ((0, 0, "1.0", 0.0), {}, TypeError, "'mean_reward'"),
            ((0, 0, 10**400, 0.0), {}, OverflowError, "'mean_reward'"),
            ((0, 0, 0.0, None), {}, TypeError, "'sps'"),
            ((0, 0, 0.0, 0.0), {"policy_loss": "x"}, TypeError, "'policy_loss'"),
            ((0, 0, 0.0, 0.0), {"entropy": []}, TypeError, "'entropy'"),
            ((0, 0, 0.0, 0.0), {"gpu_memory": "8"}, TypeError, "'gpu_memory'"),
            ((0, 0, 0.0), {}, TypeError, "'sps'"),
            ((0, 0, 0.0, 0.0), {"steps": 1}, TypeError, "'steps'"),
            ((0, 0, 0.0, 0.0), {"loss": 1.0}, TypeError, "loss"),
            ((0,) * 11, {}, TypeError, "update()"),
        ],
    )
    def test_argument_errors_write_nothing(self, open_logger, csv_path, args, kwargs, error, text):
        logger = open_logger()
        with pytest.raises(error, match=re.escape(text)):
            logger.update(*args, **kwargs)
        logger.close()
        assert rows(csv_path) == []

    def test_accepts_numbers_that_are_not_floats(self, open_logger, csv_path):
        import numpy as np

        row = logged_row(open_logger, csv_path, np.uint64(7), True, np.float32(0.5), 3, policy_loss=np.float64(2))
        assert row[1:6] == ["7", "1", "0.5000", "3", "2.000000"]


class TestClose:
    def test_close_twice_and_after_close(self, open_logger, csv_path):
        logger = open_logger()
        assert logger.close() is None
        assert logger.close() is None
        assert logger.should_quit() is False
        logger.update(1, 1, 1.0, 1.0)
        assert logger.close() is None
        assert len(rows(csv_path)) == 1

    def test_rows_after_close_reach_the_file_at_destruction(self, csv_path):
        logger = TUILogger(csv_path=csv_path, monitor_interval_ms=20)
        logger.update(1, 0, 0.0, 0.0)
        logger.close()
        logger.update(2, 0, 0.0, 0.0)
        assert [r[1] for r in rows(csv_path)] == ["1"]
        del logger
        gc.collect()
        assert [r[1] for r in rows(csv_path)] == ["1", "2"]


class TestCsvLog:
    def test_nothing_is_written_before_close_or_destruction(self, csv_path):
        logger = TUILogger(csv_path=csv_path, monitor_interval_ms=20)
        assert os.path.getsize(csv_path) == 0
        logger.close()
        with open(csv_path, "rb") as f:
            assert f.read() == HEADER.encode()
        assert len(HEADER.encode()) == 116

        other = csv_path + ".2"
        logger = TUILogger(csv_path=other, monitor_interval_ms=20)
        del logger
        gc.collect()
        with open(other) as f:
            assert f.read() == HEADER

    @pytest.mark.parametrize("child_ends", ["sys.exit(0)", "logger.close(); sys.exit(0)", "del logger; sys.exit(0)"])
    def test_a_forked_child_leaves_the_parents_rows_and_threads_alone(self, csv_path, child_ends):
        result = run_without_terminal(f"""
            import os, sys, zimbrel
            logger = zimbrel.TUILogger(csv_path={csv_path!r}, monitor_interval_ms=20)
            logger.update(1, 0, 0.0, 0.0)
            pid = os.fork()
            if pid == 0:
                {child_ends}
            _, status = os.waitpid(pid, 0)
            assert os.waitstatus_to_exitcode(status) == 0, status
            logger.update(2, 0, 0.0, 0.0)
            logger.close()
        """, timeout=30)
        assert result.returncode == 0, result.stderr
        with open(csv_path) as f:
            assert f.read().count("timestamp") == 1
        assert [r[1] for r in rows(csv_path)] == ["1", "2"]

    def test_existing_file_is_truncated(self, csv_path):
        with open(csv_path, "w") as f:
            f.write("an older run\n" * 100)
        logger = TUILogger(csv_path=csv_path, monitor_interval_ms=20)
        assert os.path.getsize(csv_path) == 0
        logger.close()

    def test_example_row(self, open_logger, csv_path):
        row = logged_row(open_logger, csv_path, 3, 0, 1.5, 7.6)
        assert len(row) == 12
        assert re.fullmatch(r"\d+\.\d{3}", row[0]) and 0 <= float(row[0]) < 10
        assert row[1:8] == ["3", "0", "1.5000", "8", "0.000000", "0.000000", "0.000000"]
        cpu, gpu, memory, gpu_memory = row[8:]
        assert re.fullmatch(r"\d+\.\d\d", cpu) and 0 <= float(cpu) <= 100
        assert gpu == "0.00" and gpu_memory == "0"
        assert memory.isdigit()

    @pytest.mark.parametrize(
        "value, column, text",
        [
            # sps has no decimals, mean_reward 4, the losses 6; exact ties go to the even digit.
            (2.5, "sps", "2"),
            (3.5, "sps", "4"),
            (-2.5, "sps", "-2"),
            (0.5, "sps", "0"),
            (1 / 32, "mean_reward", "0.0312"),
            (3 / 32, "mean_reward", "0.0938"),
            (1 / 128, "policy_loss", "0.007812"),
            (3 / 128, "value_loss", "0.023438"),
            (math.nan, "mean_reward", "NaN"),
            (math.inf, "sps", "inf"),
            (-math.inf, "entropy", "-inf"),
            (-0.0, "value_loss", "-0.000000"),
            (-0.0, "sps", "-0"),
            (-1e-9, "policy_loss", "-0.000000"),
            (1e20, "sps", "100000000000000000000"),
            (1e300, "mean_reward", format(1e300, ".4f")),
        ],
    )
    def test_fixed_point_fields(self, open_logger, csv_path, value, column, text):
        args = {"steps": 1, "episodes": 0, "mean_reward": 0.0, "sps": 0.0, column: value}
        row = logged_row(open_logger, csv_path, **args)
        index = HEADER.split(",").index(column)
        assert row[index] == text

    def test_one_row_per_update_regardless_of_history_throttle(self, open_logger, csv_path):
        logger = open_logger(update_interval_steps=1000)
        for i in range(1, 11):
            logger.update(i * 100, i, float(i), 50.0)
        logger.close()
        assert [r[1] for r in rows(csv_path)] == [str(i * 100) for i in range(1, 11)]

    def test_rows_reach_the_file_in_buffer_sized_pieces(self, open_logger, csv_path):
        logger = open_logger()
        sizes = []
        for i in range(400):
            logger.update(i, i, 0.125, 1000.0, policy_loss=0.5, value_loss=0.25, entropy=0.75)
            sizes.append(os.path.getsize(csv_path))
        logger.close()
        with open(csv_path, "rb") as f:
            content = f.read()
        assert len(content) > 3 * 8192
        # Nothing before the buffer first fills, then only a few flushes of at most 8192 bytes each.
        assert sizes[0] == 0
        grown = sorted(set(sizes))
        assert len(grown) <= len(content) // 8192 + 1
        assert all(0 < b - a <= 8192 for a, b in zip(grown, grown[1:]))
        assert rows(csv_path)[-1][1] == "399"

    @pytest.mark.parametrize("limit", [300, 8192 + 40, 10000, 20000])
    def test_rows_stay_whole_when_the_file_refuses_writes_for_a_while(self, csv_path, limit):
        # A file-size limit makes the flushes that cross it fail; once the
        # limit is lifted, close writes what stayed buffered. Rows that could
        # not be kept may be missing, but none may have lost some fields.
        result = run_without_terminal(f"""
            import resource, zimbrel
            soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
            logger = zimbrel.TUILogger(csv_path={csv_path!r}, monitor_interval_ms=20)
            resource.setrlimit(resource.RLIMIT_FSIZE, ({limit}, hard))
            for i in range(400):
                logger.update(i, i, 0.5, 100.0, policy_loss=0.25)
            resource.setrlimit(resource.RLIMIT_FSIZE, (soft, hard))
            logger.close()
        """)
        assert result.returncode == 0, result.stderr
        data = rows(csv_path)
        assert data and all(len(row) == 12 and row[1] == row[2] for row in data)
        steps = [int(row[1]) for row in data]
        assert steps == sorted(set(steps))
        assert os.path.getsize(csv_path) > limit  # what stayed buffered was written at last

    def test_timestamps_count_seconds_since_construction(self, open_logger, csv_path):
        logger = open_logger()
        logger.update(1, 0, 0.0, 0.0)
        time.sleep(0.05)
        logger.update(2, 0, 0.0, 0.0)
        logger.close()
        first, second = (float(r[0]) for r in rows(csv_path))
        assert 0 <= first < second < first + 5
