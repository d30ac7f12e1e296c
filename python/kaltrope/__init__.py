"""Visibility graphs of time series, fast and exact.

Every name of the compiled module ``_kaltrope`` is available here as the
same object; this package is the home of the Python-level additions.
Import it as ``import kaltrope as kt``.
"""

import importlib

from _kaltrope import (
    BuiltinFeature,
    FeatureSet,
    GraphStatistics,
    MissingDataStrategy,
    MotifCounts,
    TimeSeries,
    VisibilityGraph,
    VisibilityStream,
    cpu_features,
    get_num_threads,
    horizontal_vector_visibility_batch,
    horizontal_vector_visibility_edges,
    horizontal_visibility,
    horizontal_visibility_batch,
    horizontal_visibility_degrees,
    horizontal_visibility_edges,
    natural_vector_visibility_batch,
    natural_vector_visibility_edges,
    natural_visibility,
    natural_visibility_batch,
    natural_visibility_degrees,
    natural_visibility_edges,
    natural_visibility_plan,
    set_num_threads,
    visibility_motifs,
)

from kaltrope._conversions import features_frame, from_edges, to_igraph, to_networkx, to_pandas, to_scipy_sparse
from kaltrope._features import features
from kaltrope._methods import attach as _attach_methods
from kaltrope._threadpoolctl import register_when_imported as _register_when_imported
from kaltrope._version import package_version as _package_version
from kaltrope.plotting import plot, plot_degree_distribution

__version__: str = _package_version()

__all__ = [
    "TimeSeries",
    "VisibilityGraph",
    "BuiltinFeature",
    "FeatureSet",
    "MissingDataStrategy",
    "GraphStatistics",
    "MotifCounts",
    "natural_visibility",
    "horizontal_visibility",
    "natural_visibility_edges",
    "natural_visibility_plan",
    "horizontal_visibility_edges",
    "natural_visibility_batch",
    "horizontal_visibility_batch",
    "natural_visibility_degrees",
    "horizontal_visibility_degrees",
    "natural_vector_visibility_edges",
    "horizontal_vector_visibility_edges",
    "natural_vector_visibility_batch",
    "horizontal_vector_visibility_batch",
    "VisibilityStream",
    "visibility_motifs",
    "get_num_threads",
    "set_num_threads",
    "cpu_features",
    "from_edges",
    "to_networkx",
    "to_igraph",
    "to_scipy_sparse",
    "to_pandas",
    "features_frame",
    "features",
    "plot",
    "plot_degree_distribution",
]

# The conversions are graph methods too, and pandas series become time
# series through the class; the optional libraries load only when used.
_attach_methods()

_register_when_imported()


def __getattr__(name: str) -> object:
    # kaltrope.dask is imported when first used, with Dask.
    if name == "dask":
        return importlib.import_module("kaltrope.dask")
    raise AttributeError(f"module 'kaltrope' has no attribute {name!r}")
