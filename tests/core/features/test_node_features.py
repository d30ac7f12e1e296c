"""BuiltinFeature and FeatureSet, and the node features they compute.

The features of a graph built with a FeatureSet are compared with a
plain-Python statement of each feature under the default ZeroFill strategy.
"""
import inspect
import math
import os
import pathlib
import pickle
import subprocess
import sys

import pytest
from hypothesis import assume, given, settings, strategies as st

import _kaltrope as kt

BF = kt.BuiltinFeature
VARIANTS = ["DeltaForward", "DeltaBackward", "DeltaSymmetric", "LocalSlope", "Acceleration",
            "LocalMean", "LocalVariance", "IsLocalMax", "IsLocalMin", "ZScore"]
CONSTANTS = ["DELTA_FORWARD", "DELTA_BACKWARD", "DELTA_SYMMETRIC", "LOCAL_SLOPE", "ACCELERATION",
             "LOCAL_MEAN", "LOCAL_VARIANCE", "IS_LOCAL_MAX", "IS_LOCAL_MIN", "ZSCORE"]
NAMES = dict(zip(VARIANTS, ["delta_forward", "delta_backward", "delta_symmetric", "local_slope",
                            "acceleration", "local_mean", "local_variance", "is_local_max",
                            "is_local_min", "z_score"]))


# --------------------------------------------------------------------------
# the classes

def test_builtin_feature():
    assert [name for name in vars(BF) if name.isupper()] == CONSTANTS
    assert [getattr(BF, name) for name in CONSTANTS] == VARIANTS
    for variant in VARIANTS:
        assert repr(BF(variant)) == f"BuiltinFeature({variant})"
    assert repr(BF(name=BF.LOCAL_MEAN)) == "BuiltinFeature(LocalMean)"
    for wrong in ["local_mean", "zscore", "ZSCORE", "", "ZScore "]:
        with pytest.raises(ValueError) as raised:
            BF(wrong)
        assert str(raised.value) == f"Unknown feature: {wrong}"
    with pytest.raises(TypeError):
        BF(3)
    with pytest.raises(TypeError):
        BF()
    assert BF.__doc__.startswith("A node feature that a FeatureSet can compute")
    assert BF.__text_signature__ == "(name)"


def test_feature_set():
    features = kt.FeatureSet()
    assert features.add_builtin(BF(BF.ZSCORE)) is features
    assert features.add_builtin(feature=BF("LocalMean")).add_builtin(BF("ZScore")) is features
    assert repr(features) == "FeatureSet(...)" == repr(kt.FeatureSet())
    for wrong in ["ZScore", None, kt.MissingDataStrategy.zero_fill()]:
        with pytest.raises(TypeError, match="argument 'feature'"):
            features.add_builtin(wrong)
    with pytest.raises(TypeError):
        kt.FeatureSet(BF("ZScore"))
    assert kt.FeatureSet.__doc__.startswith("The node features to compute when a graph is built.")
    assert kt.FeatureSet.__text_signature__ == "()"
    method = kt.FeatureSet.add_builtin
    assert method.__doc__.splitlines()[0] == "Add a builtin feature to the set (builder pattern - returns self)"
    assert list(inspect.signature(method).parameters) == ["self", "feature"]


# --------------------------------------------------------------------------
# the computation

HERE = pathlib.Path(__file__).parent


def probe(values, variants, single_thread=False):
    """Each node's features as a list of (name, value), in table order."""
    if single_thread:
        code = (f"import os, pickle, sys; os.sched_setaffinity(0, {{0}}); sys.path.insert(0, {str(HERE)!r}); "
                "from test_node_features import probe; "
                "sys.stdout.buffer.write(pickle.dumps(probe(*pickle.load(sys.stdin.buffer))))")
        out = subprocess.run([sys.executable, "-c", code], input=pickle.dumps((values, variants)),
                             capture_output=True, check=True, timeout=120)
        return pickle.loads(out.stdout)
    features = kt.FeatureSet()
    for variant in variants:
        features = features.add_builtin(BF(variant))
    series = kt.TimeSeries.with_missing([float(i) for i in range(len(values))],
                                        [None if v is None else float(v) for v in values])
    graph = series.natural_visibility_with_features(features)
    return [list(graph.get_node_features(i).items()) for i in range(len(values))]


def moments(w):
    total = 0.0
    for x in w:
        total += x
    mean = total / len(w)
    squares = 0.0
    for x in w:
        squares += (x - mean) * (x - mean)
    return mean, squares / len(w)


def oracle(values, variants):
    """The features of every node, a missing sample read as 0.0 (ZeroFill)."""
    v = [0.0 if x is None else float(x) for x in values]
    n = len(v)
    whole = moments(v) if n >= 2 else None
    table = []
    for i in range(n):
        inner = 0 < i < n - 1
        local = moments(v[max(i - 1, 0):min(i + 2, n)])
        peak = inner and v[i] > v[i - 1] and v[i] > v[i + 1]
        trough = inner and v[i] < v[i - 1] and v[i] < v[i + 1]
        every = {
            "DeltaForward": v[i + 1] - v[i] if i < n - 1 else None,
            "DeltaBackward": v[i] - v[i - 1] if i > 0 else None,
            "DeltaSymmetric": (v[i + 1] - v[i - 1]) * 0.5 if inner else None,
            "LocalSlope": (v[i + 1] - v[i - 1]) * 0.5 if inner else None,
            "Acceleration": v[i - 1] + (v[i + 1] - 2.0 * v[i]) if inner else None,
            "LocalMean": local[0],
            "LocalVariance": local[1],
            "IsLocalMax": 1.0 if peak else 0.0,
            "IsLocalMin": 1.0 if trough else 0.0,
            "ZScore": None if whole is None else
            (v[i] - whole[0]) / math.sqrt(whole[1]) if whole[1] > 1e-10 else 0.0,
        }
        node = {}
        for variant in variants:
            if every[variant] is not None:
                node[NAMES[variant]] = every[variant]
        table.append(list(node.items()))
    return table


def same(a, b):
    """Equal tables, bit for bit, NaN equal to NaN."""
    def key(table):
        return [[(k, "nan" if math.isnan(x) else x.hex()) for k, x in node] for node in table]
    return key(a) == key(b)


def test_documented_features():
    table = probe([1, 2, 4], VARIANTS)
    assert same(table, oracle([1, 2, 4], VARIANTS))
    node0 = dict(table[0])
    assert node0 == {"delta_forward": 1, "local_mean": 1.5, "local_variance": 0.25,
                     "is_local_max": 0, "is_local_min": 0,
                     "z_score": (1 - 7 / 3) / math.sqrt(14 / 9)}
    assert [name for name, _ in table[0]] == ["delta_forward", "local_mean", "local_variance",
                                              "is_local_max", "is_local_min", "z_score"]
    node1 = dict(table[1])
    assert node1["delta_symmetric"] == node1["local_slope"] == 1.5 and node1["acceleration"] == 1


@pytest.mark.parametrize("values, variants, expected", [
    ([5.0], VARIANTS, [[("local_mean", 5.0), ("local_variance", 0.0),
                        ("is_local_max", 0.0), ("is_local_min", 0.0)]]),
    ([3.0] * 4, ["ZScore"], [[("z_score", 0.0)]] * 4),
    ([1.0, None, 5.0], ["DeltaForward", "LocalMean", "IsLocalMin"],
     [[("delta_forward", -1.0), ("local_mean", 0.5), ("is_local_min", 0.0)],
      [("delta_forward", 5.0), ("local_mean", 2.0), ("is_local_min", 1.0)],
      [("local_mean", 2.5), ("is_local_min", 0.0)]]),
    ([1.0, 2.0, 3.0], ["DeltaForward", "DeltaForward"],
     [[("delta_forward", 1.0)], [("delta_forward", 1.0)], []]),
    ([1.0, 2.0], ["DeltaBackward", "DeltaForward", "DeltaBackward"],
     [[("delta_forward", 1.0)], [("delta_backward", 1.0)]]),
    ([1.0, 2.0], [], [[], []]),
    ([1.0, math.nan, 0.0], ["IsLocalMax", "IsLocalMin"], [[("is_local_max", 0.0), ("is_local_min", 0.0)]] * 3),
])
def test_edge_cases(values, variants, expected):
    assert same(probe(values, variants), expected)


samples = st.one_of(st.none(), st.integers(-5, 5).map(float),
                    st.floats(-1e6, 1e6, allow_subnormal=False), st.sampled_from([math.nan, math.inf]))


@settings(max_examples=60)
@given(values=st.lists(samples, min_size=1, max_size=20),
       variants=st.lists(st.sampled_from(VARIANTS), max_size=12))
def test_features_match_the_rules(values, variants):
    assume(any(v is not None for v in values))  # a graph needs a present sample
    assert same(probe(values, variants), oracle(values, variants))


def test_large_series_in_parallel():
    rng = __import__("numpy").random.default_rng(5)
    values = [None if rng.random() < 0.05 else float(x) for x in rng.normal(size=20_000).round(3)]
    parallel = probe(values, VARIANTS)
    assert same(parallel, probe(values, VARIANTS, single_thread=True))
    assert same(parallel, oracle(values, VARIANTS))


def test_z_score_is_not_quadratic():
    # Rescanning the series at every node would take minutes here.
    # The values 0 .. n-1 in random order (in order, every sample would be
    # collinear with its neighbours, the slowest case of natural visibility).
    n = 300_000
    values = __import__("numpy").random.default_rng(8).permutation(n).tolist()
    table = probe(values, ["ZScore"])
    lowest = values.index(0)
    assert len(table) == n and table[lowest][0][1] == pytest.approx(-math.sqrt(3 * (n - 1) / (n + 1)))
