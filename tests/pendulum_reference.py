"""Scalar float32 model of the pendulum engine, one environment at a time.

Every operation is a numpy float32 operation, so each result is rounded to
single precision in the order written, as the engine computes it. The three
stepping paths are modelled separately because their numbers differ.
"""

import ctypes
import ctypes.util

import numpy as np

from engine_model import EngineModel, ceil_chunk_size
from libm import cosf, floorf, fmodf, sinf
from reference_rng import Xoshiro256

f = np.float32
DT = f(0.05)
GRAVITY_GAIN = f(15.0)
TORQUE_GAIN = f(3.0)
MAX_TORQUE = f(2.0)
MAX_SPEED = f(8.0)
TORQUE_COST = f(0.001)
SPEED_COST = f(0.1)
PI = f(np.pi)
TWO_PI = f(2 * np.pi)

_libm = ctypes.CDLL(ctypes.util.find_library("m"))
_libm.sincosf.restype = None
_libm.sincosf.argtypes = [ctypes.c_float, ctypes.POINTER(ctypes.c_float), ctypes.POINTER(ctypes.c_float)]


def sincosf(x):
    s, c = ctypes.c_float(), ctypes.c_float()
    _libm.sincosf(float(x), ctypes.byref(s), ctypes.byref(c))
    return f(s.value), f(c.value)


def fast_sin(x):
    return ((x * x) * (x * (x * x))) * f(1 / 120) + (x - (x * (x * x)) * f(1 / 6))


def fast_cos(x):
    return ((x * x) * (x * x)) * f(1 / 24) + ((x * x) * f(-0.5) + f(1))


def clamp(low, high, x):
    """min(high, max(low, x)), letting a NaN x through."""
    x = low if x < low else x
    return high if x > high else x


def initial_state(seed):
    """(theta, theta_dot) drawn from `seed`."""
    rng = Xoshiro256(seed)
    return rng.symmetric(PI), rng.symmetric(f(1.0))


def reset_observation(seed):
    theta, theta_dot = initial_state(seed)
    return [cosf(theta), sinf(theta), theta_dot]


def new_speed(theta, theta_dot, u, sine):
    return clamp(-MAX_SPEED, MAX_SPEED, ((u * TORQUE_GAIN) + (sine * GRAVITY_GAIN)) * DT + theta_dot)


def batched_step(theta, theta_dot, action):
    """Returns (theta', theta_dot', cos column, sin column, reward)."""
    u = clamp(-MAX_TORQUE, MAX_TORQUE, f(action))
    om = new_speed(theta, theta_dot, u, fast_sin(theta))
    a = (om * DT + theta) + PI
    b = (a - floorf(a / TWO_PI) * TWO_PI) + TWO_PI
    th = (b - floorf(b / TWO_PI) * TWO_PI) + (-PI)
    reward = -((u * u) * TORQUE_COST + ((om * om) * SPEED_COST + th * th))
    return th, om, fast_cos(th), fast_sin(th), reward


def scalar_step(theta, theta_dot, action, combined_sincos=False):
    """The scalar tail, or with `combined_sincos` the parallel path."""
    u = clamp(-MAX_TORQUE, MAX_TORQUE, f(action))
    om = new_speed(theta, theta_dot, u, sinf(theta))
    th = fmodf(fmodf((om * DT + theta) + PI, TWO_PI) + TWO_PI, TWO_PI) + (-PI)
    if combined_sincos:
        s, c = sincosf(th)
    else:
        c, s = cosf(th), sinf(th)
    cost = u * (u * TORQUE_COST) + (theta_dot * (theta_dot * SPEED_COST) + theta * theta)
    return th, om, c, s, -cost


class PendulumModel(EngineModel):
    chunk_size = staticmethod(ceil_chunk_size)

    def __init__(self, num_envs, workers=1):
        super().__init__(num_envs, workers)
        self.theta, self.theta_dot = [f(0)] * num_envs, [f(0)] * num_envs
        self.cos, self.sin = [f(0)] * num_envs, [f(0)] * num_envs

    def _draw(self, i, seed):
        self.theta[i], self.theta_dot[i] = initial_state(seed)
        self.cos[i], self.sin[i] = cosf(self.theta[i]), sinf(self.theta[i])

    def _advance(self, i, path, action):
        state = (self.theta[i], self.theta_dot[i], action)
        if path == "batched":
            result = batched_step(*state)
        else:
            result = scalar_step(*state, combined_sincos=path == "parallel")
        self.theta[i], self.theta_dot[i], self.cos[i], self.sin[i], reward = result
        return reward, False

    def observations(self):
        return np.array([self.cos, self.sin, self.theta_dot], np.float32).T.copy()
