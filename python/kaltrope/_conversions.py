"""Visibility graphs, and the edge arrays of the array functions, as graphs of
networkx and igraph, SciPy sparse matrices and pandas tables."""

from __future__ import annotations

import operator
from typing import Any

import numpy as np
from numpy.typing import ArrayLike, NDArray

from _kaltrope import VisibilityGraph
from kaltrope._optional import require

# A graph holds fewer nodes than this.
_NODE_LIMIT = 2**32


def _edge_pairs(edges: ArrayLike) -> NDArray[np.int64]:
    """An (E, 2) array of non-negative node indices, checked before any work."""
    try:
        pairs = np.asarray(edges)
    except ValueError:
        raise ValueError("edges must be an (E, 2) array of integers, got a ragged sequence "
                         "(the (edges, weights) pair of a weighted call?)") from None
    if pairs.size == 0:
        return np.empty((0, 2), dtype=np.int64)
    if pairs.ndim != 2 or pairs.shape[1] != 2 or not np.issubdtype(pairs.dtype, np.integer):
        raise ValueError(f"edges must be an (E, 2) array of integers, got shape {pairs.shape} of {pairs.dtype}")
    if pairs.min() < 0:
        raise ValueError("edges must not hold negative node indices")
    # Unsigned indices past int64 would wrap around to negative ones.
    if pairs.max() >= _NODE_LIMIT:
        raise ValueError(f"edges hold node {pairs.max()}: a graph holds fewer than 2**32 nodes")
    return pairs.astype(np.int64, copy=False)


def _node_count(pairs: NDArray[np.int64], n: int | None) -> int:
    needed = int(pairs.max()) + 1 if len(pairs) else 0
    if n is None:
        return needed
    try:
        count = operator.index(n)  # 2.7 nodes is no count to round
    except TypeError:
        raise TypeError(f"n must be an int, not {type(n).__name__}") from None
    if count < 0:
        raise ValueError(f"n must be at least 0, got {count}")
    if count < needed:
        raise ValueError(f"n={count} is too small for an edge to node {needed - 1}")
    return count


def _edge_weights(pairs: NDArray[np.int64], weights: ArrayLike | None) -> NDArray[np.float64]:
    if weights is None:
        return np.ones(len(pairs), dtype=np.float64)
    values = np.asarray(weights, dtype=np.float64)
    if values.shape != (len(pairs),):
        raise ValueError(f"weights must hold one value per edge ({len(pairs)}), got shape {values.shape}")
    return values


def _no_edge_array_options(function: str, n: int | None, weights: ArrayLike | None = None,
                           directed: bool = False) -> None:
    """A VisibilityGraph has its nodes, unit weights and no direction: the
    options that describe an edge array would be ignored."""
    given = [name for name, value in (("n", n), ("weights", weights), ("directed", directed))
             if value is not None and value is not False]
    if given:
        raise TypeError(f"{function}() takes {' and '.join(given)} only with an edge array, not a VisibilityGraph")


def _visibility_graph(graph: Any, function: str) -> VisibilityGraph:
    if not isinstance(graph, VisibilityGraph):
        raise TypeError(f"{function}() expects a VisibilityGraph, got {type(graph).__name__} "
                        "(kaltrope.from_edges makes one of an edge array)")
    return graph


def _weighted_edges(
    edges: ArrayLike, n: int | None, weights: ArrayLike | None
) -> tuple[NDArray[np.int64], int, NDArray[np.float64]]:
    """The pairs, node count and weights of an edge array, checked."""
    pairs = _edge_pairs(edges)
    return pairs, _node_count(pairs, n), _edge_weights(pairs, weights)


def from_edges(
    edges: ArrayLike,
    n: int | None = None,
    *,
    values: ArrayLike | None = None,
    timestamps: ArrayLike | None = None,
) -> VisibilityGraph:
    """A VisibilityGraph from the edges returned by an array function.

    Every measure of the graph object then applies to the edges of a
    variant, a batch row or a stream.

    Parameters
    ----------
    edges : array_like of shape (E, 2)
        Node index pairs; their direction and repetitions do not matter (the
        graph is undirected and simple).
    n : int, optional
        The number of nodes, isolated ones included; by default one more
        than the largest index.
    values, timestamps : array_like of shape (n,), optional
        The sample of each node (NaN by default) and its time (by default
        0, 1, ..., n - 1).

    Returns
    -------
    VisibilityGraph

    Raises
    ------
    ValueError
        If the edges are not an (E, 2) array of non-negative integers, join
        a node to itself, or `n`, `values` or `timestamps` do not fit them.
    TypeError
        If `n` is not an int.
    """
    pairs = _edge_pairs(edges)
    count = _node_count(pairs, n)
    if count >= _NODE_LIMIT:
        raise ValueError(f"n={count} is too large: a graph holds fewer than 2**32 nodes")
    if np.any(pairs[:, 0] == pairs[:, 1]):
        raise ValueError("edges must not join a node to itself")
    node_values = _node_column(values, count, "values", np.nan)
    node_times = _node_column(timestamps, count, "timestamps", None)
    # Both directions of every edge, each neighbour row sorted and without
    # repeats: sorted as one key per arc, which is many times faster than
    # np.unique over rows.
    both = np.concatenate([pairs, pairs[:, ::-1]]).astype(np.uint64)
    keys = np.sort(both[:, 0] * np.uint64(count) + both[:, 1])
    first = np.ones(len(keys), dtype=bool)
    np.not_equal(keys[1:], keys[:-1], out=first[1:])
    keys = keys[first]
    offsets = np.zeros(count + 1, dtype=np.uint64)
    np.cumsum(np.bincount(keys // np.uint64(count), minlength=count), out=offsets[1:])
    neighbors = (keys % np.uint64(count)).astype(np.uint32)
    return VisibilityGraph._restore(1, offsets, neighbors, None, None, None, node_values, node_times)


def _node_column(column: ArrayLike | None, count: int, name: str, default: float | None) -> NDArray[np.float64]:
    if column is None:
        return np.full(count, default) if default is not None else np.arange(count, dtype=np.float64)
    result = np.ascontiguousarray(column, dtype=np.float64)
    if result.shape != (count,):
        raise ValueError(f"{name} must hold one value per node ({count}), got shape {result.shape}")
    return result


def node_table(graph: VisibilityGraph) -> dict[str, NDArray[np.float64]]:
    """The node attributes of a graph by name: value, timestamp, then every
    node feature; NaN where a node has no value (a missing sample, a feature
    without a value there)."""
    names, features = graph.feature_table()
    table = {"value": graph.values(), "timestamp": graph.timestamps()}
    table.update((name, features[:, column]) for column, name in enumerate(names))
    return table


def _attribute(value: float) -> float | None:
    return None if np.isnan(value) else float(value)


def to_networkx(
    graph: VisibilityGraph | ArrayLike,
    n: int | None = None,
    weights: ArrayLike | None = None,
    *,
    directed: bool = False,
) -> Any:
    """The graph as a networkx graph.

    Parameters
    ----------
    graph : VisibilityGraph or array_like of shape (E, 2)
        A visibility graph, or the edges returned by an array function.
    n : int, optional
        For an edge array: the number of nodes (isolated ones included);
        by default one more than the largest index.
    weights : array_like of shape (E,), optional
        For an edge array: one weight per edge (by default 1.0).
    directed : bool, default False
        For an edge array: a ``networkx.DiGraph`` with arcs (a, b) as given,
        for edges from ``direction="top_to_bottom"``.

    Returns
    -------
    networkx.Graph or networkx.DiGraph
        Every node, isolated ones included, and the edge attribute
        ``weight``. A VisibilityGraph's nodes carry ``value``,
        ``timestamp`` and every node feature (None where there is no value).

    Raises
    ------
    ImportError
        If networkx is not installed (``pip install 'kaltrope[networkx]'``).
    ValueError
        If the edges are not an (E, 2) array of non-negative integers, or
        `n` or `weights` do not fit them.
    TypeError
        If `n` is not an int, or `n`, `weights` or `directed` come with a
        VisibilityGraph.
    """
    nx = require("networkx")
    if isinstance(graph, VisibilityGraph):
        _no_edge_array_options("to_networkx", n, weights, directed)
        pairs, count, values = graph.edge_array(), graph.node_count(), None
        result = nx.Graph()
        table = node_table(graph)
        result.add_nodes_from(
            (node, {name: _attribute(column[node]) for name, column in table.items()}) for node in range(count)
        )
    else:
        pairs, count, values = _weighted_edges(graph, n, weights)
        result = nx.DiGraph() if directed else nx.Graph()
        result.add_nodes_from(range(count))
    weight_list = np.ones(len(pairs)) if values is None else values
    result.add_weighted_edges_from(zip(pairs[:, 0].tolist(), pairs[:, 1].tolist(), weight_list.tolist()))
    return result


def to_igraph(
    graph: VisibilityGraph | ArrayLike,
    n: int | None = None,
    weights: ArrayLike | None = None,
    *,
    directed: bool = False,
) -> Any:
    """The graph as an ``igraph.Graph``.

    Parameters
    ----------
    graph : VisibilityGraph or array_like of shape (E, 2)
        A visibility graph, or the edges returned by an array function.
    n : int, optional
        For an edge array: the number of vertices (isolated ones included);
        by default one more than the largest index.
    weights : array_like of shape (E,), optional
        For an edge array: one weight per edge (by default 1.0).
    directed : bool, default False
        For an edge array: a directed graph with arcs (a, b) as given, for
        edges from ``direction="top_to_bottom"``.

    Returns
    -------
    igraph.Graph
        Every vertex, isolated ones included, and the edge attribute
        ``weight``. A VisibilityGraph gives an undirected graph whose
        vertices carry ``value``, ``timestamp`` and every node feature
        (NaN where there is no value).

    Raises
    ------
    ImportError
        If igraph is not installed (``pip install 'kaltrope[igraph]'``).
    ValueError
        If the edges are not an (E, 2) array of non-negative integers, or
        `n` or `weights` do not fit them.
    TypeError
        If `n` is not an int, or `n`, `weights` or `directed` come with a
        VisibilityGraph.
    """
    ig = require("igraph")
    if isinstance(graph, VisibilityGraph):
        _no_edge_array_options("to_igraph", n, weights, directed)
        pairs = graph.edge_array()
        result = ig.Graph(n=graph.node_count(), edges=pairs, directed=False)
        for name, column in node_table(graph).items():
            result.vs[name] = column.tolist()
        result.es["weight"] = np.ones(len(pairs)).tolist()
        return result
    pairs, count, values = _weighted_edges(graph, n, weights)
    result = ig.Graph(n=count, edges=pairs, directed=directed)
    result.es["weight"] = values.tolist()
    return result


def to_scipy_sparse(graph: VisibilityGraph | ArrayLike, format: str = "csr", n: int | None = None) -> Any:
    """The symmetric weighted adjacency matrix as a SciPy sparse matrix.

    Parameters
    ----------
    graph : VisibilityGraph or array_like of shape (E, 2)
        A visibility graph, or the edges returned by an array function.
    format : str, default "csr"
        Any format of ``scipy.sparse`` ("csr", "csc", "coo", "lil", ...).
    n : int, optional
        For an edge array: the number of nodes.

    Returns
    -------
    scipy.sparse.sparray
        An (n, n) ``float64`` matrix with the weight at (a, b) and (b, a).

    Raises
    ------
    ImportError
        If SciPy is not installed (``pip install 'kaltrope[scipy]'``).
    ValueError
        If the edges or `n` are not valid, or `format` is not a format of
        ``scipy.sparse``.
    TypeError
        If `n` is not an int, or comes with a VisibilityGraph.
    """
    sparse = require("scipy.sparse")
    if isinstance(graph, VisibilityGraph):
        _no_edge_array_options("to_scipy_sparse", n)
        pairs, count = graph.edge_array(), graph.node_count()
    else:
        pairs = _edge_pairs(graph)
        count = _node_count(pairs, n)
    rows = np.concatenate([pairs[:, 0], pairs[:, 1]])
    columns = np.concatenate([pairs[:, 1], pairs[:, 0]])
    data = np.ones(len(rows), dtype=np.float64)
    # An edge listed twice, or as (a, b) and (b, a), is still one edge of
    # weight 1 (summed entries gave 2, a self-pair 2 on the diagonal).
    matrix = sparse.coo_array((data, (rows, columns)), shape=(count, count)).tocsr()
    matrix.data[:] = 1.0
    return matrix.asformat(format)


def to_pandas(graph: VisibilityGraph) -> Any:
    """The edges as a pandas DataFrame with the columns source, target, weight.

    Parameters
    ----------
    graph : VisibilityGraph

    Returns
    -------
    pandas.DataFrame
        One row per edge (a, b), a < b, in ascending order.

    Raises
    ------
    ImportError
        If pandas is not installed (``pip install 'kaltrope[pandas]'``).
    TypeError
        If `graph` is not a VisibilityGraph.
    """
    pd = require("pandas")
    pairs = _visibility_graph(graph, "to_pandas").edge_array()
    return pd.DataFrame({"source": pairs[:, 0], "target": pairs[:, 1], "weight": np.ones(len(pairs))})


def features_frame(graph: VisibilityGraph) -> Any:
    """The nodes as a pandas DataFrame: value, timestamp and every feature.

    Parameters
    ----------
    graph : VisibilityGraph

    Returns
    -------
    pandas.DataFrame
        One row per node, indexed by node; NaN where a node has no value.

    Raises
    ------
    ImportError
        If pandas is not installed (``pip install 'kaltrope[pandas]'``).
    TypeError
        If `graph` is not a VisibilityGraph.
    """
    pd = require("pandas")
    frame = pd.DataFrame(node_table(_visibility_graph(graph, "features_frame")))
    frame.index.name = "node"
    return frame
