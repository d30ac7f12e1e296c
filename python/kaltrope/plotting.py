"""Pictures of visibility graphs with matplotlib (the extra ``plot``)."""

from __future__ import annotations

from typing import Any

import numpy as np
from numpy.typing import ArrayLike

from _kaltrope import VisibilityGraph, horizontal_visibility_edges, natural_visibility_edges
from kaltrope._conversions import _edge_pairs, _node_count
from kaltrope._optional import require

__all__ = ["plot", "plot_degree_distribution"]

# Past this many edges a picture shows an even sample of them, said in the legend.
DEFAULT_MAX_EDGES = 5000


def _sampled(edges: np.ndarray, max_edges: int) -> np.ndarray:
    if len(edges) <= max_edges:
        return edges
    keep = np.linspace(0, len(edges) - 1, max_edges).round().astype(np.int64)
    return edges[keep]


def plot(
    y: ArrayLike,
    edges: ArrayLike | None = None,
    kind: str = "natural",
    ax: Any = None,
    *,
    x: ArrayLike | None = None,
    max_edges: int = DEFAULT_MAX_EDGES,
    bars: bool = False,
) -> Any:
    """Draw a series with its visibility lines.

    Natural visibility lines join the tops of the samples that see each
    other; horizontal ones are level segments at the lower of the two
    heights. Lines are thin and translucent so that a few thousand samples
    stay readable; past `max_edges` an even sample of the edges is drawn and
    the legend says how many.

    Parameters
    ----------
    y : array_like of shape (n,)
        The series.
    edges : array_like of shape (E, 2), optional
        The edges to draw; by default those of `kind` computed here.
    kind : {"natural", "horizontal"}, default "natural"
        The kind of visibility lines.
    ax : matplotlib.axes.Axes, optional
        Where to draw; by default a new figure.
    x : array_like of shape (n,), optional
        Finite, strictly increasing sample positions, by default 0, 1, 2,
        ...; the natural edges computed here are those at these positions,
        horizontal ones do not depend on them.
    max_edges : int, default 5000
        The most edges drawn.
    bars : bool, default False
        Bars instead of stems.

    Returns
    -------
    matplotlib.axes.Axes

    Raises
    ------
    ImportError
        If matplotlib is not installed (``pip install 'kaltrope[plot]'``).
    ValueError
        If `kind` is unknown, `max_edges` is below 1, the series is not
        one-dimensional or (when the edges are computed here) holds a
        non-finite value, `x` is not finite and strictly increasing, or the
        edges are not an (E, 2) array of non-negative integers or refer to a
        sample outside the series.

    Examples
    --------
    >>> import kaltrope as kt
    >>> ax = kt.plot([3.0, 1.0, 2.0, 4.0])
    >>> len(ax.collections[-1].get_segments())
    6
    """
    if kind not in ("natural", "horizontal"):
        raise ValueError(f"unknown kind '{kind}' (natural or horizontal)")
    if max_edges < 1:
        raise ValueError("max_edges must be at least 1")
    values = np.asarray(y, dtype=np.float64)
    if values.ndim != 1:
        raise ValueError("y must be one-dimensional")
    positions = np.arange(len(values), dtype=np.float64) if x is None else np.asarray(x, dtype=np.float64)
    if positions.shape != values.shape:
        raise ValueError("x must have one position per sample")
    if x is not None:
        # Given edges or horizontal lines skip the engine's check, and bars
        # take their width from the smallest step.
        bad = np.flatnonzero(~np.isfinite(positions))
        steps = np.flatnonzero(np.diff(positions) <= 0) + 1
        first = min([*bad[:1], *steps[:1]], default=None)
        if first is not None:
            raise ValueError(f"x must be finite and strictly increasing (index {first})")
    if edges is None:
        edges = natural_visibility_edges(values, None if x is None else positions) if kind == "natural" \
            else horizontal_visibility_edges(values)
    pairs = _edge_pairs(edges)
    if len(pairs) and pairs.max() >= len(values):
        raise ValueError("an edge refers to a sample outside the series")
    plt = require("matplotlib.pyplot")
    collections = require("matplotlib.collections")
    if ax is None:
        _, ax = plt.subplots()
    if bars:
        width = 0.8 * (np.min(np.diff(positions)) if len(positions) > 1 else 1.0)
        ax.bar(positions, values, width=width, color="0.75", zorder=1)
    else:
        ax.vlines(positions, 0.0, values, color="0.55", linewidth=0.8, zorder=1)
        ax.plot(positions, values, "o", color="0.2", markersize=2.5, zorder=3)
    shown = _sampled(pairs, max_edges)
    a, b = shown[:, 0], shown[:, 1]
    if kind == "natural":
        starts = np.column_stack([positions[a], values[a]])
        ends = np.column_stack([positions[b], values[b]])
    else:
        level = np.minimum(values[a], values[b])
        starts = np.column_stack([positions[a], level])
        ends = np.column_stack([positions[b], level])
    label = f"{kind} visibility ({len(pairs)} edges)"
    if len(shown) < len(pairs):
        label = f"{kind} visibility ({len(shown)} of {len(pairs)} edges shown)"
    alpha = float(np.clip(30.0 / np.sqrt(max(len(shown), 1)), 0.08, 0.8))
    lines = collections.LineCollection(np.stack([starts, ends], axis=1), colors="tab:blue", linewidths=0.6,
                                       alpha=alpha, zorder=2, label=label)
    ax.add_collection(lines)
    ax.autoscale_view()
    ax.set_xlabel("position")
    ax.set_ylabel("value")
    ax.legend(loc="upper right", fontsize="small")
    return ax


def _degrees(graph_or_edges: VisibilityGraph | ArrayLike, n: int | None) -> np.ndarray:
    if isinstance(graph_or_edges, VisibilityGraph):
        if n is not None:
            raise TypeError("plot_degree_distribution() takes n only with an edge array, not a VisibilityGraph")
        return graph_or_edges.degrees()
    pairs = _edge_pairs(graph_or_edges)
    return np.bincount(pairs.ravel(), minlength=_node_count(pairs, n))


def plot_degree_distribution(
    graph_or_edges: VisibilityGraph | ArrayLike, ax: Any = None, *, n: int | None = None, reference: bool = True
) -> Any:
    """Draw the degree distribution P(k) on logarithmic axes.

    The reference line is the law of the horizontal visibility graph of any
    series of independent, identically distributed samples,
    P(k) = (1/3) (2/3)^(k - 2): a series whose distribution falls below it
    for large k has more structure than noise.

    Parameters
    ----------
    graph_or_edges : VisibilityGraph or array_like of shape (E, 2)
        A graph, or the edges of an array function.
    ax : matplotlib.axes.Axes, optional
        Where to draw; by default a new figure.
    n : int, optional
        For an edge array: the number of nodes (isolated ones included).
    reference : bool, default True
        Whether to draw the law of i.i.d. horizontal visibility graphs.

    Returns
    -------
    matplotlib.axes.Axes

    Raises
    ------
    ImportError
        If matplotlib is not installed (``pip install 'kaltrope[plot]'``).
    ValueError
        If the edges are not an (E, 2) array of non-negative integers or,
        with `n`, refer to a node at or past `n`, or if `n` is negative.
    TypeError
        If `n` is not an int, or comes with a VisibilityGraph, which knows
        its nodes.

    Examples
    --------
    >>> import kaltrope as kt
    >>> ax = kt.plot_degree_distribution(kt.horizontal_visibility_edges([3.0, 1.0, 2.0, 4.0]))
    >>> ax.get_xscale(), ax.get_yscale()
    ('log', 'log')
    """
    plt = require("matplotlib.pyplot")
    degrees = _degrees(graph_or_edges, n)
    if ax is None:
        _, ax = plt.subplots()
    counts = np.bincount(degrees) if len(degrees) else np.zeros(1, dtype=np.int64)
    k = np.flatnonzero(counts)
    k = k[k > 0]
    ax.plot(k, counts[k] / len(degrees), "o", color="tab:blue", markersize=4, label="P(k)")
    if reference and len(k):
        ks = np.arange(2, max(int(k.max()), 3) + 1)
        ax.plot(ks, (1 / 3) * (2 / 3) ** (ks - 2), "-", color="0.4", linewidth=1.0,
                label="i.i.d. horizontal: (1/3)(2/3)^(k-2)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    if not len(k):
        # No node has an edge: nothing lies on log axes, which then need
        # limits of their own (the empty axes' 0..1 cannot be drawn).
        ax.set_xlim(1.0, 10.0)
        ax.set_ylim(1e-3, 1.0)
    ax.set_xlabel("degree k")
    ax.set_ylabel("P(k)")
    ax.legend(loc="lower left", fontsize="small")
    return ax
