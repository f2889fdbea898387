"""Scalar float32 model of the cart-pole engine, one environment at a time.

Every operation is a numpy float32 operation, so each result is rounded to
single precision in the order written, as the engine computes it.
"""

import numpy as np

from libm import cosf, sinf
from reference_rng import Xoshiro256

f = np.float32
TAU = f(0.02)
GRAVITY = f(9.8)
TOTAL_MASS = f(1.1)
POLE_MASS_LENGTH = f(0.05)
NEG_POLE_MASS = f(-0.1)
HALF_LENGTH = f(0.5)
FOUR_THIRDS = f(1.3333334)
POSITION_LIMIT = f(2.4)
ANGLE_LIMIT = f(0.20943952)
MAX_STEPS = 200


def initial_state(seed):
    rng = Xoshiro256(seed)
    return [rng.symmetric(0.05) for _ in range(4)]


def poly_sin(x):
    t = x * x
    return (t * (x * t)) * f(0.008333334) + ((x * t) * f(-0.16666667) + x)


def poly_cos(x):
    t = x * x
    return (t * t) * f(0.041666668) + (f(1) - t * f(0.5))


def scalar_force(action):
    a = float(action)
    truncated = 0 if a != a else int(max(min(a, 2**31 - 1), -(2**31)))
    return f(10.0) if truncated == 1 else f(-10.0)


def block_force(action):
    return f(action) * f(20) + f(-10)


def advance(state, force, sin_t, cos_t):
    """One Euler step; returns (new_state, terminal)."""
    x, x_dot, theta, theta_dot = state
    temp = (((theta_dot * POLE_MASS_LENGTH) * theta_dot) * sin_t + force) / TOTAL_MASS
    alpha = (sin_t * GRAVITY - cos_t * temp) / ((((cos_t * NEG_POLE_MASS) * cos_t) / TOTAL_MASS + FOUR_THIRDS) * HALF_LENGTH)
    acc = temp - ((alpha * POLE_MASS_LENGTH) * cos_t) / TOTAL_MASS
    new = [x + x_dot * TAU, acc * TAU + x_dot, theta + theta_dot * TAU, alpha * TAU + theta_dot]
    terminal = abs(new[0]) > POSITION_LIMIT or abs(new[2]) > ANGLE_LIMIT
    return new, terminal


def step_scalar(state, action):
    return advance(state, scalar_force(action), sinf(state[2]), cosf(state[2]))


def step_block_lane(state, action):
    return advance(state, block_force(action), poly_sin(state[2]), poly_cos(state[2]))


class CartPoleModel:
    """Reference for `num_envs` environments stepped with automatic reset.

    `parallel=True` models the chunked parallel step (scalar form everywhere);
    otherwise environments below 8 * (num_envs // 8) take the eight-lane form.
    """

    def __init__(self, num_envs, parallel=False):
        self.n = num_envs
        self.parallel = parallel
        self.state = [[f(0)] * 4 for _ in range(num_envs)]
        self.seeds = list(range(num_envs))
        self.steps = [0] * num_envs
        self.returns = [f(0)] * num_envs

    def reset(self, seed):
        for i in range(self.n):
            self.seeds[i] = (seed + i) & (2**64 - 1)
            self.state[i] = initial_state(self.seeds[i])
            self.steps[i] = 0
            self.returns[i] = f(0)
        return self.observations()

    def observations(self):
        return np.array(self.state, dtype=np.float32)

    def step(self, actions):
        blocked = 0 if self.parallel else self.n // 8 * 8
        rewards = np.zeros(self.n, np.float32)
        terminals = np.zeros(self.n, np.uint8)
        truncations = np.zeros(self.n, np.uint8)
        for i in range(self.n):
            stepper = step_block_lane if i < blocked else step_scalar
            self.state[i], terminal = stepper(self.state[i], actions[i])
            rewards[i] = f(0) if terminal else f(1)
            terminals[i] = terminal
            self.steps[i] += 1
            truncations[i] = self.steps[i] >= MAX_STEPS
            self.returns[i] = self.returns[i] + rewards[i]
        for i in range(self.n):
            if terminals[i] or truncations[i]:
                self.seeds[i] = (self.seeds[i] + self.n) & (2**64 - 1)
                self.state[i] = initial_state(self.seeds[i])
                self.steps[i] = 0
                self.returns[i] = f(0)
        return self.observations(), rewards, terminals, truncations
