"""Conversions to networkx, igraph, SciPy and pandas against the arrays they
come from: edge sets, attributes, weights, isolated nodes, directed pairs, and
the peers' measures of the converted graphs against ours."""
import math
import sys

import numpy as np
import pytest

import kaltrope as kt
from processes import run_python_json

nx = pytest.importorskip("networkx")

Y = np.array([1.0, 3.0, 2.0, 4.0, 0.5, 2.5, 3.5, 1.5])


def edge_set(pairs):
    return {tuple(map(int, edge)) for edge in pairs}


def features_graph():
    series = kt.TimeSeries.with_missing([0.0, 1.0, 2.0, 4.0, 5.0], [1.0, None, 3.0, 2.0, 4.0])
    features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))
    return series.natural_visibility_with_features(features)


class TestEdgeArrays:
    def test_networkx_keeps_isolated_nodes_and_weights(self):
        edges, weights = kt.natural_vector_visibility_edges(Y, weight="euclidean_distance")
        graph = kt.to_networkx(edges, n=12, weights=weights)
        assert graph.number_of_nodes() == 12 and not graph.is_directed()
        assert edge_set(graph.edges()) == edge_set(edges)
        for (a, b), w in zip(edges.tolist(), weights.tolist()):
            assert graph[a][b]["weight"] == w

    def test_igraph_keeps_isolated_nodes_and_weights(self):
        ig = pytest.importorskip("igraph")
        edges, weights = kt.natural_visibility_edges(Y, weight="slope")
        graph = kt.to_igraph(edges, n=12, weights=weights)
        assert isinstance(graph, ig.Graph) and graph.vcount() == 12 and not graph.is_directed()
        assert graph.get_edgelist() == [tuple(edge) for edge in edges.tolist()]
        assert graph.es["weight"] == weights.tolist()

    def test_directed_pairs_stay_as_given(self):
        edges = np.array([[3, 1], [1, 2]])
        graph = kt.to_networkx(edges, directed=True)
        assert graph.is_directed() and set(graph.edges()) == {(3, 1), (1, 2)}
        assert graph.number_of_nodes() == 4
        ig = pytest.importorskip("igraph")
        other = kt.to_igraph(edges, directed=True)
        assert other.is_directed() and other.get_edgelist() == [(3, 1), (1, 2)] and other.vcount() == 4

    def test_scipy_matrix_is_symmetric(self):
        sparse = pytest.importorskip("scipy.sparse")
        edges = kt.natural_visibility_edges(Y)
        matrix = kt.to_scipy_sparse(edges, format="csc", n=10)
        assert sparse.issparse(matrix) and matrix.format == "csc" and matrix.shape == (10, 10)
        dense = matrix.toarray()
        assert dense.dtype == np.float64 and np.array_equal(dense, dense.T)
        assert edge_set(np.argwhere(np.triu(dense))) == edge_set(edges)

    def test_scipy_matrix_of_repeated_and_reversed_pairs(self):
        pytest.importorskip("scipy.sparse")
        # One edge however often and in whichever direction it is listed, as networkx has it.
        edges = np.array([[0, 1], [1, 0], [0, 1], [2, 3], [3, 3]])
        for format in ("csr", "coo", "lil"):
            matrix = kt.to_scipy_sparse(edges, format=format).toarray()
            assert np.array_equal(matrix, nx.to_scipy_sparse_array(kt.to_networkx(edges)).toarray())
        assert kt.to_scipy_sparse(edges).sum() == 5.0

    @pytest.mark.parametrize("edges, n, weights, message", [
        (np.array([[0.5, 1.0]]), None, None, "integers"),
        (np.array([[0, 1, 2]]), None, None, r"\(E, 2\)"),
        (np.array([[-1, 1]]), None, None, "negative"),
        (np.array([[0, 4]]), 3, None, "too small"),
        (np.array([[0, 1]]), None, [1.0, 2.0], "one value per edge"),
        # Past int64, unsigned indices would wrap around to negative ones.
        (np.array([[0, 2**63 + 5]], dtype=np.uint64), None, None, "fewer than 2\\*\\*32 nodes"),
        (np.array([[0, 2**40]]), None, None, "fewer than 2\\*\\*32 nodes"),
        (kt.natural_visibility_edges(Y, weight="slope"), None, None, "ragged"),
        (np.empty((0, 2), np.int64), -1, None, "^n must be at least 0, got -1$"),
    ])
    def test_bad_edges(self, edges, n, weights, message):
        with pytest.raises(ValueError, match=message):
            kt.to_networkx(edges, n=n, weights=weights)
        pytest.importorskip("igraph")
        with pytest.raises(ValueError, match=message):
            kt.to_igraph(edges, n=n, weights=weights)
        if weights is None:
            with pytest.raises(ValueError, match=message):
                kt.from_edges(edges, n)


class TestFromEdges:
    def test_graph_of_an_edge_array_measures_as_the_built_graph(self):
        y = np.random.default_rng(3).random(400)
        built = kt.natural_visibility(y)
        edges = kt.natural_visibility_edges(y)
        # Reversed, repeated and shuffled pairs give the same simple graph.
        noisy = np.concatenate([edges, edges[::7, ::-1]])[np.random.default_rng(4).permutation(len(edges) * 8 // 7)]
        graph = kt.from_edges(noisy)
        assert np.array_equal(graph.edge_array(), built.edge_array())
        assert graph.diameter() == built.diameter() and graph.degrees().tolist() == built.degrees().tolist()
        assert graph.global_clustering_coefficient() == built.global_clustering_coefficient()

    def test_isolated_nodes_values_and_timestamps(self):
        graph = kt.from_edges(np.array([[0, 2]]), 4, values=[1.0, 2.0, 3.0, 4.0], timestamps=[0, 5, 6, 9])
        assert graph.node_count() == 4 and graph.degrees().tolist() == [1, 0, 1, 0]
        assert graph.values().tolist() == [1.0, 2.0, 3.0, 4.0] and graph.timestamps().tolist() == [0, 5, 6, 9]
        bare = kt.from_edges(np.empty((0, 2), dtype=np.int64), 2)
        assert bare.edge_count() == 0 and np.isnan(bare.values()).all() and bare.timestamps().tolist() == [0, 1]

    @pytest.mark.parametrize("edges, keywords, message", [
        ([[1, 1]], {}, "itself"),
        ([[0, 1]], {"values": [1.0]}, "one value per node"),
        ([[0, 1]], {"timestamps": [[0.0, 1.0]]}, "one value per node"),
    ])
    def test_bad_graphs(self, edges, keywords, message):
        with pytest.raises(ValueError, match=message):
            kt.from_edges(np.array(edges), **keywords)


class TestGraphs:
    def test_networkx_attributes(self):
        graph = features_graph()
        converted = kt.to_networkx(graph)
        assert converted.number_of_nodes() == 5
        assert edge_set(converted.edges()) == edge_set(graph.edge_array())
        assert converted.nodes[1]["value"] is None and converted.nodes[3]["value"] == 2.0
        assert [converted.nodes[v]["timestamp"] for v in range(5)] == [0.0, 1.0, 2.0, 4.0, 5.0]
        for node in range(5):
            want = graph.get_node_features(node).get("delta_forward")
            assert converted.nodes[node]["delta_forward"] == want
        assert all(w == 1.0 for _, _, w in converted.edges(data="weight"))
        assert graph.to_networkx().nodes(data=True) == converted.nodes(data=True)

    def test_measures_of_converted_graphs_equal_ours(self):
        graph = kt.natural_visibility(np.random.default_rng(0).random(300))
        converted = kt.to_networkx(graph)
        assert math.isclose(nx.average_clustering(converted), graph.clustering_coefficient())
        assert nx.diameter(converted) == graph.diameter()
        assert math.isclose(nx.degree_assortativity_coefficient(converted), graph.assortativity())
        ig = pytest.importorskip("igraph")
        other = kt.to_igraph(graph)
        assert isinstance(other, ig.Graph) and other.vcount() == graph.node_count()
        assert edge_set(other.get_edgelist()) == edge_set(graph.edge_array())
        assert other.diameter() == graph.diameter()
        assert math.isclose(other.transitivity_undirected(), graph.global_clustering_coefficient())
        assert other.vs["value"] == graph.values().tolist()

    def test_pandas_tables(self):
        pd = pytest.importorskip("pandas")
        graph = features_graph()
        edges = graph.to_pandas()
        assert list(edges.columns) == ["source", "target", "weight"]
        assert np.array_equal(edges[["source", "target"]].to_numpy(), graph.edge_array())
        nodes = kt.features_frame(graph)
        assert list(nodes.columns[:2]) == ["value", "timestamp"] and len(nodes) == 5
        assert math.isnan(nodes["value"][1]) and nodes["timestamp"][3] == 4.0
        assert isinstance(nodes, pd.DataFrame)

    def test_scipy_of_a_graph(self):
        pytest.importorskip("scipy")
        graph = kt.natural_visibility(Y)
        assert np.array_equal(kt.to_scipy_sparse(graph).toarray(), graph.adjacency_matrix())

    def test_a_node_count_is_a_whole_number(self):
        pytest.importorskip("scipy")
        for convert in (kt.to_networkx, kt.from_edges, kt.to_scipy_sparse):
            with pytest.raises(TypeError, match="^n must be an int, not float$"):
                convert([[0, 1]], n=2.7)
        assert kt.to_networkx([[0, 1]], n=np.int64(3)).number_of_nodes() == 3

    def test_options_of_edge_arrays_are_refused_with_a_graph(self):
        # They would be ignored: a graph has its own nodes, unit weights and no direction.
        pytest.importorskip("igraph")
        pytest.importorskip("scipy")
        graph = kt.natural_visibility(Y)
        for convert in (kt.to_networkx, kt.to_igraph):
            with pytest.raises(TypeError, match=r"^to_\w+\(\) takes directed only with an edge array"):
                convert(graph, directed=True)
            with pytest.raises(TypeError, match="takes n and weights only with an edge array"):
                convert(graph, 10, np.ones(graph.edge_count()))
        with pytest.raises(TypeError, match=r"^to_scipy_sparse\(\) takes n only"):
            kt.to_scipy_sparse(graph, n=10)

    def test_pandas_tables_need_a_graph(self):
        pytest.importorskip("pandas")
        for convert in (kt.to_pandas, kt.features_frame):
            with pytest.raises(TypeError, match="expects a VisibilityGraph, got ndarray .*from_edges"):
                convert(kt.natural_visibility_edges(Y))


def test_missing_library_names_the_extra():
    result = run_python_json("""
        import json, sys
        sys.modules["networkx"] = None
        import kaltrope as kt
        try:
            kt.to_networkx([[0, 1]])
        except ImportError as error:
            print(json.dumps(str(error)))
    """)
    assert "pip install 'kaltrope[networkx]'" in result
