"""Windowed streams: the same sources as a stream without a window, filtered by
span, while keeping only the history a later sample can see."""
import os

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from processes import run_python_json

KINDS = ("natural", "horizontal", "vector_natural", "vector_horizontal")


def stream(kind, window, mode="auto"):
    return kt.VisibilityStream(kind, window=window, dim=2 if kind.startswith("vector") else None, mode=mode)


@st.composite
def long_runs(draw):
    kind = draw(st.sampled_from(KINDS))
    mode = draw(st.sampled_from(["auto", "scan", "indexed"]))
    window = draw(st.sampled_from([1, 2, 7, 40, 100]))
    n = draw(st.integers(0, 700))
    seed = draw(st.integers(0, 2**32 - 1))
    sizes, left = [], n
    while left:
        sizes.append(draw(st.integers(1, min(left, 150))))
        left -= sizes[-1]
    return kind, mode, window, sizes, seed


@settings(max_examples=80, deadline=None)
@given(long_runs(), st.booleans())
def test_sources_are_those_of_an_unbounded_stream_within_the_window(case, positions):
    kind, mode, window, sizes, seed = case
    rng = np.random.default_rng(seed)
    n = sum(sizes)
    shape = (n, 2) if kind.startswith("vector") else (n,)
    # Small whole numbers: ties, plateaus and collinear samples, all exact.
    x = np.cumsum(rng.integers(-2, 3, size=shape), axis=0).astype(float)
    t = np.cumsum(rng.integers(1, 3, size=n)) * 0.25 if positions and kind != "horizontal" else None
    unbounded = stream(kind, None, mode).extend(x, t=t)
    expected = unbounded[unbounded[:, 1] - unbounded[:, 0] <= window]
    windowed, got, start = stream(kind, window, mode), [], 0
    for size in sizes:
        # A run that fails its check changes nothing, released history included.
        bad = x[start:start + size].copy()
        bad[-1] = np.nan
        with pytest.raises(ValueError):
            windowed.extend(bad, t=None if t is None else t[start:start + size])
        got.append(windowed.extend(x[start:start + size], t=None if t is None else t[start:start + size]))
        start += size
    assert len(windowed) == n
    assert np.array_equal(np.concatenate(got) if got else np.empty((0, 2), np.int64), expected)


MEMORY = r"""
import json, sys
import numpy as np
import _kaltrope as kt

def resident_mib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096 / 2**20

kind, total, mode = sys.argv[1], int(sys.argv[2]), sys.argv[3]
dim = 3 if kind.startswith("vector") else None
stream = kt.VisibilityStream(kind, window=1000, dim=dim, mode=mode)
chunk = 10**5
rng = np.random.default_rng(0)
blocks = [rng.random((chunk, dim) if dim else chunk) for _ in range(3)]
after_first_million = None
for i in range(total // chunk):
    stream.extend(blocks[i % 3])
    if (i + 1) * chunk == 10**6:
        after_first_million = resident_mib()
print(json.dumps({"n": len(stream), "growth": resident_mib() - after_first_million,
                  "saved": len(stream.__reduce__()[1][6])}))
"""


# The vector natural kind compares every sample with the whole window (3000
# products per sample), so it runs fewer samples: its growth has stopped
# long before.
@pytest.mark.parametrize("kind, total, mode", [("natural", 10**7, "auto"), ("natural", 10**7, "indexed"),
                                               ("horizontal", 10**7, "auto"), ("vector_horizontal", 10**7, "auto"),
                                               ("vector_natural", 2 * 10**6, "auto")])
def test_memory_stops_growing_with_a_window(kind, total, mode):
    # Under AddressSanitizer freed blocks wait in a quarantine, which would
    # count as growth; without one the measure holds there too.
    asan = {"ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=0"}
    result = run_python_json(MEMORY, kind, total, mode, env=asan, timeout=300)
    assert result["n"] == total
    assert result["growth"] < 5
    assert result["saved"] == 1000 * (3 if kind.startswith("vector") else 1)
