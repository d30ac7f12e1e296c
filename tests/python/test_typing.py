"""The shipped types: `mypy --strict` accepts the typed calls and the
examples and reports wrong calls; stubtest finds the stubs and the module in
agreement; an installed copy ships its stubs and py.typed."""
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import _kaltrope
import kaltrope

# mypy comes with the test extra; only a run outside CI may lack it.
if not os.environ.get("CI"):
    pytest.importorskip("mypy")

ROOT = Path(__file__).resolve().parents[2]
SOURCE = ROOT / "python"
PACKAGE = Path(kaltrope.__file__).resolve().parent
FROM_SOURCE = PACKAGE.parent == SOURCE

# Each line carries the error code mypy must report there.
WRONG = """\
import numpy as np
import kaltrope as kt

y = np.arange(10.0)
kt.natural_visibility_edges(y, algorithm="fast")  # call-overload
kt.natural_visibility_edges(y, z=1)  # call-overload
kt.TimeSeries("1, 2, 3")  # arg-type
kt.set_num_threads(2.5)  # arg-type
kt.get_num_threads(1)  # call-arg
kt.MissingDataStrategy.mean_imputation("3")  # arg-type
kt.VisibilityStream("natural", window=1.5)  # arg-type
kt.VisibilityStream("sideways")  # arg-type
kt.visibility_motifs(y, kind="vertical")  # arg-type
kt.features([y], kind="vector_natural")  # arg-type
edges: np.ndarray = kt.natural_vector_visibility_edges(y, weight="cosine")  # call-overload
pair: tuple[np.ndarray, np.ndarray] = kt.horizontal_vector_visibility_edges(y)  # assignment
kt.natural_visibility(y).degree(0) + 1  # operator
kt.natural_visibility(y).compute_statistics().diameter = 3  # misc
kt.FeatureSet().add_builtin("delta_forward")  # arg-type
class Mine(kt.VisibilityGraph): ...  # misc
"""


def subprocess_env():
    """The interpreter's own module path for the checkers; mypy reads the
    source tree's stubs through MYPYPATH and an installed copy's by itself."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(str(Path(p).resolve()) for p in sys.path if p)
    env.pop("MYPYPATH", None)
    if FROM_SOURCE:
        env["MYPYPATH"] = str(SOURCE)
    return env


def run_checker(arguments, cwd):
    return subprocess.run([sys.executable, "-m", *arguments], cwd=cwd, env=subprocess_env(),
                          capture_output=True, text=True, timeout=300)


@pytest.fixture(scope="module")
def mypy_report(tmp_path_factory):
    """mypy --strict once over the typed calls, the examples and the wrong calls:
    {file name: {line: error code}}."""
    folder = tmp_path_factory.mktemp("mypy")
    wrong = folder / "wrong_calls.py"
    wrong.write_text(WRONG)
    files = [ROOT / "tests" / "python" / "typing" / "check_api.py", *sorted((ROOT / "examples").glob("*.py")), wrong]
    proc = run_checker(["mypy", "--strict", "--cache-dir", str(folder / "cache"), *map(str, files)], folder)
    errors = {}
    for match in re.finditer(r"^(.*?):(\d+): error: .*\[([a-z-]+)\]$", proc.stdout, re.M):
        errors.setdefault(Path(match[1]).name, {})[int(match[2])] = match[3]
    assert proc.returncode in (0, 1), proc.stdout + proc.stderr
    return errors, proc.stdout


def test_typed_calls_and_examples_pass(mypy_report):
    errors, output = mypy_report
    assert set(errors) == {"wrong_calls.py"}, output


def test_wrong_calls_are_reported(mypy_report):
    errors, output = mypy_report
    expected = {number: line.rsplit("# ", 1)[1]
                for number, line in enumerate(WRONG.splitlines(), 1) if "  # " in line}
    assert errors["wrong_calls.py"] == expected, output


def test_stubs_agree_with_the_module(tmp_path):
    proc = run_checker(["mypy.stubtest", "_kaltrope", "kaltrope"], tmp_path)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert "Success" in proc.stdout


def test_installed_copy_ships_its_types():
    if FROM_SOURCE:
        pytest.skip("running from the source tree")
    stub = (SOURCE / "_kaltrope.pyi").read_text()
    module_folder = Path(_kaltrope.__file__).resolve().parent
    assert (module_folder / "_kaltrope.pyi").read_text() == stub
    assert (module_folder / "_kaltrope-stubs" / "__init__.pyi").read_text() == stub
    assert (PACKAGE / "py.typed").is_file()
    assert PACKAGE.parent == module_folder

