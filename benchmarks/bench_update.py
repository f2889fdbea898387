"""What the monitor costs a training loop.

1. One `TUILogger.update` call, without and with a CSV log, side by side in one
   run with tqdm's `update(1)` on a progress bar that is not redrawing and with
   rich's `Progress.update` (no auto-refresh). Every figure is the best of
   several rounds of the same plain Python loop, in nanoseconds per call.
2. The CPU that the render and monitor threads use while a run is idle at the
   default intervals, measured on a pseudo-terminal so that the render thread
   really draws, over 10 s per view.

    python benchmarks/bench_update.py [--quick]

Prints both tables and keeps the figures in benchmarks/results/update.json.
"""

import argparse
import fcntl
import json
import os
import platform
import pty
import select
import struct
import sys
import tempfile
import termios
import time
from pathlib import Path

import rich.console
import rich.progress
import tqdm

import zimbrel

RESULTS = Path(__file__).resolve().parent / "results"
ROUNDS = 7


def best_ns_per_call(loop, calls):
    loop(calls // 10)  # warm up
    best = float("inf")
    for _ in range(ROUNDS):
        start = time.perf_counter_ns()
        loop(calls)
        best = min(best, (time.perf_counter_ns() - start) / calls)
    return best


def zimbrel_loop(logger, losses=False):
    update = logger.update
    if losses:  # keywords written out, as a training loop writes them
        def loop(calls):
            for i in range(calls):
                update(i, i, 1.5, 1000.0, policy_loss=0.25, value_loss=0.5, entropy=0.6)
    else:
        def loop(calls):
            for i in range(calls):
                update(i, i, 1.5, 1000.0)
    return loop


def tqdm_loop(devnull):
    bar = tqdm.tqdm(total=None, file=devnull, mininterval=3600.0)
    update = bar.update

    def loop(calls):
        for _ in range(calls):
            update(1)
    return loop, bar


def rich_loop(devnull):
    progress = rich.progress.Progress(auto_refresh=False, console=rich.console.Console(file=devnull))
    task = progress.add_task("train", total=None)
    update = progress.update

    def loop(calls):
        for _ in range(calls):
            update(task, advance=1)
    return loop


def empty_loop(calls):
    for _ in range(calls):
        pass


def measure_update_cost(calls):
    with open(os.devnull, "w") as devnull, tempfile.TemporaryDirectory() as scratch:
        # Both loggers live through the whole measurement, like in a training run.
        plain = zimbrel.TUILogger()
        logged = zimbrel.TUILogger(csv_path=os.path.join(scratch, "run.csv"))
        tqdm_update, bar = tqdm_loop(devnull)
        contenders = {
            "zimbrel update, no CSV": zimbrel_loop(plain),
            "zimbrel update, no CSV, 3 loss keywords": zimbrel_loop(plain, losses=True),
            "zimbrel update, CSV": zimbrel_loop(logged),
            "zimbrel update, CSV, 3 loss keywords": zimbrel_loop(logged, losses=True),
            "tqdm update(1), not redrawing": tqdm_update,
            "rich Progress.update(advance=1)": rich_loop(devnull),
            "empty loop (overhead in every row)": empty_loop,
        }
        results = {name: best_ns_per_call(loop, calls) for name, loop in contenders.items()}
        bar.close()
        plain.close()
        logged.close()
    return results


# --- Idle CPU of the monitor's threads -------------------------------------

IDLE_CHILD = """
import os, sys, time, zimbrel
logger = zimbrel.TUILogger(mode=sys.argv[1])
logger.update(123456, 789, 195.5, 45678.0, policy_loss=0.1, value_loss=0.2, entropy=0.6)
time.sleep(1.0)  # past the start-up and the first frames
before = os.times()
time.sleep(float(sys.argv[2]))
after = os.times()
logger.close()
with open(sys.argv[3], "w") as out:
    out.write(repr((after.user - before.user + after.system - before.system, after.elapsed - before.elapsed)))
"""


def idle_cpu_percent(mode, seconds, rows=40, columns=140):
    """Percent of one core used by a process whose main thread sleeps while
    the monitor shows `mode` on a pseudo-terminal."""
    with tempfile.NamedTemporaryFile("r", suffix=".txt") as result:
        pid, master = pty.fork()
        if pid == 0:
            os.execv(sys.executable, [sys.executable, "-c", IDLE_CHILD, mode, str(seconds), result.name])
        fcntl.ioctl(master, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        while True:  # the terminal's reader: drain what the monitor draws
            ready, _, _ = select.select([master], [], [], 0.1)
            try:
                if ready and not os.read(master, 65536):
                    break
            except OSError:
                break
            if os.waitpid(pid, os.WNOHANG)[0]:
                break
        os.close(master)
        cpu, wall = eval(result.read())
    return 100.0 * cpu / wall


def print_table(title, header, rows):
    print(f"\n{title}\n")
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    line = lambda cells: "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for row in rows:
        print(line(row))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="fewer calls, 2 s idle runs")
    args = parser.parse_args()
    calls = 50_000 if args.quick else 500_000
    seconds = 2.0 if args.quick else 10.0

    costs = measure_update_cost(calls)
    tqdm_ns = costs["tqdm update(1), not redrawing"]
    print_table(
        f"Cost of one call (best of {ROUNDS} rounds of {calls:,} calls; Python {platform.python_version()})",
        ["call", "ns per call", "vs tqdm update(1)"],
        [[name, f"{ns:.0f}", f"{ns / tqdm_ns:.2f}x"] for name, ns in costs.items()],
    )

    idle = {mode: idle_cpu_percent(mode, seconds) for mode in ("minimal", "dashboard", "chart")}
    print_table(
        f"CPU of the render and monitor threads, idle at the default intervals ({seconds:.0f} s, 140x40 terminal)",
        ["view", "% of one core"],
        [[mode, f"{percent:.2f}"] for mode, percent in idle.items()],
    )

    RESULTS.mkdir(exist_ok=True)
    record = {
        "python": platform.python_version(),
        "machine": platform.machine(),
        "cpus": os.cpu_count(),
        "calls_per_round": calls,
        "rounds": ROUNDS,
        "ns_per_call": costs,
        "idle_seconds": seconds,
        "idle_cpu_percent": idle,
    }
    (RESULTS / "update.json").write_text(json.dumps(record, indent=2) + "\n")


if __name__ == "__main__":
    main()
