"""The conversions as methods of VisibilityGraph, and TimeSeries.from_pandas:
the classes are the extension's own, so the package adds these to them."""

from __future__ import annotations

import inspect
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
    """Adds the methods, each with the documentation of its function,
    headed by the call it makes."""
    for method in (to_networkx, to_igraph, to_scipy_sparse, to_pandas, features_frame):
        name = method.__name__
        call = f"graph.{name}(format)`` is ``kaltrope.{name}(graph, format)" if method is to_scipy_sparse \
            else f"graph.{name}()`` is ``kaltrope.{name}(graph)"
        method.__doc__ = (f"``{call}``: the method takes no other argument.\n\n"
                          + inspect.cleandoc(getattr(_conversions, name).__doc__ or ""))
        setattr(VisibilityGraph, name, method)
    TimeSeries.from_pandas = staticmethod(time_series_from_pandas)  # type: ignore[method-assign]
