"""Many series as blocks of whole series: the rows of a 2-D Dask array, or
the partitions of a Dask bag of 1-D arrays, each with the number of its
first series."""

from __future__ import annotations

import math
import operator
from typing import Any, Callable, NamedTuple

import numpy as np

from kaltrope._features import as_series_list
from kaltrope._optional import require


class Blocks(NamedTuple):
    # Each computes to a 2-D array or a list of 1-D arrays.
    parts: list[Any]
    # The number of each block's first series: an int, or a Delayed for a bag.
    firsts: list[Any]
    # The first series of every block and the last series, when known.
    divisions: tuple[int, ...] | None


def whole_series(X: Any, dimensions: int = 2) -> Any:
    """A Dask array of series along the first axis whose blocks hold whole
    series: kept if they do, else rechunked to Dask's chunk size."""
    da = require("dask.array")
    X = da.asarray(X)
    if X.ndim != dimensions:
        raise ValueError(f"expected an array of series of {dimensions} dimensions, got {X.ndim}")
    if all(len(chunks) <= 1 for chunks in X.chunks[1:]):
        return X
    # Rows of unknown counts (picked by a mask, say) keep their blocks: Dask
    # cannot move the boundaries of blocks it does not know the lengths of.
    rows = {} if unknown_lengths(X.chunks[0]) else {0: "auto"}
    return X.rechunk({**rows, **{axis: -1 for axis in range(1, dimensions)}})


def unknown_lengths(sizes: tuple[float, ...]) -> bool:
    return any(math.isnan(size) for size in sizes)


def counted_firsts(parts: list[Any]) -> list[Any]:
    """The number of each part's first series, each the sum of the earlier
    parts' lengths: tasks of the same graph, so every part is computed once."""
    dask = require("dask")
    firsts: list[Any] = [0]
    for part in parts[:-1]:
        firsts.append(dask.delayed(operator.add, pure=True)(firsts[-1], dask.delayed(len, pure=True)(part)))
    return firsts


def array_blocks(X: Any) -> Blocks:
    rows = whole_series(X)
    sizes = rows.chunks[0]
    parts = list(rows.to_delayed().ravel())
    if unknown_lengths(sizes):
        return Blocks(parts, counted_firsts(parts), None)
    firsts = np.concatenate([[0], np.cumsum(sizes)]).tolist()
    known = all(sizes) and len(sizes) > 0
    divisions = (*firsts[:-1], firsts[-1] - 1) if known else None
    return Blocks(parts, firsts[:-1], divisions)


def bag_blocks(bag: Any) -> Blocks:
    """The partitions as lists of float64 series, each numbered by the
    lengths of the earlier partitions."""
    dask = require("dask")
    parts = [dask.delayed(as_series_list, pure=True)(part) for part in bag.to_delayed()]
    return Blocks(parts, counted_firsts(parts), None)


def series_blocks(X: Any) -> Blocks:
    """The blocks of a 2-D Dask array (or NumPy array) or of a Dask bag."""
    bag = require("dask.bag")
    return bag_blocks(X) if isinstance(X, bag.Bag) else array_blocks(X)


def frame_of_blocks(blocks: Blocks, table: Callable[..., Any], meta: Any, *arguments: Any) -> Any:
    """A Dask DataFrame of one partition per block: table(part, *arguments, first)."""
    dask = require("dask")
    dd = require("dask.dataframe")
    frames = [
        dask.delayed(table, pure=True)(part, *arguments, first) for part, first in zip(blocks.parts, blocks.firsts)
    ]
    if not frames:
        return dd.from_pandas(meta, npartitions=1)
    return dd.from_delayed(frames, meta=meta, divisions=blocks.divisions, verify_meta=False)
