"""The sight line's threshold tests: a candidate within a few dozen units in
the last place of the line falls between the thresholds, the filter's bound
or neither, and every one is decided exactly; the thresholds hold only for
moderate coordinates (0 or magnitudes within [2^-400, 2^498]), so series at
and across those limits must not change their edges; the scan engine tests
candidates two at a time, so hits at either lane and odd tails must agree
with the one-at-a-time oracle."""
import numpy as np
import pytest

import _kaltrope as kt
from oracles import ALGORITHMS, check_batch, exact_natural_oracle, pairs

NAT = kt.natural_visibility_edges


def nudged_line(n, seed, ulps, slope=-0.3, start=0.0):
    """A straight line through decimal steps from start, each sample moved by
    up to `ulps` units in the last place. From 0, a sample's own rounding is
    as large as its distance from a line of sight, so tests fall on either
    side of the thresholds and of the filter's bound."""
    rng = np.random.default_rng(seed)
    y = start + slope * np.arange(n)
    for i, m in enumerate(rng.integers(-ulps, ulps + 1, n).tolist()):
        y[i] = np.nextafter(y[i], np.inf if m > 0 else -np.inf) if m else y[i]
        for _ in range(abs(m) - 1):
            y[i] = np.nextafter(y[i], np.inf if m > 0 else -np.inf)
    return y


def every_engine(y, x=None):
    """The edges of every array engine, the batch and the stream, which must all agree."""
    results = {alg: pairs(NAT(y, x, algorithm=alg)) for alg in ALGORITHMS}
    if x is None:
        edges, offsets = kt.natural_visibility_batch(y[None, :])
        results["batch"] = pairs(edges)
    stream = kt.VisibilityStream("natural")
    got = stream.extend(y) if x is None else stream.extend(y, t=x)
    results["stream"] = sorted(tuple(e) for e in got.tolist())
    return results


def assert_exact(y, x=None):
    want = exact_natural_oracle(y, x)
    for name, got in every_engine(y, x).items():
        assert (sorted(got) if name == "stream" else got) == (sorted(want) if name == "stream" else want), name


@pytest.mark.parametrize("start", [0.0, 100.0])
@pytest.mark.parametrize("ulps", [0, 1, 4, 40])
@pytest.mark.parametrize("seed", range(3))
def test_nearly_collinear_candidates_on_both_sides(start, ulps, seed):
    """A descending line seen from its first sample (right scans) and its
    mirror image seen from the last (left scans), with uniform and with
    decimal positions."""
    y = nudged_line(90, seed, ulps, start=start)
    x = 5.0 + 0.7 * np.arange(len(y))
    for values in (y, y[::-1].copy()):
        assert_exact(values)
        assert_exact(values, x)


@pytest.mark.parametrize("power", [-401, -400, -399, -360, 0, 460, 497, 498, 499])
def test_scaling_across_the_moderate_limits_keeps_the_edges(power):
    """Scaling values or positions by a power of two never changes the edges,
    whether the scaled coordinates stay moderate or not."""
    y = nudged_line(60, 7, 12)
    x = 5.0 + 0.7 * np.arange(len(y))
    want = exact_natural_oracle(y, x)
    scale = 2.0 ** power
    assert_exact(y * scale, x)
    assert pairs(NAT(y * scale, x)) == want
    if power <= 498:
        assert pairs(NAT(y, x * scale)) == want
        assert pairs(NAT(y, x * scale, algorithm="hull")) == want


def test_values_just_below_the_smallest_moderate_magnitude():
    """One tiny sample makes a series immoderate: every test then goes to the
    filter, and the edges stay exact."""
    y = nudged_line(50, 3, 8)
    for tiny in (2.0 ** -401, -(2.0 ** -400), 5e-324, 0.0):
        z = y.copy()
        z[17] = tiny
        assert_exact(z)


def test_level_lines_of_the_stream():
    """A stream's line of sight may be level (the new sample as high as its
    last visible one): both thresholds are 0 and the sign of l decides."""
    y = np.array([3.0, 1.0, 3.0, 2.0, 3.0, 0.1 + 0.2, 0.3, 3.0, 2.9999999999999996, 3.0])
    want = exact_natural_oracle(y)
    stream = kt.VisibilityStream("natural")
    got = [tuple(e) for e in stream.extend(y).tolist()]
    assert sorted(got) == sorted(want)


@pytest.mark.parametrize("n", list(range(2, 21)) + [31, 32, 33, 64, 65])
def test_window_lengths_and_lanes(n):
    """Windows of every short length, odd and even, with hits at either lane
    of a pair: random values, a saw whose every sample is visible, and
    whole numbers (which skip the threshold tests)."""
    rng = np.random.default_rng(n)
    series = [rng.random(n), np.where(np.arange(n) % 2 == 0, 1.0, 0.0) + np.arange(n) * 1e-3,
              rng.integers(0, 5, n).astype(np.float64)]
    for y in series:
        want = exact_natural_oracle(y)
        for alg in ALGORITHMS:
            assert pairs(NAT(y, algorithm=alg)) == want, alg
        check_batch(kt.natural_visibility_batch(np.stack([y, y[::-1].copy()])),
                    [want, exact_natural_oracle(y[::-1].copy())])
