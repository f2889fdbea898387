"""The monitor's shared state: cells, histories and their push rule, mode, locks."""

import math

import pytest

import _zimbrel_testkit as kit

HISTORIES = [
    "steps_history", "reward_history", "sps_history", "policy_loss_history", "value_loss_history",
    "cpu_history", "gpu_history", "memory_history", "gpu_memory_history",
]


def sample(i, **cells):
    return {"steps": i * 10, "mean_reward": i + 0.5, "sps": 100.0 * i, "policy_loss": -i, "value_loss": 2.0 * i, **cells}


def test_fresh_state_reads_zero_everywhere():
    cells = kit.cells_after({})
    assert len(cells) == 13 and all(value == 0 for value in cells.values())
    assert kit.history_after(5, []) == {name: [] for name in HISTORIES}


def test_float_cells_keep_every_double_bit_pattern():
    cells = kit.cells_after({"mean_reward": -0.0, "sps": float("inf"), "entropy": float("nan"), "cpu_usage": 5e-324})
    assert math.copysign(1.0, cells["mean_reward"]) == -1.0
    assert cells["sps"] == float("inf") and math.isnan(cells["entropy"]) and cells["cpu_usage"] == 5e-324


@pytest.mark.parametrize(
    "history_len, pushes, kept",
    [
        (3, 5, [3, 4, 5]),
        (0, 1, [1]),  # max(history_len, 1) samples are kept
        (0, 4, [4]),
        (1, 3, [3]),
        (100, 2, [1, 2]),
    ],
)
def test_push_keeps_the_newest_samples_in_every_history(history_len, pushes, kept):
    histories = kit.history_after(history_len, [sample(i, cpu_usage=float(i)) for i in range(1, pushes + 1)])
    assert histories["steps_history"] == [i * 10 for i in kept]
    assert histories["reward_history"] == [i + 0.5 for i in kept]
    assert histories["sps_history"] == [100.0 * i for i in kept]
    assert histories["policy_loss_history"] == [-i for i in kept]
    assert histories["value_loss_history"] == [2.0 * i for i in kept]
    assert histories["cpu_history"] == [float(i) for i in kept]
    assert all(len(histories[name]) == len(kept) for name in HISTORIES)


def test_push_records_the_load_cells_and_memory_as_percent():
    histories = kit.history_after(10, [
        sample(1),  # totals still 0: memory percentages are 0.0
        sample(2, memory_mb=12288, total_memory_mb=16384, gpu_usage=55.0, gpu_memory_mb=3000,
               total_gpu_memory_mb=8192, cpu_usage=12.5),
    ])
    assert histories["memory_history"] == [0.0, 75.0]
    assert histories["gpu_memory_history"] == [0.0, 3000 / 8192 * 100]
    assert histories["gpu_history"] == [0.0, 55.0]
    assert histories["cpu_history"] == [0.0, 12.5]


@pytest.mark.parametrize("start", [0, 1, 2])
def test_mode_cycles_minimal_dashboard_chart(start):
    assert kit.next_mode(start) == (start + 1) % 3
    assert kit.next_mode(kit.next_mode(kit.next_mode(start))) == start


def test_history_lock_is_busy_while_held_and_marked_broken_by_a_failing_holder():
    broken_before, busy_while_held, broken_after = kit.lock_report()
    assert (broken_before, busy_while_held, broken_after) == (False, True, True)
