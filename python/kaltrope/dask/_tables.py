"""The pandas tables of one block, as a task computes them on a worker."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Iterable

import numpy as np
from numpy.typing import ArrayLike, NDArray

from kaltrope._features import as_series_list, edge_function
from kaltrope._optional import require

if TYPE_CHECKING:
    from kaltrope._features import _Kind


def series_edges(function: Any, y: NDArray[np.float64], keywords: dict[str, Any]) -> tuple[Any, Any]:
    """(edges, weights) of one series; weights None unless asked."""
    result = function(y, **keywords)
    return (result[0], result[1]) if keywords.get("weight") is not None else (result, None)


def edge_frame(pairs: NDArray[np.int64], weights: Any, series: NDArray[np.int64] | None = None) -> Any:
    """The columns series (if given), source, target and weight (if given)."""
    pd = require("pandas")
    columns: dict[str, Any] = {} if series is None else {"series": series.astype(np.int64)}
    columns["source"] = pairs[:, 0].astype(np.int64)
    columns["target"] = pairs[:, 1].astype(np.int64)
    if weights is not None:
        columns["weight"] = np.asarray(weights, dtype=np.float64)
    return pd.DataFrame(columns)


def empty_edge_frame(weighted: bool, numbered: bool) -> Any:
    """An edge frame without rows: the meta of the Dask DataFrames."""
    empty = np.empty(0, dtype=np.int64)
    return edge_frame(empty.reshape(0, 2), np.empty(0) if weighted else None, empty if numbered else None)


def edge_table(rows: ArrayLike | Iterable[ArrayLike], kind: _Kind, keywords: dict[str, Any], first: int) -> Any:
    """The edges of every series of a block with the series number (from
    `first`), in series order and each series in the array function's order."""
    function = edge_function(kind)
    edges, weights = [], []
    for index, y in enumerate(as_series_list(rows)):
        try:
            pairs, values = series_edges(function, y, keywords)
        except ValueError as error:
            raise ValueError(f"series {first + index}: {error}") from error
        edges.append(pairs.reshape(-1, 2))
        weights.append(values)
    if not edges:
        return empty_edge_frame(keywords.get("weight") is not None, numbered=True)
    counts = [len(pairs) for pairs in edges]
    numbers = np.repeat(np.arange(first, first + len(edges), dtype=np.int64), counts)
    merged = None if weights[0] is None else np.concatenate(weights)
    return edge_frame(np.concatenate(edges), merged, numbers)
