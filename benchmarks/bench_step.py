"""Environment steps per second of `step`, side by side with Gymnasium's and
EnvPool's vectorised environments and with the engine's own C++ loop.

    python benchmarks/bench_step.py [--env cartpole|pendulum|mountain_car ...] [--quick]

Prints one table per environment (and the ratios), keeps the raw figures in
benchmarks/results/step_<env>.json and draws benchmarks/results/step_<env>.png.
Each figure is the best of a few timed rounds, and all contenders for one
num_envs are measured together, so the ratios hold on a noisy machine.
"""

import argparse
import json
import os
import platform
import time
import warnings
from pathlib import Path

import numpy as np

import zimbrel
import _zimbrel_testkit as testkit

RESULTS = Path(__file__).resolve().parent / "results"
NUM_ENVS = [1, 8, 64, 1024, 16384, 262144]
WORKERS = [1, 2]


class EnvSpec:
    """What the benchmark needs to know about one environment."""

    def __init__(self, name, zimbrel_class, gym_id, envpool_id, gym_mode, random_actions):
        self.name = name
        self.zimbrel_class = zimbrel_class
        self.gym_id = gym_id
        self.envpool_id = envpool_id
        self.gym_mode = gym_mode
        self.random_actions = random_actions


def discrete_actions(n_actions):
    return lambda rng, n, dtype: rng.integers(0, n_actions, n).astype(dtype)


ENVS = {
    "cartpole": EnvSpec("cartpole", zimbrel.PyCartPoleVecEnv, "CartPole-v1", "CartPole-v1", "vector_entry_point",
                        discrete_actions(2)),
    # Gymnasium has no vector entry point for these two: its synchronous vector env is their vectorised form.
    "pendulum": EnvSpec("pendulum", zimbrel.PyPendulumVecEnv, "Pendulum-v1", "Pendulum-v1", "sync",
                        lambda rng, n, dtype: rng.uniform(-2.0, 2.0, n).astype(dtype)),
    "mountain_car": EnvSpec("mountain_car", zimbrel.PyMountainCarVecEnv, "MountainCar-v0", "MountainCar-v0", "sync",
                            discrete_actions(3)),
}


def best_rate(step, num_envs, budget):
    """Best environment-steps per second over three rounds of about `budget` seconds."""
    step()  # warm up
    calls = 1
    while True:  # find a call count that fills the budget
        start = time.perf_counter()
        for _ in range(calls):
            step()
        elapsed = time.perf_counter() - start
        if elapsed > budget / 4 or calls > 1 << 22:
            break
        calls *= 4
    calls = max(1, int(calls * budget / max(elapsed, 1e-9)))
    best = 0.0
    for _ in range(3):
        start = time.perf_counter()
        for _ in range(calls):
            step()
        best = max(best, num_envs * calls / (time.perf_counter() - start))
    return best


def stepping_rate(env, spec, num_envs, integer_dtype, budget, torque_column=False):
    """Rate of env.step over four fixed random action arrays taken in turn.
    Torques are float32, as a column of shape (num_envs, 1) for the peers."""
    torques = "Pendulum" in spec.gym_id
    dtype = np.float32 if torques else integer_dtype
    actions = [spec.random_actions(np.random.default_rng(i), num_envs, dtype) for i in range(4)]
    if torques and torque_column:
        actions = [a.reshape(num_envs, 1) for a in actions]
    counter = iter(range(1 << 62))
    return best_rate(lambda: env.step(actions[next(counter) & 3]), num_envs, budget)


def measure_zimbrel(spec, num_envs, workers, budget):
    env = spec.zimbrel_class(num_envs, workers=workers)
    env.reset(0)
    return stepping_rate(env, spec, num_envs, np.int32, budget)


def measure_engine(spec, num_envs, workers, budget):
    """The C++ loop alone: the same work as `step` minus the Python layer."""
    steps = max(10, int(2e6 / num_envs))
    best = 0.0
    seconds = testkit.engine_loop_seconds(spec.name, num_envs, workers, steps)
    steps = max(10, int(steps * budget / max(seconds, 1e-9)))
    for _ in range(3):
        best = max(best, num_envs * steps / testkit.engine_loop_seconds(spec.name, num_envs, workers, steps))
    return best


def measure_gymnasium(spec, num_envs, budget):
    import gymnasium

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        if spec.gym_mode == "vector_entry_point":
            env = gymnasium.make_vec(spec.gym_id, num_envs=num_envs, vectorization_mode="vector_entry_point")
        else:
            env = gymnasium.make_vec(spec.gym_id, num_envs=num_envs, vectorization_mode="sync")
        env.reset(seed=0)
        rate = stepping_rate(env, spec, num_envs, np.int64, budget, torque_column=True)
    env.close()
    return rate


def measure_envpool(spec, num_envs, budget):
    import envpool

    threads = min(2, num_envs)
    env = envpool.make(spec.envpool_id, env_type="gymnasium", num_envs=num_envs, num_threads=threads)
    env.reset()
    rate = stepping_rate(env, spec, num_envs, np.int32, budget, torque_column=True)
    env.close()
    return rate


def measure(spec, sizes, budget):
    rows = []
    for n in sizes:
        row = {"num_envs": n}
        for w in WORKERS:
            row[f"zimbrel_w{w}"] = measure_zimbrel(spec, n, w, budget)
            row[f"engine_w{w}"] = measure_engine(spec, n, w, budget)
        row["gymnasium"] = measure_gymnasium(spec, n, budget)
        row["envpool"] = measure_envpool(spec, n, budget)
        rows.append(row)
        print(f"  measured num_envs={n}", flush=True)
    return rows


def fmt_rate(rate):
    if rate is None:
        return "-"
    return f"{rate / 1e6:.2f}M" if rate >= 1e6 else f"{rate / 1e3:.1f}K"


def table(spec, rows):
    head = ["num_envs", "zimbrel w1", "zimbrel w2", "engine w1", "engine w2", "gymnasium", "envpool",
            "vs envpool", "vs gymnasium", "layer cost w1", "layer cost w2", "step µs (w1)"]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for r in rows:
        best = max(r["zimbrel_w1"], r["zimbrel_w2"])
        cells = [str(r["num_envs"])] + [fmt_rate(r[k]) for k in
                                        ("zimbrel_w1", "zimbrel_w2", "engine_w1", "engine_w2", "gymnasium", "envpool")]
        cells.append(f"{best / r['envpool']:.1f}×")
        cells.append(f"{best / r['gymnasium']:.1f}×" if r["gymnasium"] else "-")
        for w in WORKERS:
            cells.append(f"{(r[f'engine_w{w}'] / r[f'zimbrel_w{w}'] - 1) * 100:+.0f} %")
        cells.append(f"{r['num_envs'] / r['zimbrel_w1'] * 1e6:.2f}")
        lines.append("| " + " | ".join(cells) + " |")
    return "\n".join(lines)


def plot(spec, rows, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    sizes = [r["num_envs"] for r in rows]
    fig, ax = plt.subplots(figsize=(8, 5))
    for key, label in [("zimbrel_w1", "zimbrel, 1 worker"), ("zimbrel_w2", "zimbrel, 2 workers"),
                       ("engine_w1", "engine loop (C++), 1 worker"), ("gymnasium", "Gymnasium"), ("envpool", "EnvPool")]:
        pts = [(s, r[key]) for s, r in zip(sizes, rows) if r.get(key)]
        ax.plot([p[0] for p in pts], [p[1] for p in pts], marker="o", label=label)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("num_envs")
    ax.set_ylabel("environment steps per second")
    ax.set_title(f"{spec.name}: step throughput ({os.cpu_count()} cores)")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=100)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--env", choices=sorted(ENVS), action="append")
    parser.add_argument("--quick", action="store_true", help="shorter rounds, for a smoke run")
    args = parser.parse_args()
    RESULTS.mkdir(exist_ok=True)
    budget = 0.05 if args.quick else 0.3
    for name in args.env or list(ENVS):
        spec = ENVS[name]
        print(f"{name}:", flush=True)
        rows = measure(spec, NUM_ENVS, budget)
        text = table(spec, rows)
        print(text, flush=True)
        meta = {"machine": platform.processor() or platform.machine(), "cores": os.cpu_count(),
                "python": platform.python_version(), "numpy": np.__version__, "time": time.strftime("%Y-%m-%d %H:%M")}
        (RESULTS / f"step_{name}.json").write_text(json.dumps({"meta": meta, "rows": rows}, indent=1))
        (RESULTS / f"step_{name}.md").write_text(text + "\n")
        plot(spec, rows, RESULTS / f"step_{name}.png")


if __name__ == "__main__":
    main()
