"""The natural scan's walk in slope blocks (uniform positions, moderate
values that are not all small whole numbers, on processors with AVX-512)
against engines that share none of its arithmetic: the walk two at a time,
which the same series takes at explicit positions 0, 1, ..., n - 1 and must
give the same edges in the same order; the stream engine, which finds the
same graph sample by sample; and the exact rational oracle on small cases.
Covered: windows found first or, under a narrow window, found while
scanning; block ends and the reciprocal table's end; near ties and extreme
magnitudes."""
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from oracles import exact_natural_oracle, pairs

NAT = kt.natural_visibility_edges


def stream_edges(y, x=None, window=None):
    got = kt.VisibilityStream("natural", window=window).extend(y, **({} if x is None else {"t": x}))
    return sorted(map(tuple, got.reshape(-1, 2).tolist()))


def make_series(kind, n, seed=11):
    rng = np.random.default_rng(seed)
    steps = rng.standard_normal(n)
    if kind == "walk":
        return np.cumsum(steps)
    if kind == "uniform":
        return rng.random(n)
    if kind == "decimal walk":  # ties and triples collinear in decimal only
        return np.round(np.cumsum(steps), 1)
    if kind == "plateaus":  # runs of equal values, a tenth apart
        return np.repeat(rng.integers(0, 6, n // 4 + 1), 4)[:n] * 0.1
    if kind == "offset":  # slopes that agree to a dozen digits
        return 1e5 + np.cumsum(steps) * 1e-7
    # The blocks take moderate values only (|y| within [2^-400, 2^498], or 0).
    if kind == "huge":
        return np.cumsum(steps) * 1e140
    if kind == "tiny":
        return (np.cumsum(steps) + 1e3) * 1e-110
    raise AssertionError(kind)


KINDS = ("walk", "uniform", "decimal walk", "plateaus", "offset", "huge", "tiny")


@pytest.mark.parametrize("kind", KINDS)
@pytest.mark.parametrize("window", [None, 1, 2, 7, 8, 9, 100, 2048, 2049])
def test_blocks_agree_with_the_stream(kind, window):
    n = 3000
    y = make_series(kind, n)
    at = np.arange(n, dtype=np.float64)
    for algorithm in ("auto", "scan"):
        got = NAT(y, window=window, algorithm=algorithm)
        assert np.array_equal(got, NAT(y, at, window=window, algorithm=algorithm)), algorithm
    assert sorted(pairs(got)) == stream_edges(y, window=window)
    degrees = kt.natural_visibility_degrees(y, window=window)
    assert np.array_equal(degrees, np.bincount(got.ravel(), minlength=n))


@pytest.mark.parametrize("span", [4094, 4095, 4096, 4097, 4104])
@pytest.mark.parametrize("peak", ["first", "last"])
def test_sides_at_the_end_of_the_reciprocal_table(span, peak):
    """One sample sees a whole side of span samples: up to 4096 in blocks,
    beyond that by the walk two at a time."""
    rng = np.random.default_rng(span)
    rest = np.cumsum(rng.standard_normal(span)) * 1e-3 - 10.0
    y = np.concatenate([[1.0], rest]) if peak == "first" else np.concatenate([rest, [1.0]])
    got = NAT(y, algorithm="scan")
    assert np.array_equal(got, NAT(y, np.arange(len(y), dtype=np.float64), algorithm="scan"))
    assert sorted(pairs(got)) == stream_edges(y)


@settings(max_examples=200, deadline=None)
@given(st.lists(st.integers(-2, 2), min_size=2, max_size=40),
       st.sampled_from([-1, -2, 140, -110]),
       st.sampled_from([None, 1, 3, 8, 20]),
       st.booleans())
def test_near_ties_against_the_exact_oracle(steps, exponent, window, tenths):
    """Decimal ramps are collinear in decimal and nearly so in binary: the
    blocks hand those comparisons to the exact test."""
    y = np.array([float(f"{k + 1000}e{exponent}") for k in np.cumsum(steps).tolist()])
    x = np.array([float(f"{k + 7}e-1") for k in range(len(y))]) if tenths else None
    want = [(a, b) for a, b in exact_natural_oracle(y, x) if window is None or b - a <= window]
    assert pairs(NAT(y, x, window=window, algorithm="scan")) == want
