#!/usr/bin/env python3
"""Benchmark of pickling against the floor of pickling the edges themselves.

A natural visibility graph of 10^6 uniform random samples is pickled and
unpickled (pickle.dumps then pickle.loads, protocol 5 in band, and out of band
with its buffers handed aside) and compared with the in-band round trip of its
(E, 2) int64 edge array, timed alternately in the same run: medians and
ranges. A VisibilityStream
with its whole history is timed the same way against its values array.

Usage: python benchmarks/bench_pickle.py [--quick]
"""

import argparse
import pickle
import statistics
import time

import numpy as np

import _kaltrope as kt


def round_trip(obj, out_of_band):
    start = time.perf_counter()
    if out_of_band:
        buffers = []
        data = pickle.dumps(obj, protocol=5, buffer_callback=buffers.append)
        pickle.loads(data, buffers=buffers)
    else:
        pickle.loads(pickle.dumps(obj, protocol=5))
    return time.perf_counter() - start


def alternate(subject, floor, out_of_band, repeat):
    """Times of the subject's round trip and of the floor's, in band."""
    subject_times, floor_times = [], []
    for _ in range(repeat):
        subject_times.append(round_trip(subject, out_of_band))
        floor_times.append(round_trip(floor, False))
    return subject_times, floor_times


def cell(times):
    return f"{statistics.median(times) * 1e3:.1f} ms [{min(times) * 1e3:.1f}–{max(times) * 1e3:.1f}]"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true")
    args = parser.parse_args()
    n, repeat = (10**5, 5) if args.quick else (10**6, 9)
    y = np.random.default_rng(0).random(n)
    graph = kt.natural_visibility(y)
    edges = kt.natural_visibility_edges(y)
    restored = pickle.loads(pickle.dumps(graph, protocol=5))
    assert restored.edges()[:1000] == graph.edges()[:1000] and restored.edge_count() == len(edges)
    stream = kt.VisibilityStream("natural")
    stream.extend(y)

    print(f"n = {n:,}, {len(edges):,} edges; graph pickle {len(pickle.dumps(graph, protocol=5)) / 2**20:.1f} MiB, "
          f"edge array pickle {len(pickle.dumps(edges, protocol=5)) / 2**20:.1f} MiB")
    print("| object | protocol 5 | dumps + loads | floor | floor time | ratio |")
    print("|---|---|---:|---|---:|---:|")
    for name, subject, floor, floor_name in (("VisibilityGraph", graph, edges, "(E, 2) edge array"),
                                             ("VisibilityStream (natural, no window)", stream, y, "values array")):
        for out_of_band in (False, True):
            s, f = alternate(subject, floor, out_of_band, repeat)
            mode = "out of band" if out_of_band else "in band"
            print(f"| {name} | {mode} | {cell(s)} | {floor_name} | {cell(f)} | "
                  f"{statistics.median(s) / statistics.median(f):.2f}× |")


if __name__ == "__main__":
    main()
