"""PyPendulumVecEnv and PyMountainCarVecEnv as Python classes: the action dtype
each accepts, the checks of step and their messages, result arrays, sizes and
documentation. Both share the cart-pole class's machinery; these tests pin
what differs and that the shared checks reach both."""

import numpy as np
import pytest

import zimbrel

Pendulum, MountainCar = zimbrel.PyPendulumVecEnv, zimbrel.PyMountainCarVecEnv
CLASSES = [pytest.param(Pendulum, np.float32, 3, id="pendulum"), pytest.param(MountainCar, np.int32, 2, id="mountain_car")]


@pytest.fixture
def make_env():
    def make(cls, num_envs=4):
        env = cls(num_envs)
        env.reset(0)
        return env

    return make


def assert_same_results(got, want):
    for g, w in zip(got, want):
        np.testing.assert_array_equal(g, w)


@pytest.mark.parametrize("cls, dtype, width", CLASSES)
def test_results_have_the_observation_width_and_fixed_dtypes(make_env, cls, dtype, width):
    env = make_env(cls)
    obs, rewards, terminals, truncations = env.step(np.ones(4, dtype))
    assert (obs.shape, obs.dtype, obs.flags.c_contiguous) == ((4, width), np.float32, True)
    assert (rewards.shape, rewards.dtype) == ((4,), np.float32)
    assert (terminals.dtype, truncations.dtype) == (np.uint8, np.uint8)
    assert env.observation_size == width and env.reset(0).shape == (4, width)
    np.testing.assert_array_equal(env.reset(None), env.reset(0))


def test_pendulum_never_reports_terminals_and_mountain_car_rewards_minus_one(make_env):
    assert not make_env(Pendulum).step(np.full(4, 2.0, np.float32))[2].any()
    np.testing.assert_array_equal(make_env(MountainCar).step(np.array([0, 1, 2, 7], np.int32))[1], [-1] * 4)


@pytest.mark.parametrize(
    "cls, actions",
    [
        (Pendulum, np.zeros(4, np.int32)),
        (Pendulum, np.zeros(4, np.float64)),
        (Pendulum, [0.0] * 4),
        (Pendulum, np.zeros((4, 1), np.float32)),
        (Pendulum, np.zeros(4, ">f4")),
        (MountainCar, np.zeros(4, np.float32)),
        (MountainCar, np.zeros(4, np.float64)),
        (MountainCar, np.zeros(4, np.int64)),
        (MountainCar, [0] * 4),
        (MountainCar, np.zeros((4, 1), np.int32)),
    ],
    ids=[
        "pendulum-int32",
        "pendulum-float64",
        "pendulum-list",
        "pendulum-2d",
        "pendulum-big-endian",
        "mountain_car-float32",
        "mountain_car-float64",
        "mountain_car-int64",
        "mountain_car-list",
        "mountain_car-2d",
    ],
)
def test_wrong_types_raise_type_error_naming_actions(make_env, cls, actions):
    with pytest.raises(TypeError, match="actions"):
        make_env(cls).step(actions)


@pytest.mark.parametrize("cls, dtype, width", CLASSES)
@pytest.mark.parametrize(
    "shape_of, message",
    [
        (lambda dtype: np.zeros(8, dtype)[::2], "^Actions must be a contiguous C-order array$"),
        (lambda dtype: np.zeros(3, dtype), "^Expected 4 actions, got 3$"),
        (lambda dtype: np.zeros(5, dtype), "^Expected 4 actions, got 5$"),
        (lambda dtype: np.zeros(0, dtype), "^Expected 4 actions, got 0$"),
    ],
    ids=["strided", "short", "long", "empty"],
)
def test_bad_layouts_raise_value_error(make_env, cls, dtype, width, shape_of, message):
    with pytest.raises(ValueError, match=message):
        make_env(cls).step(shape_of(dtype))


@pytest.mark.parametrize("cls, dtype, width", CLASSES)
def test_refused_steps_leave_the_instance_unchanged(make_env, cls, dtype, width):
    env, twin = make_env(cls), make_env(cls)
    other = np.int32 if dtype == np.float32 else np.float32
    for bad in (np.zeros(3, dtype), np.zeros(8, dtype)[::2], np.zeros(4, other)):
        with pytest.raises((TypeError, ValueError)):
            env.step(bad)
    actions = np.array([0, 1, 2, 1], dtype)
    assert_same_results(env.step(actions), twin.step(actions))
    assert env.get_logs() == twin.get_logs()


@pytest.mark.parametrize("workers", [1, 2])
def test_pendulum_reads_unaligned_torques_in_place(workers):
    raw = bytearray(4 * 64 + 1)
    unaligned = np.frombuffer(raw, np.float32, count=64, offset=1)
    assert not unaligned.flags.aligned
    env, twin = Pendulum(64, workers=workers), Pendulum(64, workers=workers)
    assert_same_results(env.step(unaligned), twin.step(np.zeros(64, np.float32)))


@pytest.mark.parametrize("cls, dtype, width", CLASSES)
@pytest.mark.parametrize("num_envs", [2**48, 2**62, 2**64 - 1])
def test_sizes_that_cannot_be_allocated_raise_memory_error(cls, dtype, width, num_envs):
    with pytest.raises(MemoryError):
        cls(num_envs)


@pytest.mark.parametrize(
    "cls, name, step_lines, reset_line",
    [
        (
            Pendulum,
            "Pendulum",
            [
                "* `actions` - numpy array of shape (num_envs,) with dtype float32, continuous torque values [-2.0, 2.0]",
                "- observations: shape (num_envs, 3), dtype float32 (cos(theta), sin(theta), theta_dot)",
                "- terminals: shape (num_envs,), dtype uint8 (always 0, Pendulum has no terminal state)",
            ],
            "Returns observations as a numpy array of shape (num_envs, 3).",
        ),
        (
            MountainCar,
            "MountainCar",
            [
                "* `actions` - numpy array of shape (num_envs,) with dtype int32, values 0, 1, or 2",
                "- observations: shape (num_envs, 2), dtype float32",
                "- terminals: shape (num_envs,), dtype uint8",
            ],
            "Returns observations as a numpy array of shape (num_envs, 2).",
        ),
    ],
)
def test_documentation(cls, name, step_lines, reset_line):
    assert (cls.__name__, cls.__module__) == (f"Py{name}VecEnv", "builtins")
    assert cls.__text_signature__ == "(num_envs, workers=None)"
    assert cls.__doc__.startswith(f"High-performance vectorized {name} environment.\n\n")
    assert (cls.step.__text_signature__, cls.reset.__text_signature__) == ("($self, actions)", "($self, seed)")
    lines = cls.step.__doc__.splitlines()
    assert all(line in lines for line in step_lines)
    assert reset_line in cls.reset.__doc__.splitlines()
