"""Scalar float32 model of the mountain-car engine, one environment at a time.

Every operation is a numpy float32 operation, rounded to single precision in
the order written. All three stepping paths share these numbers; they differ
only in how finished episodes are summed into the statistics (engine_model).
"""

import numpy as np

from engine_model import EngineModel, floor_chunk_size
from libm import cosf
from reference_rng import Xoshiro256

f = np.float32
FORCE = f(0.001)
GRAVITY = f(-0.0025)
MAX_SPEED = f(0.07)
MIN_POSITION = f(-1.2)
MAX_POSITION = f(0.6)
GOAL = f(0.5)
START_LOW = f(-0.6)
START_WIDTH = f(0.20000002)


def clamp(low, high, x):
    """min(high, max(low, x)), letting a NaN x through."""
    x = low if x < low else x
    return high if x > high else x


def initial_position(seed):
    return Xoshiro256(seed).uniform() * START_WIDTH + START_LOW


def step_one(position, velocity, action):
    """Returns (position', velocity', terminal)."""
    force = (f(action) + f(-1)) * FORCE
    v = clamp(-MAX_SPEED, MAX_SPEED, (cosf(position * f(3)) * GRAVITY + force) + velocity)
    p = clamp(MIN_POSITION, MAX_POSITION, position + v)
    if p == MIN_POSITION and v < 0:
        v = f(0.0)
    return p, v, bool(p >= GOAL)


class MountainCarModel(EngineModel):
    chunk_size = staticmethod(floor_chunk_size)

    def __init__(self, num_envs, workers=1):
        super().__init__(num_envs, workers)
        self.position, self.velocity = [f(0)] * num_envs, [f(0)] * num_envs

    def _draw(self, i, seed):
        self.position[i], self.velocity[i] = initial_position(seed), f(0)

    def _advance(self, i, path, action):
        self.position[i], self.velocity[i], terminal = step_one(self.position[i], self.velocity[i], action)
        return f(-1), terminal

    def observations(self):
        return np.array([self.position, self.velocity], np.float32).T.copy()
