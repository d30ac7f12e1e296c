"""The natural degree sweep: wherever its two ends meet, and wherever it leaves
a dense graph to the scans, the degrees are those of the edges."""
import subprocess

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from probes import graph_probe
from strategies import series, series_with_positions


@pytest.fixture
def restore_threads():
    before = kt.get_num_threads()
    yield
    kt.set_num_threads(before)


def swept(y, splits, x=None):
    """The probe's degrees for each split, or None where the sweep gave up."""
    lines = [repr(float(v)) if x is None else f"{float(p)!r} {float(v)!r}"
             for v, p in zip(y, y if x is None else x)]
    out = subprocess.run([str(graph_probe()), "degrees", *map(str, splits)], input="".join(line + "\n" for line in lines),
                         capture_output=True, text=True, check=True).stdout.splitlines()
    return [None if line == "gave up" else [int(d) for d in line.split()] for line in out]


def edge_degrees(y, x=None):
    return np.bincount(kt.natural_visibility_edges(y, x).ravel(), minlength=len(y)).tolist()


# Decimals whose binary values are near collinear, so that the filter leaves
# decisions to the exact path, beside small whole numbers.
decimals = st.lists(st.sampled_from([0.1, 0.2, 0.3, 0.7, 1.1, 2.2, 3.3, 1e-17, 1e17]), max_size=40).map(
    lambda picks: np.cumsum(picks).tolist())


@settings(max_examples=150)
@given(st.one_of(series(), decimals))
def test_every_meeting_point_gives_the_degrees_of_the_edges(y):
    want = edge_degrees(y) if len(y) else []
    assert swept(y, range(len(y) + 1)) == [want] * (len(y) + 1)


@settings(max_examples=100)
@given(series_with_positions())
def test_every_meeting_point_with_positions(data):
    y, x = data
    want = edge_degrees(y, x) if len(y) else []
    assert swept(y, range(len(y) + 1), x) == [want] * (len(y) + 1)


def test_long_runs_across_the_meeting_point():
    # Pairs across a split reach far back from far ahead: a walk with its
    # highest samples near both ends, and the two halves of a ramp.
    rng = np.random.default_rng(3)
    walk = np.cumsum(rng.standard_normal(3000))
    walk[[5, -5]] += 200.0
    for y in (walk, np.round(walk), np.arange(2000.0) * 0.1):
        n = len(y)
        want = edge_degrees(y)
        assert swept(y, [1, n // 3, n // 2, n - 1]) == [want] * 4


def test_dense_graphs_are_left_to_the_scans():
    # A parabola: every pair an edge, every candidate of the scans one. A V
    # of two straight lines: few pairs within each half and every pair across,
    # about half the candidates of the scans, so the sweep goes on.
    parabola = (np.arange(1500.0) - 700.0) ** 2
    v = np.abs(np.arange(2001.0) - 1000.0)
    assert swept(parabola, [0, 750]) == [None, None]
    assert swept(v, [1001]) == [edge_degrees(v)]
    assert kt.natural_visibility_degrees(parabola).tolist() == edge_degrees(parabola)


def test_a_smooth_series_is_swept_in_parallel(restore_threads):
    # Many edges a sample, yet fewer than the scans would test.
    y = np.sin(np.arange(40_000) * 0.002)
    want = edge_degrees(y)
    assert swept(y, [20_000]) == [want]
    for threads in (1, 2):
        kt.set_num_threads(threads)
        assert kt.natural_visibility_degrees(y).tolist() == want


@pytest.mark.parametrize("threads", [1, 2])
def test_series_too_long_for_narrow_records(threads, restore_threads):
    # From 2^21 - 1 samples on, a sample's record takes 128 bits.
    kt.set_num_threads(threads)
    y = np.random.default_rng(4).random(2 ** 21 + 5)
    assert np.array_equal(kt.natural_visibility_degrees(y), np.bincount(kt.natural_visibility_edges(y).ravel()))
