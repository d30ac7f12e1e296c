#!/usr/bin/env python3
"""Benchmark of the graph variants: limited penetrable, windowed, weighted,
directed and degree-only calls, against ts2vg and against kaltrope's own plain
calls.

Every figure is a ratio of two medians measured in the same run on the same
input (absolute times on a shared machine are noisy); each time is given as its
median and its range (min-max) over the runs. Rows comparing two kaltrope
calls run them alternately. ts2vg compares divided slopes with a tolerance and
loses some edges; the differences are counted (checked exactly, every edge
only kaltrope returned had at most `penetrable` blockers). The ts2vg time includes turning
its output into the same arrays kaltrope returns: ``np.asarray(g.edges)``,
split into an (E, 2) int64 edge array and a float64 weight array when
weighted. Each pair of results is compared as edge sets; a difference is
printed as a WARNING.

The memory row runs each call in a fresh process and reports the growth of the
peak resident size (VmHWM, reset just before the call) against the size of the
edge array that natural_visibility_edges returns for the same series.

Usage:
    python benchmarks/bench_variants.py            # full sizes, several minutes
    python benchmarks/bench_variants.py --quick    # smaller inputs, fewer runs
"""

from __future__ import annotations

import argparse
import gc
import json
import statistics
import subprocess
import sys
import textwrap
import time

import numpy as np

import _kaltrope as kt

try:
    import ts2vg
except ImportError:
    sys.exit("ts2vg is needed as the benchmark peer: pip install ts2vg")

WARNINGS: list[str] = []
ROWS: list[tuple] = []


def log(message: str) -> None:
    print(message, file=sys.stderr, flush=True)


def measure(function, runs: int):
    """(median, min, max, last result) of the wall times of runs calls."""
    times, result = [], None
    for _ in range(runs):
        result = None
        gc.collect()
        gc.disable()
        try:
            start = time.perf_counter()
            result = function()
            times.append(time.perf_counter() - start)
        finally:
            gc.enable()
    return statistics.median(times), min(times), max(times), result


def measure_pair(first, second, runs: int):
    """measure() of two calls, run alternately so that both see the same load."""
    a, b = [], []
    results = [None, None]
    for _ in range(runs):
        # Only the last result of each is kept: holding every run's edges
        # would hand each call untouched memory, whose first touch on a
        # virtual machine costs more than the call.
        results = [None, None]
        *times, results[0] = measure(first, 1)
        a.append(times[0])
        *times, results[1] = measure(second, 1)
        b.append(times[0])

    def summary(times, result):
        return statistics.median(times), min(times), max(times), result

    return summary(a, results[0]), summary(b, results[1])


def shown(seconds: float) -> str:
    return f"{seconds * 1e3:.1f} ms" if seconds < 1 else f"{seconds:.2f} s"


def timing(m) -> str:
    return f"{shown(m[0])} ({shown(m[1])}–{shown(m[2])})"


def edge_set(edges) -> set:
    e = np.asarray(edges, dtype=np.int64).reshape(-1, 2)
    return set(zip(np.minimum(e[:, 0], e[:, 1]).tolist(), np.maximum(e[:, 0], e[:, 1]).tolist()))


def compare(name: str, ours, theirs) -> None:
    a, b = edge_set(ours), edge_set(theirs)
    if a != b:
        WARNINGS.append(f"{name}: {len(a - b)} edges only in kaltrope, {len(b - a)} only in the reference")


def row(workload, n, ours, reference_name, reference, target, better_when_faster=True):
    ratio = reference[0] / ours[0]
    met = ratio >= target if better_when_faster else ratio <= target
    ROWS.append((workload, n, timing(ours), reference_name, timing(reference), ratio, target, met))


def ts2vg_edges(graph_class, y, **options):
    graph = graph_class(**options).build(y)
    return np.asarray(graph.edges, dtype=np.int64).reshape(-1, 2)


def ts2vg_weighted(graph_class, y, **options):
    raw = np.asarray(graph_class(**options).build(y).edges, dtype=np.float64).reshape(-1, 3)
    return raw[:, :2].astype(np.int64), raw[:, 2].copy()


def bench_penetrable(cfg) -> None:
    n = cfg.penetrable_n
    rng = np.random.default_rng(cfg.seed)
    for label, y in (("uniform random", rng.random(n)), ("Gaussian random walk", np.cumsum(rng.standard_normal(n)))):
        for p in (1, 3):
            log(f"[natural penetrable={p}] {label} n={n}")
            ours = measure(lambda: kt.natural_visibility_edges(y, penetrable=p), cfg.runs)
            peer = measure(lambda: ts2vg_edges(ts2vg.NaturalVG, y, penetrable_limit=p), cfg.peer_runs)
            compare(f"natural penetrable={p} {label}", ours[3], peer[3])
            row(f"natural, penetrable={p}, {label}", n, ours, "ts2vg", peer, 10)


def bench_horizontal(cfg) -> None:
    n = cfg.big_n
    y = np.random.default_rng(cfg.seed + 1).random(n)
    log(f"[horizontal penetrable=2] uniform random n={n}")
    ours = measure(lambda: kt.horizontal_visibility_edges(y, penetrable=2), cfg.runs)
    peer = measure(lambda: ts2vg_edges(ts2vg.HorizontalVG, y, penetrable_limit=2), cfg.peer_runs)
    compare("horizontal penetrable=2", ours[3], peer[3])
    row("horizontal, penetrable=2, uniform random", n, ours, "ts2vg", peer, 10)


def bench_weighted(cfg) -> None:
    n = cfg.big_n
    y = np.random.default_rng(cfg.seed + 2).random(n)
    if not cfg.own:
        log(f"[natural weight=distance] uniform random n={n}")
        ours = measure(lambda: kt.natural_visibility_edges(y, weight="distance"), cfg.runs)
        peer = measure(lambda: ts2vg_weighted(ts2vg.NaturalVG, y, weighted="distance"), cfg.peer_runs)
        compare("natural weight=distance", ours[3][0], peer[3][0])
        row('natural, weight="distance", uniform random', n, ours, "ts2vg weighted", peer, 10)
    log("[natural direction=top_to_bottom]")
    directed, plain = measure_pair(lambda: kt.natural_visibility_edges(y, direction="top_to_bottom"),
                                   lambda: kt.natural_visibility_edges(y), cfg.runs)
    compare("top_to_bottom", directed[3], plain[3])
    # Here the target is an upper bound on directed / plain.
    ROWS.append(('natural, direction="top_to_bottom", uniform random', n, timing(directed),
                 "kaltrope plain call", timing(plain), directed[0] / plain[0], "≤ 1.2 (time ratio)",
                 directed[0] / plain[0] <= 1.2))


def bench_window(cfg) -> None:
    n = cfg.big_n
    y = np.cumsum(np.random.default_rng(cfg.seed + 3).standard_normal(n))
    log(f"[natural window=100] Gaussian random walk n={n}")
    ours, full = measure_pair(lambda: kt.natural_visibility_edges(y, window=100),
                              lambda: kt.natural_visibility_edges(y), cfg.runs)
    kept = full[3][full[3][:, 1] - full[3][:, 0] <= 100]
    if not np.array_equal(kept, ours[3]):
        WARNINGS.append("window=100: not the full graph's pairs within the window, in its order")
    row("natural, window=100, Gaussian random walk", n, ours, "kaltrope full graph", full, 5)


def bench_degrees(cfg) -> None:
    n = cfg.big_n
    y = np.cumsum(np.random.default_rng(cfg.seed + 3).standard_normal(n))
    log(f"[natural degrees] Gaussian random walk n={n}")
    ours, edges = measure_pair(lambda: kt.natural_visibility_degrees(y),
                               lambda: kt.natural_visibility_edges(y), cfg.runs)
    if not np.array_equal(np.bincount(edges[3].ravel(), minlength=n), ours[3]):
        WARNINGS.append("degrees differ from the bincount of the edges")
    row("natural degrees, Gaussian random walk", n, ours, "kaltrope natural_visibility_edges", edges, 2)
    cfg.memory = memory_rows(n, cfg.seed + 3)


MEMORY_CHILD = textwrap.dedent("""
    import json, sys
    import numpy as np
    import _kaltrope as kt

    def kib(key):
        with open("/proc/self/status") as f:
            return next(int(line.split()[1]) for line in f if line.startswith(key + ":"))

    which, n, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    y = np.cumsum(np.random.default_rng(seed).standard_normal(n))
    call = kt.natural_visibility_degrees if which == "degrees" else kt.natural_visibility_edges
    call(y[:50000])                          # the worker pool and first-call costs
    before = kib("VmRSS")
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")                         # resets VmHWM to the current size
    result = call(y)
    print(json.dumps({"growth": (kib("VmHWM") - before) * 1024, "nbytes": int(result.nbytes)}))
""")


def memory_rows(n: int, seed: int) -> dict:
    out = {}
    for which in ("edges", "degrees"):
        log(f"[memory] natural {which}, Gaussian random walk n={n}, in a fresh process")
        proc = subprocess.run([sys.executable, "-c", MEMORY_CHILD, which, str(n), str(seed)],
                              capture_output=True, text=True)
        if proc.returncode != 0:
            WARNINGS.append(f"memory run of {which} failed: {proc.stderr.strip()[-300:]}")
            continue
        out[which] = json.loads(proc.stdout.strip().splitlines()[-1])
    return out


def print_report(cfg) -> None:
    print("| workload | n | kaltrope median (range) | reference | reference median (range) | ratio | target | met |")
    print("|---|---:|---:|---|---:|---:|---|---|")
    for workload, n, ours, name, reference, ratio, target, met in ROWS:
        goal = target if isinstance(target, str) else f"≥ {target}×"
        print(f"| {workload} | {n:,} | {ours} | {name} | {reference} | {ratio:.2f} | {goal} | "
              f"{'yes' if met else '**no**'} |")
    memory = getattr(cfg, "memory", None)
    if memory and "edges" in memory and "degrees" in memory:
        edge_bytes = memory["edges"]["nbytes"]
        print()
        print("| call (natural, Gaussian random walk) | peak RSS growth | share of the edge array "
              f"({edge_bytes / 2**20:.0f} MiB) |")
        print("|---|---:|---:|")
        for which in ("edges", "degrees"):
            growth = memory[which]["growth"]
            print(f"| natural_visibility_{which} | {growth / 2**20:.1f} MiB | {100 * growth / edge_bytes:.1f} % |")
    for warning in WARNINGS:
        print(f"\nWARNING: {warning}")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="smaller inputs and fewer runs")
    parser.add_argument("--seed", type=int, default=20240601)
    parser.add_argument("--own", action="store_true", help="only the rows that compare kaltrope with itself")
    args = parser.parse_args()
    cfg = argparse.Namespace(seed=args.seed)
    if args.quick:
        cfg.penetrable_n, cfg.big_n, cfg.runs, cfg.peer_runs = 10_000, 200_000, 3, 2
    else:
        cfg.penetrable_n, cfg.big_n, cfg.runs, cfg.peer_runs = 100_000, 1_000_000, 7, 3
    kt.natural_visibility_edges(np.random.default_rng(0).random(100_000))  # start the worker pool
    cfg.own = args.own
    benches = (bench_weighted, bench_window, bench_degrees)
    if not args.own:
        benches = (bench_penetrable, bench_horizontal) + benches
    for bench in benches:
        bench(cfg)
    print_report(cfg)
    return 0


if __name__ == "__main__":
    sys.exit(main())
