"""Radius and diameter by bounding eccentricities, and the all-pairs results
kept with a graph.

The bounding search is checked against networkx on graphs of any shape
through the core's test probe (several components of different depths,
isolated nodes, paths, stars, grids), and on visibility graphs against the
all-pairs search it replaces. Eccentricities are taken within each node's
component; an isolated node has eccentricity 0.
"""
import subprocess
import threading

import networkx as nx
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from probes import graph_probe
from test_graph_metrics import path_oracle


def probe(g):
    edges = "".join(f"{min(a, b)} {max(a, b)}\n" for a, b in g.edges)
    out = subprocess.run([str(graph_probe()), "measures", str(g.number_of_nodes())], input=edges,
                         capture_output=True, text=True, check=True, timeout=60).stdout
    return {name: fields for name, *fields in map(str.split, out.splitlines())}


def check_graph(g):
    measures = probe(g)
    radius, diameter, average = path_oracle(g)
    assert [int(x) for x in measures["bounds"]] == [radius, diameter]
    r, d, length = measures["all_pairs"]
    assert (int(r), int(d)) == (radius, diameter)
    assert float.fromhex(length) == pytest.approx(average, abs=1e-12)
    betweenness = nx.betweenness_centrality(g)
    got = [float.fromhex(x) for x in measures["betweenness"]]
    assert got == pytest.approx([betweenness[v] for v in g.nodes], abs=1e-12)


@st.composite
def any_graph(draw):
    n = draw(st.integers(1, 40))
    p = draw(st.sampled_from([0.03, 0.06, 0.1, 0.3]))
    flags = draw(st.lists(st.floats(0, 1), min_size=n * (n - 1) // 2, max_size=n * (n - 1) // 2))
    pairs = [(a, b) for a in range(n) for b in range(a + 1, n)]
    g = nx.Graph()
    g.add_nodes_from(range(n))
    g.add_edges_from(pair for pair, flag in zip(pairs, flags) if flag < p)
    return g


@settings(max_examples=50)
@given(any_graph())
def test_random_graphs(g):
    check_graph(g)


def disjoint(*graphs):
    return nx.convert_node_labels_to_integers(nx.disjoint_union_all(graphs))


@pytest.mark.parametrize("g", [
    nx.path_graph(50), nx.star_graph(30), nx.cycle_graph(41), nx.cycle_graph(40),
    nx.convert_node_labels_to_integers(nx.grid_2d_graph(9, 13)),
    nx.barbell_graph(12, 20), nx.balanced_tree(3, 4),
    # A shallow component that settles first and a deep one that decides the diameter.
    disjoint(nx.complete_graph(30), nx.path_graph(25), nx.empty_graph(3)),
    # The deep component is found last by node order; the radius is 0.
    disjoint(nx.empty_graph(1), nx.star_graph(10), nx.path_graph(3), nx.cycle_graph(35)),
    # Components whose sizes alone bound them below the diameter.
    disjoint(nx.path_graph(20), *[nx.path_graph(3) for _ in range(20)]),
    nx.connected_watts_strogatz_graph(300, 4, 0.05, seed=3),
    nx.gnp_random_graph(300, 0.012, seed=5),
], ids=lambda g: f"{g.number_of_nodes()}n{g.number_of_edges()}e")
def test_shapes(g):
    check_graph(g)


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_visibility_graphs_bounded_equal_all_pairs(kind):
    rng = np.random.default_rng(9)
    for y in (rng.random(3000), np.cumsum(rng.standard_normal(3000)), np.sin(np.arange(3000) / 40.0)):
        y = y.copy()
        y[rng.choice(3000, 30, replace=False)] = np.nan
        fresh = getattr(kt, f"{kind}_visibility")(y)
        bounded = (fresh.radius(), fresh.diameter())
        searched = getattr(kt, f"{kind}_visibility")(y)
        searched.average_path_length()               # the all-pairs search, kept with the graph
        assert (searched.radius(), searched.diameter()) == bounded
        assert bounded[0] == 0                         # the isolated NaN samples
        statistics = fresh.compute_statistics()
        assert (statistics.radius, statistics.diameter) == bounded


def test_threads_share_the_kept_results():
    y = np.cumsum(np.random.default_rng(4).standard_normal(1500))
    reference = kt.natural_visibility(y)
    expected = [reference.diameter(), reference.radius(), reference.average_path_length(),
                reference.betweenness_centrality_all()]
    graph = kt.natural_visibility(y)
    calls = [graph.diameter, graph.radius, graph.average_path_length, graph.betweenness_centrality_all]
    results = {}

    def work(k):
        results[k] = calls[k % 4]()
    threads = [threading.Thread(target=work, args=(k,)) for k in range(12)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(results[k] == expected[k % 4] for k in range(12))
