"""The chunked parallel step on the worker pool."""

import os
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import zimbrel
from cartpole_reference import CartPoleModel

_testkit = pytest.importorskip("_zimbrel_testkit")
CartPole = zimbrel.PyCartPoleVecEnv


def run(env, steps, seed=11, num_envs=None):
    """Steps with a fixed action pattern (including 2 and -1); returns every result."""
    num_envs = num_envs or env.num_envs
    rng = np.random.default_rng(seed)
    results = [env.reset(seed)]
    for _ in range(steps):
        results.extend(env.step(rng.choice(np.array([0, 1, 2, -1, 1], np.int32), num_envs)))
    return results


@pytest.mark.parametrize("num_envs", [10, 100])
@pytest.mark.parametrize("workers", [2, 3, 4, 16, 1000, 2**40])
def test_parallel_results_match_scalar_model_for_any_worker_count(num_envs, workers):
    """Every environment takes the scalar form, so the results do not depend on the
    worker count, and action 2 pushes left (where the eight-lane form pushes with 30)."""
    env = CartPole(num_envs, workers=workers)
    model = CartPoleModel(num_envs, parallel=True)
    got = run(env, 40)
    want = run(model, 40, num_envs=num_envs)
    for g, w in zip(got, want):
        np.testing.assert_array_equal(g, w)
    reference = CartPole(num_envs, workers=2)
    run(reference, 40)
    assert env.get_logs() == reference.get_logs()


@pytest.mark.parametrize(
    "num_envs, workers, chunk_size, lengths",
    [
        (100, 3, 32, [32, 32, 36]),
        (100, 4, 24, [24, 24, 24, 28]),
        (10, 4, 8, [8, 2, 0, 0]),
        (100, 16, 8, [8] * 12 + [4, 0, 0, 0]),
        (16, 1, 16, [16]),
    ],
)
def test_chunk_plan_examples(num_envs, workers, chunk_size, lengths):
    size, ranges = _testkit.chunk_ranges(num_envs, workers, "floor")
    assert size == chunk_size
    assert [end - begin for begin, end in ranges] == lengths
    nonempty = [r for r in ranges if r[1] > r[0]]
    assert [b for b, _ in nonempty] == [sum(lengths[:k]) for k in range(len(nonempty))]


def test_statistics_fold_in_chunk_order():
    """Once the running total passes 2**24, single-precision additions round, so
    the fold order shows: chunk records are summed one after another, in chunk order."""
    num_envs, workers = 1 << 18, 3
    env = CartPole(num_envs, workers=workers)
    _, ranges = _testkit.chunk_ranges(num_envs, workers, "floor")
    env.reset(0)
    returns = np.zeros(num_envs, np.float32)
    chunk_order = np.float32(0)
    one_sum = np.float32(0)
    actions = np.ones(num_envs, np.int32)
    while chunk_order < 2**25:
        _, rewards, terminals, truncations = env.step(actions)
        returns += rewards
        done = (terminals | truncations).astype(bool)
        finished = np.where(done, returns, np.float32(0))
        for begin, end in ranges:  # each chunk total is a small whole number, exact in float32
            chunk_order = chunk_order + np.float32(finished[begin:end].sum(dtype=np.float64))
        one_sum = one_sum + np.float32(finished.sum(dtype=np.float64))
        returns[done] = 0
    assert env.get_logs()["total_reward"] == chunk_order
    assert chunk_order != one_sum  # the check above can tell the orders apart


def test_parallel_step_works_in_forked_child():
    """A child forked after a parallel step has no pool threads; it must build its own."""
    script = textwrap.dedent(
        """
        import os, numpy as np, zimbrel
        env = zimbrel.PyCartPoleVecEnv(64, workers=4)
        env.reset(0)
        env.step(np.ones(64, np.int32))
        pid = os.fork()
        if pid == 0:
            for _ in range(50):
                env.step(np.ones(64, np.int32))
            os._exit(0)
        _, status = os.waitpid(pid, 0)
        print(os.waitstatus_to_exitcode(status))
        """
    )
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert out.stdout.strip() == "0", out.stderr


def test_parallel_step_from_several_python_threads():
    """Two threads with their own environments share the pool; each result stays exact."""
    import threading

    results = {}

    def work(name):
        env = CartPole(64, workers=3)
        results[name] = run(env, 100, seed=3)

    threads = [threading.Thread(target=work, args=(n,)) for n in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for n in (1, 2):
        for a, b in zip(results[0], results[n]):
            np.testing.assert_array_equal(a, b)
