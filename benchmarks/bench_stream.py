#!/usr/bin/env python3
"""Benchmark of VisibilityStream against the array functions on the same values.

Every figure is a ratio measured in the same run (medians of several runs):

* extend of 10^6 uniform random samples ("natural" in auto mode, "horizontal")
  against natural_visibility_edges / horizontal_visibility_edges of the same
  values; samples per second of the stream;
* an increasing random walk of 2*10^5 samples pushed by extend in runs of 1000,
  natural "auto" against "scan" (outputs compared);
* peak memory of a natural stream with window=1000 fed 10^6 samples (auto
  mode, and the indexed mode that keeps hull blocks), measured
  in a fresh process as the growth of the peak resident size.

Usage: python benchmarks/bench_stream.py [--quick]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

import numpy as np

import _kaltrope as kt


def median_time(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def stream_extend(kind, values, chunk=None):
    stream = kt.VisibilityStream(kind)
    if chunk is None:
        return stream.extend(values)
    return np.concatenate([stream.extend(values[i:i + chunk]) for i in range(0, len(values), chunk)])


def extend_rows(n, repeat):
    y = np.random.default_rng(1).random(n)
    rows = []
    for kind, array_fn in (("natural", kt.natural_visibility_edges), ("horizontal", kt.horizontal_visibility_edges)):
        assert np.array_equal(np.sort(stream_extend(kind, y), axis=0), np.sort(array_fn(y), axis=0))
        t_stream = median_time(lambda: stream_extend(kind, y), repeat)
        t_array = median_time(lambda: array_fn(y), repeat)
        rows.append(f"| extend, {kind}, uniform random | {n:,} | {t_stream * 1e3:.0f} ms | "
                    f"{n / t_stream / 1e6:.2f} M | {t_array * 1e3:.1f} ms | {t_stream / t_array:.1f}× |")
    return rows


def modes_row(n, repeat):
    w = np.cumsum(np.random.default_rng(2).random(n))
    auto = stream_extend("natural", w, chunk=1000)
    t_auto = median_time(lambda: stream_extend("natural", w, chunk=1000), repeat)
    start = time.perf_counter()
    scan = kt.VisibilityStream("natural", mode="scan")
    scan_edges = np.concatenate([scan.extend(w[i:i + 1000]) for i in range(0, n, 1000)])
    t_scan = time.perf_counter() - start
    assert np.array_equal(auto, scan_edges)
    return (f"| increasing walk, runs of 1000: auto vs scan | {n:,} | {t_auto * 1e3:.0f} ms | "
            f"{n / t_auto / 1e6:.2f} M | {t_scan * 1e3:.0f} ms (scan) | {t_scan / t_auto:.0f}× faster |")


# Peak resident size (VmHWM, reset through /proc/self/clear_refs) minus the
# resident size before the stream is made, in a fresh process.
MEMORY_PROBE = """
import sys, numpy as np, _kaltrope as kt
def status(key):
    return next(int(l.split()[1]) for l in open("/proc/self/status") if l.startswith(key))
n, mode = int(sys.argv[1]), sys.argv[2]
y = np.random.default_rng(3).random(n)
open("/proc/self/clear_refs", "w").write("5")
before = status("VmRSS:")
stream = kt.VisibilityStream("natural", window=1000, mode=mode)
for i in range(0, n, 10000):
    stream.extend(y[i:i + 10000])
print((status("VmHWM:") - before) / 1024)
"""


def memory_row(n, mode):
    grown = float(subprocess.check_output([sys.executable, "-c", MEMORY_PROBE, str(n), mode], text=True))
    stored = 16 * n / 2**20
    return (f"| window=1000, natural ({mode}), peak memory growth | {n:,} | {grown:.0f} MiB | | "
            f"samples stored: {stored:.0f} MiB | |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="smaller inputs, fewer runs")
    args = parser.parse_args()
    n, walk, repeat = (10**5, 2 * 10**4, 3) if args.quick else (10**6, 2 * 10**5, 5)
    print(f"- {os.cpu_count()} CPUs, Python {sys.version.split()[0]}, NumPy {np.__version__}")
    print()
    print("| workload | samples | stream | samples/s | baseline | ratio |")
    print("|---|---:|---:|---:|---:|---:|")
    for row in extend_rows(n, repeat):
        print(row, flush=True)
    print(modes_row(walk, repeat), flush=True)
    for mode in ("auto", "indexed"):
        print(memory_row(n, mode), flush=True)


if __name__ == "__main__":
    main()
