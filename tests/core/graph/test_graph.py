"""VisibilityGraph construction and queries.

A graph's edges are checked against the array engines run on the usable
samples (present and finite) at their x-coordinates, mapped back to sample
indices; the queries are checked against that edge set.
"""
import inspect
import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt

TS = kt.TimeSeries
INF, NAN = math.inf, math.nan


def expected_edges(values, timestamps, kind):
    """Edges of the usable samples by the array engines, as sample indices."""
    kept = [i for i, v in enumerate(values) if v is not None and math.isfinite(v)]
    y = np.array([values[i] for i in kept], dtype=np.float64)
    if kind == "horizontal":
        local = kt.horizontal_visibility_edges(y)
    else:
        t = np.asarray(timestamps, dtype=np.float64)
        timed = np.all(np.isfinite(t)) and np.all(np.diff(t) > 0)
        x = t[kept] if timed else np.asarray(kept, dtype=np.float64)
        local = kt.natural_visibility_edges(y, x)
    return sorted((kept[a], kept[b]) for a, b in local.tolist())


def build(values, timestamps=None, kind="natural"):
    timestamps = list(range(len(values))) if timestamps is None else timestamps
    series = TS.with_missing(timestamps, values)
    return getattr(series, f"{kind}_visibility")()


def check_queries(graph, edges):
    """Every structural query against the edge list (sorted pairs)."""
    n = graph.node_count()
    assert graph.edges() == [(a, b, 1.0) for a, b in edges]
    assert graph.edge_count() == len(edges)
    neighbours = [[] for _ in range(n)]
    for a, b in edges:
        neighbours[a].append(b)
        neighbours[b].append(a)
    assert [graph.neighbor_indices(v) for v in range(n)] == [sorted(x) for x in neighbours]
    assert graph.degree_sequence() == [len(x) for x in neighbours]
    assert [graph.degree(v) for v in range(n)] == graph.degree_sequence()
    assert [graph.neighbors(v) for v in range(n)] == [[1.0] * len(x) for x in neighbours]
    matrix = np.zeros((n, n))
    for a, b in edges:
        matrix[a, b] = matrix[b, a] = 1.0
    got = graph.adjacency_matrix()
    assert got.dtype == np.float64 and got.flags.c_contiguous and np.array_equal(got, matrix)
    present = set(edges)
    for a in range(n):
        for b in range(n):
            assert graph.has_edge(a, b) == ((a, b) in present or (b, a) in present)


samples = st.one_of(st.none(), st.just(NAN), st.just(INF), st.just(-INF),
                    st.integers(-4, 4).map(float))


@st.composite
def series_with_gaps(draw):
    values = draw(st.lists(samples, min_size=1, max_size=30))
    if all(v is None for v in values):
        values[0] = 0.0
    n = len(values)
    style = draw(st.sampled_from(["indices", "increasing", "unsorted", "nonfinite"]))
    if style == "indices":
        timestamps = list(range(n))
    else:
        timestamps = np.cumsum(draw(st.lists(st.integers(1, 5), min_size=n, max_size=n))).tolist()
        if style == "unsorted" and n > 1:
            timestamps[draw(st.integers(1, n - 1))] = timestamps[0]
        if style == "nonfinite":
            timestamps[draw(st.integers(0, n - 1))] = draw(st.sampled_from([NAN, INF]))
    return values, [float(t) for t in timestamps]


@settings(max_examples=300)
@given(series_with_gaps(), st.sampled_from(["natural", "horizontal"]))
def test_edges_are_those_of_the_usable_samples(data, kind):
    values, timestamps = data
    graph = build(values, timestamps, kind)
    assert graph.node_count() == len(values)
    edges = expected_edges(values, timestamps, kind)
    check_queries(graph, edges)
    for v, value in enumerate(values):
        if value is None or not math.isfinite(value):
            assert graph.degree(v) == 0


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_large_series_with_gaps(kind):
    rng = np.random.default_rng(5)
    n = 60000
    y = np.cumsum(rng.standard_normal(n))
    values = [None if r < 0.02 else (NAN if r < 0.03 else v) for v, r in zip(y.tolist(), rng.random(n))]
    t = np.cumsum(rng.uniform(0.5, 1.5, n)).tolist()
    graph = build(values, t, kind)
    assert [(a, b) for a, b, _ in graph.edges()] == expected_edges(values, t, kind)
    assert graph.count_components() == 1 + sum(v is None or not math.isfinite(v) for v in values)


def test_graph_functions_equal_time_series_methods():
    y = np.random.default_rng(1).integers(0, 6, 500).astype(np.float64)
    for kind in ("natural", "horizontal"):
        from_function = getattr(kt, f"{kind}_visibility")(y)
        from_series = getattr(TS(y), f"{kind}_visibility")()
        assert from_function.edges() == from_series.edges()
        assert from_function.edges() == [(a, b, 1.0) for a, b in expected_edges(y.tolist(), range(len(y)), kind)]


def test_argument_conversion_of_graph_functions():
    y = [3.0, 1.0, 2.0, 5.0]
    reference = kt.natural_visibility(np.array(y)).edges()
    for same in ([3, 1, 2, 5], np.array(y, dtype=np.int32), np.repeat(y, 2)[::2], tuple(y)):
        assert kt.natural_visibility(same).edges() == reference
    assert kt.natural_visibility(values=2.5).node_count() == 1
    with pytest.raises(ValueError, match="^expected a 1-D array-like of numbers$"):
        kt.natural_visibility([[1.0, 2.0]])
    with pytest.raises(ValueError, match="^Time series is empty$"):
        kt.natural_visibility([])
    with pytest.raises(ValueError, match="^Time series is empty$"):
        kt.horizontal_visibility(np.array([]))
    with pytest.raises(TypeError):
        kt.natural_visibility()
    # NaN and infinite samples are isolated nodes, not errors.
    graph = kt.natural_visibility([1.0, NAN, 3.0, INF, 2.0])
    assert graph.edges() == [(0, 2, 1.0), (2, 4, 1.0)]


def test_documented_small_graphs():
    one = kt.natural_visibility([3.0])
    assert (one.node_count(), one.edge_count(), one.degree(0), one.neighbors(0)) == (1, 0, 0, [])
    assert one.adjacency_matrix().shape == (1, 1) and one.edges() == []
    for gap in (None, NAN):
        graph = build([1.0, gap, 3.0])
        assert graph.node_count() == 3 and graph.edges() == [(0, 2, 1.0)] and graph.degree(1) == 0
    path = kt.natural_visibility([1.0, 2.0, 1.0])
    assert path.edges() == [(0, 1, 1.0), (1, 2, 1.0)]
    assert path.has_edge(2, 1) and not path.has_edge(0, 2)
    assert not path.is_directed()
    # x-coordinates are the timestamps when they strictly increase.
    assert build([0.0, 1.0, 5.0], [0.0, 1.0, 10.0]).edges() == [(0, 1, 1.0), (1, 2, 1.0)]
    assert build([0.0, 1.0, 5.0], [0.0, 5.0, 5.0]).edges() == [(0, 1, 1.0), (0, 2, 1.0), (1, 2, 1.0)]
    # Horizontal visibility ignores them.
    for t in ([0.0, 1.0, 10.0], [0.0, 5.0, 5.0], [2.0, 1.0, 0.0]):
        assert build([2.0, 1.0, 3.0], t, "horizontal").edges() == [(0, 1, 1.0), (0, 2, 1.0), (1, 2, 1.0)]


def test_series_without_usable_values():
    with pytest.raises(RuntimeError, match="^All values are missing$"):
        TS.with_missing([0.0, 1.0], [None, None]).natural_visibility()
    with pytest.raises(RuntimeError, match="^All values are missing$"):
        TS.with_missing([0.0], [None]).horizontal_visibility()
    graph = build([NAN, INF, NAN])          # present, but none finite
    assert graph.node_count() == 3 and graph.edge_count() == 0


def test_out_of_range_and_invalid_nodes():
    graph = kt.natural_visibility([1.0, 2.0, 1.0])
    n = graph.node_count()
    assert graph.degree(n) is None and graph.neighbors(n) is None
    assert graph.neighbor_indices(n) == [] and graph.neighbor_indices(2**63) == []
    assert not graph.has_edge(0, n) and not graph.has_edge(n, 0) and not graph.has_edge(1, 1)
    with pytest.raises(OverflowError):
        graph.degree(-1)
    with pytest.raises(TypeError, match="node"):
        graph.degree("0")
    with pytest.raises(TypeError, match="to_node"):
        graph.has_edge(0, 1.5)
    assert graph.degree(node=np.int64(1)) == 2


def test_classes_without_constructor():
    for cls in (kt.VisibilityGraph, kt.GraphStatistics, kt.MotifCounts):
        with pytest.raises(TypeError, match=f"^No constructor defined for {cls.__name__}$"):
            cls()
    assert kt.VisibilityGraph.__doc__.startswith("The visibility graph of a time series")
    assert kt.GraphStatistics.__doc__.startswith("Every measure of a graph at once")


def test_registration_order():
    names = [name for name in vars(kt) if not name.startswith("_")]
    assert names[:9] == ["TimeSeries", "VisibilityGraph", "BuiltinFeature", "FeatureSet",
                         "MissingDataStrategy", "GraphStatistics", "MotifCounts", "natural_visibility",
                         "horizontal_visibility"]
    assert names[9] == "natural_visibility_edges"


def test_signatures_and_docstrings():
    assert kt.natural_visibility.__doc__.splitlines()[0] == (
        "Standalone function to create natural visibility graph from array")
    assert str(inspect.signature(kt.horizontal_visibility)) == "(values, *, penetrable=0, window=None)"
    assert str(inspect.signature(TS.natural_visibility)) == "(self, /, *, penetrable=0, window=None)"
    signatures = {
        "has_edge": "(self, /, from_node, to_node)", "shortest_path_length": "(self, /, source, target)",
        "degree": "(self, /, node)", "node_count": "(self, /)", "get_all_features": "(self, /)",
    }
    for name, signature in signatures.items():
        assert str(inspect.signature(getattr(kt.VisibilityGraph, name))) == signature
    # The opening lines stay; numpydoc sections follow them.
    assert kt.VisibilityGraph.edges.__doc__.startswith(
        "Returns edges as a list of tuples (source, target, weight).\n")
    assert kt.VisibilityGraph.get_all_features.__doc__.startswith(
        "Get all node features as a NumPy array (nodes x features)\n"
        "Returns array where row i contains features for node i\n")
    assert TS.natural_visibility_with_features.__doc__.startswith(
        "Creates a natural visibility graph with features.\nNote: This takes ownership of the FeatureSet\n")
    assert str(inspect.signature(TS.horizontal_visibility_with_features)) == (
        "(self, /, features, *, penetrable=0, window=None)")


def test_repr():
    assert repr(kt.natural_visibility([1.0, 2.0, 3.0])) == "VisibilityGraph(nodes=3, edges=2, density=0.6667)"
    # Five nodes, seven edges.
    graph = kt.natural_visibility([3.0, 1.0, 2.0, 1.0, 3.0])
    assert (graph.node_count(), graph.edge_count()) == (5, 7)
    assert repr(graph) == "VisibilityGraph(nodes=5, edges=7, density=0.7000)"
