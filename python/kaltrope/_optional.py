"""Optional libraries, imported only when a function needs them."""

from __future__ import annotations

import importlib
from types import ModuleType

# The pip extra that installs each optional library.
EXTRAS = {
    "networkx": "networkx",
    "igraph": "igraph",
    "scipy": "scipy",
    "scipy.sparse": "scipy",
    "pandas": "pandas",
    "matplotlib": "plot",
    "matplotlib.pyplot": "plot",
    "matplotlib.collections": "plot",
    "dask": "dask",
    "dask.array": "dask",
    "dask.bag": "dask",
    "dask.dataframe": "dask",
}


def require(module: str) -> ModuleType:
    """Import `module`, or raise ImportError naming the extra that installs it."""
    try:
        return importlib.import_module(module)
    except ImportError as error:
        extra = EXTRAS[module]
        raise ImportError(
            f"{module} is needed for this function; install it with pip install 'kaltrope[{extra}]'"
        ) from error
