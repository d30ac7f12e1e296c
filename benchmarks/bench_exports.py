#!/usr/bin/env python3
"""Benchmark of three-node motif counts and of the text exports.

Motifs. `VisibilityGraph.detect_motifs` counts the triples of the graph from
its triangles and degrees. It is timed on the natural visibility graph of a
random series of --motif-nodes samples, and, on a graph of --brute-nodes
nodes, against a brute-force enumeration of every triple (NumPy, one node i
at a time: the edges among i, j and k summed for all j < k above i); both
give the same counts, which is checked.

Exports. On the natural visibility graph of a random series of --nodes
samples, `to_edge_list_csv(True)`, `save_edge_list_csv(path, True)`,
`to_graphml()` and `save_graphml(path)` are timed against
`numpy.savetxt(..., fmt="%d", delimiter=",")` of the same (E, 2) edge array,
into an io.StringIO for the string methods and into a file for the saves.
savetxt writes only the two endpoint columns; the exports write more (a
weight column; GraphML's three lines per edge and a line pair per node).

Each timed call runs --repeat times, the contestants taking turns so that
both see the same machine load; the figures are medians, the garbage
collector is disabled during each call, and a ratio is kaltrope's median
over the baseline's (below 1: kaltrope is faster). Files are written to a
temporary directory on the file system that holds it.

Usage:
    python benchmarks/bench_exports.py
    python benchmarks/bench_exports.py --nodes 100000 --repeat 3
"""

from __future__ import annotations

import argparse
import io
import math
import os
import platform
import tempfile

import numpy as np

# The graph benchmark's timing helpers (it also imports _kaltrope, or exits).
from bench_graph import alternating, kt, timed

UNDIRECTED = {0: "empty", 1: "fork", 2: "four_edges", 3: "complete_triangle"}


def enumerated_motifs(matrix):
    """Counts of every triple i < j < k by its number of edges."""
    n = len(matrix)
    a = matrix.astype(np.int8)
    by_edges = np.zeros(4, dtype=np.int64)
    for i in range(n - 2):
        rest = a[i + 1:, i + 1:]
        edges = a[i, i + 1:, None] + a[i, None, i + 1:] + rest
        upper = np.triu(np.ones_like(rest, dtype=bool), k=1)
        by_edges += np.bincount(edges[upper], minlength=4)[:4]
    return {UNDIRECTED[e]: int(c) for e, c in enumerate(by_edges) if c}


def motif_rows(args, rng):
    rows = []
    graph = kt.natural_visibility(rng.random(args.motif_nodes))
    seconds = timed(graph.detect_motifs, args.repeat)[0]
    rows.append((f"`detect_motifs`, natural graph of {args.motif_nodes:,} samples "
                 f"({graph.edge_count():,} edges)", f"{seconds * 1e3:.1f} ms", "", ""))

    small = kt.natural_visibility(rng.random(args.brute_nodes))
    matrix = small.adjacency_matrix()
    counts = small.detect_motifs().counts()
    if counts != enumerated_motifs(matrix):
        print("WARNING: detect_motifs differs from the enumeration")
    mine, enumeration = alternating(small.detect_motifs, lambda: enumerated_motifs(matrix), max(1, args.repeat // 2))
    rows.append((f"`detect_motifs` vs enumeration, {args.brute_nodes:,} nodes "
                 f"({math.comb(args.brute_nodes, 3):,} triples)", f"{mine * 1e3:.2f} ms",
                 f"{enumeration:.2f} s", f"{mine / enumeration:.1e}"))
    return rows


def export_rows(args, rng, directory):
    y = rng.random(args.nodes)
    graph = kt.natural_visibility(y)
    edges = np.array(sorted(map(tuple, kt.natural_visibility_edges(y).tolist())), dtype=np.int64)
    if graph.to_edge_list_csv(False) != "source,target\n" + "".join(f"{a},{b}\n" for a, b in edges):
        print("WARNING: the edge list differs from the edge array")

    def savetxt_string():
        out = io.StringIO()
        np.savetxt(out, edges, fmt="%d", delimiter=",", header="source,target", comments="")
        return out.getvalue()

    saved = os.path.join(directory, "saved")
    baseline_file = os.path.join(directory, "baseline")
    cases = [
        ("`to_edge_list_csv(True)`", lambda: graph.to_edge_list_csv(True), "savetxt → StringIO", savetxt_string),
        ("`save_edge_list_csv(path, True)`", lambda: graph.save_edge_list_csv(saved, True), "savetxt → file",
         lambda: np.savetxt(baseline_file, edges, fmt="%d", delimiter=",", header="source,target", comments="")),
        ("`to_graphml()`", graph.to_graphml, "savetxt → StringIO", savetxt_string),
        ("`save_graphml(path)`", lambda: graph.save_graphml(saved), "savetxt → file",
         lambda: np.savetxt(baseline_file, edges, fmt="%d", delimiter=",", header="source,target", comments="")),
    ]
    rows = []
    for name, call, baseline_name, baseline in cases:
        mine, theirs = alternating(call, baseline, args.repeat)
        rows.append((f"{name}, {args.nodes:,} nodes, {len(edges):,} edges", f"{mine:.3f} s",
                     f"{theirs:.3f} s ({baseline_name})", f"{mine / theirs:.3f}"))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--nodes", type=int, default=1_000_000)
    parser.add_argument("--motif-nodes", type=int, default=100_000)
    parser.add_argument("--brute-nodes", type=int, default=2000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--seed", type=int, default=0)
    args = parser.parse_args()

    print(f"kaltrope from {kt.__file__}")
    print(f"Python {platform.python_version()}, NumPy {np.__version__}, {os.cpu_count()} CPUs, "
          f"load {os.getloadavg()[0]:.1f}")
    rng = np.random.default_rng(args.seed)
    with tempfile.TemporaryDirectory() as directory:
        rows = motif_rows(args, rng) + export_rows(args, rng, directory)
    print()
    print("| task | kaltrope | baseline | ratio |")
    print("|---|---:|---:|---:|")
    for row in rows:
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
