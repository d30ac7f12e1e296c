"""kaltrope's worker pool as a threadpoolctl library.

With threadpoolctl, ``threadpool_limits(1)`` and ``threadpool_info()`` cover
kaltrope too. threadpoolctl is optional and never imported by kaltrope: the
controller is registered when threadpoolctl is imported, before kaltrope or
after it.
"""

from __future__ import annotations

import importlib.abc
import importlib.machinery
import importlib.util
import sys
from types import ModuleType
from typing import Any, Sequence

import _kaltrope

from kaltrope._version import package_version

_MODULE = "threadpoolctl"


class _KaltropeLibrary:
    """What a threadpoolctl controller of kaltrope's worker pool adds to
    threadpoolctl's LibController: the limit of ``kaltrope.set_num_threads``."""

    user_api = "kaltrope"
    internal_api = "kaltrope"
    filename_prefixes = ("_kaltrope",)

    def get_num_threads(self) -> int:
        return _kaltrope.get_num_threads()

    def set_num_threads(self, num_threads: int) -> None:
        _kaltrope.set_num_threads(num_threads)

    def get_version(self) -> str:
        return package_version()


def _register(threadpoolctl: Any) -> None:
    controller = type("KaltropeController", (_KaltropeLibrary, threadpoolctl.LibController), {})
    threadpoolctl.register(controller)


class _RegisteringLoader(importlib.abc.Loader):
    """threadpoolctl's own loader, followed by the registration; everything
    else is asked of the loader it wraps."""

    def __init__(self, loader: importlib.abc.Loader, finder: _Finder) -> None:
        self._loader = loader
        self._finder = finder

    def __getattr__(self, name: str) -> Any:
        return getattr(self._loader, name)

    def create_module(self, module_spec: importlib.machinery.ModuleSpec) -> ModuleType | None:
        return self._loader.create_module(module_spec)

    def exec_module(self, module: ModuleType) -> None:
        self._loader.exec_module(module)
        self._finder.stop_waiting()
        _register(module)


class _Finder(importlib.abc.MetaPathFinder):
    """Waits, first on sys.meta_path, for the first import of threadpoolctl;
    the other finders find it. It waits until threadpoolctl is loaded, not
    just looked for: a library probing for it with importlib.util.find_spec
    loads nothing."""

    def find_spec(
        self, fullname: str, path: Sequence[str] | None, target: ModuleType | None = None
    ) -> importlib.machinery.ModuleSpec | None:
        if fullname != _MODULE:
            return None
        for finder in list(sys.meta_path):
            if finder is self or not hasattr(finder, "find_spec"):
                continue
            found = finder.find_spec(fullname, path, target)
            if found is not None:
                if found.loader is not None:
                    found.loader = _RegisteringLoader(found.loader, self)
                return found
        return None

    def stop_waiting(self) -> None:
        try:
            sys.meta_path.remove(self)
        except ValueError:  # removed already
            pass


def register_when_imported() -> None:
    """Registers the controller now if threadpoolctl is loaded, else on its import."""
    loaded = sys.modules.get(_MODULE)
    if loaded is not None:
        _register(loaded)
    elif not any(isinstance(finder, _Finder) for finder in sys.meta_path):
        sys.meta_path.insert(0, _Finder())
