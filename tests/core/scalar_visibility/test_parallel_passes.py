"""The passes that run in parallel over ranges of a long series (the horizontal
engine and the natural engines' windows): the same edges, in the same order,
and the same scan work as one pass over the whole series, for every thread
limit, on one CPU and on all. The sequential reference is the batch engine,
which computes a row in one pass on one worker."""
import bisect
import os

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from processes import run_python

# Ranges are at least 2^14 samples long and series shorter than 32768 run in
# one pass: these lengths give from two to a dozen ranges.
LENGTHS = [32768, 50001, 196613]


def _pieces(rng, n):
    """Random pieces end to end: ties, plateaus, ramps both ways, noise."""
    parts, size = [], 0
    while size < n:
        m = int(rng.integers(1, 5000))
        kind = rng.integers(0, 6)
        if kind == 0:
            piece = rng.integers(0, 4, m).astype(np.float64)
        elif kind == 1:
            piece = np.full(m, float(rng.integers(0, 4)))
        elif kind == 2:
            piece = np.arange(m, dtype=np.float64) / m * 4
        elif kind == 3:
            piece = 4 - np.arange(m, dtype=np.float64) / m * 4
        elif kind == 4:
            piece = rng.random(m) * 4
        else:
            piece = np.repeat(rng.integers(0, 4, m // 50 + 1), 50)[:m].astype(np.float64)
        parts.append(piece)
        size += m
    return np.concatenate(parts)[:n]


def _shapes(n, seed=0):
    rng = np.random.default_rng(seed)
    i = np.arange(n, dtype=np.float64)
    peaks = np.zeros(n)
    peaks[::2 ** 12] = 5.0                 # equal peaks where ranges begin
    peaks[2 ** 12 - 1::2 ** 12] = 5.0      # and where they end
    return {
        "uniform": rng.random(n),
        "ties": rng.integers(0, 3, n).astype(np.float64),
        "plateaus": np.repeat(rng.integers(0, 20, n // 3000 + 1), 3000)[:n].astype(np.float64),
        "increasing": i,
        "decreasing": -i,
        "constant": np.zeros(n),
        "walk": np.cumsum(rng.integers(-1, 2, n)).astype(np.float64),
        "peaks": peaks + rng.integers(0, 2, n),
        "pieces": _pieces(rng, n),
    }


def _scan_work_by_rank(y):
    """The sum of the window spans, from the samples in decreasing order of
    value: a sample's window ends before the nearest strictly higher sample on
    its right and starts after the nearest sample at least as high on its left."""
    n, higher, work = len(y), [], 0
    order = sorted(range(n), key=lambda i: (-y[i], i))
    start = 0
    while start < n:
        stop = start
        while stop < n and y[order[stop]] == y[order[start]]:
            stop += 1
        group = order[start:stop]
        for k, i in enumerate(group):
            p = bisect.bisect_left(higher, i)
            hi = higher[p] - 1 if p < len(higher) else n - 1
            lo = max(higher[p - 1] if p else -1, group[k - 1] if k else -1) + 1
            work += hi - lo
        for i in group:
            bisect.insort(higher, i)
        start = stop
    return work


@pytest.fixture
def thread_limits():
    before = kt.get_num_threads()
    yield (1, 2, 3, 4)
    kt.set_num_threads(before)


def _sequential(y):
    return (kt.horizontal_visibility_batch([y])[0], kt.natural_visibility_batch([y])[0])


@pytest.mark.parametrize("n", LENGTHS)
def test_horizontal_equals_one_pass(n, thread_limits):
    for name, y in _shapes(n).items():
        want = kt.horizontal_visibility_batch([y])[0]
        for threads in thread_limits:
            kt.set_num_threads(threads)
            assert np.array_equal(kt.horizontal_visibility_edges(y), want), (name, threads)


@pytest.mark.parametrize("n", LENGTHS[1:])
def test_horizontal_directions_and_weights_equal_one_pass(n, thread_limits):
    # Without a weight the pairs are turned chunk by chunk as they are
    # written; with one they come from the engine's parts.
    for name, y in _shapes(n, seed=3).items():
        want = kt.horizontal_visibility_batch([y])[0]
        down = np.where((y[want[:, 1]] > y[want[:, 0]])[:, None], want[:, ::-1], want)
        for threads in thread_limits:
            kt.set_num_threads(threads)
            assert np.array_equal(kt.horizontal_visibility_edges(y, direction="top_to_bottom"), down), (name, threads)
            edges, weights = kt.horizontal_visibility_edges(y, weight="v_distance", direction="top_to_bottom")
            assert np.array_equal(edges, down), (name, threads)
            assert np.array_equal(weights, y[down[:, 1]] - y[down[:, 0]]), (name, threads)


@pytest.mark.parametrize("n", LENGTHS[:2])
def test_windows_equal_one_pass(n, thread_limits):
    for name, y in _shapes(n, seed=1).items():
        work = _scan_work_by_rank(y.tolist())
        # Ramps cost the sequential scan n^2 / 2 tests.
        want = None if name in ("increasing", "decreasing", "constant") else kt.natural_visibility_batch([y])[0]
        for threads in thread_limits:
            kt.set_num_threads(threads)
            plan = kt.natural_visibility_plan(y)
            assert plan["scan_work"] == work, (name, threads)
            if want is not None:
                # hull: the tree's hulls are built in parallel below a few subtree roots
                for algorithm in ("auto", "scan", "hull"):
                    got = kt.natural_visibility_edges(y, algorithm=algorithm)
                    assert np.array_equal(got, want), (name, threads, algorithm)


@settings(max_examples=10, deadline=None)
@given(st.integers(0, 2 ** 32 - 1), st.integers(32768, 70000), st.sampled_from([1, 2, 3, 4]))
def test_random_pieces_equal_one_pass(seed, n, threads):
    y = _pieces(np.random.default_rng(seed), n)
    horizontal, natural = _sequential(y)
    before = kt.get_num_threads()
    kt.set_num_threads(threads)
    try:
        assert np.array_equal(kt.horizontal_visibility_edges(y), horizontal)
        assert np.array_equal(kt.natural_visibility_edges(y), natural)
    finally:
        kt.set_num_threads(before)


@pytest.mark.parametrize("dense_at", ["end", "start"])
def test_result_written_once_grows_past_its_estimate(dense_at, thread_limits):
    # A convex bowl of m samples, where every pair sees each other, next to
    # noise: written at the end, it outgrows the result sized from the
    # chunks before it several times; at the start, it sizes it far too
    # large, and the result is trimmed. Explicit positions go the same way.
    rng = np.random.default_rng(5)
    m, n = 2500, 70001
    bowl = ((np.arange(m) - m / 2) / m) ** 2 + 2.0
    noise = rng.random(n - m)
    y = np.concatenate([noise, bowl] if dense_at == "end" else [bowl, noise])
    want = kt.natural_visibility_batch([y])[0]
    assert len(want) > m * (m - 1) // 2
    x = np.arange(n, dtype=np.float64) * 0.5
    # The weighted call returns the edges the engines give in parts.
    want_x, _ = kt.natural_visibility_edges(y, x, weight="h_distance")
    for threads in thread_limits:
        kt.set_num_threads(threads)
        assert np.array_equal(kt.natural_visibility_edges(y), want), threads
        assert np.array_equal(kt.natural_visibility_edges(y, x), want_x), threads
        assert np.array_equal(kt.natural_visibility_edges(y, algorithm="hull"), want), threads


@pytest.mark.parametrize("n", [32768, 32769 + 16 * 7, 2 ** 17 + 5])
def test_hull_tree_built_in_parallel_with_positions(n, thread_limits):
    # Leaf counts that fill the tree exactly or leave most of it empty, with
    # uneven positions: the tree keeps and searches the positions' hulls.
    rng = np.random.default_rng(n)
    y = np.cumsum(rng.standard_normal(n))
    x = np.cumsum(rng.exponential(1.0, n) + 1e-3)
    want = kt.natural_visibility_edges(y, x, algorithm="scan")
    for threads in thread_limits:
        kt.set_num_threads(threads)
        assert np.array_equal(kt.natural_visibility_edges(y, x, algorithm="hull"), want), threads
        assert np.array_equal(kt.natural_visibility_edges(y, x), want), threads


def test_short_series_written_once():
    for y in ([], [1.0], [1.0, 2.0], [2.0, 1.0, 2.0], [0.0, 0.0, 0.0, 0.0]):
        y = np.asarray(y, dtype=np.float64)
        got = kt.natural_visibility_edges(y)
        assert got.dtype == np.int64 and got.shape == (len(got), 2) and got.flags.c_contiguous
        assert np.array_equal(got, kt.natural_visibility_batch([y])[0].reshape(-1, 2)), y


SUBPROCESS = """
import os, sys
if sys.argv[2] == "pinned":
    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})   # before the module: a thread limit of 1
import numpy as np
import _kaltrope as kt
if sys.argv[2] != "pinned":
    kt.set_num_threads(3)
data = np.load(sys.argv[1])
out = {}
for name in data.files:
    y = data[name]
    out[name + "_horizontal"] = kt.horizontal_visibility_edges(y)
    out[name + "_down"] = kt.horizontal_visibility_edges(y, direction="top_to_bottom")
    out[name + "_natural"] = kt.natural_visibility_edges(y)
    out[name + "_work"] = np.array(kt.natural_visibility_plan(y)["scan_work"])
    out[name + "_natural_degrees"] = kt.natural_visibility_degrees(y)
    out[name + "_horizontal_degrees"] = kt.horizontal_visibility_degrees(y)
    if name in ("uniform", "walk"):
        out[name + "_hull"] = kt.natural_visibility_edges(y, algorithm="hull")
np.savez(sys.argv[3], **out)
"""


@pytest.mark.parametrize("mode", ["pinned", "three_threads"])
def test_same_results_pinned_and_unpinned(tmp_path, mode):
    shapes = {k: v for k, v in _shapes(100003, seed=2).items() if k not in ("increasing", "decreasing", "constant")}
    np.savez(tmp_path / "data.npz", **shapes)
    run_python(SUBPROCESS, tmp_path / "data.npz", mode, tmp_path / "out.npz",
               env={"KALTROPE_NUM_THREADS": None, "OMP_NUM_THREADS": None})
    got = np.load(tmp_path / "out.npz")
    for name, y in shapes.items():
        horizontal, natural = _sequential(y)
        assert np.array_equal(got[name + "_horizontal"], horizontal), name
        assert np.array_equal(got[name + "_down"], kt.horizontal_visibility_edges(y, direction="top_to_bottom")), name
        assert np.array_equal(got[name + "_natural"], natural), name
        assert int(got[name + "_work"]) == kt.natural_visibility_plan(y)["scan_work"], name
        for kind, edges in (("natural", natural), ("horizontal", horizontal)):
            want = np.bincount(edges.ravel(), minlength=len(y))
            assert np.array_equal(got[f"{name}_{kind}_degrees"], want), (name, kind)
        if name + "_hull" in got.files:
            assert np.array_equal(got[name + "_hull"], natural), name


# The degree functions find the natural windows again chunk by chunk (of 4096
# samples), count each claim's own samples apart from the others, and count
# the horizontal edges between chunks before those inside them.
def _degree_shapes(n):
    shapes = _shapes(n, seed=3)
    rng = np.random.default_rng(4)
    chunk_peaks = rng.integers(0, 3, n).astype(np.float64)
    chunk_peaks[4095::4096] = 9.0          # equal peaks on both sides of every chunk boundary
    chunk_peaks[4096::4096] = 9.0
    chunk_peaks[8191::3 * 4096] = 10.0     # and a few higher ones
    shapes["chunk_peaks"] = chunk_peaks
    shapes["gaussian_walk"] = np.cumsum(rng.standard_normal(n))
    return shapes


def _bincount_within(edges, n, window):
    if window is not None:
        edges = edges[edges[:, 1] - edges[:, 0] <= window]
    return np.bincount(edges.ravel(), minlength=n)


@pytest.mark.parametrize("window", [None, 1, 4096, 5000])
def test_degrees_equal_the_edges_for_every_thread_limit(window, thread_limits):
    n = 70001
    for name, y in _degree_shapes(n).items():
        natural = _bincount_within(kt.natural_visibility_edges(y), n, window)
        horizontal = _bincount_within(kt.horizontal_visibility_edges(y), n, window)
        for threads in thread_limits:
            kt.set_num_threads(threads)
            assert np.array_equal(kt.natural_visibility_degrees(y, window=window), natural), (name, threads)
            assert np.array_equal(kt.horizontal_visibility_degrees(y, window=window), horizontal), (name, threads)


def test_degrees_with_positions_and_rows_above_the_parallel_threshold(thread_limits):
    rng = np.random.default_rng(6)
    n = 50001
    x = np.cumsum(rng.integers(1, 4, n)).astype(np.float64)
    rows = np.stack([np.cumsum(rng.standard_normal(n)), np.repeat(rng.integers(0, 9, n // 700 + 1), 700)[:n]])
    want = [np.bincount(kt.natural_visibility_edges(row, x).ravel(), minlength=n) for row in rows]
    for threads in thread_limits:
        kt.set_num_threads(threads)
        for row, degrees in zip(rows, want):
            assert np.array_equal(kt.natural_visibility_degrees(row, x), degrees), threads
        assert np.array_equal(kt.natural_visibility_degrees(rows, x), np.stack(want)), threads


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_batch_groups_of_rows_equal_single_calls(kind, thread_limits):
    # Rows are grouped until a group holds 2^16 samples: short rows, empty
    # ones and rows longer than a group, across several groups.
    rng = np.random.default_rng(4)
    lengths = [256] * 700 + [0, 1, 2, 70000, 3] + [int(v) for v in rng.integers(0, 600, 300)]
    rows = [_pieces(rng, m) if m > 0 else np.zeros(0) for m in lengths]
    single = getattr(kt, f"{kind}_visibility_edges")
    batch = getattr(kt, f"{kind}_visibility_batch")
    want = [single(row) for row in rows]
    offsets = np.cumsum([0] + [len(w) for w in want])
    for threads in thread_limits:
        kt.set_num_threads(threads)
        edges, got_offsets = batch(rows)
        assert np.array_equal(got_offsets, offsets), threads
        assert np.array_equal(edges, np.concatenate(want)), threads
        matrix = np.stack(rows[:700])
        edges, got_offsets = batch(matrix)
        assert np.array_equal(got_offsets, offsets[:701]) and np.array_equal(edges, np.concatenate(want[:700]))
