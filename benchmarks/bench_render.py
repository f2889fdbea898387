"""Render-thread cost of one monitor redraw, per view, and the bytes it writes.

    python benchmarks/bench_render.py [--quick]

Each view is drawn through the toolkit's Terminal (into /dev/null) at 200 x 60
with full histories of 1,000 samples, with and without a GPU. Two costs are
measured in thread CPU time: a redraw in which nothing changed, and one after
a new history sample (every chart moves, so most of the screen is rewritten).
Each figure is the best of five rounds. Prints a table and keeps the figures in
benchmarks/results/render.json.
"""

import argparse
import json
import platform
from pathlib import Path

import _zimbrel_testkit as testkit

RESULTS = Path(__file__).resolve().parent / "results"
WIDTH, HEIGHT, SAMPLES = 200, 60, 1000
VIEWS = ["minimal", "dashboard", "chart"]
TARGET_CHART_MS = 2.0


def measure(view, gpu, iterations, rounds=5):
    runs = [testkit.bench_render(view, WIDTH, HEIGHT, SAMPLES, iterations, gpu) for _ in range(rounds)]
    best = min(runs, key=lambda run: run["cpu_changed"])
    best["cpu_unchanged"] = min(run["cpu_unchanged"] for run in runs)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer redraws per round")
    args = parser.parse_args()
    iterations = 20 if args.quick else 200

    rows = []
    print(f"{WIDTH} x {HEIGHT}, {SAMPLES} samples per history, best of 5 rounds of {iterations} redraws")
    print(f"{'view':<10} {'gpu':<4} {'ms new sample':>14} {'ms unchanged':>13} {'bytes first':>12} "
          f"{'bytes new sample':>17} {'bytes unchanged':>16}")
    for view in VIEWS:
        for gpu in (False, True):
            result = measure(view, gpu, iterations)
            row = {"view": view, "gpu": gpu, "ms_changed": result["cpu_changed"] * 1e3,
                   "ms_unchanged": result["cpu_unchanged"] * 1e3, "bytes_first": result["bytes_first"],
                   "bytes_changed": result["bytes_changed"], "bytes_unchanged": result["bytes_unchanged"]}
            rows.append(row)
            print(f"{view:<10} {'yes' if gpu else 'no':<4} {row['ms_changed']:>14.3f} {row['ms_unchanged']:>13.3f} "
                  f"{row['bytes_first']:>12} {row['bytes_changed']:>17} {row['bytes_unchanged']:>16}")
    worst_chart = max(row["ms_changed"] for row in rows if row["view"] == "chart")
    verdict = "within" if worst_chart < TARGET_CHART_MS else "OVER"
    print(f"chart view: {worst_chart:.3f} ms per redraw, {verdict} the {TARGET_CHART_MS} ms target")

    RESULTS.mkdir(exist_ok=True)
    record = {"width": WIDTH, "height": HEIGHT, "samples": SAMPLES, "iterations": iterations,
              "machine": platform.machine(), "python": platform.python_version(), "rows": rows}
    (RESULTS / "render.json").write_text(json.dumps(record, indent=2) + "\n")


if __name__ == "__main__":
    main()
