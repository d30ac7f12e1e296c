"""The natural scan's walk in slope blocks (uniform positions, moderate values
that are not all small whole numbers, on processors with AVX-512) against the
plain walk: the same series at explicit positions 0, 1, ..., n - 1 takes the
plain walk and must give the same edges in the same order, with the windows
found first or, under a narrow window, found while scanning; across block ends
and the reciprocal table's end, on near ties and at extreme magnitudes. Small
cases go against the exact oracle."""
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from oracles import exact_natural_oracle, pairs

NAT = kt.natural_visibility_edges


def plain_walk(y, **keywords):
    return NAT(y, np.arange(len(y), dtype=np.float64), **keywords)


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
def test_blocks_give_the_plain_walks_edges(kind, window):
    y = make_series(kind, 6000)
    for algorithm in ("auto", "scan"):
        got = NAT(y, window=window, algorithm=algorithm)
        assert np.array_equal(got, plain_walk(y, window=window, algorithm=algorithm)), algorithm
    degrees = kt.natural_visibility_degrees(y, window=window)
    assert np.array_equal(degrees, np.bincount(got.ravel(), minlength=len(y)))


@pytest.mark.parametrize("span", [4094, 4095, 4096, 4097, 4104])
@pytest.mark.parametrize("peak", ["first", "last"])
def test_sides_at_the_end_of_the_reciprocal_table(span, peak):
    """One sample sees a whole side of span samples: up to 4096 in blocks,
    beyond that by the plain walk."""
    rng = np.random.default_rng(span)
    rest = np.cumsum(rng.standard_normal(span)) * 1e-3 - 10.0
    y = np.concatenate([[1.0], rest]) if peak == "first" else np.concatenate([rest, [1.0]])
    assert np.array_equal(NAT(y, algorithm="scan"), plain_walk(y, algorithm="scan"))


@settings(max_examples=200, deadline=None)
@given(st.lists(st.integers(-2, 2), min_size=2, max_size=40),
       st.sampled_from([-1, -2, 140, -110]),
       st.sampled_from([None, 1, 3, 8, 20]))
def test_near_ties_against_the_exact_oracle(steps, exponent, window):
    """Decimal ramps are collinear in decimal and nearly so in binary: the
    blocks hand those comparisons to the exact test."""
    y = np.array([float(f"{k + 1000}e{exponent}") for k in np.cumsum(steps).tolist()])
    want = [(a, b) for a, b in exact_natural_oracle(y) if window is None or b - a <= window]
    assert pairs(NAT(y, window=window, algorithm="scan")) == want
