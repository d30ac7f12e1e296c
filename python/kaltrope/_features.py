"""Graph features of many series, one row per series, for machine learning."""

from __future__ import annotations

import itertools
import math
import threading
from typing import TYPE_CHECKING, Any, Callable, Iterable, Literal, Sequence

import numpy as np
from numpy.typing import ArrayLike, NDArray

import _kaltrope
from _kaltrope import VisibilityGraph
from kaltrope._conversions import from_edges
from kaltrope._optional import require

if TYPE_CHECKING:  # a type only: a Literal alias at run time is no type to stubtest
    _Kind = Literal["natural", "horizontal"]
KINDS = ("natural", "horizontal")
MOTIF_COLUMNS = tuple(f"motif_{code}" for code in range(8))
# Whole numbers; every other column is float64.
INTEGER_COLUMNS = ("nodes", "edges", "degree_max", "communities")
COLUMNS = (
    "nodes",
    "edges",
    "degree_mean",
    "degree_variance",
    "degree_max",
    "degree_entropy",
    "tail_exponent",
    "clustering",
    "transitivity",
    "assortativity",
    *MOTIF_COLUMNS,
    "communities",
)


def check_kind(kind: _Kind) -> None:
    if kind not in KINDS:
        raise ValueError(f"kind must be 'natural' or 'horizontal', got {kind!r}")


def edge_function(kind: _Kind) -> Callable[..., Any]:
    """The array function of one series of a kind."""
    check_kind(kind)
    return _kaltrope.natural_visibility_edges if kind == "natural" else _kaltrope.horizontal_visibility_edges


def visibility_graph(y: NDArray[np.float64], kind: _Kind, keywords: dict[str, Any]) -> VisibilityGraph:
    """The graph of one series; keywords go to the array function of the kind."""
    if not keywords:
        return _kaltrope.natural_visibility(y) if kind == "natural" else _kaltrope.horizontal_visibility(y)
    edges = edge_function(kind)(y, **keywords)
    if isinstance(edges, tuple):  # (edges, weights): the features are those of the unweighted graph
        edges = edges[0]
    return from_edges(edges, len(y), values=y)


def tail_exponent(degrees: NDArray[np.int64]) -> float:
    """The discrete maximum-likelihood lambda of P(k) ~ exp(-lambda k) for
    k >= k_min, k_min the lower median degree: log(1 + 1/m), m the mean of
    k - k_min over the tail; inf when every tail degree is k_min."""
    middle = (len(degrees) - 1) // 2
    k_min = np.partition(degrees, middle)[middle]
    tail = degrees[degrees >= k_min]
    excess = int((tail - k_min).sum())
    return math.inf if excess == 0 else math.log1p(len(tail) / excess)


def series_features(y: NDArray[np.float64], kind: _Kind, keywords: dict[str, Any]) -> tuple[float, ...]:
    """The values of COLUMNS for one series."""
    if len(y) == 0:
        raise ValueError("the series is empty")
    graph = visibility_graph(y, kind, keywords)
    degrees = graph.degrees()
    nodes, edges = graph.node_count(), graph.edge_count()
    motifs = _kaltrope.visibility_motifs(y, kind)
    windows = int(motifs.sum())
    histogram = motifs / windows if windows else np.full(8, math.nan)
    communities = len(np.unique(np.asarray(graph.detect_communities())))
    return (
        nodes,
        edges,
        2 * edges / nodes,
        graph.degree_variance(),
        int(degrees.max()),
        graph.degree_entropy(),
        tail_exponent(degrees),
        graph.clustering_coefficient(),
        graph.global_clustering_coefficient(),
        graph.assortativity(),
        *histogram.tolist(),
        communities,
    )


def as_series_list(X: ArrayLike | Iterable[ArrayLike]) -> Sequence[NDArray[np.float64]]:
    """The rows of a 2-D array, or each item of an iterable, as 1-D float64."""
    # Other two-dimensional arrays (a DataFrame, which iterates over its
    # column labels; a memoryview, which cannot be iterated) are read as the
    # array they hold.
    if not isinstance(X, np.ndarray) and getattr(X, "ndim", None) == 2:
        X = np.asarray(X, dtype=np.float64)
    if isinstance(X, np.ndarray):
        if X.ndim != 2:
            raise ValueError(f"expected a 2-D array of series (rows), got {X.ndim} dimensions")
        return np.asarray(X, dtype=np.float64)  # type: ignore[return-value]
    rows = []
    for index, item in enumerate(X):  # type: ignore[arg-type]
        if np.ndim(item) == 0:
            # One series given alone.
            raise ValueError(f"series {index} is a single value ({item!r}): expected the rows of a 2-D array or "
                             "an iterable of series (for one series, pass [y])")
        row = np.asarray(item, dtype=np.float64)
        if row.ndim != 1:
            raise ValueError(f"series {index}: expected a 1-D series, got {row.ndim} dimensions")
        rows.append(row)
    return rows


def in_threads(count: int, threads: int, compute: Callable[[int], tuple[float, ...]]) -> list[tuple[float, ...]]:
    """compute(i) for every i < count on up to `threads` threads, the caller
    among them, taking indices in order. The error of the lowest failing
    index is raised, as a loop would; after an error, or an interruption of
    the caller, no further index starts."""
    results: list[Any] = [None] * count
    claims = itertools.count()
    failures: list[tuple[int, BaseException]] = []
    stop = threading.Event()

    def work() -> None:
        while not stop.is_set():
            index = next(claims)
            if index >= count:
                return
            try:
                results[index] = compute(index)
            except Exception as error:  # handed to the caller; an interruption of the caller is raised at once
                failures.append((index, error))
                stop.set()

    helpers = [threading.Thread(target=work, daemon=True) for _ in range(min(threads, count) - 1)]
    for helper in helpers:
        helper.start()
    try:
        work()
    finally:
        stop.set()  # also after an interruption of the caller: the helpers finish their series
        for helper in helpers:
            helper.join()
    if failures:
        raise min(failures, key=lambda failure: failure[0])[1]
    return results


def feature_table(X: ArrayLike | Iterable[ArrayLike], kind: _Kind, keywords: dict[str, Any], first: int = 0) -> Any:
    """The features of every series as a DataFrame indexed by series
    number, from `first` on."""
    pd = require("pandas")
    check_kind(kind)
    rows = as_series_list(X)

    def compute(index: int) -> tuple[float, ...]:
        try:
            return series_features(rows[index], kind, keywords)
        except ValueError as error:
            raise ValueError(f"series {first + index}: {error}") from error

    values = in_threads(len(rows), _kaltrope.get_num_threads(), compute)
    table = np.array(values, dtype=np.float64).reshape(len(rows), len(COLUMNS))
    frame = pd.DataFrame(table, columns=list(COLUMNS), index=pd.RangeIndex(first, first + len(rows), name="series"))
    return frame.astype(dict.fromkeys(INTEGER_COLUMNS, np.int64))


def features(X: ArrayLike | Iterable[ArrayLike], kind: _Kind = "natural", **keywords: Any) -> Any:
    """Graph features of each series, one row per series, for machine learning.

    Each series becomes its visibility graph, which is summarised by its
    size, degrees, clustering, assortativity, sequence motifs and
    communities. Series are taken in order on up to ``get_num_threads()``
    threads, each graph on its own; the result does not depend on the
    number of threads, and ``kaltrope.dask.features`` gives the same table,
    bit for bit.

    Parameters
    ----------
    X : array_like of shape (B, n), or iterable of 1-D array_like
        The series: the rows of a 2-D array (a DataFrame's rows too: pass
        ``df.T`` for its columns), or series of any lengths.
    kind : {"natural", "horizontal"}, default "natural"
        The visibility graph of each series.
    **keywords
        Passed on to ``natural_visibility_edges`` or
        ``horizontal_visibility_edges``; the features are those of the
        undirected, unweighted graph of the edges it returns.

    Returns
    -------
    pandas.DataFrame
        Indexed by series (``series``, from 0), with the columns

        - ``nodes``, ``edges``: the node (sample) and edge counts (int64);
        - ``degree_mean``, ``degree_variance`` (population), ``degree_max``
          (int64) and ``degree_entropy`` (Shannon entropy of the degree
          distribution, in bits);
        - ``tail_exponent``: lambda of an exponential tail
          P(k) ~ exp(-lambda k), k >= k_min, fitted by discrete maximum
          likelihood with k_min the lower median degree:
          lambda = log(1 + 1/m), m the mean of k - k_min over the degrees
          k >= k_min (inf when all of them equal k_min). For the horizontal
          graph of any i.i.d. series, lambda = log(3/2);
        - ``clustering`` (mean local clustering, 0 for degrees below 2),
          ``transitivity`` and ``assortativity`` (0.0 where undefined);
        - ``motif_0`` to ``motif_7``: the sequence motif histogram of
          ``visibility_motifs``, divided by its sum (NaN for series of
          fewer than 4 samples);
        - ``communities``: the number of communities of
          ``VisibilityGraph.detect_communities()`` (int64).

    Raises
    ------
    ImportError
        If pandas is not installed (``pip install 'kaltrope[pandas]'``).
    ValueError
        If `kind` is not "natural" or "horizontal", `X` is not 2-D or holds
        an item that is not 1-D, or a series is empty or not finite, or a
        keyword's value is refused, such as ``penetrable=-1`` (the message
        names the series).
    TypeError
        If `X` is not iterable, or a keyword is not one of the array
        function's.

    Examples
    --------
    >>> import kaltrope as kt
    >>> import numpy as np
    >>> table = kt.features(np.random.default_rng(0).random((3, 500)), kind="horizontal")
    >>> table.shape
    (3, 19)
    >>> table.index.name, int(table["nodes"].iloc[0])
    ('series', 500)
    """
    return feature_table(X, kind, keywords)
