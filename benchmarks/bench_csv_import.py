#!/usr/bin/env python3
"""Benchmark of TimeSeries.from_csv_file against pandas.read_csv.

A CSV file of --rows rows (a time column and a value column, full-precision
floats, --missing of the value cells empty) is generated once. Then the two
readers take turns on it, --repeat times each, so that both see the same
machine load; each figure is the median of its runs and the ratio is
kaltrope's median over pandas' median (below 1: kaltrope is faster).

pandas reads only the same two columns (`usecols`) into a DataFrame with its
default C parser; kaltrope builds a TimeSeries. Both read the whole file from
the file system on every run (it stays in the page cache). The garbage
collector is disabled during each timed call.

The results are compared: the present values, in order, and the number of
rows. A difference is printed as a WARNING line.

kaltrope reads large texts in parallel on its worker pool, which has a
thread per CPU available to the process; pandas reads on one thread.
--single-cpu restricts the process to one CPU, for the comparison thread for
thread.

Usage:
    python benchmarks/bench_csv_import.py            # 10^6 rows, 7 runs each
    python benchmarks/bench_csv_import.py --single-cpu
    python benchmarks/bench_csv_import.py --rows 100000 --repeat 3
"""

from __future__ import annotations

import argparse
import gc
import os
import platform
import statistics
import sys
import tempfile
import time

import numpy as np

try:
    import _kaltrope as kt
except ImportError as exc:  # pragma: no cover - depends on the build
    sys.exit(f"cannot import _kaltrope ({exc}); build it first")

try:
    import pandas as pd
except ImportError:
    sys.exit("pandas is needed as the benchmark peer: pip install pandas")


def write_csv(path: str, rows: int, missing: float, seed: int) -> None:
    rng = np.random.default_rng(seed)
    times = np.cumsum(rng.uniform(0.5, 1.5, rows))
    values = np.cumsum(rng.normal(size=rows))
    gaps = rng.random(rows) < missing
    with open(path, "w", newline="") as out:
        out.write("time,value\n")
        out.writelines(f"{t!r},\n" if gap else f"{t!r},{v!r}\n"
                       for t, v, gap in zip(times.tolist(), values.tolist(), gaps.tolist()))


def timed(fn):
    gc.collect()
    gc.disable()
    try:
        start = time.perf_counter()
        result = fn()
        return time.perf_counter() - start, result
    finally:
        gc.enable()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--missing", type=float, default=0.01, help="share of empty value cells")
    parser.add_argument("--repeat", type=int, default=7, help="runs of each reader")
    parser.add_argument("--seed", type=int, default=20240601)
    parser.add_argument("--single-cpu", action="store_true", help="run on one CPU only")
    args = parser.parse_args()
    if args.single_cpu:
        # Before the first parallel call, which sizes kaltrope's worker pool.
        os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})

    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "series.csv")
        write_csv(path, args.rows, args.missing, args.seed)
        size = os.path.getsize(path)

        def read_kaltrope():
            return kt.TimeSeries.from_csv_file(path, "time", "value")

        def read_pandas():
            return pd.read_csv(path, usecols=["time", "value"])

        times = {"kaltrope": [], "pandas": []}
        for _ in range(args.repeat):
            elapsed, series = timed(read_kaltrope)
            times["kaltrope"].append(elapsed)
            elapsed, frame = timed(read_pandas)
            times["pandas"].append(elapsed)

    warnings = []
    if len(series) != len(frame):
        warnings.append(f"{len(series)} samples from kaltrope, {len(frame)} rows from pandas")
    ours, theirs = series.to_numpy(), frame["value"].dropna().to_numpy()
    if ours.shape != theirs.shape:
        warnings.append(f"{len(ours)} present values from kaltrope, {len(theirs)} from pandas")
    elif not np.array_equal(ours, theirs):
        warnings.append(f"{int(np.sum(ours != theirs))} values differ from pandas'")

    median = {name: statistics.median(runs) for name, runs in times.items()}
    print(f"CSV import of {args.rows:,} rows ({size / 2**20:.1f} MiB, {args.missing:.0%} empty value cells), "
          f"median of {args.repeat} alternating runs")
    print(f"on {platform.processor() or platform.machine()}, {len(os.sched_getaffinity(0))} CPUs used, Python "
          f"{platform.python_version()}, pandas {pd.__version__}, NumPy {np.__version__}")
    print()
    print("| reader | median | runs (min to max) |")
    print("|---|---:|---|")
    for name, call in (("kaltrope", "`TimeSeries.from_csv_file`"), ("pandas", "`pandas.read_csv`, 2 columns")):
        runs = times[name]
        print(f"| {call} | {median[name] * 1e3:.0f} ms | {min(runs) * 1e3:.0f} to {max(runs) * 1e3:.0f} ms |")
    print()
    print(f"ratio kaltrope / pandas: {median['kaltrope'] / median['pandas']:.2f}")
    for warning in warnings:
        print(f"WARNING: {warning}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
