"""Leiden communities and modularity, against networkx.

The labels of detect_communities() are checked for what the Leiden algorithm
promises rather than for one particular answer: their modularity equals
networkx.community.modularity of the same partition, every community is
connected, no node raises the modularity by moving on its own, and the same
graph and seed give the same labels (for any number of threads: see
metrics/test_graph_metrics.py). Graphs of
any shape, several large components included, go through the core's test
probe.
"""
import math
import subprocess
import threading

import networkx as nx
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from probes import graph_probe

NAN = math.nan


def build(values, kind="natural"):
    series = kt.TimeSeries.with_missing(list(range(len(values))), values)
    return getattr(series, f"{kind}_visibility")()


def to_networkx(node_count, edges):
    g = nx.Graph()
    g.add_nodes_from(range(node_count))
    g.add_edges_from(map(tuple, edges))
    return g


def parts_of(labels):
    parts = {}
    for v, label in enumerate(labels):
        parts.setdefault(label, set()).add(v)
    return list(parts.values())


def check_partition(g, labels):
    """Dense labels by first appearance, connected communities, isolated
    nodes alone; returns networkx's modularity of the partition."""
    assert len(labels) == g.number_of_nodes()
    firsts = [labels.index(c) for c in range(max(labels, default=-1) + 1)]
    assert set(labels) == set(range(len(firsts))) and firsts == sorted(firsts)
    for part in parts_of(labels):
        assert nx.is_connected(g.subgraph(part)), sorted(part)
    for v in g.nodes:
        if g.degree(v) == 0:
            assert labels.count(labels[v]) == 1
    return nx.community.modularity(g, parts_of(labels)) if g.number_of_edges() else 0.0


def best_single_move_gain(g, labels):
    """The largest modularity gain of moving one node to a neighbour's
    community or to a community of its own (exact counts, one float step)."""
    m = g.number_of_edges()
    degree_sum = {}
    for v, label in enumerate(labels):
        degree_sum[label] = degree_sum.get(label, 0) + g.degree(v)
    best = -math.inf
    for v in g.nodes:
        k, own = g.degree(v), labels[v]
        links = {}
        for u in g.neighbors(v):
            links[labels[u]] = links.get(labels[u], 0) + 1
        stay = links.get(own, 0) - k * (degree_sum[own] - k) / (2 * m)
        for target, weight in list(links.items()) + [(None, 0)]:
            if target != own:
                best = max(best, (weight - k * degree_sum.get(target, 0) / (2 * m) - stay) / m)
    return best


values_with_gaps = st.lists(st.one_of(st.none(), st.just(NAN), st.integers(-3, 3).map(float)),
                            min_size=1, max_size=30).filter(lambda v: any(x is not None for x in v))


@settings(max_examples=150)
@given(values_with_gaps, st.sampled_from(["natural", "horizontal"]), st.integers(0, 2**64 - 1))
def test_communities_of_small_graphs(values, kind, seed):
    graph = build(values, kind)
    g = to_networkx(graph.node_count(), graph.edge_array().tolist())
    labels = graph.detect_communities(seed=seed)
    expected = check_partition(g, labels)
    assert graph.modularity(labels) == pytest.approx(expected, abs=1e-12)
    if g.number_of_edges():
        assert best_single_move_gain(g, labels) <= 1e-12
    if seed == 0:
        assert graph.modularity() == graph.modularity(labels)


def probe_measures(node_count, edges):
    """The probe's measures of any graph, as a dict of lists."""
    text = "".join(f"{a} {b}\n" for a, b in edges)
    out = subprocess.run([str(graph_probe()), "measures", str(node_count)], input=text, capture_output=True,
                         text=True, check=True, timeout=60).stdout
    measures = {}
    for line in out.splitlines():
        name, *fields = line.split()
        measures[name] = fields
    return measures


@st.composite
def any_graph(draw):
    n = draw(st.integers(1, 30))
    pairs = [(a, b) for a in range(n) for b in range(a + 1, n)]
    p = draw(st.sampled_from([0.05, 0.1, 0.2, 0.5]))
    flags = draw(st.lists(st.floats(0, 1), min_size=len(pairs), max_size=len(pairs)))
    return n, [pair for pair, flag in zip(pairs, flags) if flag < p]


@settings(max_examples=60)
@given(any_graph())
def test_communities_of_any_graph(graph):
    n, edges = graph
    labels = [int(x) for x in probe_measures(n, edges)["communities"]]
    g = to_networkx(n, edges)
    check_partition(g, labels)
    if edges:
        assert best_single_move_gain(g, labels) <= 1e-12


def test_separate_cliques_are_found():
    # Four cliques of six joined in a ring by one edge each, and two more
    # cliques apart from them: the best partition is the cliques.
    edges = []
    for c in range(6):
        edges += [(6 * c + a, 6 * c + b) for a in range(6) for b in range(a + 1, 6)]
    edges += [(0, 6), (6, 12), (12, 18), (0, 18)]
    labels = [int(x) for x in probe_measures(36, sorted(edges))["communities"]]
    assert labels == [v // 6 for v in range(36)]


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_communities_of_larger_graphs(kind):
    # Enough nodes that refinement and grouping are split between threads,
    # and that the rounds end on the gain rule, before the last moves.
    y = np.cumsum(np.random.default_rng(8).standard_normal(3000))
    y[::100] = NAN                                # isolated nodes, each a community of its own
    graph = getattr(kt, f"{kind}_visibility")(y)
    g = to_networkx(graph.node_count(), graph.edge_array().tolist())
    labels = graph.detect_communities()
    assert graph.modularity(labels) == pytest.approx(check_partition(g, labels), abs=1e-12)
    assert max(labels) >= 15
    # The old label flooding put every connected node into one community;
    # igraph's multilevel and Leiden methods reach 0.702 and 0.707 here.
    assert graph.modularity() > (0.7 if kind == "natural" else 0.8)
    assert best_single_move_gain(g, labels) <= 1e-12


def test_seeds_and_resolution():
    y = np.random.default_rng(3).random(2000)
    graph = kt.natural_visibility(y)
    labels = graph.detect_communities()
    assert labels == graph.detect_communities(seed=0) == kt.natural_visibility(y).detect_communities()
    assert graph.detect_communities(seed=7) == kt.natural_visibility(y).detect_communities(seed=7)
    # Resolution 0 rewards every merge: one community per component.
    gaps = y.copy()
    gaps[[5, 900]] = NAN
    assert build(gaps.tolist()).detect_communities(resolution=0) == (
        [0] * 5 + [1] + [0] * 894 + [2] + [0] * 1099)
    # A huge resolution penalises every merge.
    assert graph.detect_communities(resolution=1e9) == list(range(2000))
    coarse = max(graph.detect_communities(resolution=0.2)) + 1
    fine = max(graph.detect_communities(resolution=5.0)) + 1
    assert coarse < max(labels) + 1 < fine


def test_modularity_of_labels_in_any_numbering():
    # The detected labels given back are scored from the graph's search;
    # labels below the node count through a table, others through a map:
    # all sum the communities' terms in order of first appearance, so they
    # agree to the last bit.
    rng = np.random.default_rng(4)
    y = np.cumsum(rng.standard_normal(1500))
    graph = kt.natural_visibility(y)
    labels = graph.detect_communities()
    q = graph.modularity()
    assert graph.modularity(labels) == q
    fresh = kt.natural_visibility(y)
    relabelled = rng.permutation(len(y))[labels]
    wide = np.array(labels) * -(2**40) - 1
    assert fresh.modularity(labels) == fresh.modularity(relabelled) == fresh.modularity(wide) == q
    g = to_networkx(graph.node_count(), graph.edge_array().tolist())
    assert q == pytest.approx(nx.community.modularity(g, parts_of(labels)), abs=1e-12)
    # Labels other than the detected ones are scored, not taken from the search.
    moved = list(labels)
    moved[0] = moved[-1]
    assert graph.modularity(moved) == fresh.modularity(moved) != q
    assert graph.modularity(moved) == pytest.approx(nx.community.modularity(g, parts_of(moved)), abs=1e-12)


def test_documented_communities():
    assert kt.natural_visibility([3.0, 1.0, 3.0]).detect_communities() == [0, 0, 0]
    assert kt.natural_visibility([1.0, 2.0, 1.0]).detect_communities() == [0, 0, 0]
    # No edges: every node alone, and modularity 0.
    empty = build([NAN, 1.0, None, NAN])
    assert empty.detect_communities() == [0, 1, 2, 3]
    assert empty.modularity() == 0.0 and empty.modularity([0, 0, 0, 0]) == 0.0
    assert kt.natural_visibility([5.0]).detect_communities() == [0]
    path = kt.natural_visibility([1.0, 2.0, 1.0])
    assert path.modularity() == 0.0 and path.modularity([0, 0, 1]) == -0.125
    # Any integers label the communities.
    assert path.modularity(np.array([-7, -7, 2**40])) == -0.125
    assert path.modularity((True, True, False)) == -0.125
    # uint64 labels (which NumPy will not cast to int64 safely) are read as
    # they are, up to the largest int64; past it they are refused.
    assert path.modularity(np.array([3, 3, 2**63 - 1], np.uint64)) == -0.125
    assert path.modularity(np.array([0, 0, 1], np.uint32)) == -0.125
    with pytest.raises(TypeError, match="^labels must fit int64: label 9223372036854775808 of node 2 does not$"):
        path.modularity(np.array([0, 0, 2**63], np.uint64))


def test_arguments():
    graph = kt.natural_visibility([1.0, 2.0, 1.0])
    for bad in (-0.5, NAN, math.inf):
        with pytest.raises(ValueError, match="^resolution must be a finite number >= 0"):
            graph.detect_communities(resolution=bad)
    with pytest.raises(TypeError):
        graph.detect_communities(resolution="1")
    with pytest.raises(TypeError):
        graph.detect_communities(1.0)               # keyword-only
    for bad in (-1, 2**64):
        with pytest.raises(OverflowError):
            graph.detect_communities(seed=bad)
    with pytest.raises(TypeError, match="seed"):
        graph.detect_communities(seed=1.5)
    with pytest.raises(ValueError, match="^labels must hold one label per node: got 2 for 3 nodes$"):
        graph.modularity([0, 1])
    # An empty list (which NumPy makes float64) is the wrong length, not the wrong type...
    with pytest.raises(ValueError, match="^labels must hold one label per node: got 0 for 3 nodes$"):
        graph.modularity([])
    # ... and the labels of a graph without nodes, which detect_communities gives.
    empty = kt.VisibilityGraph._restore(1, np.zeros(1, np.uint64), np.empty(0, np.uint32), None, None, None,
                                        np.empty(0), np.empty(0))
    assert empty.modularity(empty.detect_communities()) == empty.modularity() == 0.0
    with pytest.raises(ValueError):
        graph.modularity([[0, 1, 2]])
    for bad in ([0.0, 1.0, 1.0], ["a", "b", "c"], [0, None, 1]):
        with pytest.raises(TypeError):
            graph.modularity(bad)
    assert kt.VisibilityGraph.detect_communities.__text_signature__ == "($self, /, *, resolution=1.0, seed=0)"
    assert kt.VisibilityGraph.modularity.__text_signature__ == "($self, /, labels=None)"
    for method in (kt.VisibilityGraph.detect_communities, kt.VisibilityGraph.modularity):
        doc = method.__doc__
        assert doc.index("Parameters\n----------") < doc.index("Returns\n-------") < doc.index("Raises\n------")


def test_threads_share_one_search():
    y = np.random.default_rng(5).random(4000)
    expected = kt.natural_visibility(y).detect_communities()
    graph = kt.natural_visibility(y)
    results = [None] * 6
    def work(k):
        results[k] = (graph.detect_communities(), graph.modularity())
    threads = [threading.Thread(target=work, args=(k,)) for k in range(6)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(r == (expected, graph.modularity(expected)) for r in results)
