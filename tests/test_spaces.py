"""The four space properties of every environment class."""

import math

import pytest

import zimbrel

CartPole, Pendulum, MountainCar = zimbrel.PyCartPoleVecEnv, zimbrel.PyPendulumVecEnv, zimbrel.PyMountainCarVecEnv
INF = math.inf


def box(size, low, high):
    return {"shape": (size,), "dtype": "float32", "low": low, "high": high}


SPACES = [
    (CartPole, "action_space", {"n": 2, "dtype": "int32"}),
    (
        CartPole,
        "observation_space",
        box(4, [-4.800000190734863, -INF, -0.4180000126361847, -INF], [4.800000190734863, INF, 0.4180000126361847, INF]),
    ),
    (Pendulum, "action_space", box(1, [-2.0], [2.0])),
    (Pendulum, "observation_space", box(3, [-1.0, -1.0, -8.0], [1.0, 1.0, 8.0])),
    (MountainCar, "action_space", {"n": 3, "dtype": "int32"}),
    (
        MountainCar,
        "observation_space",
        box(2, [-1.2000000476837158, -0.07000000029802322], [0.6000000238418579, 0.07000000029802322]),
    ),
]
IDS = [f"{cls.__name__}.{prop}" for cls, prop, _ in SPACES]


@pytest.mark.parametrize("cls, prop, expected", SPACES, ids=IDS)
@pytest.mark.parametrize("prefix", ["", "single_"])
@pytest.mark.parametrize("num_envs", [1, 9])
def test_space_dicts_are_exactly_as_described(cls, prop, expected, prefix, num_envs):
    space = getattr(cls(num_envs), prefix + prop)
    assert type(space) is dict
    assert list(space) == list(expected)  # insertion order, as iteration and repr show it
    assert space == expected
    for key in ("n", "dtype", "shape", "low", "high"):
        if key in space:
            assert type(space[key]) is type(expected[key])
    for key in ("low", "high"):
        if key in space:
            assert all(type(x) is float for x in space[key])


def test_unbounded_cartpole_components_are_ieee_infinities():
    space = CartPole(2).observation_space
    assert space["high"][1] == math.inf and space["low"][3] == -math.inf
    assert repr(space["low"]) == "[-4.800000190734863, -inf, -0.4180000126361847, -inf]"


@pytest.mark.parametrize("cls, prop, expected", SPACES, ids=IDS)
def test_every_read_builds_new_objects(cls, prop, expected):
    env = cls(3)
    first, second = getattr(env, prop), getattr(env, "single_" + prop)
    assert first is not second and first == second
    for key in ("low", "high"):
        if key in first:
            assert first[key] is not second[key]
            first[key].append(99.0)
    first["dtype"] = "changed"
    assert getattr(env, prop) == expected


@pytest.mark.parametrize("cls", [CartPole, Pendulum, MountainCar])
@pytest.mark.parametrize("prop", ["action_space", "observation_space", "single_action_space", "single_observation_space"])
def test_space_properties_are_read_only(cls, prop):
    with pytest.raises(AttributeError):
        setattr(cls(1), prop, {})


ACTION_HEAD = "Gymnasium-compatible action space specification.\n\n"
OBSERVATION_HEAD = "Gymnasium-compatible observation space specification.\n\n"
DISCRETE = "Returns a dict matching gymnasium.spaces.Discrete format:\n"
BOX = "Returns a dict matching gymnasium.spaces.Box format:\n"
DOCS = {
    (CartPole, "action_space"): ACTION_HEAD + DISCRETE + "- n: 2 (push left or push right)\n"
    '- dtype: "int32"',
    (CartPole, "observation_space"): OBSERVATION_HEAD + BOX +
    "- shape: (4,) for [cart_pos, cart_vel, pole_angle, pole_vel]\n"
    "- low: lower bounds (unbounded for velocities)\n- high: upper bounds (unbounded for velocities)\n"
    '- dtype: "float32"',
    (Pendulum, "action_space"): ACTION_HEAD + BOX + "- shape: (1,) for torque\n- low: -2.0\n- high: 2.0\n"
    '- dtype: "float32"',
    (Pendulum, "observation_space"): OBSERVATION_HEAD + BOX + "- shape: (3,) for [cos(theta), sin(theta), theta_dot]\n"
    '- low: lower bounds\n- high: upper bounds\n- dtype: "float32"',
    (MountainCar, "action_space"): ACTION_HEAD + DISCRETE + "- n: 3 (push left, no push, push right)\n"
    '- dtype: "int32"',
    (MountainCar, "observation_space"): OBSERVATION_HEAD + BOX + "- shape: (2,) for [position, velocity]\n"
    '- low: lower bounds\n- high: upper bounds\n- dtype: "float32"',
}


@pytest.mark.parametrize("cls, prop", list(DOCS), ids=[f"{c.__name__}.{p}" for c, p in DOCS])
def test_docstrings(cls, prop):
    assert getattr(cls, prop).__doc__ == DOCS[cls, prop]
    assert cls.single_action_space.__doc__ == "Gymnasium-compatible action space for a single environment."
    assert cls.single_observation_space.__doc__ == "Gymnasium-compatible observation space for a single environment."
