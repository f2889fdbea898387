"""Train a cart-pole policy with REINFORCE while zimbrel's monitor watches.

The policy is a softmax over a linear function of the observation, trained
with REINFORCE against a learned linear baseline on many environments stepped
in parallel by PyCartPoleVecEnv. Every iteration feeds the monitor real
figures: steps, episodes, mean episode reward, steps per second, the policy
and baseline losses and the policy's entropy, and the monitor writes each of
them to a CSV log.

The run stops when the mean episode reward reaches 195 (episodes end at 200
steps), when you press q, or after --max-seconds. Keys while the monitor runs:
q quit, p pause drawing, m switch view. Without a terminal (a pipe, CI) the
script prints plain progress lines instead of starting the monitor.

    python examples/train_cartpole.py [--envs 64] [--workers 2] [--csv run.csv]
"""

import argparse
import sys
import time

import numpy as np

import zimbrel

OBSERVATION_SIZE = 4
ACTIONS = 2


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--envs", type=int, default=64, help="environments stepped together")
    parser.add_argument("--workers", type=int, default=2, help="threads stepping them")
    parser.add_argument("--horizon", type=int, default=200, help="steps per environment per iteration")
    parser.add_argument("--target", type=float, default=195.0, help="mean episode reward that ends the run")
    parser.add_argument("--max-seconds", type=float, default=120.0, help="give up after this long")
    parser.add_argument("--csv", default="run.csv", help="CSV log of every update (monitor only)")
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--plain", action="store_true", help="print progress lines even on a terminal")
    return parser.parse_args()


class Adam:
    """Adam on one parameter array, updated in place."""

    def __init__(self, shape, learning_rate, beta1=0.9, beta2=0.999, epsilon=1e-8):
        self.learning_rate, self.beta1, self.beta2, self.epsilon = learning_rate, beta1, beta2, epsilon
        self.m, self.v, self.t = np.zeros(shape), np.zeros(shape), 0

    def step(self, parameters, gradient):
        self.t += 1
        self.m = self.beta1 * self.m + (1 - self.beta1) * gradient
        self.v = self.beta2 * self.v + (1 - self.beta2) * gradient**2
        m_hat = self.m / (1 - self.beta1**self.t)
        v_hat = self.v / (1 - self.beta2**self.t)
        parameters -= self.learning_rate * m_hat / (np.sqrt(v_hat) + self.epsilon)


def with_bias(observations):
    return np.concatenate([observations, np.ones(observations.shape[:-1] + (1,))], axis=-1)


class LinearPolicy:
    """Softmax over logits = [obs, 1] @ weights."""

    def __init__(self, rng, learning_rate=0.03, entropy_bonus=0.01):
        self.weights = rng.normal(0.0, 0.01, (OBSERVATION_SIZE + 1, ACTIONS))
        self.optimizer = Adam(self.weights.shape, learning_rate)
        self.entropy_bonus = entropy_bonus

    def probabilities(self, features):
        logits = features @ self.weights
        logits -= logits.max(axis=-1, keepdims=True)
        exp = np.exp(logits)
        return exp / exp.sum(axis=-1, keepdims=True)

    def act(self, features, rng):
        p = self.probabilities(features)
        return (rng.random(len(p)) < p[:, 1]).astype(np.int32)

    def train(self, features, actions, advantages):
        """One gradient step on -mean(log pi(a|s) * A) - bonus * entropy;
        returns (policy loss, entropy)."""
        p = self.probabilities(features)
        chosen = np.take_along_axis(p, actions[:, None], axis=1)[:, 0]
        log_p = np.log(p + 1e-12)
        entropy = -(p * log_p).sum(axis=1)
        loss = -np.mean(np.log(chosen + 1e-12) * advantages)
        # d(-log pi(a)) / d logits = pi - onehot(a); the entropy term adds pi * (log pi + H).
        grad_logits = (p - np.eye(ACTIONS)[actions]) * advantages[:, None]
        grad_logits += self.entropy_bonus * p * (log_p + entropy[:, None])
        self.optimizer.step(self.weights, features.T @ grad_logits / len(features))
        return float(loss), float(entropy.mean())


class LinearBaseline:
    """State-value estimate, linear in [obs, obs**2, 1], refitted each iteration."""

    def __init__(self):
        self.weights = np.zeros(2 * OBSERVATION_SIZE + 1)

    @staticmethod
    def features(observations):
        return np.concatenate([observations, observations**2, np.ones(observations.shape[:-1] + (1,))], axis=-1)

    def predict(self, observations):
        return self.features(observations) @ self.weights

    def fit(self, observations, returns):
        """Ridge regression; returns the mean squared error before the fit."""
        x = self.features(observations)
        error = float(np.mean((x @ self.weights - returns) ** 2))
        self.weights = np.linalg.solve(x.T @ x + 1e-3 * np.eye(x.shape[1]), x.T @ returns)
        return error


def discounted_returns(rewards, finished, last_values, gamma):
    """Returns-to-go per environment, restarting where an episode finished
    and bootstrapping from the baseline where the rollout cut one short."""
    returns = np.empty_like(rewards)
    running = last_values
    for t in range(len(rewards) - 1, -1, -1):
        running = rewards[t] + gamma * running * (1.0 - finished[t])
        returns[t] = running
    return returns


class Trainer:
    def __init__(self, args):
        self.args = args
        self.rng = np.random.default_rng(args.seed)
        self.env = zimbrel.PyCartPoleVecEnv(args.envs, workers=args.workers)
        self.observations = self.env.reset(args.seed)
        self.policy = LinearPolicy(self.rng)
        self.baseline = LinearBaseline()
        self.steps = 0
        self.episodes = 0
        self.mean_reward = 0.0

    def rollout(self):
        horizon, n = self.args.horizon, self.args.envs
        observations = np.empty((horizon, n, OBSERVATION_SIZE))
        actions = np.empty((horizon, n), dtype=np.int32)
        rewards = np.empty((horizon, n))
        finished = np.empty((horizon, n))
        for t in range(horizon):
            observations[t] = self.observations
            actions[t] = self.policy.act(with_bias(self.observations), self.rng)
            self.observations, reward, terminal, truncated = self.env.step(actions[t])
            rewards[t] = reward
            finished[t] = terminal | truncated
        return observations, actions, rewards, finished

    def iteration(self, gamma=0.99):
        """Collects one rollout and trains on it; returns (policy loss, value loss, entropy)."""
        observations, actions, rewards, finished = self.rollout()
        self.steps += rewards.size
        returns = discounted_returns(rewards, finished, self.baseline.predict(self.observations), gamma)
        flat_observations = observations.reshape(-1, OBSERVATION_SIZE)
        flat_returns = returns.reshape(-1)
        advantages = flat_returns - self.baseline.predict(flat_observations)
        advantages = (advantages - advantages.mean()) / (advantages.std() + 1e-8)
        value_loss = self.baseline.fit(flat_observations, flat_returns)
        policy_loss, entropy = self.policy.train(with_bias(flat_observations), actions.reshape(-1), advantages)
        self.read_episode_statistics()
        return policy_loss, value_loss, entropy

    def read_episode_statistics(self):
        logs = self.env.get_logs()
        self.env.clear_logs()
        if logs["episode_count"] > 0:
            self.episodes += int(logs["episode_count"])
            self.mean_reward = logs["mean_reward"]


def run(trainer, report, should_stop):
    """Trains until solved, stopped or out of time; returns the reason."""
    args = trainer.args
    started = time.monotonic()
    while True:
        policy_loss, value_loss, entropy = trainer.iteration()
        elapsed = time.monotonic() - started
        report(trainer, trainer.steps / elapsed, policy_loss, value_loss, entropy)
        if trainer.mean_reward >= args.target:
            return "solved"
        if should_stop():
            return "stopped by the user"
        if elapsed > args.max_seconds:
            return "out of time"


def main():
    args = parse_arguments()
    trainer = Trainer(args)
    started = time.monotonic()
    on_terminal = sys.stdout.isatty() and not args.plain
    if on_terminal:
        logger = zimbrel.TUILogger(mode="dashboard", render_interval_ms=100, csv_path=args.csv)

        def report(t, sps, policy_loss, value_loss, entropy):
            logger.update(t.steps, t.episodes, t.mean_reward, sps, policy_loss=policy_loss,
                          value_loss=value_loss, entropy=entropy)

        try:
            outcome = run(trainer, report, logger.should_quit)
        finally:
            logger.close()
    else:
        last_print = [0.0]

        def report(t, sps, policy_loss, value_loss, entropy):
            # A line per half second, and the last one whatever its timing.
            if time.monotonic() - last_print[0] < 0.5 and t.mean_reward < args.target:
                return
            last_print[0] = time.monotonic()
            print(f"steps {t.steps:>9,}  episodes {t.episodes:>6,}  mean reward {t.mean_reward:6.1f}  "
                  f"sps {sps:>9,.0f}  policy loss {policy_loss:+.4f}  value loss {value_loss:8.2f}  "
                  f"entropy {entropy:.3f}", flush=True)

        outcome = run(trainer, report, lambda: False)

    seconds = time.monotonic() - started
    print(f"{outcome}: mean episode reward {trainer.mean_reward:.1f} after {trainer.steps:,} steps, "
          f"{trainer.episodes:,} episodes, {seconds:.1f} s ({trainer.steps / seconds:,.0f} steps/s)")
    if on_terminal:
        print(f"every update is in {args.csv}")
    return 0 if outcome != "out of time" else 1


if __name__ == "__main__":
    sys.exit(main())
