"""The package kaltrope: the names of _kaltrope as the same objects, its
version, what importing it loads, and the threadpoolctl controller."""
import importlib.util
import re
from pathlib import Path

import pytest

import _kaltrope
import kaltrope
from processes import run_python_json
from kaltrope import _version

ROOT = Path(__file__).resolve().parents[2]


def test_every_public_name_of_the_module_is_the_same_object():
    public = [name for name in vars(_kaltrope) if not name.startswith("_")]
    assert len(public) == 25
    assert set(public) <= set(kaltrope.__all__)
    for name in public:
        assert getattr(kaltrope, name) is getattr(_kaltrope, name), name


def test_all_lists_each_name_once_and_star_import_gives_exactly_it():
    assert len(set(kaltrope.__all__)) == len(kaltrope.__all__)
    namespace = {}
    exec("from kaltrope import *", namespace)
    assert set(namespace) - {"__builtins__"} == set(kaltrope.__all__)


def project_table(text):
    return re.search(r"^\[project\]$(.*?)^\[", text, re.M | re.S).group(1)


def test_version_is_the_projects():
    version = re.search(r'^version = "([^"]+)"', project_table((ROOT / "pyproject.toml").read_text()), re.M)
    assert kaltrope.__version__ == version.group(1)


@pytest.mark.parametrize("text, expected", [
    ('[project]\nname = "kaltrope"\nversion = "1.2.3"\n', "1.2.3"),
    ('[build-system]\nrequires = []\n\n[project]\nversion = "2.0"\nname = "kaltrope"\n[tool.x]\nversion = "9"\n',
     "2.0"),
    ('[tool.x]\nversion = "9"\n[project]\nname = "kaltrope"\n', None),    # only [project] counts
    ('[project]\nname = "other"\nversion = "1.0"\n', None),                # another project's tree
    ('[project.urls]\nversion = "1.0"\nname = "kaltrope"\n', None),
    ("", None),
])
def test_source_tree_version(tmp_path, text, expected):
    (tmp_path / "pyproject.toml").write_text(text)
    assert _version._source_tree_version(tmp_path / "pyproject.toml") == expected


def test_source_tree_version_without_file(tmp_path):
    assert _version._source_tree_version(tmp_path / "pyproject.toml") is None


def load_copy(package):
    """The version module of a copy of the package at package/, not installed."""
    package.mkdir(parents=True)
    (package / "_version.py").write_text(Path(_version.__file__).read_text())
    found = importlib.util.spec_from_file_location("copied_version", package / "_version.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def test_a_copy_that_is_not_installed_reads_its_own_tree(tmp_path):
    # Even beside an installed kaltrope, whose metadata belongs to another copy.
    (tmp_path / "pyproject.toml").write_text('[project]\nname = "kaltrope"\nversion = "9.8.7"\n')
    assert load_copy(tmp_path / "python" / "kaltrope").package_version() == "9.8.7"


def test_a_copy_without_any_source_of_its_version(tmp_path):
    assert load_copy(tmp_path / "python" / "kaltrope").package_version() == "0+unknown"


def test_installed_version_only_for_the_installed_copy(tmp_path):
    assert _version._installed_version(tmp_path / "kaltrope") is None
    here = Path(kaltrope.__file__).resolve().parent
    if here.parent == ROOT / "python":
        pytest.skip("running from the source tree")
    from importlib import metadata
    assert _version._installed_version(here) == metadata.version("kaltrope") == kaltrope.__version__


def test_import_loads_no_optional_library():
    loaded = run_python_json("""
        import json, sys
        import kaltrope
        print(json.dumps(sorted(sys.modules)))
    """)
    for optional in ("threadpoolctl", "networkx", "pandas", "mypy", "hypothesis", "pytest"):
        assert optional not in loaded


CONTROLLER = """
import json, sys
{imports}
from threadpoolctl import threadpool_info, threadpool_limits
import inspect
ours = [info for info in threadpool_info() if info["user_api"] == "kaltrope"]
start = kaltrope.get_num_threads()
kaltrope.set_num_threads(3)
with threadpool_limits(1):
    inside = kaltrope.get_num_threads()
with threadpool_limits(limits=2, user_api="kaltrope"):
    chosen = kaltrope.get_num_threads()
with threadpool_limits(limits=1, user_api="blas"):
    others = kaltrope.get_num_threads()
source = inspect.getsource(sys.modules["threadpoolctl"])     # its loader still answers
print(json.dumps([ours, start, inside, chosen, others, kaltrope.get_num_threads(), len(source) > 0]))
"""


@pytest.mark.parametrize("imports", ["import kaltrope\nimport threadpoolctl", "import threadpoolctl\nimport kaltrope",
                                     "import kaltrope, importlib\nimportlib.reload(kaltrope)\nimport threadpoolctl",
                                     # a library probing for it first
                                     "import kaltrope, importlib.util\nimportlib.util.find_spec('threadpoolctl')\n"
                                     "import threadpoolctl"])
def test_threadpoolctl_controls_the_pool(imports):
    pytest.importorskip("threadpoolctl")
    ours, start, inside, chosen, others, after, source = run_python_json(CONTROLLER.format(imports=imports))
    assert len(ours) == 1
    assert ours[0]["num_threads"] == start
    assert ours[0]["filepath"] == str(Path(_kaltrope.__file__).resolve())
    assert ours[0]["version"] == kaltrope.__version__
    assert (inside, chosen, others, after, source) == (1, 2, 3, 3, True)


def test_controller_waits_once_for_threadpoolctl():
    finders = run_python_json("""
        import importlib, json, sys
        import kaltrope
        importlib.reload(kaltrope)
        print(json.dumps([type(finder).__name__ for finder in sys.meta_path]))
    """)
    assert finders.count("_Finder") == 1
