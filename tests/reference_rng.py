"""Pure-Python model of the per-environment random draws, for checking engines."""

import numpy as np

MASK = (1 << 64) - 1


def splitmix64(state):
    """Yields SplitMix64 outputs starting from `state`."""
    while True:
        state = (state + 0x9E3779B97F4A7C15) & MASK
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        yield z ^ (z >> 31)


def _rotl(x, k):
    return ((x << k) | (x >> (64 - k))) & MASK


class Xoshiro256:
    def __init__(self, seed):
        sm = splitmix64(seed & MASK)
        self.s = [next(sm) for _ in range(4)]
        if not any(self.s):
            sm = splitmix64(0)
            self.s = [next(sm) for _ in range(4)]

    def next(self):
        s = self.s
        result = (_rotl((s[1] * 5) & MASK, 7) * 9) & MASK
        t = (s[1] << 17) & MASK
        s[2] ^= s[0]
        s[3] ^= s[1]
        s[1] ^= s[2]
        s[0] ^= s[3]
        s[2] ^= t
        s[3] = _rotl(s[3], 45)
        return result

    def uniform(self):
        return np.float32(self.next() >> 40) * np.float32(2.0**-24)

    def symmetric(self, r):
        r = np.float32(r)
        return self.uniform() * (r + r) - r
