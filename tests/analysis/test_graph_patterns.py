"""Three-node motif counts of visibility graphs.

Motif counts are checked against a plain enumeration of every triple; the
classification of directed triads, which the Python interface never builds,
through the core's test probe `graph_probe`. Communities have their own tests
(community/test_communities.py).
"""
import itertools
import math
import subprocess

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from probes import graph_probe

NAN = math.nan
KINDS = ["empty", "single_edge", "chain", "fork", "cycle", "three_edges", "four_edges",
         "five_edges", "complete_triangle"]
# Undirected triples by their number of edges.
UNDIRECTED = {0: "empty", 1: "fork", 2: "four_edges", 3: "complete_triangle"}


def build(values, kind="natural"):
    series = kt.TimeSeries.with_missing(list(range(len(values))), values)
    return getattr(series, f"{kind}_visibility")()


values_with_gaps = st.lists(st.one_of(st.none(), st.just(NAN), st.integers(-3, 3).map(float)),
                            min_size=1, max_size=24).filter(lambda v: any(x is not None for x in v))


# --------------------------------------------------------------------------
# motifs

def enumerated_motifs(graph):
    n = graph.node_count()
    counts = {}
    for triple in itertools.combinations(range(n), 3):
        edges = sum(graph.has_edge(a, b) for a, b in itertools.combinations(triple, 2))
        counts[UNDIRECTED[edges]] = counts.get(UNDIRECTED[edges], 0) + 1
    return counts


@settings(max_examples=150)
@given(values_with_gaps, st.sampled_from(["natural", "horizontal"]))
def test_motifs_equal_enumeration(values, kind):
    graph = build(values, kind)
    motifs = graph.detect_motifs()
    expected = enumerated_motifs(graph)
    assert motifs.counts() == expected
    assert list(motifs.counts()) == [k for k in KINDS if k in expected]   # table order
    assert motifs.total_subgraphs == math.comb(graph.node_count(), 3)
    for name in KINDS:
        assert motifs.get(name) == expected.get(name)


def test_motifs_of_a_larger_graph_equal_enumeration():
    y = np.random.default_rng(3).integers(0, 20, 90).astype(float)
    graph = kt.natural_visibility(y)
    assert graph.detect_motifs().counts() == enumerated_motifs(graph)


def test_documented_motifs():
    path = kt.natural_visibility([1.0, 2.0, 1.0]).detect_motifs()
    assert (path.counts(), path.total_subgraphs) == ({"four_edges": 1}, 1)
    triangle = kt.natural_visibility([3.0, 1.0, 3.0]).detect_motifs()
    assert (triangle.counts(), triangle.total_subgraphs) == ({"complete_triangle": 1}, 1)
    one_edge = build([1.0, 2.0, None, None]).detect_motifs()
    assert (one_edge.counts(), one_edge.total_subgraphs) == ({"empty": 2, "fork": 2}, 4)
    assert repr(one_edge) == 'MotifCounts(counts={"empty": 2, "fork": 2}, total=4)'
    for values in ([1.0, 2.0], [1.0]):
        small = kt.natural_visibility(values).detect_motifs()
        assert (small.counts(), small.total_subgraphs) == ({}, 0)
        assert repr(small) == "MotifCounts(counts={}, total=0)"


def test_motif_counts_object():
    motifs = kt.natural_visibility([1.0, 2.0, 1.0]).detect_motifs()
    assert motifs.get("four_edges") == 1 and motifs.get(motif_name="four_edges") == 1
    assert motifs.get("cycle") is None and motifs.get("no such motif") is None
    with pytest.raises(TypeError, match="motif_name"):
        motifs.get(4)
    counts = motifs.counts()
    counts["four_edges"] = 7                      # a copy
    assert motifs.counts() == {"four_edges": 1}
    with pytest.raises(AttributeError):
        motifs.total_subgraphs = 3
    assert kt.MotifCounts.__doc__.startswith("The three-node motif counts of a graph")
    assert kt.MotifCounts.counts.__doc__.splitlines()[0] == "Get counts as a dictionary {motif_name: count}"
    assert kt.MotifCounts.get.__text_signature__ == "($self, motif_name)"
    assert kt.VisibilityGraph.detect_motifs.__doc__.splitlines()[0] == "Detects motifs in the graph."


def test_counts_beyond_64_bits_are_exact():
    # The horizontal graph of a constant series is a path: n - 1 edges, each
    # inner node the middle of one two-edge triple.
    n = 5_000_000
    motifs = kt.horizontal_visibility(np.zeros(n)).detect_motifs()
    total = math.comb(n, 3)
    assert total > 2**64 and motifs.total_subgraphs == total
    one_edge = (n - 1) * (n - 2) - 2 * (n - 2)
    assert motifs.counts() == {"empty": total - one_edge - (n - 2), "fork": one_edge, "four_edges": n - 2}
    assert repr(motifs) == (f'MotifCounts(counts={{"empty": {total - one_edge - (n - 2)}, '
                            f'"fork": {one_edge}, "four_edges": {n - 2}}}, total={total})')


ARCS = [(0, 1), (1, 0), (0, 2), (2, 0), (1, 2), (2, 1)]      # ij, ji, ik, ki, jk, kj


def probe_classes(arc_sets):
    text = "".join("".join("1" if arc in arcs else "0" for arc in ARCS) + "\n" for arcs in arc_sets)
    out = subprocess.run([str(graph_probe()), "triads"], input=text, capture_output=True, text=True,
                         check=True, timeout=60).stdout
    return out.split()


def test_directed_triads():
    every = [frozenset(a for a, bit in zip(ARCS, bits) if bit)
             for bits in itertools.product([0, 1], repeat=6)]
    classes = dict(zip(every, probe_classes(every)))
    by_count = {0: "empty", 1: "single_edge", 4: "four_edges", 5: "five_edges", 6: "complete_triangle"}
    for arcs, name in classes.items():
        if len(arcs) in by_count:
            assert name == by_count[len(arcs)]
        # The class does not depend on how the nodes are numbered.
        for p in itertools.permutations(range(3)):
            assert classes[frozenset((p[a], p[b]) for a, b in arcs)] == name
    # Hand-made triads. With the invariance above, the counts pin the classes
    # down: six chains are the directed paths, two cycles the directed cycles.
    assert classes[frozenset({(1, 0), (0, 2)})] == "chain"                  # 1 -> 0 -> 2
    assert classes[frozenset({(0, 1), (0, 2)})] == classes[frozenset({(1, 0), (2, 0)})] == "fork"
    assert classes[frozenset({(0, 1), (1, 0)})] == "fork"
    assert sum(name == "chain" for arcs, name in classes.items() if len(arcs) == 2) == 6
    assert classes[frozenset({(0, 2), (2, 1), (1, 0)})] == "cycle"
    assert classes[frozenset({(0, 1), (1, 2), (0, 2)})] == "three_edges"
    assert sum(name == "cycle" for name in classes.values()) == 2
