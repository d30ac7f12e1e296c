"""The graph's arrays (edge_array, degrees, clustering_coefficients,
betweenness_centralities) against the per-node and list methods they stand
for, and the construction of large graphs on any number of threads."""
import json
import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from processes import measures_peak_memory, run_python

NAN = math.nan


def check_arrays(graph):
    n = graph.node_count()
    edges = graph.edge_array()
    assert edges.dtype == np.int64 and edges.shape == (graph.edge_count(), 2) and edges.flags.c_contiguous
    assert [tuple(row) for row in edges.tolist()] == [(a, b) for a, b, _ in graph.edges()]
    degrees = graph.degrees()
    assert degrees.dtype == np.int64 and degrees.shape == (n,)
    assert degrees.tolist() == graph.degree_sequence()
    clustering = graph.clustering_coefficients()
    assert clustering.dtype == np.float64 and clustering.shape == (n,)
    assert clustering.tolist() == [graph.node_clustering_coefficient(v) for v in range(n)]
    betweenness = graph.betweenness_centralities()
    assert betweenness.dtype == np.float64 and betweenness.shape == (n,)
    assert betweenness.tolist() == graph.betweenness_centrality_all()
    assert [graph.betweenness_centrality(v) for v in range(n)] == graph.betweenness_centrality_all()
    for array in (edges, degrees, clustering, betweenness):
        assert array.flags.owndata or array.base is not None
        array[...] = 0                                 # a copy of the graph's data, free to change
    assert graph.betweenness_centralities().tolist() == graph.betweenness_centrality_all()


@settings(max_examples=100)
@given(st.lists(st.one_of(st.none(), st.just(NAN), st.integers(-4, 4).map(float)), min_size=1, max_size=30)
       .filter(lambda v: any(x is not None for x in v)), st.sampled_from(["natural", "horizontal"]))
def test_arrays_of_small_graphs(values, kind):
    graph = getattr(kt.TimeSeries.with_missing(list(range(len(values))), values), f"{kind}_visibility")()
    check_arrays(graph)


def test_arrays_of_a_larger_graph():
    y = np.cumsum(np.random.default_rng(2).standard_normal(1200))
    y[::97] = NAN
    check_arrays(kt.natural_visibility(y))


def test_edge_array_equals_the_engine():
    y = np.random.default_rng(6).random(200_000)
    expected = kt.natural_visibility_edges(y)
    got = kt.natural_visibility(y).edge_array()
    order = np.lexsort((expected[:, 1], expected[:, 0]))
    assert np.array_equal(got, expected[order])
    h = kt.horizontal_visibility_edges(y)
    assert np.array_equal(kt.horizontal_visibility(y).edge_array(), h[np.lexsort((h[:, 1], h[:, 0]))])


def test_single_node():
    graph = kt.natural_visibility([4.0])
    assert graph.edge_array().shape == (0, 2) and graph.degrees().tolist() == [0]
    assert graph.clustering_coefficients().tolist() == [0.0]
    assert math.copysign(1.0, graph.betweenness_centralities()[0]) == -1.0   # no pair to add


def test_docstrings():
    for name in ("edge_array", "degrees", "clustering_coefficients", "betweenness_centralities"):
        method = getattr(kt.VisibilityGraph, name)
        assert method.__text_signature__ == "($self)"
        assert method.__doc__.index("Returns\n-------") < method.__doc__.index("Raises\n------")


# Rows are counted and filled by several threads when the graph is large; the
# graph must not depend on how many.
CONSTRUCTION = """
import os, sys
import numpy as np
import _kaltrope as kt
if sys.argv[1] == "pinned":
    os.sched_setaffinity(0, {0})
rng = np.random.default_rng(7)
y = np.cumsum(rng.standard_normal(300_000))
gaps = [None if r < 0.02 else v for v, r in zip(y.tolist(), rng.random(y.size))]
with open(sys.argv[2], "wb") as out:
    for graph in (kt.natural_visibility(y), kt.horizontal_visibility(y),
                  kt.TimeSeries.with_missing(list(range(y.size)), gaps).natural_visibility()):
        rows = [graph.neighbor_indices(v) for v in range(0, y.size, 997)]
        assert all(row == sorted(row) for row in rows)
        np.save(out, graph.edge_array())
        np.save(out, graph.degrees())
"""


def test_construction_does_not_depend_on_the_number_of_threads(tmp_path):
    outputs = []
    for mode in ("pinned", "unpinned"):
        path = tmp_path / mode
        run_python(CONSTRUCTION, mode, path)
        outputs.append(path.read_bytes())
    assert outputs[0] == outputs[1] and len(outputs[0]) > 10**6


# The peak resident size while a graph is built, against its rows (offsets
# and both ends of every edge): the edges, the rows and the copy of the
# samples must not all be held at once.
PEAK_MEMORY = """
import json, sys
import numpy as np
import _kaltrope as kt

def status(field):
    with open("/proc/self/status") as lines:
        return next(int(line.split()[1]) * 1024 for line in lines if line.startswith(field + ":"))

y = np.random.default_rng(0).random(400_000)
if sys.argv[1] == "gap":
    y[1000] = np.nan
kt.natural_visibility(y[:1000])
with open("/proc/self/clear_refs", "w") as clear:
    clear.write("5")
before = status("VmRSS")
graph = kt.natural_visibility(y)
print(json.dumps([status("VmHWM") - before, 8 * (graph.node_count() + 1) + 8 * graph.edge_count()]))
"""


@measures_peak_memory
@pytest.mark.parametrize("values", ["finite", "gap"])
def test_construction_peak_memory_is_at_most_twice_the_rows(values):
    peak, size = json.loads(run_python(PEAK_MEMORY, values).strip().splitlines()[-1])
    assert peak <= 2 * size, (peak / size)
