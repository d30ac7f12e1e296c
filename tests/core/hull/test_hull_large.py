"""The hull engine where its hybrid and budgeted searches really run: at least
1024 samples, windows far longer than 256 candidates and sparse edges.  The
scan engine is the reference at this size; integer-valued inputs are also
checked against the definition by sampling."""
import math
import zlib

import numpy as np
import pytest

import _kaltrope as kt
from oracles import spot_check_natural

NAT = kt.natural_visibility_edges


def _long_windows(kind, n, rng):
    i = np.arange(n, dtype=np.float64)
    if kind == "walk_up":
        return np.cumsum(rng.random(n))
    if kind == "walk_up_int":                       # plateaus and ties
        return np.cumsum(rng.integers(0, 3, n)).astype(np.float64)
    if kind == "walk_down":                         # long right sides
        return -np.cumsum(rng.random(n))
    if kind == "walk_down_int":
        return -np.cumsum(rng.integers(0, 3, n)).astype(np.float64)
    if kind == "spikes":
        y = np.cumsum(rng.random(n))
        y[rng.choice(n, 6, replace=False)] += rng.random(6) * 5.0 * n
        return y
    if kind == "spikes_int":
        y = np.cumsum(rng.integers(0, 4, n)).astype(np.float64)
        y[rng.choice(n, 6, replace=False)] += rng.integers(1, 5 * n, 6)
        return y
    if kind == "tent":                              # up, then down
        half = n // 2
        return np.concatenate([np.cumsum(rng.random(half)),
                               np.cumsum(rng.random(half))[-1] - np.cumsum(rng.random(n - half))])
    if kind == "wavy":                              # dense and sparse stretches
        return np.cumsum(rng.random(n)) + 30.0 * np.sin(i / 90.0) ** 3
    if kind == "wavy_int":
        return np.round(4.0 * i + 300.0 * np.sin(i / 150.0) ** 3 + rng.integers(0, 5, n))
    if kind == "concave":                           # sparse edges everywhere
        return np.sqrt(i) * 100.0 + rng.random(n) * 1e-3
    if kind == "sawtooth":                          # rising runs, each cut off
        runs = []
        while sum(map(len, runs)) < n:
            runs.append(np.cumsum(rng.random(int(rng.integers(300, 1200)))))
        return np.concatenate(runs)[:n] + 0.01 * i
    raise AssertionError(kind)


KINDS = ["walk_up", "walk_up_int", "walk_down", "walk_down_int", "spikes", "spikes_int",
         "tent", "wavy", "wavy_int", "concave", "sawtooth"]


@pytest.mark.parametrize("kind", KINDS)
@pytest.mark.parametrize("positions", ["uniform", "float", "integer"])
def test_hull_equals_scan_with_long_windows(kind, positions):
    rng = np.random.default_rng(zlib.crc32(f"{kind}/{positions}".encode()))
    n = int(rng.integers(2500, 4500))
    y = _long_windows(kind, n, rng)
    x = {"uniform": None, "float": np.cumsum(rng.random(n) + 0.05),
         "integer": np.cumsum(rng.integers(1, 4, n)).astype(np.float64)}[positions]
    scan = NAT(y, x, "scan")
    assert np.array_equal(NAT(y, x, "hull"), scan)
    assert np.array_equal(NAT(y, x, "auto"), scan)
    if kind.endswith("_int") and positions != "float":
        spot_check_natural(y, x, scan, rng)


def test_increasing_walk_is_planned_for_the_hull_engine():
    rng = np.random.default_rng(5)
    y = np.cumsum(rng.random(3000) + 1e-3)
    plan = kt.natural_visibility_plan(y)
    assert plan == {"algorithm": "hull", "scan_work": 3000 * 2999 // 2,
                    "parallel": False, "n": 3000}
    assert plan["scan_work"] > 30 * 3000 * math.log2(3000)


@pytest.mark.parametrize("seed", range(3))
def test_large_exactness_with_offsets_and_scaling(seed):
    rng = np.random.default_rng(100 + seed)
    n = 3000
    y = np.cumsum(rng.integers(0, 3, n)).astype(np.float64)
    x = np.cumsum(rng.integers(1, 3, n)).astype(np.float64)
    for alg in ("scan", "hull", "auto"):
        base = NAT(y, x, alg)
        assert np.array_equal(NAT(y + 1e9, x, alg), base)
        assert np.array_equal(NAT(y, x + 1e9, alg), base)
        assert np.array_equal(NAT(y * 2.0 ** -40, x, alg), base)
        assert np.array_equal(NAT(y, x * 2.0 ** -40, alg), base)
        assert np.array_equal(NAT(-1e9 - y[::-1], x, alg),
                              NAT(-y[::-1], x, "scan"))
    spot_check_natural(y, x, NAT(y + 1e9, x, "hull"), rng)


def test_many_sparse_segments_switch_back_and_forth():
    # A slowly rising line with a dense bump every 700 samples: the linear
    # windows find few edges, hand over to the tree, and the tree meets the
    # dense bumps, which exhausts the budget and resumes the linear scan.
    rng = np.random.default_rng(77)
    n = 6000
    i = np.arange(n)
    y = i * 8.0
    for start in range(200, n - 100, 700):
        t = np.arange(60)
        y[start:start + 60] += 400.0 - (t - 30.0) ** 2 * 0.4
    y = np.round(y + rng.integers(0, 2, n))
    for x in (None, np.cumsum(rng.integers(1, 3, n)).astype(np.float64)):
        scan = NAT(y, x, "scan")
        assert np.array_equal(NAT(y, x, "hull"), scan)
        assert np.array_equal(NAT(y[::-1].copy(), x, "hull"), NAT(y[::-1].copy(), x, "scan"))
        spot_check_natural(y, x, scan, rng, samples=3)


@pytest.mark.parametrize("n", [1000, 1023, 1024, 1025])
def test_forced_hull_around_the_hybrid_threshold(n):
    rng = np.random.default_rng(n)
    for y in (np.cumsum(rng.integers(0, 3, n)).astype(np.float64),
              -np.cumsum(rng.random(n)), rng.integers(0, 3, n).astype(np.float64)):
        scan = NAT(y, algorithm="scan")
        assert np.array_equal(NAT(y, algorithm="hull"), scan)
        assert np.array_equal(NAT(y, algorithm="auto"), scan)


def _integer_ramps(n, rng):
    """Exactly collinear runs of whole numbers, with now and then a bump of one."""
    steps = np.concatenate([np.full(int(rng.integers(50, 400)), int(rng.integers(-3, 4)))
                            for _ in range(n // 50)])[:n]
    y = np.cumsum(steps).astype(np.float64)
    y[rng.choice(n, 8, replace=False)] += 1.0
    return y


# Whole numbers this small are searched without a tolerance, so points lying
# exactly on a line of sight are skipped. Scaling and offsetting put the
# largest product below and above the bound of that exact mode; beyond it, a
# bump of one on a large offset is finer than the rounding of the hulls.
@pytest.mark.parametrize("how, power", [
    ("scale", 0), ("scale", 20), ("scale", 37), ("scale", 45), ("offset", 34), ("offset", 50)])
def test_collinear_whole_numbers_on_both_sides_of_the_exact_bound(how, power):
    rng = np.random.default_rng(power)
    n = 3000
    y = _integer_ramps(n, rng)
    y = y * 2.0 ** power if how == "scale" else y + 2.0 ** power
    for x in (None, np.cumsum(rng.integers(1, 3, n)).astype(np.float64)):
        scan = NAT(y, x, "scan")
        assert np.array_equal(NAT(y, x, "hull"), scan)
        assert np.array_equal(NAT(-y, x, "hull"), NAT(-y, x, "scan"))
        streamed = kt.VisibilityStream(mode="indexed").extend(y, t=x)
        assert np.array_equal(streamed, kt.VisibilityStream(mode="scan").extend(y, t=x))
        assert np.array_equal(np.sort(streamed[:, 0] * n + streamed[:, 1]), np.sort(scan[:, 0] * n + scan[:, 1]))
