"""The pendulum engine behind PyPendulumVecEnv: its three stepping paths against
a float32 reference model, seeding, truncation, bad torques and buffer lengths."""

import math

import numpy as np
import pytest

import zimbrel
from engine_model import MAX_STEPS, ceil_chunk_size, chunk_bounds
from pendulum_reference import (
    PendulumModel,
    batched_step,
    fast_cos,
    fast_sin,
    reset_observation,
    scalar_step,
)

f = np.float32
Pendulum = zimbrel.PyPendulumVecEnv
_testkit = pytest.importorskip("_zimbrel_testkit")


def torques(rng, n):
    """Torques within and beyond the +-2 clamp."""
    return rng.uniform(-3.0, 3.0, n).astype(np.float32)


def assert_same_results(got, want):
    for g, w in zip(got, want):
        np.testing.assert_array_equal(g, w)


def assert_logs_match(env, model):
    logs = env.get_logs()
    assert logs["total_reward"] == model.total_reward
    assert (logs["episode_count"], logs["total_steps"]) == (model.episode_count, model.total_steps)


@pytest.mark.parametrize(
    "num_envs, workers",
    [(1, 1), (7, 1), (8, 1), (9, 1), (17, 1), (9, 2), (10, 4), (50, 4), (100, 3), (3, 8), (20, 2**40)],
)
def test_every_path_matches_the_reference_model_across_truncations(num_envs, workers):
    """Below 8 environments everything is the scalar tail; from 8 on, groups of
    eight take the batched path; with workers >= 2 every environment takes the
    parallel path. Two full episodes exercise the automatic resets and the
    order in which finished episodes are summed."""
    env, model = Pendulum(num_envs, workers=workers), PendulumModel(num_envs, workers)
    np.testing.assert_array_equal(env.reset(21), model.reset(21))
    rng = np.random.default_rng(num_envs)
    for _ in range(2 * MAX_STEPS + 5):
        actions = torques(rng, num_envs)
        assert_same_results(env.step(actions), model.step(actions))
    assert_logs_match(env, model)


def test_environment_nine_takes_the_scalar_tail():
    """Same start and torque: the eight batched lanes agree with each other,
    while environment 8 takes library sine and the reward of the old state."""
    theta, theta_dot, torque = f(0.5), f(0.25), f(1.0)
    out = _testkit.pendulum_step([theta] * 9, [theta_dot] * 9, [torque] * 9, 1, 0)
    rows = np.array(out["observations"], np.float32).reshape(9, 3)
    rewards = np.array(out["rewards"], np.float32)
    assert (rows[:8] == rows[0]).all() and (rewards[:8] == rewards[0]).all()
    assert rewards[8] != rewards[0]
    _, om, c, s, reward = batched_step(theta, theta_dot, torque)
    np.testing.assert_array_equal(rows[0], [c, s, om])
    assert rewards[0] == reward
    _, om, c, s, reward = scalar_step(theta, theta_dot, torque)
    np.testing.assert_array_equal(rows[8], [c, s, om])
    assert rewards[8] == reward == -(f(0.25) * (f(0.25) * f(0.1)) + f(0.5) * f(0.5)) - f(0.001)


@pytest.mark.parametrize("num_envs", [3, 8, 9])
def test_one_and_two_workers_differ_in_batched_rewards(num_envs):
    """The batched reward comes from the updated state, the parallel one from the
    state before the step; the scalar tail agrees with the parallel path."""
    rewards = []
    for workers in (1, 2):
        env = Pendulum(num_envs, workers=workers)
        env.reset(5)
        rewards.append(env.step(np.full(num_envs, 0.5, np.float32))[1])
    batched = num_envs // 8 * 8
    assert (rewards[0][:batched] != rewards[1][:batched]).all()
    np.testing.assert_array_equal(rewards[0][batched:], rewards[1][batched:])


def test_polynomials_at_minus_pi():
    """No range reduction: near the bottom the polynomials are far from -1 and 0."""
    x = f(-np.pi)
    assert _testkit.fast_cos(x) == fast_cos(x) == pytest.approx(0.1239, abs=1e-4)
    assert _testkit.fast_sin(x) == fast_sin(x) == pytest.approx(-0.5240, abs=1e-4)


def test_batched_observation_at_minus_pi_uses_the_polynomials():
    # A speed that cancels gravity exactly leaves the angle at -pi after the wrap.
    theta = f(-np.pi)
    theta_dot = -((fast_sin(theta) * f(15)) * f(0.05))
    out = _testkit.pendulum_step([theta] * 8, [theta_dot] * 8, [0.0] * 8, 1, 0)
    np.testing.assert_array_equal(out["observations"][:3], [fast_cos(theta), fast_sin(theta), 0.0])


@pytest.mark.parametrize("num_envs, workers", [(9, 1), (9, 2), (3, 8)])
def test_two_hundredth_step_truncates_and_resets_in_the_same_call(num_envs, workers):
    env = Pendulum(num_envs, workers=workers)
    env.reset(40)
    zeros = np.zeros(num_envs, np.float32)
    for _ in range(MAX_STEPS - 1):
        _, _, terminals, truncations = env.step(zeros)
        assert not terminals.any() and not truncations.any()
    assert env.get_logs()["episode_count"] == 0
    obs, _, terminals, truncations = env.step(zeros)
    assert truncations.all() and not terminals.any()
    # The next episode of environment i starts from seed 40 + i + 1.
    np.testing.assert_array_equal(obs, [reset_observation(40 + i + 1) for i in range(num_envs)])
    logs = env.get_logs()
    assert (logs["episode_count"], logs["total_steps"]) == (num_envs, MAX_STEPS * num_envs)
    assert not env.step(zeros)[3].any()


@pytest.mark.parametrize("num_envs, workers", [(3, 1), (8, 1), (8, 2)])
def test_torques_beyond_the_limit_are_clamped(num_envs, workers):
    results = {}
    for torque in (2.0, 5.0, -2.0, -5.0, np.inf, -np.inf):
        env = Pendulum(num_envs, workers=workers)
        env.reset(3)
        results[torque] = env.step(np.full(num_envs, torque, np.float32))
    for within, beyond in [(2.0, 5.0), (2.0, np.inf), (-2.0, -5.0), (-2.0, -np.inf)]:
        assert_same_results(results[beyond], results[within])


@pytest.mark.parametrize("num_envs, workers, victim", [(8, 1, 2), (9, 1, 8), (9, 2, 4)])
def test_nan_torque_spoils_one_episode_and_the_environment_recovers(num_envs, workers, victim):
    env, model = Pendulum(num_envs, workers=workers), PendulumModel(num_envs, workers)
    env.reset(9)
    model.reset(9)
    actions = np.full(num_envs, 0.3, np.float32)
    poisoned = actions.copy()
    poisoned[victim] = np.nan
    for step in range(1, MAX_STEPS + 2):
        a = poisoned if step == 1 else actions
        got, want = env.step(a), model.step(a)
        assert_same_results(got, want)
        healthy = np.arange(num_envs) != victim
        assert np.isfinite(got[0][healthy]).all()
        if step < MAX_STEPS:
            assert np.isnan(got[0][victim]).all() and np.isnan(got[1][victim])
    # Step 200 reset the victim: finite again, but its episode made the sum NaN.
    assert np.isfinite(got[0][victim]).all() and np.isfinite(got[1][victim])
    logs = env.get_logs()
    assert math.isnan(logs["total_reward"]) and logs["episode_count"] == num_envs


class TestSeeding:
    def test_reset_draws_from_seed_plus_index_and_wraps(self):
        env = Pendulum(3)
        np.testing.assert_array_equal(env.reset(2**64 - 2), [reset_observation(s) for s in (2**64 - 2, 2**64 - 1, 0)])
        np.testing.assert_array_equal(env.reset(None), env.reset(0))

    @pytest.mark.parametrize("workers", [1, 2])
    def test_stepping_before_any_reset_starts_upright_and_at_rest(self, workers):
        env, model = Pendulum(9, workers=workers), PendulumModel(9, workers)
        zeros = np.zeros(9, np.float32)
        got = env.step(zeros)
        assert_same_results(got, model.step(zeros))
        # Upright and at rest is an equilibrium (up to the rounding of the wrap).
        np.testing.assert_allclose(got[0], np.tile([1.0, 0.0, 0.0], (9, 1)), atol=1e-6)

    def test_same_seed_and_torques_give_identical_runs(self):
        runs = []
        for _ in range(2):
            env = Pendulum(12, workers=2)
            results = [env.reset(77)]
            for k in range(30):
                results.extend(env.step(np.full(12, k / 10 - 1.5, np.float32)))
            runs.append(results)
        assert_same_results(*runs)


@pytest.mark.parametrize(
    "num_envs, workers, chunk_size, lengths",
    [
        (100, 3, 40, [40, 40, 20]),
        (100, 4, 32, [32, 32, 32, 4]),
        (10, 4, 8, [8, 2, 0, 0]),
        (3, 8, 0, [0] * 7 + [3]),
        (100, 16, 8, [8] * 12 + [4, 0, 0, 0]),
    ],
)
def test_chunks_are_rounded_up_to_a_multiple_of_eight(num_envs, workers, chunk_size, lengths):
    size, ranges = _testkit.chunk_ranges(num_envs, workers, "ceil")
    assert size == chunk_size == ceil_chunk_size(num_envs, workers)
    assert [end - begin for begin, end in ranges] == lengths
    assert [r for r in ranges if r[1] > r[0]] == chunk_bounds(num_envs, workers, chunk_size)


@pytest.mark.parametrize("workers", [1, 2])
@pytest.mark.parametrize(
    "operation, length",
    [
        ("step_auto_reset", 8),
        ("step_auto_reset", 10),
        ("step_auto_reset", 0),
        ("step_parallel", 8),
        ("write_observations", 26),
        ("write_observations", 28),
        ("write_observations", 9),
        ("write_rewards", 10),
        ("write_terminals", 8),
        ("write_truncations", 0),
    ],
)
def test_engine_refuses_wrong_lengths_and_changes_nothing(operation, length, workers):
    assert _testkit.call_with_length("pendulum", 9, workers, operation, length) == (False, True, True)


@pytest.mark.parametrize(
    "operation, length", [("step_auto_reset", 9), ("write_observations", 27), ("write_terminals", 9)]
)
def test_engine_accepts_exact_lengths(operation, length):
    accepted, _, _ = _testkit.call_with_length("pendulum", 9, 1, operation, length)
    assert accepted
