"""The core's test probes: programs that reach what the Python interface does
not. A development build has them beside the extension; otherwise they are
built from this source tree with CMake (a test extra) on first use."""
import functools
import pathlib
import shutil
import subprocess

import _kaltrope

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "probes"


@functools.lru_cache(maxsize=None)
def native_probe(name):
    """The path of the probe program name, built if needed."""
    beside = pathlib.Path(_kaltrope.__file__).parent / name
    if beside.exists():
        return beside
    cmake = shutil.which("cmake")
    assert cmake is not None, f"CMake is needed to build the probe {name} (pip install '.[test]')"
    configure = [cmake, "-S", str(ROOT), "-B", str(BUILD), "-DKALTROPE_PYTHON_MODULE=OFF",
                 "-DCMAKE_BUILD_TYPE=Release"]
    if shutil.which("ninja") and not (BUILD / "CMakeCache.txt").exists():
        configure += ["-G", "Ninja"]
    for command in (configure, [cmake, "--build", str(BUILD), "--target", name, "--parallel", "2"]):
        proc = subprocess.run(command, capture_output=True, text=True)
        assert proc.returncode == 0, f"{' '.join(command)}\n{proc.stdout}\n{proc.stderr}"
    return BUILD / name


def graph_probe():
    """The path of the graph probe, built if needed."""
    return native_probe("graph_probe")
