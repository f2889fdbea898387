"""Cart-pole dynamics, seeding, automatic reset and statistics, checked against
the float32 reference model bit for bit."""

import numpy as np
import pytest

import zimbrel
from cartpole_reference import CartPoleModel, initial_state

CartPole = zimbrel.PyCartPoleVecEnv


def bits(a):
    return np.asarray(a, dtype=np.float32).view(np.uint32)


def assert_same_step(got, want):
    for g, w in zip(got, want):
        np.testing.assert_array_equal(bits(g) if g.dtype == np.float32 else g, bits(w) if w.dtype == np.float32 else w)


@pytest.mark.parametrize("num_envs", [1, 8])  # scalar form, eight-lane block
@pytest.mark.parametrize(
    "action, expected",
    [
        (1, [0x00000000, 0x3E47CE0D, 0x00000000, 0xBE95DA89]),
        (0, [0x00000000, 0xBE47CE0D, 0x00000000, 0x3E95DA89]),
    ],
)
def test_first_step_from_all_zero_state(num_envs, action, expected):
    obs, rewards, terminals, truncations = CartPole(num_envs).step(np.full(num_envs, action, np.int32))
    assert obs.shape == (num_envs, 4)
    for row in bits(obs):
        assert [int(v) for v in row] == expected
    assert rewards.tolist() == [1.0] * num_envs
    assert terminals.tolist() == truncations.tolist() == [0] * num_envs


@pytest.mark.parametrize("num_envs", [1, 2, 7, 8, 9, 16, 17])
def test_block_and_remainder_follow_their_own_forms(num_envs):
    """Blocks of eight use the polynomial trig and the linear force map, the
    remainder the library functions; random actions include 2 and -1, where
    the two force rules disagree."""
    env, model = CartPole(num_envs), CartPoleModel(num_envs)
    all_scalar = CartPoleModel(num_envs, parallel=True)
    rng = np.random.default_rng(num_envs)
    np.testing.assert_array_equal(bits(env.reset(123)), bits(model.reset(123)))
    all_scalar.reset(123)
    scalar_everywhere = True
    for _ in range(60):
        actions = rng.choice(np.array([0, 1, 1, 0, 2, -1], np.int32), num_envs)
        obs = env.step(actions)
        assert_same_step(obs, model.step(actions))
        scalar_everywhere &= np.array_equal(obs[0], all_scalar.step(actions)[0])
    assert scalar_everywhere == (num_envs < 8)


@pytest.mark.parametrize("seed", [0, 5, 2**64 - 3])
def test_reset_draws_from_seed_plus_index_with_wraparound(seed):
    num_envs = 5
    obs = CartPole(num_envs).reset(seed)
    for i in range(num_envs):
        want = initial_state((seed + i) % 2**64)
        np.testing.assert_array_equal(bits(obs[i]), bits(want))
        assert np.all(np.abs(obs[i]) < 0.05)


def test_automatic_resets_advance_seed_by_num_envs():
    """Episode e of environment i starts from seed s + i + e * num_envs."""
    num_envs, seed = 3, 2**64 - 4
    env = CartPole(num_envs)
    env.reset(seed)
    episodes = [0] * num_envs
    actions = np.ones(num_envs, np.int32)
    for _ in range(200):
        obs, _, terminals, truncations = env.step(actions)
        for i in np.flatnonzero(terminals | truncations).tolist():
            episodes[i] += 1
            want = initial_state((seed + i + episodes[i] * num_envs) % 2**64)
            np.testing.assert_array_equal(bits(obs[i]), bits(want))
    assert min(episodes) >= 2


def test_reset_twice_with_same_seed_gives_same_observations():
    env = CartPole(10)
    first = env.reset(42)
    env.step(np.ones(10, np.int32))
    np.testing.assert_array_equal(env.reset(42), first)


def test_reset_clears_flags_and_keeps_statistics():
    env = CartPole(2)
    env.reset(0)
    while True:
        _, _, terminals, _ = env.step(np.ones(2, np.int32))
        if terminals.any():
            break
    logs = env.get_logs()
    env.reset(1)
    assert env.get_logs() == logs
    _, rewards, terminals, truncations = env.step(np.zeros(2, np.int32))
    assert terminals.tolist() == [0, 0] and truncations.tolist() == [0, 0]


def balancing_actions(obs):
    x, x_dot, theta, theta_dot = obs.T
    return ((theta * 10 + theta_dot * 2 + x * 0.1 + x_dot * 0.5) > 0).astype(np.int32)


def run_until_done(env, policy):
    """Steps one environment until its episode ends; returns (length, last flags)."""
    obs = env.reset(7)
    for length in range(1, 201):
        obs, reward, terminal, truncated = env.step(policy(obs, length))
        if terminal[0] or truncated[0]:
            return length, reward[0], terminal[0], truncated[0]
    raise AssertionError("episode did not end within 200 steps")


def test_episode_that_terminates_on_its_tenth_step():
    model = CartPoleModel(1)
    seed = next(s for s in range(1000) if _termination_step(model, s) == 10)
    env = CartPole(1)
    env.reset(seed)
    for step in range(1, 11):
        _, reward, terminal, truncated = env.step(np.ones(1, np.int32))
        assert terminal[0] == (step == 10) and reward[0] == (step != 10)
    assert env.get_logs() == {
        "episode_count": 1.0, "total_reward": 9.0, "total_steps": 10.0, "mean_reward": 9.0, "mean_length": 10.0,
    }


def _termination_step(model, seed):
    model.reset(seed)
    for step in range(1, 201):
        _, _, terminal, _ = model.step([1])
        if terminal[0]:
            return step
    return None


def test_balanced_episode_is_truncated_at_200_with_return_200():
    env = CartPole(1)
    length, reward, terminal, truncated = run_until_done(env, lambda obs, _: balancing_actions(obs))
    assert (length, reward, terminal, truncated) == (200, 1.0, 0, 1)
    logs = env.get_logs()
    assert (logs["episode_count"], logs["total_reward"], logs["total_steps"]) == (1.0, 200.0, 200.0)


@pytest.mark.parametrize("num_envs", [1, 8])  # scalar form, eight-lane block
def test_terminal_and_truncated_on_same_step_counts_once(num_envs):
    """Balance, then push right from the step that makes environment 0 fall exactly on its 200th step."""
    def policy_switching_at(switch):
        return lambda obs, step: balancing_actions(obs) if step < switch else np.ones(num_envs, np.int32)

    switch = next(
        s for s in range(199, 150, -1) if run_until_done(CartPole(num_envs), policy_switching_at(s))[::2] == (200, 1)
    )
    env = CartPole(num_envs)
    policy = policy_switching_at(switch)
    obs = env.reset(7)
    episodes = total_steps = 0
    lengths = np.zeros(num_envs, int)
    for step in range(1, 201):
        obs, rewards, terminals, truncations = env.step(policy(obs, step))
        lengths += 1
        done = (terminals | truncations).astype(bool)
        episodes += int(done.sum())
        total_steps += int(lengths[done].sum())
        lengths[done] = 0
        if done[0]:
            break
    assert step == 200 and (rewards[0], terminals[0], truncations[0]) == (0.0, 1, 1)
    logs = env.get_logs()
    assert (logs["episode_count"], logs["total_steps"]) == (episodes, total_steps)


def test_statistics_and_clear_logs():
    env = CartPole(16)
    assert env.get_logs() == dict.fromkeys(["episode_count", "total_reward", "total_steps", "mean_reward", "mean_length"], 0.0)
    env.reset(3)
    completed_returns, completed_lengths = [], []
    returns, lengths = np.zeros(16), np.zeros(16)
    for _ in range(100):
        _, rewards, terminals, truncations = env.step(np.ones(16, np.int32))
        returns += rewards
        lengths += 1
        for i in np.flatnonzero(terminals | truncations):
            completed_returns.append(returns[i])
            completed_lengths.append(lengths[i])
            returns[i] = lengths[i] = 0
    logs = env.get_logs()
    assert logs["episode_count"] == len(completed_returns) > 0
    assert logs["total_reward"] == sum(completed_returns)
    assert logs["total_steps"] == sum(completed_lengths)
    assert logs["mean_reward"] == pytest.approx(np.mean(completed_returns), rel=1e-6)
    assert logs["mean_length"] == pytest.approx(np.mean(completed_lengths), rel=1e-6)

    env.clear_logs()
    assert set(env.get_logs().values()) == {0.0}
    # Running episodes are counted in full once they end, even across the clear.
    while env.get_logs()["episode_count"] == 0:
        _, rewards, terminals, truncations = env.step(np.ones(16, np.int32))
        returns += rewards
        lengths += 1
        done = np.flatnonzero(terminals | truncations)
    assert env.get_logs()["total_steps"] == sum(lengths[done])


@pytest.mark.parametrize("workers", [None, 0, 1])
def test_single_worker_values_take_the_single_thread_path(workers):
    """With one worker (or 0, or None) the block form runs: action 2 pushes with force 30."""
    env, model = CartPole(8, workers=workers), CartPoleModel(8)
    env.reset(1), model.reset(1)
    actions = np.full(8, 2, np.int32)
    assert_same_step(env.step(actions), model.step(actions))


@pytest.mark.parametrize("value", [2, -1, 3, 2**31 - 1, -(2**31)])
@pytest.mark.parametrize("num_envs", [1, 8, 9])
def test_odd_action_values_follow_the_force_rules(value, num_envs):
    env, model = CartPole(num_envs), CartPoleModel(num_envs)
    env.reset(9), model.reset(9)
    actions = np.full(num_envs, value, np.int32)
    with np.errstate(over="ignore", invalid="ignore"):
        for _ in range(5):
            assert_same_step(env.step(actions), model.step(actions))
