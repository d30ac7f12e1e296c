"""Visibility graphs on Dask: many series, or one long series, on a laptop,
a cluster or the cloud, with the same results as on one machine.

Install with ``pip install 'kaltrope[dask]'`` (``dask[array,dataframe]`` and
``distributed``). Many series come as the rows of a 2-D Dask array or as a
Dask bag of 1-D arrays of any lengths; blocks hold whole series, and each
block becomes one task and one partition of the result. One long series is
a 1-D Dask array, split into overlapping blocks for a windowed graph.

Every task calls the same functions as one machine would, so the results
are equal: the same motifs, the same edges of each series in the same order,
features to the last bit.

Threads: a task runs kaltrope on the thread of the worker that runs it,
with the process's thread limit (``get_num_threads``). Dask's worker
processes start with ``OMP_NUM_THREADS=1``, from which kaltrope takes a
limit of 1: a worker of T threads runs T tasks at a time, one thread each,
and starts no thread of its own. A worker started with a higher limit
(``KALTROPE_NUM_THREADS``) shares the limit's helper threads among its tasks.

One long series: the unbounded graph cannot be split into blocks, as an
edge may span any distance (the series' highest sample may see samples at
both ends) and whether it exists depends on every sample between its ends.
With ``window=w``, an edge spans at most w samples, so a block extended by
w samples decides every edge that starts in it; without a window, build the
graph on one machine (``natural_visibility_edges``, or a
``VisibilityStream`` fed in runs when the series does not fit in memory).
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Literal

import numpy as np

import _kaltrope
from kaltrope._features import check_kind, feature_table
from kaltrope._optional import require
from kaltrope.dask._blocks import frame_of_blocks, series_blocks, whole_series
from kaltrope.dask._tables import edge_table, empty_edge_frame
from kaltrope.dask._windowed import windowed_degrees, windowed_edges

if TYPE_CHECKING:
    from kaltrope._features import _Kind

    _MotifKind = Literal["natural", "horizontal", "vector_natural", "vector_horizontal"]

__all__ = ["visibility_motifs", "edges", "degrees", "features"]

_VECTOR_KINDS = ("vector_natural", "vector_horizontal")
_MOTIF_KINDS = ("natural", "horizontal", *_VECTOR_KINDS)


def visibility_motifs(X: Any, kind: _MotifKind = "natural") -> Any:
    """The sequence motif histogram of every series of a Dask array.

    Parameters
    ----------
    X : dask.array.Array of shape (B, n), or (B, n, dim) for the vector kinds
        The series (rows). Blocks that split a series are rechunked to hold
        whole series.
    kind : {"natural", "horizontal", "vector_natural", "vector_horizontal"}
        As for ``kaltrope.visibility_motifs``.

    Returns
    -------
    dask.array.Array
        A uint64 array of shape (B, 8), chunked along the rows as the
        series: ``kaltrope.visibility_motifs`` of each block.

    Raises
    ------
    ImportError
        If Dask is not installed (``pip install 'kaltrope[dask]'``).
    ValueError
        If `X` has the wrong number of dimensions, or `kind` is unknown.

    Examples
    --------
    >>> import kaltrope as kt
    >>> import numpy as np
    >>> import dask.array as da
    >>> X = da.from_array(np.random.default_rng(0).random((6, 100)), chunks=(2, 50))
    >>> kt.dask.visibility_motifs(X).compute().sum(axis=1).tolist()
    [97, 97, 97, 97, 97, 97]
    """
    if kind not in _MOTIF_KINDS:
        raise ValueError(f"kind must be one of {', '.join(map(repr, _MOTIF_KINDS))}, got {kind!r}")
    dimensions = 3 if kind in _VECTOR_KINDS else 2
    whole = whole_series(X, dimensions)
    return whole.map_blocks(
        _kaltrope.visibility_motifs,
        kind=kind,
        dtype=np.uint64,
        chunks=(whole.chunks[0], (8,)),
        drop_axis=[2] if dimensions == 3 else [],
        meta=np.empty((0, 8), dtype=np.uint64),
    )


def edges(X: Any, kind: _Kind = "natural", **keywords: Any) -> Any:
    """The edges of many series, or the windowed edges of one long series.

    Parameters
    ----------
    X : dask.array.Array or dask.bag.Bag
        Many series: the rows of a 2-D array (blocks that split a series
        are rechunked to hold whole series), or a bag of 1-D arrays of any
        lengths. One series: a 1-D array, with ``window=``.
    kind : {"natural", "horizontal"}, default "natural"
        The visibility graph.
    **keywords
        Passed on to ``natural_visibility_edges`` or
        ``horizontal_visibility_edges`` for each series (``weight=`` adds the
        column weight). For one series, ``window`` is required and ``x``
        (the positions) may be a 1-D array of the series' length.

    Returns
    -------
    dask.dataframe.DataFrame
        Many series: the columns series (numbered from 0 in the order of
        the rows or of the bag), source and target (indices within the
        series), and weight when asked; one partition per block, each series
        in the array function's order. One series: the columns source and
        target (global indices) and weight when asked, one partition per
        block, each edge once. Ready for ``to_parquet``.

    Raises
    ------
    ImportError
        If Dask is not installed (``pip install 'kaltrope[dask]'``).
    ValueError
        If `kind` is unknown, an array has the wrong number of dimensions,
        one series comes without a window (no block can decide an edge that
        may span the whole series) or with one below 1; when computed, as
        the array function raises for a series, naming the series.

    Examples
    --------
    >>> import kaltrope as kt
    >>> import numpy as np
    >>> import dask.array as da
    >>> X = da.from_array(np.array([[1.0, 3.0, 2.0, 4.0], [4.0, 1.0, 2.0, 3.0]]), chunks=(1, 4))
    >>> kt.dask.edges(X, kind="horizontal").compute().values.tolist()
    [[0, 0, 1], [0, 1, 2], [0, 2, 3], [0, 1, 3], [1, 0, 1], [1, 1, 2], [1, 0, 2], [1, 2, 3], [1, 0, 3]]
    """
    check_kind(kind)
    bag = require("dask.bag")
    da = require("dask.array")
    if not isinstance(X, bag.Bag) and da.asarray(X).ndim == 1:
        keywords = dict(keywords)
        return windowed_edges(X, kind, keywords.pop("window", None), keywords)
    meta = empty_edge_frame(keywords.get("weight") is not None, numbered=True)
    return frame_of_blocks(series_blocks(X), edge_table, meta, kind, keywords)


def degrees(y: Any, kind: _Kind = "natural", *, window: int | None = None, **keywords: Any) -> Any:
    """The degree of every sample of one long series in its windowed graph.

    Parameters
    ----------
    y : dask.array.Array of shape (n,)
        The series. Blocks shorter than `window` are merged with their
        neighbours.
    kind : {"natural", "horizontal"}, default "natural"
        The visibility graph.
    window : int
        Edges span at most `window` samples. Required: the unbounded graph of
        one series cannot be split into blocks.
    **keywords
        Passed on to ``natural_visibility_degrees`` or
        ``horizontal_visibility_degrees`` for each block; ``x`` (the
        positions, natural graphs) may be a 1-D array of the series' length.

    Returns
    -------
    dask.array.Array
        int64, of shape (n,): the degrees of the one-machine degree function
        with the same `window`, computed on blocks extended by `window`
        samples on each side.

    Raises
    ------
    ImportError
        If Dask is not installed (``pip install 'kaltrope[dask]'``).
    ValueError
        If `kind` is unknown, `y` is not 1-D, or `window` is missing or
        below 1.
    """
    return windowed_degrees(y, kind, window, keywords)


def features(X: Any, kind: _Kind = "natural", **keywords: Any) -> Any:
    """Graph features of each series, one row per series, for machine learning.

    ``kaltrope.features`` of each block of series: the table equals
    ``kaltrope.features`` of all the series on one machine, bit for bit.

    Parameters
    ----------
    X : dask.array.Array of shape (B, n), or dask.bag.Bag of 1-D arrays
        The series (blocks that split a series are rechunked to hold whole
        series).
    kind : {"natural", "horizontal"}, default "natural"
        The visibility graph of each series.
    **keywords
        Passed on to the array function of each series, as by
        ``kaltrope.features``.

    Returns
    -------
    dask.dataframe.DataFrame
        Indexed by series (numbered from 0 in the order of the rows or of
        the bag; divisions known for arrays whose blocks' lengths are
        known), with the columns of ``kaltrope.features``; one partition
        per block.

    Raises
    ------
    ImportError
        If Dask is not installed (``pip install 'kaltrope[dask]'``).
    ValueError
        If `kind` is unknown or `X` is not 2-D; when computed, as
        ``kaltrope.features`` raises, naming the series.

    Examples
    --------
    >>> import kaltrope as kt
    >>> import numpy as np
    >>> import dask.array as da
    >>> X = np.random.default_rng(0).random((4, 300))
    >>> table = kt.dask.features(da.from_array(X, chunks=(2, 300))).compute()
    >>> table.equals(kt.features(X))
    True
    """
    meta = feature_table([], kind, {})
    return frame_of_blocks(series_blocks(X), feature_table, meta, kind, keywords)
