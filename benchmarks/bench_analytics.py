#!/usr/bin/env python3
"""Benchmark of kaltrope's graph analytics against python-igraph and NetworKit.

Three natural visibility graphs: 5,000 and 20,000 uniform random samples and a
20,000-sample Gaussian random walk. The peers' graphs are built from
kaltrope's edge array (that construction is timed on its own), so all three
libraries measure the same graph, and every result is checked against a peer:

communities      detect_communities() (Leiden) against igraph's
                 community_multilevel and NetworKit's PLM (with refinement),
                 compared by modularity (ours must not be lower)
diameter/radius  diameter() and radius() on a fresh graph (bounded
                 eccentricities) against NetworKit's exact Diameter
betweenness      betweenness_centralities() against igraph's betweenness()
                 (values equal after igraph's normalisation)
path length      average_path_length() against igraph's average_path_length()
clustering       clustering_coefficients() and clustering_coefficient()
                 against igraph's transitivity_local_undirected(mode="zero")
                 and NetworKit's LocalClusteringCoefficient
transitivity     global_clustering_coefficient() against igraph's
                 transitivity_undirected() and NetworKit's exactGlobal
assortativity    assortativity() against igraph's assortativity_degree() and
                 NetworKit's Assortativity over the degrees
motifs           detect_motifs() against igraph's motifs_randesu(size=3) and
                 NetworKit's triangle counts plus the degrees (the same sums)

kaltrope keeps measures with the graph once computed, so each kaltrope run
uses a fresh graph object (built outside the timing). Calls of the libraries
take turns, so that all of them see the same load. Times are medians with the
range (fastest to slowest) over the runs; the ratio is the faster peer's
median over ours.

Construction: natural_visibility(y) against natural_visibility_edges(y) and
edge_array() on 10^6 uniform samples, and the peak memory of building the
graph in a fresh process against the graph's final size.

Usage:
    python benchmarks/bench_analytics.py                 # all CPUs, about five minutes
    python benchmarks/bench_analytics.py --single-cpu    # pinned to one CPU
    python benchmarks/bench_analytics.py --quick         # small graphs, under a minute
    python benchmarks/bench_analytics.py --only communities,diameter

Progress goes to stderr; the Markdown report goes to stdout.
"""

from __future__ import annotations

import argparse
import gc
import math
import os
import platform
import statistics
import subprocess
import sys
import textwrap
import time

import numpy as np

try:
    import _kaltrope as kt
except ImportError as exc:  # pragma: no cover - depends on the build
    sys.exit(f"cannot import _kaltrope ({exc}); build it first")


def log(text):
    print(text, file=sys.stderr, flush=True)


def time_once(call):
    gc.disable()
    start = time.perf_counter()
    result = call()
    elapsed = time.perf_counter() - start
    gc.enable()
    return elapsed, result


class Timing:
    """The times of one library's runs and its last result."""

    def __init__(self):
        self.times, self.result = [], None

    def add(self, call):
        elapsed, self.result = time_once(call)
        self.times.append(elapsed)

    @property
    def median(self):
        return statistics.median(self.times)

    def text(self):
        if not self.times:
            return "—"
        low, high = min(self.times), max(self.times)
        if len(self.times) == 1:
            return format_seconds(self.median)
        return f"{format_seconds(self.median)} ({format_seconds(low)}–{format_seconds(high)})"


def format_seconds(seconds):
    if seconds >= 1:
        return f"{seconds:.2f} s"
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.1f} ms"
    return f"{seconds * 1e6:.0f} µs"


def taking_turns(calls, runs):
    """Runs every call once per round, in turns; returns their Timings."""
    timings = {name: Timing() for name in calls}
    for _ in range(runs):
        for name, call in calls.items():
            if call is not None:
                timings[name].add(call)
    return timings


class Workload:
    """One graph and its copies in the three libraries."""

    def __init__(self, name, y):
        import igraph as ig
        import networkit as nk
        self.name, self.y = name, y
        self.n = len(y)
        self.edges = kt.natural_visibility(y).edge_array()
        self.construction = taking_turns({
            "kaltrope": lambda: kt.natural_visibility(y),
            "igraph": lambda: ig.Graph(n=self.n, edges=self.edges),
            "networkit": lambda: nk.GraphFromCoo(
                (np.ones(len(self.edges)), (self.edges[:, 0].astype(np.uint64), self.edges[:, 1].astype(np.uint64))),
                n=self.n, directed=False, weighted=False),
        }, 3)
        self.igraph = self.construction["igraph"].result
        self.networkit = self.construction["networkit"].result
        assert self.igraph.ecount() == self.networkit.numberOfEdges() == len(self.edges)

    def fresh(self):
        """A new kaltrope graph, so that no measure is already kept with it;
        its rows read once, as the peers' graphs are by their earlier runs."""
        graph = kt.natural_visibility(self.y)
        graph.edge_array()
        return graph

    def ours(self, measure):
        """A call timing measure(graph) on a graph built just before it."""
        graphs = []

        def prepare():
            graphs.append(self.fresh())
        return prepare, lambda: measure(graphs.pop())


def compare_rows(workload, label, ours, peers, runs, check):
    """Times ours and the peers in turns; returns a table row."""
    prepare, our_call = workload.ours(ours)
    timings = {name: Timing() for name in ["kaltrope", *peers]}
    for _ in range(runs):
        prepare()
        timings["kaltrope"].add(our_call)
        for name, call in peers.items():
            timings[name].add(call)
    peer_medians = [timings[name].median for name in peers]
    ratio = min(peer_medians) / timings["kaltrope"].median if peer_medians else math.nan
    verdict = check({name: t.result for name, t in timings.items()})
    cells = [timings[name].text() if name in timings else "—" for name in ("kaltrope", "igraph", "networkit")]
    return f"| {workload.name} | {label} | {' | '.join(cells)} | {ratio:.1f}x | {verdict} |"


def bench_communities(w, args):
    import networkit as nk

    def plm():
        algorithm = nk.community.PLM(w.networkit, refine=True)
        algorithm.run()
        partition = algorithm.getPartition()
        return nk.community.Modularity().getQuality(partition, w.networkit)

    def ours(graph):
        labels = graph.detect_communities()
        return labels, graph.modularity(labels)

    def check(results):
        labels, q = results["kaltrope"]
        cross = w.igraph.modularity(labels)
        multilevel, ours_q, plm_q = results["igraph"].modularity, q, results["networkit"]
        ok = ours_q >= multilevel and ours_q >= plm_q and abs(cross - q) < 1e-12
        return (f"Q {ours_q:.5f} ({max(labels) + 1} communities) vs multilevel {multilevel:.5f}, "
                f"PLM {plm_q:.5f}{'' if ok else ' **LOWER**'}")
    return [compare_rows(w, "communities", ours,
                         {"igraph": w.igraph.community_multilevel, "networkit": plm}, args.runs, check)]


def bench_diameter(w, args):
    import networkit as nk

    def exact_diameter():
        algorithm = nk.distance.Diameter(w.networkit, nk.distance.DiameterAlgo.EXACT)
        algorithm.run()
        return algorithm.getDiameter()[0]

    def check(results):
        diameter, radius = results["kaltrope"]
        searched = w.fresh()
        searched.average_path_length()
        same = diameter == results["networkit"] and (searched.diameter(), searched.radius()) == (diameter, radius)
        return f"diameter {diameter}, radius {radius}: {'equal' if same else '**DIFFERENT**'}"
    return [compare_rows(w, "diameter and radius (NetworKit: diameter)",
                         lambda g: (g.diameter(), g.radius()), {"networkit": exact_diameter}, args.runs, check)]


def bench_betweenness(w, args):
    scale = 2.0 / ((w.n - 1) * (w.n - 2))

    def check(results):
        ours = results["kaltrope"]
        theirs = np.asarray(results["igraph"]) * scale
        worst = float(np.max(np.abs(ours - theirs) / np.maximum(np.abs(theirs), 1e-300)))
        return f"largest relative difference {worst:.1g}" + ("" if worst < 1e-9 else " **DIFFERENT**")
    runs = args.runs if w.n <= 5000 else 1
    return [compare_rows(w, "betweenness", lambda g: g.betweenness_centralities(),
                         {"igraph": w.igraph.betweenness}, runs, check)]


def bench_path_length(w, args):
    # igraph's all-pairs search takes about a minute on the graphs of 20,000 nodes: once there.
    peers = {"igraph": w.igraph.average_path_length}
    runs = args.runs if w.n <= args.peer_path_nodes else 1

    def check(results):
        ours = results["kaltrope"]
        return f"{ours:.6f}: " + ("equal" if abs(ours - results["igraph"]) < 1e-9 else "**DIFFERENT**")
    return [compare_rows(w, "average path length", lambda g: g.average_path_length(), peers, runs, check)]


def bench_clustering(w, args):
    import networkit as nk

    def local_networkit():
        algorithm = nk.centrality.LocalClusteringCoefficient(w.networkit, turbo=True)
        algorithm.run()
        return algorithm.scores()

    def check_local(results):
        ours = results["kaltrope"]
        worst = max(float(np.max(np.abs(ours - np.asarray(results[p])))) for p in ("igraph", "networkit"))
        return f"largest difference {worst:.1g}" + ("" if worst < 1e-12 else " **DIFFERENT**")

    def check_average(results):
        # NetworKit averages over the nodes of degree 2 or more only.
        graph = w.fresh()
        local = graph.clustering_coefficients()[graph.degrees() >= 2]
        worst = max(abs(results["kaltrope"] - results["igraph"]), abs(float(np.mean(local)) - results["networkit"]))
        return (f"{results['kaltrope']:.6f}, largest difference {worst:.1g} (NetworKit's over nodes of degree "
                f">= 2)" + ("" if worst < 1e-12 else " **DIFFERENT**"))

    def check_global(results):
        worst = max(abs(results["kaltrope"] - results[p]) for p in ("igraph", "networkit"))
        return f"{results['kaltrope']:.6f}, largest difference {worst:.1g}" + ("" if worst < 1e-12 else " **DIFFERENT**")
    return [
        compare_rows(w, "local clustering, every node", lambda g: g.clustering_coefficients(),
                     {"igraph": lambda: w.igraph.transitivity_local_undirected(mode="zero"),
                      "networkit": local_networkit}, args.runs, check_local),
        compare_rows(w, "average clustering", lambda g: g.clustering_coefficient(),
                     {"igraph": lambda: w.igraph.transitivity_avglocal_undirected(mode="zero"),
                      "networkit": lambda: nk.globals.ClusteringCoefficient.sequentialAvgLocal(w.networkit)},
                     args.runs, check_average),
        compare_rows(w, "transitivity", lambda g: g.global_clustering_coefficient(),
                     {"igraph": w.igraph.transitivity_undirected,
                      "networkit": lambda: nk.globals.ClusteringCoefficient.exactGlobal(w.networkit)},
                     args.runs, check_global),
    ]


def bench_assortativity(w, args):
    import networkit as nk

    def networkit_assortativity():
        degrees = nk.centrality.DegreeCentrality(w.networkit)
        degrees.run()
        algorithm = nk.correlation.Assortativity(w.networkit, degrees.scores())
        algorithm.run()
        return algorithm.getCoefficient()

    def check(results):
        worst = abs(results["kaltrope"] - results["igraph"])
        return (f"{results['kaltrope']:.6f}, difference to igraph {worst:.1g}; NetworKit's, over nodes rather "
                f"than edge ends, {results['networkit']:.6f}" + ("" if worst < 1e-9 else " **DIFFERENT**"))
    return [compare_rows(w, "assortativity", lambda g: g.assortativity(),
                         {"igraph": lambda: w.igraph.assortativity_degree(directed=False),
                          "networkit": networkit_assortativity}, args.runs, check)]


def bench_motifs(w, args):
    import networkit as nk

    def networkit_motifs():
        # Triangles per edge, summed, count each triangle three times; the
        # triples with two edges follow from the degrees.
        w.networkit.indexEdges()
        scores = nk.sparsification.TriangleEdgeScore(w.networkit)
        scores.run()
        triangles = int(round(sum(scores.scores()))) // 3
        degrees = np.array([w.networkit.degree(v) for v in range(w.n)], dtype=np.int64)
        return int(np.sum(degrees * (degrees - 1) // 2)) - 3 * triangles, triangles

    def check(results):
        counts = results["kaltrope"].counts()
        ours = (counts.get("four_edges", 0), counts.get("complete_triangle", 0))
        randesu = results["igraph"]
        same = ours == (int(randesu[2]), int(randesu[3])) == results["networkit"]
        return f"open triples {ours[0]}, triangles {ours[1]}: " + ("equal" if same else "**DIFFERENT**")
    # igraph enumerates the connected triples one by one: once is enough
    # where there are millions.
    open_triples = w.fresh().detect_motifs().get("four_edges") or 0
    runs = args.runs if open_triples < 10**6 else 1
    return [compare_rows(w, "three-node motifs", lambda g: g.detect_motifs(),
                         {"igraph": lambda: w.igraph.motifs_randesu(size=3), "networkit": networkit_motifs},
                         runs, check)]


GRAPH_MEASURES = {"communities": bench_communities, "diameter": bench_diameter, "betweenness": bench_betweenness,
                  "path_length": bench_path_length, "clustering": bench_clustering,
                  "assortativity": bench_assortativity, "motifs": bench_motifs}

PEAK_MEMORY = """
import sys
import numpy as np
import _kaltrope as kt

def status(field):
    with open("/proc/self/status") as lines:
        return next(int(line.split()[1]) * 1024 for line in lines if line.startswith(field + ":"))

y = np.random.default_rng(0).random(int(sys.argv[1]))
kt.natural_visibility(y[:1000])
with open("/proc/self/clear_refs", "w") as clear:
    clear.write("5")                     # the peak resident size starts again from the current one
before = status("VmRSS")
graph = kt.natural_visibility(y)
peak = status("VmHWM")
size = 8 * (graph.node_count() + 1) + 8 * graph.edge_count()   # row offsets and both ends of every edge
print(peak - before, size)
"""


def bench_construction(args):
    n = args.construction_samples
    y = np.random.default_rng(0).random(n)
    log(f"construction: n = {n}")
    expected = kt.natural_visibility_edges(y)
    graph = kt.natural_visibility(y)
    order = np.lexsort((expected[:, 1], expected[:, 0]))
    same = np.array_equal(graph.edge_array(), expected[order])
    timings = taking_turns({"edges": lambda: kt.natural_visibility_edges(y),
                            "graph": lambda: kt.natural_visibility(y),
                            "edge_array": graph.edge_array}, args.runs)
    edges_median = timings["edges"].median
    peak, size = map(int, subprocess.run([sys.executable, "-c", textwrap.dedent(PEAK_MEMORY), str(n)],
                                         capture_output=True, text=True, check=True).stdout.split())
    return [
        "| construction | measure | kaltrope | baseline | ratio | check |",
        "|---|---|---:|---:|---:|---|",
        f"| {n:,} uniform samples | `natural_visibility(y)`, graph object | {timings['graph'].text()} "
        f"| `natural_visibility_edges(y)` {timings['edges'].text()} "
        f"| {timings['graph'].median / edges_median:.2f}x the time | same edges: {same} |",
        f"| {n:,} uniform samples | `edge_array()` | {timings['edge_array'].text()} "
        f"| `natural_visibility_edges(y)` {timings['edges'].text()} "
        f"| {timings['edge_array'].median / edges_median:.2f}x the time | {len(expected):,} edges |",
        f"| {n:,} uniform samples | peak memory growth of `natural_visibility(y)`, fresh process "
        f"| {peak / 2**20:.1f} MiB | graph {size / 2**20:.1f} MiB | {peak / size:.2f}x | |",
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="small graphs")
    parser.add_argument("--single-cpu", action="store_true", help="pin the process to one CPU")
    parser.add_argument("--only", help="comma-separated: " + ", ".join([*GRAPH_MEASURES, "construction"]))
    parser.add_argument("--graphs", help="comma-separated subset of uniform5k, uniform20k, walk20k")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each call")
    args = parser.parse_args()
    if args.single_cpu:
        os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
    # NetworKit's OpenMP threads would otherwise spin after each of its calls,
    # taking the CPUs from the calls that follow.
    os.environ.setdefault("OMP_WAIT_POLICY", "PASSIVE")
    import igraph as ig
    import networkit as nk
    nk.setNumberOfThreads(len(os.sched_getaffinity(0)))
    scale = 10 if args.quick else 1
    graphs = {"uniform5k": lambda: np.random.default_rng(1).random(5000 // scale),
              "uniform20k": lambda: np.random.default_rng(1).random(20000 // scale),
              "walk20k": lambda: np.cumsum(np.random.default_rng(2).standard_normal(20000 // scale))}
    chosen_graphs = args.graphs.split(",") if args.graphs else list(graphs)
    chosen = args.only.split(",") if args.only else [*GRAPH_MEASURES, "construction"]
    args.peer_path_nodes = 5000 // scale
    args.construction_samples = 10**6 // scale

    print(f"kaltrope analytics benchmark: Python {platform.python_version()}, NumPy {np.__version__}, "
          f"igraph {ig.__version__}, NetworKit {nk.__version__}, {len(os.sched_getaffinity(0))} CPUs, "
          f"load {os.getloadavg()[0]:.1f}, {args.runs} runs\n")
    print("| graph | measure | kaltrope | igraph | NetworKit | speed-up over the faster peer | check |")
    print("|---|---|---:|---:|---:|---:|---|")
    for graph_name in chosen_graphs:
        y = graphs[graph_name]()
        workload = Workload(f"{graph_name} ({len(y):,} nodes, {len(kt.natural_visibility_edges(y)):,} edges)", y)
        log(f"{workload.name}")
        built = workload.construction
        print(f"| {workload.name} | graph from the edge array | {built['kaltrope'].text()} (from y) "
              f"| {built['igraph'].text()} | {built['networkit'].text()} | | |", flush=True)
        for name in chosen:
            if name in GRAPH_MEASURES:
                log(f"  {name}")
                for row in GRAPH_MEASURES[name](workload, args):
                    print(row, flush=True)
    if "construction" in chosen:
        print()
        for row in bench_construction(args):
            print(row, flush=True)


if __name__ == "__main__":
    main()
