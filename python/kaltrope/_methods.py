"""The conversions as methods of VisibilityGraph, and TimeSeries.from_pandas:
the classes are the extension's own, so the package adds these to them."""

from __future__ import annotations

from typing import Any

from _kaltrope import TimeSeries, VisibilityGraph
from kaltrope import _conversions
from kaltrope._pandas import time_series_from_pandas


def to_networkx(self: VisibilityGraph) -> Any:
    return _conversions.to_networkx(self)


def to_igraph(self: VisibilityGraph) -> Any:
    return _conversions.to_igraph(self)


def to_scipy_sparse(self: VisibilityGraph, format: str = "csr") -> Any:
    return _conversions.to_scipy_sparse(self, format)


def to_pandas(self: VisibilityGraph) -> Any:
    return _conversions.to_pandas(self)


def features_frame(self: VisibilityGraph) -> Any:
    return _conversions.features_frame(self)


def attach() -> None:
    """Adds the methods, each with the documentation of its function."""
    for method in (to_networkx, to_igraph, to_scipy_sparse, to_pandas, features_frame):
        method.__doc__ = getattr(_conversions, method.__name__).__doc__
        setattr(VisibilityGraph, method.__name__, method)
    TimeSeries.from_pandas = staticmethod(time_series_from_pandas)  # type: ignore[method-assign]
