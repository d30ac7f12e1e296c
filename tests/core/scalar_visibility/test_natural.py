"""Natural visibility on small and medium series: every engine against the
definition, the engine names, validation, the plan and exactness."""
import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from oracles import ALGORITHMS, exact_natural_oracle, natural_oracle, pairs, scan_work_oracle, windows_oracle
from strategies import series, series_with_positions

NAT = kt.natural_visibility_edges
PLAN = kt.natural_visibility_plan


@pytest.mark.parametrize("y, x, want", [
    ([], None, []),
    ([1.0], None, []),
    ([5.0, 5.0], [0.0, 3.5], [(0, 1)]),
    ([1, 2, 3], None, [(0, 1), (1, 2)]),
    ([3, 1, 2], None, [(0, 1), (0, 2), (1, 2)]),
    ([1, 1, 1], None, [(0, 1), (1, 2)]),
    ([2, 1, 2], None, [(0, 1), (0, 2), (1, 2)]),
    ([0, 1, 0, 1, 0], None, [(0, 1), (1, 2), (1, 3), (2, 3), (3, 4)]),
    ([0, 1, 2], [0, 9, 10], [(0, 1), (1, 2), (0, 2)]),
    ([0, 5, 0], [0, 1, 10], [(0, 1), (1, 2)]),
    ([3, 2, 1], [0, 1, 3], [(0, 1), (0, 2), (1, 2)]),
    ([4, 0, 0, 4], None, [(0, 1), (0, 2), (0, 3), (1, 2), (2, 3), (1, 3)]),
    ([4, 1, 3, 0, 4], None, [(0, 1), (0, 2), (0, 4), (1, 2), (2, 3), (3, 4),
                             (2, 4)]),
])
@pytest.mark.parametrize("alg", ALGORITHMS)
def test_natural_examples(y, x, want, alg):
    assert natural_oracle(y, x) == want
    assert pairs(NAT(y, x, algorithm=alg)) == want


@settings(max_examples=200, deadline=None)
@given(series(max_size=50))
def test_engines_match_definition_uniform(y):
    want = natural_oracle(y)
    arr = np.asarray(y, dtype=np.float64)
    for alg in ALGORITHMS:
        assert pairs(NAT(arr, algorithm=alg)) == want
    # The batch engine (scan engine, uniform positions) gives the same list.
    edges, offsets = kt.natural_visibility_batch([arr])
    assert pairs(edges) == want and offsets.tolist() == [0, len(want)]


@settings(max_examples=200, deadline=None)
@given(series_with_positions(max_size=50))
def test_engines_match_definition_explicit(yx):
    y, x = yx
    want = natural_oracle(y, x)
    for alg in ALGORITHMS:
        assert pairs(NAT(y, x, algorithm=alg)) == want
        assert pairs(NAT(np.asarray(y, dtype=float), np.asarray(x), alg)) == want


@settings(max_examples=60, deadline=None)
@given(st.integers(33, 400), st.integers(0, 2**32 - 1), st.sampled_from([2, 4, 40]))
def test_engines_agree_on_multi_leaf_series(n, seed, levels):
    # Several leaf blocks of 32 samples, many ties: the forced hull engine
    # (a tree search per sample) must reproduce the scan engine exactly.
    rng = np.random.default_rng(seed)
    y = rng.integers(0, levels, n).astype(np.float64)
    x = np.cumsum(rng.integers(1, 4, n)).astype(np.float64)
    for pos in (None, x):
        scan = NAT(y, pos, "scan")
        assert np.array_equal(NAT(y, pos, "hull"), scan)
        assert np.array_equal(NAT(y, pos, "auto"), scan)
    if n <= 120:
        assert pairs(NAT(y, x, "hull")) == natural_oracle(y, x)


@pytest.mark.parametrize("n", [16, 17, 31, 32, 33, 48, 49, 64, 65, 96, 97, 1023])
@pytest.mark.parametrize("shape", ["increasing", "decreasing", "concave", "convex",
                                   "tent", "valley", "plateaus"])
def test_engines_agree_on_shapes(n, shape):
    i = np.arange(n, dtype=np.float64)
    y = {"increasing": i, "decreasing": -i, "concave": np.sqrt(i), "convex": i * i,
         "tent": -np.abs(i - n // 2), "valley": np.abs(i - n // 3),
         "plateaus": np.floor(i / 5) % 3}[shape]
    for x in (None, np.cumsum(1.0 + (np.arange(n) % 3))):
        scan = NAT(y, x, "scan")
        assert np.array_equal(NAT(y, x, "hull"), scan)
        assert np.array_equal(NAT(y, x, "auto"), scan)
        if n <= 65:
            assert pairs(scan) == natural_oracle(y, x)



@pytest.mark.parametrize("n", [1024, 1025, 2047, 2048, 2049, 4096 + 31, 4096 + 33])
def test_hybrid_engine_at_tree_boundaries(n):
    # Long enough for the hybrid of scan and tree, at sizes where the last
    # leaf block is full, holds one sample, or the heap of leaves just grew;
    # the tree over uniform positions keeps none and computes them.
    rng = np.random.default_rng(n)
    walk = np.cumsum(rng.standard_normal(n))
    for y in (walk, np.round(walk * 3)):
        for x in (None, np.cumsum(rng.uniform(0.5, 2.0, n))):
            assert np.array_equal(NAT(y, x, "hull"), NAT(y, x, "scan"))

@settings(max_examples=60, deadline=None)
@given(st.integers(0, 2**32 - 1), st.integers(2, 400))
def test_exact_under_scaling_and_offset(seed, n):
    rng = np.random.default_rng(seed)
    y = rng.random(n)
    yi = rng.integers(0, 40, n).astype(np.float64)
    x = np.cumsum(rng.integers(1, 5, n)).astype(np.float64)
    for alg in ALGORITHMS:
        base = NAT(y, algorithm=alg)
        assert np.array_equal(NAT(y * 2.0 ** -40, algorithm=alg), base)
        assert np.array_equal(NAT(y * 2.0 ** 40, algorithm=alg), base)
        base = NAT(yi, x, algorithm=alg)
        assert np.array_equal(NAT(yi + 1e9, x, algorithm=alg), base)
        assert np.array_equal(NAT(yi, x + 1e9, algorithm=alg), base)
        assert np.array_equal(NAT(yi - 1e9, x - 1e9, algorithm=alg), base)
    if n <= 60:
        assert pairs(NAT(yi + 1e9, x)) == natural_oracle(yi, x)
    # Decimal data: scaling by powers of two is exact, so the edges stay;
    # an offset rounds the values, and the edges are those of the rounded ones.
    yd = np.round(np.cumsum(rng.normal(size=n)), 1)
    xd = np.round(x * 0.1, 1)
    for alg in ALGORITHMS:
        base = NAT(yd, xd, algorithm=alg)
        assert np.array_equal(NAT(yd * 2.0 ** -40, xd, algorithm=alg), base)
        assert np.array_equal(NAT(yd, xd * 2.0 ** 40, algorithm=alg), base)
        assert np.array_equal(NAT(yd * 2.0 ** 900, xd * 2.0 ** -900, algorithm=alg), base)
    if n <= 40:
        assert pairs(NAT(yd + 1e9, xd + 1e9)) == exact_natural_oracle(yd + 1e9, xd + 1e9)


@pytest.mark.parametrize("name", [
    "auto", "AUTO", "Auto", "scan", "SCAN", "sCaN", "dc", "DC", "Dc",
    "divide_and_conquer", "Divide_And_Conquer", "hull", "HULL", "Hull",
    "output_sensitive", "Output_Sensitive", "OUTPUT_SENSITIVE",
])
def test_accepted_algorithm_names(name):
    y = [3, 1, 2, 5, 0, 0, 4, 4, 2]
    assert pairs(NAT(y, algorithm=name)) == natural_oracle(y)
    assert pairs(NAT(y, list(range(0, 18, 2)), name)) == natural_oracle(y)


@pytest.mark.parametrize("name, shown", [
    ("xyz", "xyz"), ("XYZ", "xyz"), ("Hull ", "hull "), (" scan", " scan"),
    ("", ""), ("divide-and-conquer", "divide-and-conquer"), ("AUTO!", "auto!"),
    ("H\u00dcLL", "h\u00dcll"), ("\u00c9CAN", "\u00c9can"),
    ("outputsensitive", "outputsensitive"), ("d c", "d c"),
])
def test_unknown_algorithm_names(name, shown):
    msg = f"unknown algorithm '{shown}' (expected auto, scan or hull)"
    for y in ([1.0, 2.0, 3.0], ["a"], [np.nan], [[1.0, 2.0]], []):
        with pytest.raises(ValueError) as err:
            NAT(y, algorithm=name)
        assert str(err.value) == msg
    with pytest.raises(ValueError) as err:
        NAT([1.0, 2.0], [0.0, 0.0], name)
    assert str(err.value) == msg


@pytest.mark.parametrize("bad", [np.nan, np.inf, -np.inf])
@pytest.mark.parametrize("alg", ALGORITHMS)
def test_non_finite_y(bad, alg):
    y = np.arange(8, dtype=np.float64)
    y[5] = bad
    y[7] = np.nan
    # y is checked first, before the length and the order of x.
    for call in (lambda: NAT(y, algorithm=alg), lambda: NAT(list(y), np.arange(8.0), alg),
                 lambda: NAT(y, [0.0, 0.0], alg), lambda: PLAN(y)):
        with pytest.raises(ValueError, match=r"^non-finite value at index 5$"):
            call()


@pytest.mark.parametrize("x, msg", [
    ([0, 1, 1, 2], "x must be finite and strictly increasing (index 2)"),
    ([0, 1, np.nan, 0], "x must be finite and strictly increasing (index 2)"),
    ([0, 1, 0, np.nan], "x must be finite and strictly increasing (index 3)"),
    ([5, 4, 3, 2], "x must be finite and strictly increasing (index 1)"),
    ([np.inf, 1, 2, 3], "x must be finite and strictly increasing (index 0)"),
    ([0, 1, 2, -np.inf], "x must be finite and strictly increasing (index 3)"),
    ([-np.inf, 0, 1, 2], "x must be finite and strictly increasing (index 0)"),
    ([0.0, -0.0, 1, 2], "x must be finite and strictly increasing (index 1)"),
    ([0, 1, 2], "x and y must have the same length"),
    ([0, 1, 2, 3, 4], "x and y must have the same length"),
    ([], "x and y must have the same length"),
    ([0, np.nan, 2], "x and y must have the same length"),
])
@pytest.mark.parametrize("alg", ALGORITHMS)
def test_bad_positions(x, msg, alg):
    y = [1.0, 3.0, 2.0, 4.0]
    for args in ((y, x, alg), (np.asarray(y), np.asarray(x, dtype=np.float64), alg)):
        with pytest.raises(ValueError) as err:
            NAT(*args)
        assert str(err.value) == msg
    assert NAT([], [], alg).shape == (0, 2)
    with pytest.raises(ValueError, match=r"^x and y must have the same length$"):
        NAT([], [1.0], alg)
    with pytest.raises(ValueError):
        NAT([1.0, 2.0], algorithm=alg + "\x00")      # no truncation at a NUL


@pytest.mark.parametrize("n, algorithm, work", [
    (2000, "hull", 1999000),
    (1023, "scan", 1023 * 1022 // 2),
    (1024, "hull", 1024 * 1023 // 2),
    (2, "scan", 1),
    (1, "scan", 0),
    (0, "scan", 0),
])
def test_plan_of_increasing_series(n, algorithm, work):
    plan = PLAN(np.arange(n, dtype=np.float64))
    assert list(plan) == ["algorithm", "scan_work", "parallel", "n"]
    assert [type(v) for v in plan.values()] == [str, int, bool, int]
    assert plan == {"algorithm": algorithm, "scan_work": work, "parallel": False, "n": n}


def test_plan_of_random_series_is_scan():
    y = np.random.default_rng(7).random(2000)
    plan = PLAN(y)
    assert plan["algorithm"] == "scan" and plan["n"] == 2000
    assert plan["scan_work"] == scan_work_oracle(y)
    assert plan["scan_work"] < 30 * 2000 * math.log2(2000)
    # Windows of [1, 3, 2, 3, 1]: lo = [0, 0, 2, 2, 4], hi = [0, 4, 2, 4, 4].
    assert windows_oracle([1, 3, 2, 3, 1]) == ([0, 0, 2, 2, 4], [0, 4, 2, 4, 4])
    assert PLAN([1, 3, 2, 3, 1])["scan_work"] == 6


@pytest.mark.parametrize("n, parallel", [(32767, False), (32768, True), (40000, True)])
def test_plan_parallel_threshold(n, parallel):
    y = np.random.default_rng(n).random(n)
    plan = PLAN(y)
    assert (plan["algorithm"], plan["parallel"], plan["n"]) == ("scan", parallel, n)


def test_plan_threshold_is_strict():
    # n = 1024: the bound 30 * n * log2(n) is exactly 307200.
    base = list(range(1, 726)) + [-k for k in range(1, 1024 - 725 + 1)]
    for p, work, algorithm in ((100, 307200, "scan"), (99, 307201, "hull")):
        y = list(base)
        y[p], y[p + 1] = y[p + 1], y[p]
        assert scan_work_oracle(y) == work
        plan = PLAN(y)
        assert plan == {"algorithm": algorithm, "scan_work": work,
                        "parallel": False, "n": 1024}
        assert np.array_equal(NAT(y), NAT(y, algorithm="scan"))


@settings(max_examples=150, deadline=None)
@given(series(max_size=60))
def test_plan_work_is_sum_of_window_spans(y):
    plan = PLAN(y)
    lo, hi = windows_oracle(y)
    assert plan == {"algorithm": "scan", "scan_work": sum(h - l for l, h in zip(lo, hi)),
                    "parallel": False, "n": len(y)}
