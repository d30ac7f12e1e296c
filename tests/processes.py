"""Runs of code in a fresh interpreter, for signals, memory and threads."""
import json
import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

# The helper modules stay importable in the child, as in the tests.
TESTS = pathlib.Path(__file__).parent


def child_environment(env=None):
    """This process's variables, with env set over them (None removing one)."""
    environment = dict(os.environ)
    # Absolute entries, so that a child in another folder finds the same modules.
    path = [str(pathlib.Path(entry).resolve()) for entry in environment.get("PYTHONPATH", "").split(os.pathsep) if entry]
    environment["PYTHONPATH"] = os.pathsep.join([str(TESTS), *path])
    for name, value in (env or {}).items():
        if value is None:
            environment.pop(name, None)
        else:
            environment[name] = value
    return environment


def run_python(code, *args, env=None, timeout=180):
    """Run a snippet in a fresh interpreter and return its output; a non-zero
    exit or a hang fails."""
    try:
        proc = subprocess.run([sys.executable, "-c", textwrap.dedent(code), *map(str, args)],
                              capture_output=True, text=True, timeout=timeout,
                              env=child_environment(env))
    except subprocess.TimeoutExpired as exc:
        raise AssertionError(f"subprocess did not finish within {timeout} s") from exc
    assert proc.returncode == 0, f"exit {proc.returncode}\n{proc.stdout}\n{proc.stderr}"
    return proc.stdout


def run_python_json(code, *args, env=None, timeout=180):
    """run_python, returning the JSON of the last line of output. The thread
    variables are removed unless env gives them."""
    env = {"KALTROPE_NUM_THREADS": None, "OMP_NUM_THREADS": None, **(env or {})}
    return json.loads(run_python(code, *args, env=env, timeout=timeout).strip().splitlines()[-1])


def measures_peak_memory(test):
    """Marks a test whose child resets and reads its peak resident size: it
    needs Linux's clear_refs, and the sanitizer's shadow memory and red zones
    would add to every allocation."""
    test = pytest.mark.skipif(not os.path.exists("/proc/self/clear_refs"), reason="needs Linux's clear_refs")(test)
    return pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                              reason="the sanitizer's shadow memory and red zones add to every allocation")(test)
