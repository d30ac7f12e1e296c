"""The large buffers behind results: freed results' pages are reused by later
calls, and what is kept of them stays bounded and reclaimable by the system."""
import os
import subprocess

import numpy as np
import pytest

import _kaltrope as kt
from probes import native_probe
from processes import run_python_json


def test_buffers_keep_their_bytes_when_resized_recycled_and_shared_by_threads():
    proc = subprocess.run([str(native_probe("buffer_probe"))], capture_output=True, text=True, timeout=300)
    assert (proc.returncode, proc.stdout.strip()) == (0, "ok"), proc.stderr


def test_results_on_reused_pages_are_whole_and_leave_live_results_alone():
    rng = np.random.default_rng(5)
    walks = [np.cumsum(rng.standard_normal(n)) for n in (150_000, 120_000, 180_000)]
    expected = [kt.natural_visibility_edges(y).copy() for y in walks]
    kept = kt.natural_visibility_edges(walks[0])
    for _ in range(2):
        for y, edges in zip(walks, expected):
            # Each call may take the pages of the result freed before it.
            assert np.array_equal(kt.natural_visibility_edges(y), edges)
            assert np.array_equal(kt.natural_visibility_edges(y, window=50), edges[edges[:, 1] - edges[:, 0] <= 50])
    assert np.array_equal(kept, expected[0])


KEPT_MEMORY = """
import numpy as np
import _kaltrope as kt

def field(path, name):
    with open(path) as lines:
        return next(int(line.split()[1]) * 1024 for line in lines if line.startswith(name + ":"))

rng = np.random.default_rng(3)
kt.natural_visibility_edges(rng.random(1000))
before = field("/proc/self/status", "VmRSS")
for n in range(800_000, 2_100_000, 100_000):
    kt.natural_visibility_edges(rng.random(n))
print([field("/proc/self/status", "VmRSS") - before, field("/proc/self/smaps_rollup", "LazyFree")])
"""


@pytest.mark.skipif(not os.path.exists("/proc/self/smaps_rollup"), reason="needs Linux's smaps_rollup")
@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""), reason="the sanitizer's shadow memory")
def test_freed_results_kept_are_bounded_and_left_for_the_system_to_reclaim():
    # Thirteen results of 34 to 84 MB, each freed before the next call.
    growth, lazily_free = run_python_json(KEPT_MEMORY)
    assert growth < (512 + 64) << 20, growth
    assert growth - lazily_free < 64 << 20, (growth, lazily_free)
