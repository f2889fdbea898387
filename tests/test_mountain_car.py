"""The mountain-car engine behind PyMountainCarVecEnv: its paths against a float32
reference model, the walls, the goal, push values, seeding and buffer lengths."""

import math

import numpy as np
import pytest

import zimbrel
from engine_model import MAX_STEPS, chunk_bounds, floor_chunk_size
from libm import cosf
from mountain_car_reference import FORCE, GRAVITY, MountainCarModel, initial_position, step_one
from reference_rng import Xoshiro256

f = np.float32
MountainCar = zimbrel.PyMountainCarVecEnv
_testkit = pytest.importorskip("_zimbrel_testkit")

# (num_envs, workers) reaching the batched groups, the scalar tail and the parallel path.
PATHS = [(1, 1), (9, 1), (9, 2)]


def pumping(obs, rng):
    """Push along the velocity (which reaches the goal and the left wall), with
    some random pushes and out-of-range values mixed in."""
    actions = np.where(obs[:, 1] >= 0, 2, 0).astype(np.int32)
    noise = rng.random(len(actions)) < 0.1
    actions[noise] = rng.choice(np.array([0, 1, 2, 3, -1, 7], np.int32), noise.sum())
    return actions


def assert_same_results(got, want):
    for g, w in zip(got, want):
        np.testing.assert_array_equal(g, w)


def step_from(position, velocity, pushes, workers=1, steps_done=0, auto_reset=True):
    """One engine step from a chosen state, through the testkit."""
    out = _testkit.mountain_car_step(position, velocity, pushes, workers, steps_done, auto_reset)
    out["observations"] = np.array(out["observations"], np.float32).reshape(-1, 2)
    return out


@pytest.mark.parametrize(
    "num_envs, workers", [(1, 1), (7, 1), (8, 1), (9, 1), (17, 1), (9, 2), (10, 4), (100, 3), (20, 2**40)]
)
def test_every_path_matches_the_reference_model(num_envs, workers):
    env, model = MountainCar(num_envs, workers=workers), MountainCarModel(num_envs, workers)
    obs = env.reset(8)
    np.testing.assert_array_equal(obs, model.reset(8))
    rng = np.random.default_rng(num_envs)
    at_wall = goals = 0
    for _ in range(2 * MAX_STEPS + 10):
        actions = pumping(obs, rng)
        got = env.step(actions)
        assert_same_results(got, model.step(actions))
        obs = got[0]
        at_wall += int((obs[:, 0] == f(-1.2)).sum())
        goals += int(got[2].sum())
    assert goals > 0 and at_wall > 0
    logs = env.get_logs()
    assert logs["total_reward"] == model.total_reward
    assert (logs["episode_count"], logs["total_steps"]) == (model.episode_count, model.total_steps)


def test_one_and_four_workers_agree():
    runs = []
    for workers in (1, 4):
        env = MountainCar(50, workers=workers)
        obs = env.reset(3)
        rng = np.random.default_rng(0)
        results = [obs]
        for _ in range(250):
            step = env.step(pumping(obs, rng))
            obs = step[0]
            results.extend(step)
        runs.append((results, env.get_logs()))
    assert_same_results(runs[0][0], runs[1][0])
    # Every return is a whole number, so even the summation order cannot matter.
    assert runs[0][1] == runs[1][1]


class TestWalls:
    @pytest.mark.parametrize("num_envs, workers", PATHS)
    def test_car_pressed_against_the_left_wall_stops(self, num_envs, workers):
        out = step_from([-1.19] * num_envs, [-0.03] * num_envs, [0] * num_envs, workers)
        assert (out["observations"][:, 0] == f(-1.2)).all()
        velocity = out["observations"][:, 1]
        assert (velocity == 0).all() and not np.signbit(velocity).any()

    @pytest.mark.parametrize("num_envs, workers", PATHS)
    def test_car_at_the_left_wall_moving_right_keeps_its_velocity(self, num_envs, workers):
        # A velocity one unit in the last place above cancelling gravity: the car
        # moves right too little to leave -1.2, and must not be stopped.
        pull = cosf(f(-1.2) * f(3)) * GRAVITY + (f(0) + f(-1)) * FORCE
        velocity = np.nextafter(-pull, f(1))
        out = step_from([-1.2] * num_envs, [velocity] * num_envs, [0] * num_envs, workers)
        expected_velocity = pull + velocity
        assert expected_velocity > 0
        np.testing.assert_array_equal(out["observations"], [[f(-1.2), expected_velocity]] * num_envs)

    def test_car_passing_the_right_end_is_held_at_0_6_and_is_terminal(self):
        out = step_from([0.58, 0.2], [0.05, 0.05], [2, 2], workers=2, auto_reset=False)
        p, v, terminal = step_one(f(0.58), f(0.05), 2)
        assert (p, terminal) == (f(0.6), True) and v > f(0.05)
        np.testing.assert_array_equal(out["observations"][0], [p, v])
        assert out["terminals"] == [1, 0]


class TestGoal:
    @pytest.mark.parametrize("num_envs, workers", PATHS)
    def test_reaching_the_goal_reports_the_next_episode(self, num_envs, workers):
        env = MountainCar(num_envs, workers=workers)
        obs = env.reset(30)
        for step in range(1, MAX_STEPS):
            obs, rewards, terminals, truncations = env.step(np.where(obs[:, 1] >= 0, 2, 0).astype(np.int32))
            if terminals[0]:
                break
        assert terminals[0] == 1 and truncations[0] == 0 and rewards[0] == -1
        np.testing.assert_array_equal(obs[0], [initial_position(30 + 1), 0.0])
        logs = env.get_logs()
        finished = int(terminals.sum())
        assert logs["episode_count"] == finished and logs["total_steps"] == finished * step
        assert logs["total_reward"] == -finished * step
        assert env.step(np.ones(num_envs, np.int32))[2][0] == 0

    @pytest.mark.parametrize("num_envs, workers", PATHS)
    def test_arriving_exactly_at_0_5_is_the_goal(self, num_envs, workers):
        p = f(0.45)
        pull = cosf(p * f(3)) * GRAVITY + (f(1) + f(-1)) * FORCE
        velocity = (f(0.5) - p) - pull
        assert step_one(p, velocity, 1) == (f(0.5), f(0.5) - p, True)
        out = step_from([p] * num_envs, [velocity] * num_envs, [1] * num_envs, workers)
        assert out["terminals"] == [1] * num_envs and out["log"] == (-num_envs, num_envs, num_envs)

    @pytest.mark.parametrize("num_envs, workers", PATHS)
    def test_goal_on_the_last_step_counts_one_episode(self, num_envs, workers):
        out = step_from([0.49] * num_envs, [0.05] * num_envs, [2] * num_envs, workers, steps_done=MAX_STEPS - 1)
        assert out["terminals"] == out["truncations"] == [1] * num_envs
        assert out["log"] == (-num_envs, num_envs, MAX_STEPS * num_envs)


@pytest.mark.parametrize("num_envs, workers", [(9, 1), (9, 2)])
@pytest.mark.parametrize("push", [0, 1, 2, 3, 7, -1, 2**31 - 1, -(2**31)])
def test_any_push_value_acts_through_the_force_formula(push, num_envs, workers):
    env, model = MountainCar(num_envs, workers=workers), MountainCarModel(num_envs, workers)
    env.reset(12)
    model.reset(12)
    actions = np.full(num_envs, push, np.int32)
    for _ in range(3):
        assert_same_results(env.step(actions), model.step(actions))


def test_push_seven_adds_six_thousandths():
    p, v = f(-0.5), f(0.0)
    out = step_from([p], [v], [7], auto_reset=False)
    gravity_only = step_from([p], [v], [1], auto_reset=False)
    assert out["observations"][0, 1] == (cosf(p * f(3)) * GRAVITY + f(0.006)) + v
    assert gravity_only["observations"][0, 1] == (cosf(p * f(3)) * GRAVITY + f(0.0)) + v


@pytest.mark.parametrize("num_envs, workers", PATHS)
def test_nan_push_spoils_the_state_until_truncation(num_envs, workers):
    nan = [math.nan] * num_envs
    out = step_from([-0.5] * num_envs, [0.0] * num_envs, nan, workers)
    assert np.isnan(out["observations"]).all() and out["terminals"] == [0] * num_envs
    out = step_from([math.nan] * num_envs, [math.nan] * num_envs, nan, workers, steps_done=MAX_STEPS - 1)
    assert out["truncations"] == [1] * num_envs and out["terminals"] == [0] * num_envs
    np.testing.assert_array_equal(out["observations"], [[initial_position(i), 0.0] for i in range(num_envs)])
    assert out["seeds"] == [i + 1 for i in range(num_envs)]


class TestSeeding:
    def test_reset_starts_at_rest_between_minus_0_6_and_minus_0_4(self):
        env = MountainCar(500)
        obs = env.reset(2**64 - 250)
        assert (obs[:, 1] == 0).all() and (obs[:, 0] >= f(-0.6)).all() and (obs[:, 0] < f(-0.4)).all()
        expected = [initial_position((2**64 - 250 + i) % 2**64) for i in range(500)]
        np.testing.assert_array_equal(obs[:, 0], expected)
        np.testing.assert_array_equal(env.reset(2**64 - 250), obs)
        np.testing.assert_array_equal(env.reset(None), env.reset(0))

    def test_start_width_is_one_ulp_above_0_2(self):
        def position(seed, width):
            return Xoshiro256(seed).uniform() * width + f(-0.6)

        seed = next(s for s in range(1000) if position(s, f(0.20000002)) != position(s, f(0.2)))
        assert MountainCar(1).reset(seed)[0, 0] == position(seed, f(0.20000002)) == initial_position(seed)

    def test_stepping_before_any_reset_starts_at_the_origin(self):
        env, model = MountainCar(9), MountainCarModel(9)
        ones = np.ones(9, np.int32)
        assert_same_results(env.step(ones), model.step(ones))


def test_parallel_chunks_round_down_with_a_floor_of_eight():
    size, ranges = _testkit.chunk_ranges(10, 4, "floor")
    assert size == 8 == floor_chunk_size(10, 4)
    assert [end - begin for begin, end in ranges] == [8, 2, 0, 0]
    assert [r for r in ranges if r[1] > r[0]] == chunk_bounds(10, 4, 8) == [(0, 8), (8, 10)]


@pytest.mark.parametrize("workers", [1, 2])
@pytest.mark.parametrize(
    "operation, length",
    [
        ("step_auto_reset", 8),
        ("step_auto_reset", 10),
        ("step_parallel", 0),
        ("write_observations", 17),
        ("write_observations", 19),
        ("write_observations", 9),
        ("write_rewards", 8),
        ("write_terminals", 18),
        ("write_truncations", 10),
    ],
)
def test_engine_refuses_wrong_lengths_and_changes_nothing(operation, length, workers):
    assert _testkit.call_with_length("mountain_car", 9, workers, operation, length) == (False, True, True)
