"""Graph metrics against networkx on the same graphs.

Where networkx has no answer (radius and diameter of a disconnected graph,
assortativity of a regular graph) the library's conventions are stated by
the oracle: eccentricities within each node's component, radius 0 when a
node is isolated, average path length over joined pairs only, 0.0 for an
undefined correlation.
"""
import math
from fractions import Fraction
import subprocess
import sys
import threading
import time

import networkx as nx
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt

TS = kt.TimeSeries


def to_networkx(graph):
    g = nx.Graph()
    g.add_nodes_from(range(graph.node_count()))
    g.add_edges_from((a, b) for a, b, _ in graph.edges())
    return g


def path_oracle(g):
    """(radius, diameter, average path length) under the library's conventions."""
    eccentricities, total, pairs = [], 0, 0
    for source, lengths in nx.all_pairs_shortest_path_length(g):
        eccentricities.append(max(lengths.values()))
        total += sum(lengths.values())
        pairs += len(lengths) - 1
    if not eccentricities:
        return 0, 0, 0.0
    return min(eccentricities), max(eccentricities), total / pairs if pairs else 0.0


def entropy_oracle(degrees):
    n = len(degrees)
    return -sum(c / n * math.log2(c / n) for c in np.bincount(degrees) if c) if n else 0.0


def check_against_networkx(graph):
    g = to_networkx(graph)
    n = graph.node_count()
    degrees = [d for _, d in sorted(g.degree())]
    assert graph.degree_sequence() == degrees
    assert list(graph.degree_distribution().items()) == [(d, degrees.count(d)) for d in sorted(set(degrees))]
    assert graph.density() == pytest.approx(nx.density(g) if n > 1 else 0.0, abs=1e-15)
    assert graph.degree_variance() == pytest.approx(np.var(degrees), abs=1e-12)
    assert graph.degree_std_dev() == pytest.approx(np.std(degrees), abs=1e-12)
    assert graph.degree_entropy() == pytest.approx(entropy_oracle(degrees), abs=1e-12)
    centrality = nx.degree_centrality(g) if n > 1 else {0: 0.0}
    assert graph.degree_centrality() == pytest.approx([centrality[v] for v in range(n)], abs=1e-15)

    with np.errstate(all="ignore"):
        r = nx.degree_assortativity_coefficient(g) if g.number_of_edges() else math.nan
    assert graph.assortativity() == pytest.approx(0.0 if math.isnan(r) else r, abs=1e-9)

    clustering = nx.clustering(g)
    assert [graph.node_clustering_coefficient(v) for v in range(n)] == pytest.approx(
        [clustering[v] for v in range(n)], abs=1e-15)
    assert graph.clustering_coefficient() == pytest.approx(nx.average_clustering(g), abs=1e-12)
    assert graph.global_clustering_coefficient() == pytest.approx(nx.transitivity(g), abs=1e-12)

    components = list(nx.connected_components(g))
    assert graph.is_connected() == (len(components) == 1)
    assert graph.count_components() == len(components)
    assert graph.largest_component_size() == max(map(len, components))
    radius, diameter, average = path_oracle(g)
    assert (graph.radius(), graph.diameter()) == (radius, diameter)
    assert graph.average_path_length() == pytest.approx(average, abs=1e-12)

    betweenness = nx.betweenness_centrality(g)
    assert graph.betweenness_centrality_all() == pytest.approx([betweenness[v] for v in range(n)], abs=1e-12)
    for v in {0, n // 2, n - 1}:
        assert graph.betweenness_centrality(v) == graph.betweenness_centrality_all()[v]


def check_shortest_paths(graph):
    g = to_networkx(graph)
    lengths = dict(nx.all_pairs_shortest_path_length(g))
    n = graph.node_count()
    for s in range(n):
        assert [graph.shortest_path_length(s, t) for t in range(n)] == [lengths[s].get(t) for t in range(n)]


samples = st.one_of(st.integers(0, 6).map(float), st.just(None), st.just(math.nan))


@settings(max_examples=120)
@given(st.lists(samples, min_size=1, max_size=40), st.sampled_from(["natural", "horizontal"]))
def test_metrics_of_small_graphs(values, kind):
    if all(v is None for v in values):
        values[0] = 1.0
    graph = getattr(TS.with_missing(list(range(len(values))), values), f"{kind}_visibility")()
    check_against_networkx(graph)
    check_shortest_paths(graph)


@pytest.mark.parametrize("n, kind, shape, gaps", [(300, "natural", "noise", False),
                                                  (400, "horizontal", "walk", True),
                                                  (600, "natural", "walk", True),
                                                  (1000, "natural", "noise", False)])
def test_metrics_of_larger_graphs(n, kind, shape, gaps):
    rng = np.random.default_rng(n)
    y = np.cumsum(rng.standard_normal(n)) if shape == "walk" else rng.random(n)
    values = [None if gaps and r < 0.05 else v for v, r in zip(y.tolist(), rng.random(n))]
    graph = getattr(TS.with_missing(list(range(n)), values), f"{kind}_visibility")()
    assert graph.is_connected() == (not gaps)
    check_against_networkx(graph)


def test_clustering_of_graphs_with_hubs():
    # Rare spikes see far across a low, noisy series: hubs of degree in the
    # hundreds beside nodes of degree 2 or 3, so triangles are found from
    # the low end of edges that join very different degrees.
    rng = np.random.default_rng(21)
    y = rng.random(1500)
    y[rng.choice(1500, 12, replace=False)] += rng.uniform(50, 500, 12)
    graph = kt.natural_visibility(y)
    assert max(graph.degree_sequence()) > 300
    g = to_networkx(graph)
    clustering = nx.clustering(g)
    assert graph.clustering_coefficients().tolist() == pytest.approx([clustering[v] for v in range(1500)],
                                                                     abs=1e-15)
    assert graph.clustering_coefficient() == pytest.approx(nx.average_clustering(g), abs=1e-12)
    assert graph.global_clustering_coefficient() == pytest.approx(nx.transitivity(g), abs=1e-12)
    assert graph.detect_motifs().get("complete_triangle") == sum(nx.triangles(g).values()) // 3


def test_triangles_of_a_large_graph_counted_in_parts():
    # Over 2^21 edge ends: the nodes are split into parts, each counting
    # triangles into its own array. Each node's count against the merge of
    # its neighbour lists that clustering of one node uses, on a sample.
    y = np.cumsum(np.random.default_rng(5).standard_normal(120_000))
    graph = kt.natural_visibility(y)
    assert 2 * graph.edge_count() > 2**21
    coefficients = graph.clustering_coefficients()
    for v in np.random.default_rng(6).choice(len(y), 300, replace=False).tolist() + [0, len(y) - 1]:
        assert coefficients[v] == graph.node_clustering_coefficient(v)
    degrees = graph.degrees()
    pairs = degrees * (degrees - 1) // 2
    triangles_at = np.rint(coefficients * np.maximum(pairs, 1)).astype(np.int64)
    triangles = int(triangles_at.sum()) // 3
    assert graph.detect_motifs().get("complete_triangle") == triangles
    assert graph.global_clustering_coefficient() == 3 * triangles / int(pairs.sum())
    assert graph.clustering_coefficient() == pytest.approx(float(np.mean(coefficients)), abs=1e-12)


def test_assortativity_beyond_64_bit_sums():
    # A hub seeing 2^21 nodes that see only their neighbours: the sums of the
    # degrees cubed pass 2^64, so they are taken in 128 bits. Exact oracle
    # from the few distinct pairs of end degrees.
    y = np.zeros(2**21 + 1)
    y[0] = 1e9
    graph = kt.natural_visibility(y)
    # The hub's edges come first; the chunk holding them must not reserve
    # what they project for the whole chunk.
    assert len(kt.natural_visibility_edges(y)) == graph.edge_count() == 2**22 - 1
    degrees = graph.degrees()
    edges = graph.edge_array()
    pairs, counts = np.unique(np.stack([degrees[edges[:, 0]], degrees[edges[:, 1]]], axis=1), axis=0,
                              return_counts=True)
    ends = 2 * len(edges)
    total = sum(int(c) * (int(a) + int(b)) for (a, b), c in zip(pairs, counts))
    squares = sum(int(c) * (int(a) ** 2 + int(b) ** 2) for (a, b), c in zip(pairs, counts))
    products = sum(int(c) * 2 * int(a) * int(b) for (a, b), c in zip(pairs, counts))
    mean = Fraction(total, ends)
    expected = (Fraction(products, ends) - mean**2) / (Fraction(squares, ends) - mean**2)
    assert int(degrees.max()) ** 2 * ends >= 2**64
    assert graph.assortativity() == pytest.approx(float(expected), rel=1e-12)


def end_degree_assortativity(graph):
    """The correlation of the end degrees in exact rational arithmetic."""
    degrees = graph.degrees()
    a, b = (degrees[end].astype(object) for end in graph.edge_array().T)
    ends = 2 * len(a)
    total, squares, products = int(np.sum(a + b)), int(np.sum(a * a + b * b)), int(np.sum(2 * a * b))
    variance = squares * ends - total * total
    return 0.0 if variance == 0 else float(Fraction(products * ends - total * total, variance))


@pytest.mark.parametrize("samples", [5000, 700_000])
def test_assortativity_over_blocks_of_ends_and_rows_without_edges(samples):
    # The neighbours' degrees are summed over blocks of edge ends, read at
    # the rows' ends: runs of isolated nodes put many rows' ends in one
    # place, at the start and end of the graph and of blocks; the larger
    # graph is split between threads.
    rng = np.random.default_rng(11)
    y = np.cumsum(rng.standard_normal(samples))
    y[:700] = np.nan
    y[samples // 3:samples // 3 + 5000] = np.nan
    y[rng.random(samples) < 0.05] = np.nan
    y[-900:] = np.nan
    graph = kt.natural_visibility(y)
    assert graph.assortativity() == pytest.approx(end_degree_assortativity(graph), rel=1e-15)


@pytest.mark.parametrize("n", [200, 3000])
def test_assortativity_of_nearly_equal_degrees(n):
    # A complete graph less one edge: two ends of degree n - 2 among n - 1.
    # The variance of the end degrees is a tiny share of their mean squared,
    # which subtracting the mean in floating point lost (wrong from the third
    # digit on at n = 3000); the covariance and variance are exact integers.
    pairs = np.stack(np.triu_indices(n, 1), axis=1)[1:]
    from kaltrope import from_edges
    graph = from_edges(pairs, n)
    expected = end_degree_assortativity(graph)
    assert -3 / n < expected < 0
    assert graph.assortativity() == pytest.approx(expected, rel=1e-14)


def test_betweenness_counts_every_shortest_path_through_a_node():
    # Edges 0-1, 0-2, 0-3, 1-2, 2-3, 3-4: node 4 hangs on node 3, so 3 lies on
    # every shortest path from 4 to the other three nodes and back (6 ordered
    # pairs of 4 * 3). From 3 to 1 there are two shortest paths (over 0 and
    # over 2), which must not halve the credit of 3 for the pair (4, 1).
    graph = kt.natural_visibility([0.0, 0.0, 1.0, 2.0, 0.0])
    assert [(a, b) for a, b, _ in graph.edges()] == [(0, 1), (0, 2), (0, 3), (1, 2), (2, 3), (3, 4)]
    assert graph.betweenness_centrality(3) == 0.5
    check_against_networkx(graph)


def test_documented_cases():
    path = kt.natural_visibility([1.0, 2.0, 1.0])
    assert path.degree_distribution() == {1: 2, 2: 1}
    assert path.degree_variance() == pytest.approx(2 / 9)
    assert (path.density(), path.assortativity()) == (pytest.approx(2 / 3), -1.0)
    assert (path.diameter(), path.radius(), path.average_path_length()) == (2, 1, pytest.approx(4 / 3))
    assert path.node_clustering_coefficient(1) == 0.0
    assert (path.betweenness_centrality(1), path.betweenness_centrality(0)) == (1.0, 0.0)

    triangle = kt.natural_visibility([3.0, 1.0, 3.0])
    assert [triangle.node_clustering_coefficient(v) for v in range(3)] == [1.0, 1.0, 1.0]
    assert triangle.global_clustering_coefficient() == 1.0 and triangle.assortativity() == 0.0
    assert math.copysign(1.0, triangle.degree_entropy()) == -1.0     # -0.0: equal degrees

    one = kt.natural_visibility([5.0])
    assert one.degree_centrality() == [0.0] and one.density() == 0.0
    assert one.betweenness_centrality_all() == [0.0]
    assert math.copysign(1.0, one.betweenness_centrality(0)) == -1.0  # no pair to add
    assert one.is_connected() and one.count_components() == 1
    assert (one.radius(), one.diameter(), one.average_path_length()) == (0, 0, 0.0)
    two = kt.natural_visibility([1.0, 2.0])
    assert two.betweenness_centrality_all() == [0.0, 0.0]

    # The path 0-1-3 and node 2 on its own.
    isolated = TS.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, 2.0, None, 0.5]).natural_visibility()
    assert not isolated.is_connected() and isolated.count_components() == 2
    assert isolated.radius() == 0 and isolated.diameter() == 2 and isolated.largest_component_size() == 3
    assert isolated.average_path_length() == pytest.approx((1 + 1 + 2) / 3)


def test_a_graph_without_nodes():
    # from_edges makes one; betweenness once divided by the node count.
    from kaltrope import from_edges
    empty = from_edges(np.empty((0, 2), np.int64), 0)
    assert empty.betweenness_centrality_all() == [] and empty.betweenness_centralities().shape == (0,)
    assert empty.degree_centrality() == [] and empty.clustering_coefficients().shape == (0,)
    assert (empty.radius(), empty.diameter(), empty.average_path_length()) == (0, 0, 0.0)
    assert (empty.count_components(), empty.largest_component_size()) == (0, 0)
    assert (empty.assortativity(), empty.degree_entropy(), empty.density()) == (0.0, 0.0, 0.0)
    statistics = empty.compute_statistics()
    assert (statistics.node_count, statistics.community_count, statistics.modularity) == (0, 0, 0.0)
    assert empty.detect_motifs().total_subgraphs == 0 and empty.detect_communities() == []
    with pytest.raises(ValueError, match="^Node 0 not found in graph$"):
        empty.betweenness_centrality(0)


def test_out_of_range_nodes():
    graph = kt.natural_visibility([1.0, 2.0, 1.0])
    assert graph.shortest_path_length(0, 3) is None and graph.shortest_path_length(3, 0) is None
    assert graph.shortest_path_length(1, 1) == 0
    assert graph.node_clustering_coefficient(3) is None
    with pytest.raises(ValueError, match="^Node 3 not found in graph$"):
        graph.betweenness_centrality(3)
    with pytest.raises(OverflowError):
        graph.betweenness_centrality(-1)


def test_long_chain_does_not_exhaust_the_stack():
    # A monotone series is a path: one component a million nodes deep.
    graph = kt.horizontal_visibility(np.arange(1_000_000, dtype=np.float64))
    assert graph.edge_count() == 999_999
    assert graph.is_connected() and graph.count_components() == 1
    assert graph.largest_component_size() == 1_000_000
    assert graph.shortest_path_length(0, 999_999) == 999_999


def test_interpreter_lock_is_released_during_all_pairs_metrics():
    graph = kt.natural_visibility(np.random.default_rng(0).random(3000))
    done, ticks = threading.Event(), 0
    worker = threading.Thread(target=lambda: (graph.betweenness_centrality_all(), done.set()), daemon=True)
    worker.start()
    while not done.is_set():
        ticks += 1
        time.sleep(0.001)
    worker.join()
    assert ticks >= 10


SUBPROCESS = """
import os, sys
if sys.argv[1] == "pinned":
    os.sched_setaffinity(0, {0})
import numpy as np
import _kaltrope as kt
y = np.random.default_rng(11).standard_normal(2500).cumsum()
g = kt.natural_visibility(y)
s = g.compute_statistics()
out = g.betweenness_centrality_all() + [s.average_path_length, s.average_clustering, s.assortativity, s.modularity]
print(repr([float(v).hex() for v in out]))
print(g.detect_communities(), g.detect_communities(seed=5, resolution=1.5), g.edge_array().tolist())
"""


def test_results_do_not_depend_on_the_number_of_threads():
    outputs = []
    for mode in ("pinned", "unpinned"):
        proc = subprocess.run([sys.executable, "-c", SUBPROCESS, mode], capture_output=True, text=True,
                              timeout=120)
        assert proc.returncode == 0, proc.stderr
        outputs.append(proc.stdout)
    assert outputs[0] == outputs[1]
