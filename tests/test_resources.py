"""Memory: stepping must not leak, in the engine or in the Python layer."""

import numpy as np
import pytest

import zimbrel


def resident_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096


@pytest.mark.parametrize("workers", [1, 2])
def test_memory_stays_flat_over_many_steps(workers):
    env = zimbrel.PyCartPoleVecEnv(64, workers=workers)
    env.reset(0)
    actions = np.ones(64, np.int32)
    def window():
        before = resident_bytes()
        for _ in range(100_000):
            env.step(actions)
            env.get_logs()
        return resident_bytes() - before

    window()  # allocators and the pool settle in the first window
    grown = window()
    assert grown < 256 << 10, f"resident memory grew by {grown} bytes over 100000 steps"


def test_instances_release_their_engines():
    """Each instance below holds about 4 MB of columns; 200 of them must not add up."""
    before = resident_bytes()
    for _ in range(200):
        env = zimbrel.PyCartPoleVecEnv(100_000, workers=2)
        env.reset(1)
        env.step(np.zeros(100_000, np.int32))
        del env
    assert resident_bytes() - before < 16 << 20
