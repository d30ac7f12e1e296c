#!/usr/bin/env python3
"""Benchmark of kaltrope's sequential motif counts and vector visibility engines.

Every figure is a ratio measured in the same run on the same input, because
absolute times on a shared machine are noisy. The two sides of each ratio
are timed alternately (one run of each, repeated), so that a load that comes
and goes on the machine hits both alike; each time is the median of its runs.

1. ``visibility_motifs`` on a (16, 10^6) float64 batch, kinds "natural" and
   "horizontal", against a vectorised NumPy computation of the same counts
   (the same formulas over shifted views, the window codes, one bincount).
   NumPy is timed in two forms, over the whole batch at once and in blocks of
   2^16 windows that stay in cache; the ratio is taken against the faster.
   The counts must be identical, or the script fails.
2. ``natural_vector_visibility_edges`` on (10^5, 3) standard normal rows and
   on (10^5, 1) rows holding a Gaussian random walk, against the scalar
   ``natural_visibility_edges`` on a standard normal series of 10^5 samples
   (and, for reference, on the same random walk).

The garbage collector is disabled during each timed call, as ``timeit`` does.

Usage:
    python benchmarks/bench_vector_motifs.py            # everything, about a minute
    python benchmarks/bench_vector_motifs.py --quick    # fewer runs

Progress goes to stderr; the Markdown report goes to stdout.
"""

from __future__ import annotations

import argparse
import gc
import os
import platform
import statistics
import sys
import time

import numpy as np

try:
    import _kaltrope as kt
except ImportError as exc:  # pragma: no cover - depends on the build
    sys.exit(f"cannot import _kaltrope ({exc}); build it first with `pip install .`")


def log(msg: str) -> None:
    print(msg, file=sys.stderr, flush=True)


def timed(fn):
    gc.collect()
    gc.disable()
    try:
        t0 = time.perf_counter()
        result = fn()
        return time.perf_counter() - t0, result
    finally:
        gc.enable()


def alternate(fns: dict, repeat: int) -> tuple[dict, dict]:
    """Runs each function once per round, `repeat` rounds; median times and
    the last result of each."""
    times = {name: [] for name in fns}
    results = {}
    for _ in range(repeat):
        for name, fn in fns.items():
            results[name] = None
            dt, results[name] = timed(fn)
            times[name].append(dt)
    return {name: statistics.median(ts) for name, ts in times.items()}, results


def fmt(t: float) -> str:
    return f"{t * 1e3:.1f} ms" if t < 1.0 else f"{t:.2f} s"


# --------------------------------------------------------------------------
# NumPy peers of visibility_motifs


def _codes(w0, w1, w2, w3, horizontal: bool) -> np.ndarray:
    if horizontal:
        over_one = np.minimum(w0, w2) > w1
        next_one = np.minimum(w1, w3) > w2
        low = np.minimum(w0, w3)
        over_two = (low > w1) & (low > w2)
    else:
        rise, mid, span = w1 - w0, w2 - w0, w3 - w0
        over_one = mid > 2 * rise
        next_one = (w3 - w1) > 2 * (w2 - w1)
        over_two = (span > 3 * rise) & (2 * span > 3 * mid)
    code = over_one.astype(np.uint8)
    code += next_one.view(np.uint8) << 1
    code += over_two.view(np.uint8) << 2
    return code


def numpy_motifs_whole(Y: np.ndarray, horizontal: bool) -> np.ndarray:
    """All windows of all rows at once."""
    n = Y.shape[1]
    w = [Y[:, i:n - 3 + i] for i in range(4)]
    code = _codes(*w, horizontal).astype(np.intp)
    code += 8 * np.arange(len(Y), dtype=np.intp)[:, None]
    return np.bincount(code.ravel(), minlength=8 * len(Y)).reshape(len(Y), 8).astype(np.uint64)


def numpy_motifs_blocked(Y: np.ndarray, horizontal: bool, block: int = 1 << 16) -> np.ndarray:
    """The same, in blocks of windows small enough to stay in cache."""
    counts = np.zeros((len(Y), 8), dtype=np.uint64)
    windows = Y.shape[1] - 3
    for row in range(len(Y)):
        y = Y[row]
        for start in range(0, windows, block):
            stop = min(windows, start + block)
            w = [y[start + i:stop + i] for i in range(4)]
            counts[row] += np.bincount(_codes(*w, horizontal), minlength=8).astype(np.uint64)
    return counts


# --------------------------------------------------------------------------


def bench_motifs(repeat: int) -> list[str]:
    rng = np.random.default_rng(2024)
    Y = rng.standard_normal((16, 10**6))
    windows = Y.shape[0] * (Y.shape[1] - 3)
    lines = [
        "## visibility_motifs, (16, 10^6) float64 standard normal",
        "",
        "| kind | kaltrope | NumPy, whole batch | NumPy, blocks of 2^16 | speed-up vs faster NumPy | kaltrope windows/s |",
        "|---|---|---|---|---|---|",
    ]
    for kind in ("natural", "horizontal"):
        log(f"motifs {kind} ...")
        horizontal = kind == "horizontal"
        t, r = alternate({
            "kaltrope": lambda: kt.visibility_motifs(Y, kind),
            "whole": lambda: numpy_motifs_whole(Y, horizontal),
            "blocked": lambda: numpy_motifs_blocked(Y, horizontal),
        }, repeat)
        if not (np.array_equal(r["kaltrope"], r["whole"]) and np.array_equal(r["kaltrope"], r["blocked"])):
            sys.exit(f"visibility_motifs({kind}) differs from the NumPy counts")
        best = min(t["whole"], t["blocked"])
        lines.append(f"| {kind} | {fmt(t['kaltrope'])} | {fmt(t['whole'])} | {fmt(t['blocked'])} | "
                     f"{best / t['kaltrope']:.1f}x | {windows / t['kaltrope'] / 1e9:.2f} G |")
    return lines


def bench_vector(repeat: int) -> list[str]:
    rng = np.random.default_rng(7)
    n = 10**5
    normal3 = rng.standard_normal((n, 3))
    walk = np.cumsum(rng.standard_normal(n))
    walk1 = walk.reshape(n, 1)
    scalar = rng.standard_normal(n)
    log("vector engines ...")
    t, r = alternate({
        "scalar": lambda: kt.natural_visibility_edges(scalar),
        "vector3": lambda: kt.natural_vector_visibility_edges(normal3),
        "walk1": lambda: kt.natural_vector_visibility_edges(walk1),
        "scalar_walk": lambda: kt.natural_visibility_edges(walk),
    }, repeat)
    # With one positive feature the vector graph is the scalar graph; a walk
    # crosses zero, so only the edge counts are shown for it.
    rows = [
        ("`natural_visibility_edges`, standard normal series (reference)", "scalar"),
        ("`natural_vector_visibility_edges`, (10^5, 3) standard normal", "vector3"),
        ("`natural_vector_visibility_edges`, (10^5, 1) random walk", "walk1"),
        ("`natural_visibility_edges`, the same random walk", "scalar_walk"),
    ]
    lines = [
        "## natural_vector_visibility_edges, 10^5 rows",
        "",
        "| input | time | edges | time / reference |",
        "|---|---|---|---|",
    ]
    for label, key in rows:
        lines.append(f"| {label} | {fmt(t[key])} | {len(r[key])} | {t[key] / t['scalar']:.2f} |")
    return lines


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="fewer runs")
    args = parser.parse_args()
    repeat = 3 if args.quick else 9

    cpus = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    report = [
        "# kaltrope: motif counts and vector visibility",
        "",
        f"Python {platform.python_version()}, NumPy {np.__version__}, {cpus} CPUs available, "
        f"{platform.machine()}; medians of {repeat} alternating runs.",
        "",
    ]
    report += bench_motifs(repeat) + [""] + bench_vector(repeat)
    print("\n".join(report))


if __name__ == "__main__":
    main()
