"""Every natural visibility decision is exact on the given doubles: decimal
data whose collinear triples are only nearly collinear in binary, values and
positions near 1e300 whose products overflow, subnormals whose products
underflow, and signed zeros. Every engine, the batch, every stream mode, the
graph builder and the motif counter are checked against exact rational
(fractions.Fraction) oracles."""
from fractions import Fraction

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from oracles import ALGORITHMS, check_batch, exact_natural_oracle, exact_neighbours, pairs

NAT = kt.natural_visibility_edges
MODES = ("auto", "scan", "indexed")


def decimal(k, exponent):
    """The double nearest to k * 10**exponent, as a decimal text reads."""
    return float(f"{k}e{exponent}")


def value_grid(draw, ks):
    """Values on one of the grids, from small integers ks (ties, plateaus and
    decimal-collinear triples are common)."""
    grid = draw(st.sampled_from(["tenths", "hundredths", "cents", "1e-7", "walk", "near 1e300", "huge",
                                 "tiny", "subnormal", "zeros"]))
    if grid == "tenths":
        return [decimal(k, -1) for k in ks]
    if grid == "hundredths":
        return [decimal(k, -2) for k in ks]
    if grid == "cents":
        return [decimal(123456 + k, -2) for k in ks]
    if grid == "1e-7":
        return [decimal(k, -7) for k in ks]
    if grid == "walk":
        return [decimal(int(c), -1) for c in np.cumsum(ks)]
    if grid == "near 1e300":
        return [decimal(1000 + k, 297) * (1 if k % 3 else -1) for k in ks]
    if grid == "huge":
        return [decimal(k, 298) for k in ks]
    if grid == "tiny":
        return [decimal(k, -300) for k in ks]
    if grid == "subnormal":
        return [k * 5e-324 for k in ks]
    return [(0.0, -0.0, 1.0, -1.0)[k % 4] for k in ks]


def position_grid(draw, n):
    """None (positions 0, 1, ...) or strictly increasing positions."""
    grid = draw(st.sampled_from([None, "tenths", "1e-7", "offset 1e9", "near 1e300", "tiny", "subnormal"]))
    if grid is None:
        return None
    steps = np.cumsum(draw(st.lists(st.integers(1, 9), min_size=n, max_size=n))).tolist()
    if grid == "tenths":
        return [decimal(c - 20, -1) for c in steps]
    if grid == "1e-7":
        return [decimal(c, -7) for c in steps]
    if grid == "offset 1e9":
        return [1e9 + decimal(c, -1) for c in steps]
    if grid == "near 1e300":
        return [decimal(10**10 + c, 290) for c in steps]
    if grid == "tiny":
        return [decimal(c, -300) for c in steps]
    return [c * 5e-324 for c in steps]


@st.composite
def series_and_positions(draw, max_size=28):
    ks = draw(st.sampled_from([st.integers(-3, 3), st.integers(-30, 30), st.integers(0, 2)]).flatmap(
        lambda k: st.lists(k, max_size=max_size)))
    y = np.array(value_grid(draw, ks), dtype=np.float64)
    x = position_grid(draw, len(y))
    return y, None if x is None else np.array(x, dtype=np.float64)


def stream_order(edges):
    """A stream gives each new sample's sources by decreasing index."""
    return sorted(edges, key=lambda e: (e[1], -e[0]))


@settings(max_examples=150, deadline=None)
@given(series_and_positions())
def test_every_engine_against_the_exact_oracle(case):
    y, x = case
    want = exact_natural_oracle(y, x)
    for algorithm in ALGORITHMS:
        assert pairs(NAT(y, x, algorithm=algorithm)) == want, algorithm
    if x is None:
        check_batch(kt.natural_visibility_batch(np.stack([y, y])), [want, want])
    for mode in MODES:
        for window in (None, 3):
            stream = kt.VisibilityStream("natural", window=window, mode=mode)
            got = stream.extend(y) if x is None else stream.extend(y, t=x)
            kept = [e for e in want if window is None or e[1] - e[0] <= window]
            assert [tuple(e) for e in got.reshape(-1, 2).tolist()] == stream_order(kept), (mode, window)
    if len(y):
        series = kt.TimeSeries(y.tolist()) if x is None else kt.TimeSeries.with_missing(x.tolist(), y.tolist())
        assert series.natural_visibility().edges() == [(a, b, 1.0) for a, b in sorted(want)]


@settings(max_examples=40, deadline=None)
@given(series_and_positions(max_size=12))
def test_single_pushes_against_the_exact_oracle(case):
    y, x = case
    want = stream_order(exact_natural_oracle(y, x))
    for mode in MODES:
        stream = kt.VisibilityStream("natural", mode=mode)
        got = []
        for i, value in enumerate(y.tolist()):
            sources = stream.push(value) if x is None else stream.push(value, t=float(x[i]))
            got += [(int(s), i) for s in sources.tolist()]
        assert got == want, mode


def test_decimal_walk_loses_no_edge():
    """Rounded decimal walks hold many triples collinear in decimal but not
    in binary; every engine and mode returns the same exact edges."""
    rng = np.random.default_rng(5)
    y = np.round(np.cumsum(rng.normal(size=600)), 1)
    want = exact_natural_oracle(y[:120])
    for algorithm in ALGORITHMS:
        assert pairs(NAT(y[:120], algorithm=algorithm)) == want
    scan = pairs(NAT(y, algorithm="scan"))
    for algorithm in ("hull", "auto"):
        assert pairs(NAT(y, algorithm=algorithm)) == scan
    for i in rng.choice(len(y), 25, replace=False).tolist():
        assert {a + b - i for a, b in scan if i in (a, b)} == exact_neighbours(y, np.arange(len(y)), i)
    for mode in MODES:
        got = kt.VisibilityStream("natural", mode=mode).extend(y)
        assert [tuple(e) for e in got.tolist()] == stream_order(scan), mode


@pytest.mark.parametrize("scale", [1.0, 1e300, 1e-300, 2.0 ** -1074])
@pytest.mark.parametrize("n", [1500, 5000])
def test_hybrid_and_indexed_searches_on_extreme_magnitudes(scale, n):
    """Long windows hand the scan to the hull searches (array and stream);
    decimal data scaled into overflow or underflow stays exact."""
    rng = np.random.default_rng(n)
    k = np.cumsum(rng.integers(-2, 4, n))
    y = np.array([decimal(int(v), -1) for v in k]) * scale
    x = np.cumsum(rng.integers(1, 4, n)).astype(np.float64) * (1e290 if scale == 1.0 else 1.0)
    for positions in (None, x):
        scan = NAT(y, positions, algorithm="scan")
        assert np.array_equal(NAT(y, positions, algorithm="hull"), scan)
        got = kt.VisibilityStream("natural", mode="indexed").extend(y, **({} if positions is None else {"t": positions}))
        assert [tuple(e) for e in got.tolist()] == stream_order(pairs(scan))
        at = np.arange(n, dtype=np.float64) if positions is None else positions
        edges = pairs(scan)
        for i in rng.choice(n, 3, replace=False).tolist():
            assert {a + b - i for a, b in edges if i in (a, b)} == exact_neighbours(y, at, i)


@pytest.mark.parametrize("unit", [5e-324, 1e-310, 1e-200])
def test_hulls_over_underflowing_products(unit):
    """Hull turns and pruning lines over tiny coordinates underflow: the hull
    engine and the indexed stream must not skip a sample above the line."""
    rng = np.random.default_rng(7)
    for trial in range(60):
        n = int(rng.integers(3, 40))
        y = rng.integers(-3, 4, n) * (unit if trial % 2 else 5e-324)
        x = np.cumsum(rng.integers(1, 4, n)) * (4.9e-324 if trial % 3 else unit)
        want = exact_natural_oracle(y, x)
        for algorithm in ALGORITHMS:
            assert pairs(NAT(y, x, algorithm=algorithm)) == want, (trial, algorithm)
        got = kt.VisibilityStream("natural", mode="indexed").extend(y, t=x)
        assert [tuple(e) for e in got.tolist()] == stream_order(want), trial


def test_hull_over_values_too_far_apart_to_rescale():
    """Subnormal and huge values in one series: no power of two makes both
    moderate, and the hull must not flush the tiny ones to zero."""
    y = np.array([1.21615550e-309, 0.0, -6.67761415e153, 2.65354965e-256])
    want = exact_natural_oracle(y)
    for algorithm in ALGORITHMS:
        assert pairs(NAT(y, algorithm=algorithm)) == want, algorithm


def motif_oracle(y):
    """Each window's code from its exact natural graph."""
    counts = [0] * 8
    for k in range(len(y) - 3):
        e = set(exact_natural_oracle(y[k:k + 4]))
        counts[((0, 2) in e) + 2 * ((1, 3) in e) + 4 * ((0, 3) in e)] += 1
    return counts


@settings(max_examples=40, deadline=None)
@given(st.data())
def test_motifs_against_the_exact_oracle(data):
    """Long enough for the vector kernels (64 windows a word) and their tail."""
    ks = data.draw(st.lists(st.integers(-4, 4), min_size=4, max_size=140))
    y = np.array(value_grid(data.draw, ks), dtype=np.float64)
    want = motif_oracle(y)
    assert kt.visibility_motifs(y).tolist() == want
    assert kt.visibility_motifs(np.stack([y, y])).tolist() == [want, want]


def test_motifs_of_nearly_collinear_windows():
    """0.1, 0.2, 0.3 are not collinear in binary: 0.2 lies above the line."""
    assert Fraction(0.2) * 2 > Fraction(0.1) + Fraction(0.3)
    y = np.array([0.1, 0.2, 0.3, 0.4] * 40)
    assert kt.visibility_motifs(y).tolist() == motif_oracle(y)
