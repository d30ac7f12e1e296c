"""The version of this copy of the package.

An installed copy reads its distribution's metadata. A copy that is not the
installed one (a source tree on ``sys.path``, perhaps beside an older
install) reads the version from its source tree's pyproject.toml.
"""

from __future__ import annotations

import re
from importlib import metadata
from pathlib import Path

_UNKNOWN = "0+unknown"


def _installed_version(package: Path) -> str | None:
    """The metadata's version, if that distribution installed this very package."""
    try:
        distribution = metadata.distribution("kaltrope")
    except metadata.PackageNotFoundError:
        return None
    try:
        same = Path(str(distribution.locate_file("kaltrope"))).resolve() == package
    except OSError:
        return None
    return distribution.version if same else None


def _source_tree_version(pyproject: Path) -> str | None:
    """The version in the ``[project]`` table of kaltrope's pyproject.toml."""
    try:
        text = pyproject.read_text(encoding="utf-8")
    except OSError:
        return None
    table = re.search(r"^\[project\][ \t]*$(.*?)(?=^\[|\Z)", text, re.MULTILINE | re.DOTALL)
    if table is None or not re.search(r'^name\s*=\s*"kaltrope"', table.group(1), re.MULTILINE):
        return None
    version = re.search(r'^version\s*=\s*"([^"]+)"', table.group(1), re.MULTILINE)
    return version.group(1) if version else None


def package_version() -> str:
    """This package's version; ``"0+unknown"`` when nothing tells it."""
    package = Path(__file__).resolve().parent
    return (
        _installed_version(package)
        or _source_tree_version(package.parent.parent / "pyproject.toml")
        or _UNKNOWN
    )
