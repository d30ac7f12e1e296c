"""The README's Python blocks run as written, in order, in one namespace,
from the repository root, and leave no file behind; the examples run too."""
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent
README = ROOT / "README.md"

RUNNER = r"""
import re, sys, traceback
blocks = re.findall(r"^```python\n(.*?)^```", open(sys.argv[1], encoding="utf-8").read(), re.M | re.S)
namespace = {"__name__": "__main__"}
for number, block in enumerate(blocks, 1):
    try:
        exec(compile(block, f"README block {number}", "exec"), namespace)
    except BaseException:
        traceback.print_exc()
        sys.exit(f"README block {number} failed:\n{block}")
print(f"{len(blocks)} blocks ran")
"""


def python_blocks():
    return re.findall(r"^```python\n(.*?)^```", README.read_text(encoding="utf-8"), re.M | re.S)


def tree_listing():
    """Every path under the repository root but the build and cache folders."""
    skip = {".git", "build", "__pycache__", ".pytest_cache", ".hypothesis", ".mypy_cache"}
    found = set()
    for folder, folders, files in os.walk(ROOT):
        folders[:] = [name for name in folders if name not in skip]
        found.update(os.path.join(folder, name) for name in files)
    return found


def run(arguments, timeout=120):
    proc = subprocess.run([sys.executable, *arguments], cwd=ROOT, capture_output=True, text=True,
                          timeout=timeout)
    assert proc.returncode == 0, f"{proc.stdout}\n{proc.stderr}"
    return proc.stdout


def test_readme_blocks_run_in_order_and_leave_no_file():
    before = tree_listing()
    out = run(["-c", RUNNER, str(README)])
    assert out.strip().endswith(f"{len(python_blocks())} blocks ran")
    assert tree_listing() == before


def test_readme_shows_the_package():
    blocks = python_blocks()
    assert len(blocks) >= 10
    imports = [line for block in blocks for line in block.splitlines() if "import" in line and "kaltrope" in line]
    assert imports and all(line.strip() == "import kaltrope as kt" for line in imports), imports


def test_readme_files_exist():
    # Paths the blocks read are relative to the repository root.
    read = re.findall(r'from_csv_file\("([^"]+)"', README.read_text(encoding="utf-8"))
    assert read and all((ROOT / path).is_file() for path in read)


@pytest.mark.parametrize("example", sorted(p.name for p in (ROOT / "examples").glob("*.py")))
def test_example_runs(example):
    out = run([str(ROOT / "examples" / example)])
    assert out.strip()
