"""What the pendulum and mountain-car reference models share: the parallel
chunk plan, the seed counters, the per-episode bookkeeping and the order in
which finished episodes are summed into the statistics."""

import numpy as np

f = np.float32
MAX_STEPS = 200
MASK = 2**64 - 1


def floor_chunk_size(num_envs, workers):
    """Mountain car (and cart-pole): rounded down to a multiple of 8, at least 8."""
    q = num_envs // workers // 8 * 8
    return 8 if q < 16 else q


def ceil_chunk_size(num_envs, workers):
    """Pendulum: rounded up to a multiple of 8, 0 staying 0."""
    return (num_envs // workers + 7) // 8 * 8


def chunk_bounds(num_envs, workers, chunk_size):
    """The non-empty chunks as (begin, end) pairs in chunk order: chunk k starts at
    k * chunk_size, the last chunk runs to `num_envs`, and chunks that start at or
    beyond `num_envs` are empty (skipped without visiting them, for huge `workers`)."""
    bounds = []
    k = 0
    while chunk_size > 0 and k < workers - 1 and k * chunk_size < num_envs:
        bounds.append((k * chunk_size, min(k * chunk_size + chunk_size, num_envs)))
        k += 1
    last = (workers - 1) * chunk_size
    if last < num_envs:
        bounds.append((last, num_envs))
    return bounds


class EngineModel:
    """`num_envs` environments stepped with automatic reset.

    A subclass supplies `chunk_size(num_envs, workers)`, `_draw(i, seed)` (the
    initial state), `_advance(i, path, action)` returning (reward, terminal) for
    path "batched", "scalar" or "parallel", and `observations()`. Resetting a
    pendulum inside its chunk or after all chunks gives the same numbers, since
    environments are independent, so one step serves both engines.
    """

    chunk_size = None

    def __init__(self, num_envs, workers=1):
        self.n, self.workers = num_envs, max(workers, 1)
        self.seeds = list(range(num_envs))
        self.steps, self.returns = [0] * num_envs, [f(0)] * num_envs
        self.total_reward, self.episode_count, self.total_steps = f(0), 0, 0

    def _restart(self, i):
        self._draw(i, self.seeds[i])
        self.steps[i], self.returns[i] = 0, f(0)
        self.seeds[i] = (self.seeds[i] + 1) & MASK

    def reset(self, seed):
        for i in range(self.n):
            self.seeds[i] = (seed + i) & MASK
            self._restart(i)
        return self.observations()

    def _path(self, i):
        if self.workers >= 2:
            return "parallel"
        return "batched" if i < self.n // 8 * 8 else "scalar"

    def _statistics_groups(self):
        """Environments whose finished episodes are summed (from 0) before being
        added to the statistics: parallel chunks, or groups of eight and then singles."""
        if self.workers >= 2:
            return [range(b, e) for b, e in chunk_bounds(self.n, self.workers, self.chunk_size(self.n, self.workers))]
        batched = self.n // 8 * 8
        return [range(b, b + 8) for b in range(0, batched, 8)] + [[i] for i in range(batched, self.n)]

    def step(self, actions):
        n = self.n
        rewards = np.zeros(n, np.float32)
        terminals = np.zeros(n, np.uint8)
        truncations = np.zeros(n, np.uint8)
        for i in range(n):
            rewards[i], terminals[i] = self._advance(i, self._path(i), actions[i])
            self.steps[i] += 1
            truncations[i] = self.steps[i] >= MAX_STEPS
            self.returns[i] = self.returns[i] + rewards[i]
        finished = terminals | truncations
        for group in self._statistics_groups():
            done = [i for i in group if finished[i]]
            partial = f(0)
            for i in done:
                partial = partial + self.returns[i]
            self.total_reward = self.total_reward + partial
            self.episode_count += len(done)
            self.total_steps += sum(self.steps[i] for i in done)
        for i in range(n):
            if finished[i]:
                self._restart(i)
        return self.observations(), rewards, terminals, truncations
