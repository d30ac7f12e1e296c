"""The graph variants of the scalar array functions: limited penetrable and
windowed graphs, degree-only functions, directions and weights.  Every edge
list is checked in order against the exact brute-force oracles."""
import json
import math
import os

import numpy as np
import pytest
from hypothesis import given, strategies as st

import _kaltrope as kt
from oracles import (directed, limited_horizontal_oracle, limited_natural_oracle, pairs, weight_oracle)
from processes import measures_peak_memory, run_python
from strategies import series, series_with_positions

NAT = kt.natural_visibility_edges
HOR = kt.horizontal_visibility_edges
WEIGHTS = ("distance", "sq_distance", "v_distance", "abs_v_distance", "h_distance", "abs_h_distance",
           "slope", "abs_slope", "angle", "abs_angle")
limits = st.tuples(st.integers(0, 3), st.sampled_from([None, 1, 2, 3, 7]))


# -- the edges, against the oracles -------------------------------------------

@given(series_with_positions(max_size=24), limits)
def test_natural_limited_edges_match_the_exact_oracle(data, limit):
    y, x = data
    penetrable, window = limit
    want = limited_natural_oracle(y, None, penetrable, window)
    assert pairs(NAT(np.asarray(y, float), penetrable=penetrable, window=window)) == want
    want_x = limited_natural_oracle(y, x, penetrable, window)
    assert pairs(NAT(np.asarray(y, float), x, penetrable=penetrable, window=window)) == want_x


@given(series(max_size=30), limits)
def test_horizontal_limited_edges_match_the_oracle(y, limit):
    penetrable, window = limit
    want = limited_horizontal_oracle(y, penetrable, window)
    assert pairs(HOR(np.asarray(y, float), penetrable=penetrable, window=window)) == want


@given(series_with_positions(max_size=20), limits, st.sampled_from(WEIGHTS))
def test_directions_and_weights_follow_the_returned_pairs(data, limit, weight):
    y, x = data
    penetrable, window = limit
    yv = np.asarray(y, float)
    for kind, compute, want in (
            ("natural", lambda **kw: NAT(yv, x, **kw), limited_natural_oracle(y, x, penetrable, window)),
            ("horizontal", lambda **kw: HOR(yv, **kw), limited_horizontal_oracle(y, penetrable, window))):
        positions = x if kind == "natural" else None
        for direction in ("left_to_right", "top_to_bottom"):
            written = want if direction == "left_to_right" else directed(want, y)
            edges, weights = compute(penetrable=penetrable, window=window, weight=weight, direction=direction)
            assert pairs(edges) == written
            assert weights.dtype == np.float64 and weights.shape == (len(written),)
            np.testing.assert_allclose(weights, weight_oracle(written, y, positions, weight), rtol=1e-15, atol=0)
            assert pairs(compute(penetrable=penetrable, window=window, direction=direction)) == written


def test_plain_keywords_give_todays_results():
    rng = np.random.default_rng(7)
    y = rng.integers(0, 6, 3000).astype(float)
    x = np.cumsum(rng.integers(1, 3, y.size)).astype(float)
    for alg in ("auto", "scan", "hull"):
        plain = NAT(y, x, alg)
        assert np.array_equal(NAT(y, x, alg, penetrable=0, window=None, weight=None, direction="left_to_right"), plain)
    assert np.array_equal(HOR(y, penetrable=0, window=None, direction="left_to_right"), HOR(y))


@pytest.mark.parametrize("name", ["iid", "walk", "ramp", "ties"])
def test_a_window_past_the_series_gives_the_plain_graph(name):
    # The limited engines with penetrable=0 find the plain graph in its order.
    rng = np.random.default_rng(11)
    y = {"iid": rng.random(5000), "walk": np.cumsum(rng.standard_normal(5000)),
         "ramp": np.arange(3000.0), "ties": rng.integers(0, 3, 5000).astype(float)}[name]
    assert np.array_equal(NAT(y, window=len(y)), NAT(y))
    assert np.array_equal(HOR(y, window=len(y)), HOR(y))


@pytest.mark.parametrize("penetrable", [0, 1, 3])
@pytest.mark.parametrize("window", [None, 1, 5, 60])
def test_limits_keep_exactly_the_pairs_of_the_wider_graph(penetrable, window):
    # A window keeps the pairs of the full graph of the same penetrable that
    # meet it, in the same relative order; more penetrable only adds pairs.
    y = np.cumsum(np.random.default_rng(penetrable).integers(-3, 4, 2000)).astype(float)
    for function in (NAT, HOR):
        full = pairs(function(y, penetrable=penetrable, window=len(y)))
        kept = [(a, b) for a, b in full if window is None or b - a <= window]
        assert pairs(function(y, penetrable=penetrable, window=window)) == kept
        assert set(pairs(function(y, penetrable=penetrable + 1, window=window))) >= set(kept)


@pytest.mark.parametrize("window", [1, 100, 5000])
def test_a_window_narrows_every_engine_to_the_same_pairs(window):
    # The plain engines take a window as narrower sample windows; the hull
    # tree and the hybrid must then search exactly those, in the same order.
    rng = np.random.default_rng(window)
    walk = np.cumsum(rng.standard_normal(40000))
    x = np.cumsum(rng.integers(1, 4, walk.size)).astype(float)
    for positions in (None, x):
        full = NAT(walk, positions)
        kept = full[full[:, 1] - full[:, 0] <= window]
        for alg in ("auto", "scan", "hull"):
            assert np.array_equal(NAT(walk, positions, alg, window=window), kept)


def test_huge_limits_give_every_pair():
    y = np.random.default_rng(3).random(60)
    every = {(a, b) for a in range(60) for b in range(a + 1, 60)}
    for function in (NAT, HOR):
        assert set(pairs(function(y, penetrable=10**30, window=10**30))) == every
        assert len(function(y, penetrable=58)) == len(every)


def test_exactness_of_penetrable_decisions_on_near_collinear_decimals():
    # 0.1 steps are not collinear in binary: the exact orientation decides,
    # as the rational oracle does.
    y = [0.1 * k for k in range(12)] + [1.3, 0.2, 0.30000000000000004, 0.3]
    x = [float(k) for k in range(len(y))]
    for p in range(4):
        assert pairs(NAT(y, x, penetrable=p)) == limited_natural_oracle(y, x, p)


# -- hand-checked weights and directions ------------------------------------

def test_weights_and_direction_by_hand():
    y = [1.0, 3.0, 2.0, 4.0]
    edges = [(0, 1), (1, 2), (2, 3), (1, 3)]
    assert pairs(NAT(y)) == edges
    e, w = NAT(y, weight="v_distance")
    assert w.tolist() == [2.0, -1.0, 2.0, 1.0]
    e, w = NAT(y, weight="v_distance", direction="top_to_bottom")
    assert pairs(e) == [(1, 0), (1, 2), (3, 2), (3, 1)]
    assert w.tolist() == [-2.0, -1.0, -2.0, -1.0]
    assert NAT(y, weight="h_distance", direction="top_to_bottom")[1].tolist() == [-1.0, 1.0, -1.0, -2.0]
    assert NAT(y, weight="abs_h_distance", direction="top_to_bottom")[1].tolist() == [1.0, 1.0, 1.0, 2.0]
    assert NAT(y, weight="slope")[1].tolist() == [2.0, -1.0, 2.0, 0.5]
    assert NAT(y, weight="abs_slope", direction="top_to_bottom")[1].tolist() == [2.0, 1.0, 2.0, 0.5]
    assert NAT(y, weight="sq_distance")[1].tolist() == [5.0, 2.0, 5.0, 5.0]
    assert NAT(y, weight="distance")[1].tolist() == [math.sqrt(5), math.sqrt(2), math.sqrt(5), math.sqrt(5)]
    assert NAT(y, weight="angle")[1].tolist() == [math.atan(2), -math.pi / 4, math.atan(2), math.atan(0.5)]
    assert NAT(y, weight="abs_angle", direction="top_to_bottom")[1].tolist() == [
        math.atan(2), math.pi / 4, math.atan(2), math.atan(0.5)]
    # Positions scale the horizontal parts.
    assert NAT(y, [0.0, 2.0, 3.0, 7.0], weight="h_distance")[1].tolist() == [2.0, 1.0, 4.0, 5.0]
    # Equal samples stay (a, b) under top_to_bottom.
    assert pairs(HOR([2.0, 2.0, 1.0, 2.0], direction="top_to_bottom")) == [(0, 1), (1, 2), (3, 2), (1, 3)]
    e, w = HOR([2.0, 5.0], weight="slope", direction="top_to_bottom")
    assert pairs(e) == [(1, 0)] and w.tolist() == [3.0]


def test_penetrable_and_window_by_hand():
    y = [3.0, 1.0, 3.5, 0.0, 4.0]
    # Natural: sample 2 lies on the line from 0 to 4 and above those of (0, 3),
    # (1, 3) and (1, 4); one penetrable sample lets all four through.
    plain = {(0, 1), (1, 2), (0, 2), (2, 3), (3, 4), (2, 4)}
    assert set(pairs(NAT(y))) == plain
    assert set(pairs(NAT(y, penetrable=1))) == plain | {(0, 4), (0, 3), (1, 3), (1, 4)}
    assert pairs(NAT(y, window=1)) == [(0, 1), (1, 2), (2, 3), (3, 4)]
    # Horizontal: 3.5 is not strictly lower than min(3, 4) nor than min(1, 0).
    assert (0, 4) not in pairs(HOR(y)) and (1, 3) not in pairs(HOR(y))
    assert {(0, 4), (1, 3)} <= set(pairs(HOR(y, penetrable=1)))
    assert pairs(HOR(y, window=2)) == [(0, 1), (1, 2), (0, 2), (2, 3), (3, 4), (2, 4)]


def test_empty_and_tiny_series():
    for function in (NAT, HOR):
        for y in ([], [1.0]):
            assert function(y, penetrable=2, window=3).shape == (0, 2)
            e, w = function(y, penetrable=1, weight="slope")
            assert e.shape == (0, 2) and w.shape == (0,)
        assert pairs(function([1.0, 1.0], penetrable=5, window=1)) == [(0, 1)]


# -- batches and degrees ----------------------------------------------------

@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_batches_equal_the_per_series_calls(kind):
    rng = np.random.default_rng(5)
    rows = [rng.integers(0, 9, int(n)).astype(float) for n in rng.integers(0, 200, 12)]
    single = getattr(kt, f"{kind}_visibility_edges")
    batch = getattr(kt, f"{kind}_visibility_batch")
    for keywords in ({}, {"penetrable": 2}, {"window": 4}, {"penetrable": 1, "window": 9, "direction": "top_to_bottom"},
                     {"weight": "distance"}, {"penetrable": 3, "weight": "slope", "direction": "top_to_bottom"}):
        result = batch(rows, **keywords)
        edges, offsets = result[:2]
        assert len(result) == (3 if "weight" in keywords else 2)
        for k, row in enumerate(rows):
            want = single(row, **keywords)
            got_edges = edges[offsets[k]:offsets[k + 1]]
            if "weight" in keywords:
                assert np.array_equal(got_edges, want[0])
                assert np.array_equal(result[2][offsets[k]:offsets[k + 1]], want[1])
            else:
                assert np.array_equal(got_edges, want)
    matrix = rng.random((4, 300))
    for keywords in ({}, {"penetrable": 1, "window": 30}):
        e1, o1 = batch(matrix, **keywords)
        e2, o2 = batch(list(matrix), **keywords)
        assert np.array_equal(e1, e2) and np.array_equal(o1, o2)


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
@pytest.mark.parametrize("penetrable,window", [(0, None), (0, 3), (1, None), (2, 17), (3, 1)])
def test_degrees_equal_the_bincount_of_the_edges(kind, penetrable, window):
    rng = np.random.default_rng(penetrable * 7 + (window or 0))
    edges_of = getattr(kt, f"{kind}_visibility_edges")
    degrees_of = getattr(kt, f"{kind}_visibility_degrees")
    for y in (rng.random(3000), np.cumsum(rng.standard_normal(40000)), rng.integers(0, 3, 500).astype(float),
              np.arange(2000.0), np.array([]), np.array([1.0])):
        want = np.bincount(edges_of(y, penetrable=penetrable, window=window).ravel(), minlength=len(y))
        got = degrees_of(y, penetrable=penetrable, window=window)
        assert got.dtype == np.int64 and got.shape == (len(y),)
        assert np.array_equal(got, want)
    matrix = rng.integers(0, 5, (6, 400)).astype(float)
    got = degrees_of(matrix, penetrable=penetrable, window=window)
    assert got.shape == (6, 400) and got.dtype == np.int64
    for row, degrees in zip(matrix, got):
        assert np.array_equal(degrees, degrees_of(row, penetrable=penetrable, window=window))
    assert np.array_equal(degrees_of(np.asfortranarray(matrix), penetrable=penetrable, window=window), got)
    assert np.array_equal(degrees_of(matrix.tolist(), penetrable=penetrable, window=window), got)


def test_natural_degrees_with_positions():
    rng = np.random.default_rng(9)
    y = rng.integers(0, 7, 800).astype(float)
    x = np.cumsum(rng.integers(1, 4, y.size)).astype(float)
    for p, w in ((0, None), (2, None), (1, 10)):
        want = np.bincount(NAT(y, x, penetrable=p, window=w).ravel(), minlength=len(y))
        assert np.array_equal(kt.natural_visibility_degrees(y, x, penetrable=p, window=w), want)
        rows = kt.natural_visibility_degrees(np.stack([y, y[::-1]]), x, penetrable=p, window=w)
        assert np.array_equal(rows[0], want)
        assert np.array_equal(rows[1], np.bincount(NAT(y[::-1], x, penetrable=p, window=w).ravel(), minlength=len(y)))


# The peak resident size a degree call adds, against the natural edge array of
# the same random walk (221 MB for 10^6 samples): besides the degrees (8 bytes
# a sample), no per-sample windows, tallies or copies of the hull vertices.
DEGREE_MEMORY = """
import json, sys
import numpy as np
import _kaltrope as kt

def status(field):
    with open("/proc/self/status") as lines:
        return next(int(line.split()[1]) * 1024 for line in lines if line.startswith(field + ":"))

y = np.cumsum(np.random.default_rng(20240604).standard_normal(10**6))
call = getattr(kt, sys.argv[1] + "_visibility_degrees")
call(y[:50000])                            # the worker pool and first-call costs
before = status("VmRSS")
with open("/proc/self/clear_refs", "w") as clear:
    clear.write("5")
degrees = call(y)
growth = status("VmHWM") - before
print(json.dumps([growth, kt.natural_visibility_edges(y).nbytes]))
"""


@measures_peak_memory
@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_degrees_of_a_long_walk_need_little_memory_beside_them(kind):
    growth, edge_bytes = json.loads(run_python(DEGREE_MEMORY, kind).strip().splitlines()[-1])
    # Measured 4.6% (natural) and 3.7% (horizontal), of which the degrees are
    # 3.6%; it was 10.5% and 5.6% when every sample's window (natural) or
    # previous higher sample (horizontal) was kept.
    assert growth < (0.08 if kind == "natural" else 0.05) * edge_bytes, growth / edge_bytes


# -- parallel equals sequential ----------------------------------------------

PARALLEL_N = 40000


def _limited_results(kt_module):
    rng = np.random.default_rng(2025)
    walk = np.cumsum(rng.integers(-2, 3, PARALLEL_N)).astype(float)
    iid = rng.random(PARALLEL_N)
    x = np.cumsum(rng.integers(1, 3, PARALLEL_N)).astype(float)
    out = {}
    for name, y in (("walk", walk), ("iid", iid)):
        for p, w in ((1, None), (3, None), (0, 50), (2, 300)):
            key = f"{name}_{p}_{w}"
            out[key + "_nat"] = kt_module.natural_visibility_edges(y, penetrable=p, window=w)
            out[key + "_nat_x"] = kt_module.natural_visibility_edges(y, x, penetrable=p, window=w)
            out[key + "_hor"] = kt_module.horizontal_visibility_edges(y, penetrable=p, window=w)
            out[key + "_hor_down"] = kt_module.horizontal_visibility_edges(y, penetrable=p, window=w,
                                                                       direction="top_to_bottom")
            out[key + "_nat_deg"] = kt_module.natural_visibility_degrees(y, penetrable=p, window=w)
            out[key + "_hor_deg"] = kt_module.horizontal_visibility_degrees(y, penetrable=p, window=w)
            out[key + "_down"] = kt_module.natural_visibility_edges(y, x, penetrable=p, window=w,
                                                                    direction="top_to_bottom")
            out[key + "_dist"] = kt_module.natural_visibility_edges(y, x, penetrable=p, window=w,
                                                                    weight="distance", direction="top_to_bottom")[1]
        out[name + "_plain_deg"] = kt_module.natural_visibility_degrees(y)
    return out


def test_parallel_limited_engines_equal_the_sequential_batch_rows():
    results = _limited_results(kt)
    rng = np.random.default_rng(2025)
    walk = np.cumsum(rng.integers(-2, 3, PARALLEL_N)).astype(float)
    for p, w in ((1, None), (0, 50)):
        edges, _ = kt.natural_visibility_batch([walk], penetrable=p, window=w)
        assert np.array_equal(results[f"walk_{p}_{w}_nat"], edges)
        edges, _ = kt.horizontal_visibility_batch([walk], penetrable=p, window=w)
        assert np.array_equal(results[f"walk_{p}_{w}_hor"], edges)
        assert pairs(results[f"walk_{p}_{w}_hor_down"]) == directed(pairs(edges), walk)
    assert np.array_equal(results["walk_plain_deg"], np.bincount(NAT(walk).ravel(), minlength=PARALLEL_N))


PINNED = """
import os, sys
os.sched_setaffinity(0, {0})      # before the module and its pool exist
import numpy as np
import _kaltrope as kt
sys.path.insert(0, sys.argv[2])
from test_variants import _limited_results
np.savez(sys.argv[1], **_limited_results(kt))
"""


def test_one_cpu_gives_the_same_results(tmp_path):
    out = tmp_path / "out.npz"
    run_python(PINNED, out, os.path.dirname(__file__), timeout=300)
    got = np.load(out)
    want = _limited_results(kt)
    assert sorted(got.files) == sorted(want)
    for key, value in want.items():
        assert np.array_equal(got[key], value), key


# -- arguments ---------------------------------------------------------------

@pytest.mark.parametrize("call", [
    lambda **kw: NAT([1.0, 2.0], **kw), lambda **kw: HOR([1.0, 2.0], **kw),
    lambda **kw: kt.natural_visibility_batch([[1.0, 2.0]], **kw),
    lambda **kw: kt.horizontal_visibility_batch([[1.0, 2.0]], **kw)])
def test_invalid_keywords_are_refused_by_name(call):
    for keywords, error, text in (
            ({"penetrable": -1}, ValueError, "penetrable"), ({"penetrable": 1.5}, ValueError, "penetrable"),
            ({"penetrable": 2.0}, ValueError, "penetrable"), ({"penetrable": "1"}, TypeError, "penetrable"),
            ({"penetrable": None}, TypeError, "penetrable"), ({"penetrable": True}, TypeError, "penetrable"),
            ({"window": 0}, ValueError, "window"), ({"window": -3}, ValueError, "window"),
            ({"window": 2.5}, ValueError, "window"), ({"window": "3"}, TypeError, "window"),
            ({"weight": "distances"}, ValueError, "abs_angle"), ({"weight": 1}, TypeError, "weight"),
            ({"direction": "down"}, ValueError, "top_to_bottom"), ({"direction": None}, TypeError, "direction")):
        with pytest.raises(error, match=text):
            call(**keywords)
    assert len(call(penetrable=np.int64(2), window=np.uint8(1))) >= 1


def test_keywords_are_keyword_only_and_checked_before_the_series():
    with pytest.raises(TypeError):
        HOR([1.0, 2.0], 1)
    with pytest.raises(TypeError):
        NAT([1.0, 2.0], None, "auto", 1)
    with pytest.raises(ValueError, match="window"):
        NAT([1.0, float("nan")], window=0)
    with pytest.raises(ValueError, match="non-finite value at index 1"):
        NAT([1.0, float("nan")], penetrable=1, window=2, weight="slope")
    with pytest.raises(ValueError, match="non-finite value at index 1"):
        kt.natural_visibility_degrees([1.0, float("inf")], penetrable=1)
    with pytest.raises(ValueError, match="strictly increasing"):
        kt.natural_visibility_degrees([[1.0, 2.0]], [1.0, 1.0])
    # Positions are checked against the rows' length when there are no rows.
    with pytest.raises(ValueError, match="same length"):
        kt.natural_visibility_degrees(np.empty((0, 5)), [1.0, 2.0])
    with pytest.raises(ValueError, match="strictly increasing"):
        kt.natural_visibility_degrees(np.empty((0, 2)), [2.0, 1.0])
    with pytest.raises(ValueError, match="penetrable"):
        kt.horizontal_visibility_degrees([1.0], penetrable=-2)


# -- decimal data ---------------------------------------------------------

def test_decimal_data_scaled_to_whole_numbers_gives_its_decimal_graph():
    # 9999.0, 9999.1, ..., 10000.0 is a straight line in decimal, not in
    # binary: the exact engine sees the binary values' extra pairs. Scaled
    # to whole numbers every product is exact and the ramp is a path.
    y = np.round(np.arange(99990, 100001) / 10, 1)
    path = [(i, i + 1) for i in range(len(y) - 1)]
    assert sorted(pairs(NAT(y))) != path
    scaled = np.round(y * 10)
    assert sorted(pairs(NAT(scaled))) == path
    assert kt.natural_visibility_degrees(scaled).tolist() == [1] + [2] * (len(y) - 2) + [1]


# -- graph objects -----------------------------------------------------------

@given(st.lists(st.one_of(st.none(), st.integers(0, 4).map(float)), max_size=25), limits)
def test_graphs_with_gaps_count_windows_in_sample_indices(values, limit):
    # Missing samples neither see nor block: the graph is that of the present
    # samples at their timestamps, and a window counts the sample indices.
    penetrable, window = limit
    timestamps = [2.0 * i for i in range(len(values))]
    present = [i for i, v in enumerate(values) if v is not None]
    if not present:
        return
    series = kt.TimeSeries.with_missing(timestamps, values)
    ys = [values[i] for i in present]
    for kind, want in (
            ("natural", limited_natural_oracle(ys, [timestamps[i] for i in present], penetrable)),
            ("horizontal", limited_horizontal_oracle(ys, penetrable))):
        kept = {(present[a], present[b]) for a, b in want
                if window is None or present[b] - present[a] <= window}
        graph = getattr(series, f"{kind}_visibility")(penetrable=penetrable, window=window)
        assert {(a, b) for a, b, _ in graph.edges()} == kept
        assert graph.node_count() == len(values)


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_graph_builders_take_the_limits(kind):
    y = np.random.default_rng(4).integers(0, 6, 400).astype(float)
    edges_of = getattr(kt, f"{kind}_visibility_edges")
    for p, w in ((0, None), (2, None), (1, 12)):
        want = sorted(map(tuple, edges_of(y, penetrable=p, window=w).tolist()))
        for graph in (getattr(kt, f"{kind}_visibility")(y, penetrable=p, window=w),
                      getattr(kt.TimeSeries(list(y)), f"{kind}_visibility")(penetrable=p, window=w)):
            assert [(a, b) for a, b, _ in graph.edges()] == want
            assert np.array_equal(graph.degrees(), kt.__dict__[f"{kind}_visibility_degrees"](y, penetrable=p, window=w))
    features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))
    series = kt.TimeSeries(list(y))
    method = getattr(series, f"{kind}_visibility_with_features")
    with pytest.raises(ValueError, match="window"):
        method(features, window=0)
    graph = method(features, penetrable=1, window=5)     # the refused call left the features in place
    assert graph.get_node_features(0) == {"delta_forward": y[1] - y[0]}
    assert graph.edge_count() == len(edges_of(y, penetrable=1, window=5))
    with pytest.raises(TypeError, match="penetrable"):
        getattr(kt, f"{kind}_visibility")(y, penetrable="2")
