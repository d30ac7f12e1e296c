"""The windowed graph of one long series, block by block.

An edge (a, b) of a windowed graph spans at most `window` samples, and
whether a and b see each other depends only on the samples between them. So
the block of samples [s, e) extended by `window` samples on the right holds
every edge whose left end lies in the block, and those edges are decided
there exactly as in the whole series: each edge is taken from the block
owning its left end, once. A sample's degree counts its edges on both sides,
so degrees use blocks extended by `window` on each side.
"""

from __future__ import annotations

import re
from typing import TYPE_CHECKING, Any

import numpy as np
from numpy.typing import NDArray

import _kaltrope
from kaltrope._features import check_kind, edge_function
from kaltrope._optional import require
from kaltrope.dask._tables import edge_frame, empty_edge_frame, series_edges

if TYPE_CHECKING:
    from kaltrope._features import _Kind


def check_window(window: Any) -> int:
    if window is None:
        raise ValueError(
            "one series is split into blocks only with a window: an edge of the unbounded graph may span any "
            "distance, so no block holds what decides it; give window=, or build the graph on one machine "
            "(natural_visibility_edges, or a VisibilityStream fed in runs)"
        )
    if isinstance(window, bool) or not isinstance(window, (int, np.integer)) or window < 1:
        raise ValueError(f"window must be a whole number >= 1, got {window!r}")
    return int(window)


def series_and_positions(y: Any, window: int, keywords: dict[str, Any]) -> tuple[Any, Any, dict[str, Any]]:
    """The series and its positions (keyword x, if given) as Dask arrays of
    the same blocks, each block but the last at least `window` long so that
    an extension reaches no further than the next block; the other keywords."""
    da = require("dask.array")
    series = da.asarray(y)
    if series.ndim != 1:
        raise ValueError(f"expected one series (a 1-D array), got {series.ndim} dimensions")
    keywords = dict(keywords)
    positions = keywords.pop("x", None)
    if series.size > window:
        chunks = da.overlap.ensure_minimum_chunksize(window, series.chunks[0])
    else:
        chunks = (series.size,)
    series = series.rechunk((chunks,))
    if positions is not None:
        positions = da.asarray(positions, dtype=np.float64)
        if positions.shape != series.shape:
            raise ValueError(f"x must have the length of the series ({series.size}), got shape {positions.shape}")
        positions = positions.rechunk(series.chunks)
    return series, positions, keywords


def reach(series: Any, window: int) -> int:
    """How far blocks extend into their neighbours: nowhere for a single block."""
    return window if len(series.chunks[0]) > 1 else 0


def in_whole_series(error: ValueError, start: int) -> ValueError:
    """The error of a block that starts at sample `start`, naming the index
    of the sample in the whole series rather than in the block."""
    message = re.sub(r"index (\d+)", lambda found: f"index {int(found[1]) + start}", str(error), count=1)
    return ValueError(message)


def block_edges(
    y: NDArray[np.float64],
    positions: NDArray[np.float64] | None,
    start: int,
    owned: int,
    kind: _Kind,
    window: int,
    keywords: dict[str, Any],
) -> Any:
    """The edges whose left end is among the first `owned` samples of an
    extended block that starts at sample `start`, with global indices."""
    arguments = {"window": window, **keywords}
    if positions is not None:
        arguments["x"] = positions
    try:
        pairs, weights = series_edges(edge_function(kind), y, arguments)
    except ValueError as error:
        raise in_whole_series(error, start) from None
    keep = np.minimum(pairs[:, 0], pairs[:, 1]) < owned
    return edge_frame(pairs[keep] + start, None if weights is None else weights[keep])


def windowed_edges(y: Any, kind: _Kind, window: Any, keywords: dict[str, Any]) -> Any:
    check_kind(kind)
    window = check_window(window)
    dask = require("dask")
    da = require("dask.array")
    dd = require("dask.dataframe")
    series, positions, keywords = series_and_positions(y, window, keywords)
    depth = {0: (0, reach(series, window))}
    blocks = da.overlap.overlap(series, depth=depth, boundary="none").to_delayed()
    if positions is None:
        position_blocks = [None] * len(blocks)
    else:
        position_blocks = da.overlap.overlap(positions, depth=depth, boundary="none").to_delayed()
    sizes = series.chunks[0]
    starts = np.concatenate([[0], np.cumsum(sizes)[:-1]]).tolist()
    frames = [
        dask.delayed(block_edges, pure=True)(block, place, start, owned, kind, window, keywords)
        for block, place, start, owned in zip(blocks, position_blocks, starts, sizes)
    ]
    meta = empty_edge_frame(keywords.get("weight") is not None, numbered=False)
    return dd.from_delayed(frames, meta=meta, verify_meta=False)


def degree_function(kind: _Kind) -> Any:
    """The one-machine degree function of a kind, looked up when used."""
    return getattr(_kaltrope, f"{kind}_visibility_degrees")


def block_degrees(y: NDArray[np.float64], *positions: NDArray[np.float64], kind: _Kind, window: int,
                  keywords: dict[str, Any], starts: list[int], block_id: tuple[int]) -> NDArray[np.int64]:
    """The degrees of an extended block, the block_id-th, which starts at
    sample starts[block_id[0]]."""
    if positions:
        keywords = {"x": positions[0], **keywords}
    try:
        return np.asarray(degree_function(kind)(y, window=window, **keywords), dtype=np.int64)
    except ValueError as error:
        raise in_whole_series(error, starts[block_id[0]]) from None


def windowed_degrees(y: Any, kind: _Kind, window: Any, keywords: dict[str, Any]) -> Any:
    check_kind(kind)
    window = check_window(window)
    da = require("dask.array")
    series, positions, keywords = series_and_positions(y, window, keywords)
    arrays = [series] if positions is None else [series, positions]
    depth = reach(series, window)
    # Every block but the first begins `depth` samples before its own.
    starts = [max(start - depth, 0) for start in np.cumsum((0, *series.chunks[0][:-1])).tolist()]
    return da.map_overlap(
        block_degrees,
        *arrays,
        depth=depth,
        boundary="none",
        dtype=np.int64,
        meta=np.empty(0, dtype=np.int64),
        kind=kind,
        window=window,
        keywords=keywords,
        starts=starts,
    )
