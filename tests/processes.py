"""Runs of code in a fresh interpreter, for signals, memory and threads."""
import os
import pathlib
import subprocess
import sys
import textwrap

# The helper modules stay importable in the child, as in the tests.
TESTS = pathlib.Path(__file__).parent


def child_environment():
    path = os.environ.get("PYTHONPATH")
    return {**os.environ, "PYTHONPATH": str(TESTS) + (os.pathsep + path if path else "")}


def run_python(code, *args, timeout=180):
    """Run a snippet in a fresh interpreter; a non-zero exit or a hang fails."""
    try:
        proc = subprocess.run([sys.executable, "-c", textwrap.dedent(code), *map(str, args)],
                              capture_output=True, text=True, timeout=timeout,
                              env=child_environment())
    except subprocess.TimeoutExpired as exc:
        raise AssertionError(f"subprocess did not finish within {timeout} s") from exc
    assert proc.returncode == 0, f"exit {proc.returncode}\n{proc.stdout}\n{proc.stderr}"
