#!/usr/bin/env python3
"""Benchmark of kaltrope's graph objects: statistics, betweenness, construction.

Every figure is a ratio against a baseline measured in the same run on the
same input, because absolute times on a shared machine are noisy:

statistics    VisibilityGraph.compute_statistics() on the natural graph of a
              random series, against networkx computing the same quantities
              on the same graph: degrees, average clustering, transitivity,
              one all-pairs breadth-first search giving the average path
              length, radius and diameter (under kaltrope's conventions),
              density, components and degree assortativity.
betweenness   VisibilityGraph.betweenness_centrality_all() against
              networkx.betweenness_centrality on the same graph; the values
              must agree to 1e-12.
construction  natural_visibility(y), the graph object without features,
              against natural_visibility_edges(y) on the same values.
features      TimeSeries(y).natural_visibility_with_features(all ten built-in
              features) against a vectorised NumPy computation of the ten
              features plus natural_visibility_edges(y); the values must agree.

kaltrope times are medians of several runs; the networkx runs take minutes,
so they are timed fewer times (see the "runs" column). The garbage collector
is disabled during each timed call, as timeit does. Each comparison also
checks that both sides computed the same values, and prints a WARNING line
when they do not.

Usage:
    python benchmarks/bench_graph.py            # full sizes; networkx takes ~10 minutes
    python benchmarks/bench_graph.py --quick    # small sizes, under a minute
    python benchmarks/bench_graph.py --only betweenness,construction

Progress goes to stderr; the Markdown report goes to stdout.
"""

from __future__ import annotations

import argparse
import gc
import math
import os
import platform
import statistics
import sys
import time

import numpy as np

try:
    import _kaltrope as kt
except ImportError as exc:  # pragma: no cover - depends on the build
    sys.exit(f"cannot import _kaltrope ({exc}); build it first")
import networkx as nx

FEATURES = ["DeltaForward", "DeltaBackward", "DeltaSymmetric", "LocalSlope", "Acceleration",
            "LocalMean", "LocalVariance", "IsLocalMax", "IsLocalMin", "ZScore"]


def log(text):
    print(text, file=sys.stderr, flush=True)


def timed(call, runs):
    """(median seconds, last result) over runs calls."""
    times, result = [], None
    for _ in range(runs):
        gc.disable()
        start = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - start)
        gc.enable()
    return statistics.median(times), result


def alternating(first, second, runs):
    """Median times of two calls run in turns, so both see the same load."""
    a, b = [], []
    for _ in range(runs):
        a.append(timed(first, 1)[0])
        b.append(timed(second, 1)[0])
    return statistics.median(a), statistics.median(b)


def to_networkx(graph):
    g = nx.Graph()
    g.add_nodes_from(range(graph.node_count()))
    g.add_edges_from((a, b) for a, b, _ in graph.edges())
    return g


def networkx_statistics(g):
    """The quantities of compute_statistics, computed with networkx."""
    degrees = np.array([d for _, d in g.degree()], dtype=np.float64)
    eccentricities, total, pairs = [], 0, 0
    for _, lengths in nx.all_pairs_shortest_path_length(g):
        eccentricities.append(max(lengths.values()))
        total += sum(lengths.values())
        pairs += len(lengths) - 1
    components = list(nx.connected_components(g))
    return {
        "node_count": g.number_of_nodes(), "edge_count": g.number_of_edges(),
        "average_degree": degrees.mean(), "min_degree": int(degrees.min()), "max_degree": int(degrees.max()),
        "degree_variance": degrees.var(), "degree_std_dev": degrees.std(),
        "average_clustering": nx.average_clustering(g), "global_clustering": nx.transitivity(g),
        "average_path_length": total / pairs, "diameter": max(eccentricities), "radius": min(eccentricities),
        "density": nx.density(g), "is_connected": len(components) == 1, "num_components": len(components),
        "largest_component_size": max(map(len, components)),
        "assortativity": nx.degree_assortativity_coefficient(g),
    }


def compare(name, mine, theirs, tolerance):
    worst = max(abs(mine[k] - theirs[k]) for k in theirs)
    if worst > tolerance:
        log(f"WARNING {name}: values differ by up to {worst:.3g}")
        for key in theirs:
            if abs(mine[key] - theirs[key]) > tolerance:
                log(f"  {key}: kaltrope {mine[key]!r}, peer {theirs[key]!r}")
    return worst


def versus_networkx(name, n, seed, ours, theirs, args):
    """Times ours(graph) and theirs(networkx graph) on the natural graph of n
    uniform samples: (graph, our time, our result, their time, their result)."""
    graph = kt.natural_visibility(np.random.default_rng(seed).random(n))
    log(f"{name}: n = {n}, E = {graph.edge_count()}")
    our_time, our_result = timed(lambda: ours(graph), args.runs)
    g = to_networkx(graph)
    log(f"{name}: networkx ...")
    their_time, their_result = timed(lambda: theirs(g), args.peer_runs)
    return graph, our_time, our_result, their_time, their_result


def bench_statistics(args):
    n = args.statistics_nodes
    graph, ours, result, theirs, expected = versus_networkx(
        "statistics", n, 1, kt.VisibilityGraph.compute_statistics, networkx_statistics, args)
    mine = {key: getattr(result, key) for key in expected}
    worst = compare("statistics", mine, expected, 1e-9)
    return (f"| `compute_statistics`, natural graph of {n} uniform samples ({graph.edge_count()} edges) "
            f"| {ours * 1e3:.0f} ms ({args.runs}) | networkx {theirs:.1f} s ({args.peer_runs}) "
            f"| {theirs / ours:.0f}x | largest difference {worst:.1g} |")


def bench_betweenness(args):
    n = args.betweenness_nodes
    graph, ours, result, theirs, expected = versus_networkx(
        "betweenness", n, 2, kt.VisibilityGraph.betweenness_centrality_all, nx.betweenness_centrality, args)
    worst = max(abs(a - expected[v]) for v, a in enumerate(result))
    if worst > 1e-12:
        log(f"WARNING betweenness: values differ by up to {worst:.3g}")
    return (f"| `betweenness_centrality_all`, natural graph of {n} uniform samples ({graph.edge_count()} edges) "
            f"| {ours * 1e3:.0f} ms ({args.runs}) | `networkx.betweenness_centrality` {theirs:.1f} s "
            f"({args.peer_runs}) | {theirs / ours:.0f}x | largest difference {worst:.1g} |")


def bench_construction(args):
    n = args.construction_samples
    y = np.random.default_rng(3).random(n)
    log(f"construction: n = {n}")
    graph = kt.natural_visibility(y)
    edges = kt.natural_visibility_edges(y)
    same = sorted(map(tuple, edges.tolist())) == [(a, b) for a, b, _ in graph.edges()]
    if not same:
        log("WARNING construction: the graph's edges differ from the array function's")
    del graph
    ours, theirs = alternating(lambda: kt.natural_visibility(y), lambda: kt.natural_visibility_edges(y),
                               args.runs)
    return (f"| `natural_visibility(y)`, {n} uniform samples, no features | {ours * 1e3:.0f} ms ({args.runs}) "
            f"| `natural_visibility_edges(y)` {theirs * 1e3:.0f} ms | {ours / theirs:.2f} (time ratio) "
            f"| same edges: {same} |")


def numpy_features(y):
    """The ten built-in features, vectorised; NaN where a feature has no value."""
    n = len(y)
    nan = np.full(1, np.nan)
    forward = np.concatenate([y[1:] - y[:-1], nan])
    backward = np.concatenate([nan, y[1:] - y[:-1]])
    symmetric = np.concatenate([nan, (y[2:] - y[:-2]) * 0.5, nan])
    acceleration = np.concatenate([nan, y[:-2] + (y[2:] - 2 * y[1:-1]), nan])
    padded = np.concatenate([[0.0], y, [0.0]])
    count = np.full(n, 3.0)
    count[0] = count[-1] = 2.0
    window_sum = padded[:-2] + padded[1:-1] + padded[2:]
    mean = window_sum / count
    deviation = [(padded[k:k + n] - mean) ** 2 for k in range(3)]
    deviation[0][0] = deviation[2][-1] = 0.0      # the padding is outside the window
    variance = (deviation[0] + deviation[1] + deviation[2]) / count
    local_max = np.zeros(n)
    local_min = np.zeros(n)
    local_max[1:-1] = (y[1:-1] > y[:-2]) & (y[1:-1] > y[2:])
    local_min[1:-1] = (y[1:-1] < y[:-2]) & (y[1:-1] < y[2:])
    series_variance = y.var()
    z_score = (y - y.mean()) / math.sqrt(series_variance) if series_variance > 1e-10 else np.zeros(n)
    return {"delta_forward": forward, "delta_backward": backward, "delta_symmetric": symmetric,
            "local_slope": symmetric.copy(), "acceleration": acceleration, "local_mean": mean,
            "local_variance": variance, "is_local_max": local_max, "is_local_min": local_min,
            "z_score": z_score}


def kaltrope_features(y):
    features = kt.FeatureSet()
    for name in FEATURES:
        features.add_builtin(kt.BuiltinFeature(name))
    return kt.TimeSeries(y).natural_visibility_with_features(features)


def bench_features(args):
    n = args.construction_samples
    y = np.random.default_rng(4).random(n)
    log(f"features: n = {n}")
    graph = kaltrope_features(y)
    expected = numpy_features(y)
    worst = 0.0
    for v in np.random.default_rng(5).choice(n, 200, replace=False).tolist() + [0, n - 1]:
        mine = graph.get_node_features(v)
        for name, column in expected.items():
            if math.isnan(column[v]):
                worst = max(worst, math.inf if name in mine else 0.0)
            else:
                worst = max(worst, abs(mine[name] - column[v]))
    if worst > 1e-9:
        log(f"WARNING features: values differ by up to {worst:.3g}")
    del graph
    ours, theirs = alternating(lambda: kaltrope_features(y),
                               lambda: (numpy_features(y), kt.natural_visibility_edges(y)), args.runs)
    return (f"| `natural_visibility_with_features`, {n} uniform samples, ten features (series and feature "
            f"set included) | {ours * 1e3:.0f} ms ({args.runs}) | NumPy features + `natural_visibility_edges` "
            f"{theirs * 1e3:.0f} ms | {ours / theirs:.2f} (time ratio) | largest difference {worst:.1g} "
            f"(202 nodes) |")


WORKLOADS = {"statistics": bench_statistics, "betweenness": bench_betweenness,
             "construction": bench_construction, "features": bench_features}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="small inputs")
    parser.add_argument("--only", help="comma-separated workloads: " + ", ".join(WORKLOADS))
    parser.add_argument("--runs", type=int, default=7, help="timed runs of each kaltrope call")
    parser.add_argument("--peer-runs", type=int, default=1, help="timed runs of each networkx call")
    args = parser.parse_args()
    args.statistics_nodes = 3000 if args.quick else 20000
    args.betweenness_nodes = 1500 if args.quick else 5000
    args.construction_samples = 100_000 if args.quick else 1_000_000
    chosen = args.only.split(",") if args.only else list(WORKLOADS)

    print(f"kaltrope graph benchmark: Python {platform.python_version()}, NumPy {np.__version__}, "
          f"networkx {nx.__version__}, {len(os.sched_getaffinity(0))} CPUs, load "
          f"{os.getloadavg()[0]:.1f}, module {kt.__file__}\n")
    print("| workload | kaltrope (runs) | baseline (runs) | ratio | check |")
    print("|---|---:|---:|---:|---|")
    for name in chosen:
        print(WORKLOADS[name](args), flush=True)


if __name__ == "__main__":
    main()
