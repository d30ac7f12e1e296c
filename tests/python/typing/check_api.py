"""Correct uses of the public API, with the types a checker must infer.

`mypy --strict` checks this file (tests/test_typing.py); running it checks
that each call works as written.
"""

import os
import tempfile
from typing import Optional

import numpy as np
from numpy.typing import NDArray
from typing_extensions import assert_type

import _kaltrope
import kaltrope as kt

Edges = NDArray[np.int64]

assert_type(kt.__version__, str)
assert kt.TimeSeries is _kaltrope.TimeSeries

y = np.random.default_rng(0).random(300)
t = np.arange(300.0)

# The array interface.
assert_type(kt.natural_visibility_edges(y), Edges)
assert_type(kt.natural_visibility_edges([1.0, 3.0, 2.0], x=[0, 1, 5], algorithm="hull"), Edges)
assert_type(kt.horizontal_visibility_edges(y.tolist()), Edges)
plan = kt.natural_visibility_plan(y)
assert_type(plan["scan_work"], int)
assert_type(plan["parallel"], bool)
assert_type(kt.natural_visibility_batch(np.stack([y, y])), tuple[Edges, Edges])
assert_type(kt.horizontal_visibility_batch(row for row in (y, y[:10])), tuple[Edges, Edges])

# The variants: limits keep the edge array, a weight adds one float per edge.
assert_type(kt.natural_visibility_edges(y, penetrable=2, window=50, direction="top_to_bottom"), Edges)
assert_type(kt.natural_visibility_edges(y, t, weight="distance"), tuple[Edges, NDArray[np.float64]])
assert_type(kt.horizontal_visibility_edges(y, penetrable=1), Edges)
assert_type(kt.horizontal_visibility_edges(y, weight="abs_slope"), tuple[Edges, NDArray[np.float64]])
assert_type(kt.natural_visibility_batch(np.stack([y, y]), window=3), tuple[Edges, Edges])
assert_type(kt.horizontal_visibility_batch([y], weight="angle"), tuple[Edges, Edges, NDArray[np.float64]])
assert_type(kt.natural_visibility_degrees(y, penetrable=1), NDArray[np.int64])
assert_type(kt.horizontal_visibility_degrees(np.stack([y, y]), window=10), NDArray[np.int64])
assert_type(kt.natural_visibility(y, penetrable=1, window=20), kt.VisibilityGraph)

# A weight turns the edge array into (edges, weights).
X = np.random.default_rng(1).normal(size=(200, 3))
assert_type(kt.natural_vector_visibility_edges(X), Edges)
assert_type(kt.natural_vector_visibility_edges(X, t[:200]), Edges)
assert_type(kt.natural_vector_visibility_edges(X, weight=None), Edges)
assert_type(kt.natural_vector_visibility_edges(X, weight="cosine_similarity"),
            tuple[Edges, NDArray[np.float64]])
assert_type(kt.natural_vector_visibility_edges(X, t[:200], "time_diff_euclidean_distance"),
            tuple[Edges, NDArray[np.float64]])
assert_type(kt.horizontal_vector_visibility_edges(X), Edges)
assert_type(kt.horizontal_vector_visibility_edges(X, "euclidean_distance"), tuple[Edges, NDArray[np.float64]])
assert_type(kt.natural_vector_visibility_batch(X.reshape(4, 50, 3)), tuple[Edges, Edges])
assert_type(kt.horizontal_vector_visibility_batch(X.reshape(4, 50, 3)), tuple[Edges, Edges])
assert_type(kt.visibility_motifs(y, kind="horizontal"), NDArray[np.uint64])

# Streams.
stream = kt.VisibilityStream("natural", window=100, mode="indexed")
assert_type(stream.push(1.0), Edges)
assert_type(stream.push(2, t=5.0), Edges)
assert_type(stream.extend([3.0, 1.0], t=[6.0, 7.0]), Edges)
assert_type(len(stream), int)
vectors = kt.VisibilityStream("vector_horizontal", dim=3)
assert_type(vectors.push(X[0]), Edges)

# Series, repair and features.
series = kt.TimeSeries.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, None, 3.0, 2.0])
assert_type(kt.TimeSeries(y), kt.TimeSeries)
assert_type(kt.TimeSeries.from_csv_string("t,v\n0,1\n1,\n", "t", "v"), kt.TimeSeries)
strategy = kt.MissingDataStrategy.mean_imputation(3).with_fallback(kt.MissingDataStrategy.zero_fill())
repaired = series.handle_missing(strategy)
assert_type(repaired.to_numpy(), NDArray[np.float64])
features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.ZSCORE))
assert_type(features, kt.FeatureSet)

# Graphs.
graph = repaired.natural_visibility_with_features(features)
assert_type(graph, kt.VisibilityGraph)
assert_type(graph.edges(), list[tuple[int, int, float]])
assert_type(graph.degree(np.int64(1)), Optional[int])
assert_type(graph.neighbors(0), Optional[list[float]])
assert_type(graph.shortest_path_length(0, 3), Optional[int])
assert_type(graph.get_node_features(0), dict[str, float])
assert_type(graph.node_features(0), Optional[dict[str, float]])
assert_type(graph.degree_distribution(), dict[int, int])
assert_type(graph.adjacency_matrix(), NDArray[np.float64])
statistics = kt.natural_visibility(y).compute_statistics()
assert_type(statistics.diameter, int)
assert_type(statistics.density, float)
motifs = kt.horizontal_visibility(y).detect_motifs()
assert_type(motifs.counts(), dict[str, int])
assert_type(motifs.get("fork"), Optional[int])
assert_type(motifs.total_subgraphs, int)
with tempfile.TemporaryDirectory() as folder:
    assert_type(graph.save_edge_list_csv(os.path.join(folder, "edges.csv"), include_weights=True), None)
    graph.save_graphml(os.fsencode(os.path.join(folder, "graph.graphml")))

# Features of many series.
table = kt.features([y, y[:50]], kind="natural", algorithm="hull")
assert table.shape == (2, 19)

# Threads.
threads = kt.get_num_threads()
assert_type(threads, int)
kt.set_num_threads(np.int64(threads))
