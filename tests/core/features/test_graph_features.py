"""Graphs built with node features, and the feature accessors."""
import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt

BF = kt.BuiltinFeature
TS = kt.TimeSeries
NO_FEATURES = ("No features computed. Use natural_visibility_with_features() or "
               "horizontal_visibility_with_features()")
ALL = ["DeltaForward", "DeltaBackward", "DeltaSymmetric", "LocalSlope", "Acceleration",
       "LocalMean", "LocalVariance", "IsLocalMax", "IsLocalMin", "ZScore"]


def feature_set(*names):
    features = kt.FeatureSet()
    for name in names:
        features.add_builtin(BF(name))
    return features


def test_delta_forward_and_backward():
    graph = TS([1.0, 2.0, 4.0, 3.0]).natural_visibility_with_features(
        feature_set("DeltaForward", "DeltaBackward"))
    assert graph.has_features() and graph.feature_count() == 1
    # Node 0 has no delta_backward, so it has no column; the last node no delta_forward.
    assert graph.get_node_feature_names(0) == ["delta_forward"]
    assert graph.get_node_feature_names(1) == ["delta_forward", "delta_backward"]
    assert graph.get_node_feature_names(3) == ["delta_backward"]
    all_features = graph.get_all_features()
    assert all_features.dtype == np.float64 and all_features.shape == (4, 1)
    assert all_features[:, 0].tolist() == [1.0, 2.0, -1.0, 0.0]
    assert graph.get_node_features(2) == {"delta_forward": -1.0, "delta_backward": 2.0}
    assert graph.node_features(3) == {"delta_backward": -1.0}
    assert graph.node_features(4) is None


def test_all_ten_features_on_a_short_series():
    graph = TS([1.0, 2.0, 4.0]).horizontal_visibility_with_features(feature_set(*ALL))
    first = graph.get_node_features(0)
    assert first == pytest.approx({"delta_forward": 1.0, "local_mean": 1.5, "local_variance": 0.25,
                                   "is_local_max": 0.0, "is_local_min": 0.0,
                                   "z_score": (1 - 7 / 3) / math.sqrt(14 / 9)})
    assert graph.get_node_features(1)["delta_symmetric"] == graph.get_node_features(1)["local_slope"] == 1.5
    assert graph.get_node_features(1)["acceleration"] == 1.0
    assert graph.feature_count() == 6
    assert graph.get_all_features().shape == (3, 6)
    assert graph.get_node_feature_names(0) == list(first)


def test_errors_and_their_order():
    plain = kt.natural_visibility([1.0, 2.0, 1.0])
    assert not plain.has_features() and plain.feature_count() == 0 and plain.node_features(0) is None
    for method in (plain.get_node_feature_names, plain.get_node_features):
        with pytest.raises(ValueError, match="^Node 3 out of range \\(graph has 3 nodes\\)$"):
            method(3)                    # out of range is reported before missing features
        with pytest.raises(ValueError) as raised:
            method(0)
        assert str(raised.value) == NO_FEATURES
        with pytest.raises(OverflowError):
            method(-1)
    with pytest.raises(ValueError) as raised:
        plain.get_all_features()
    assert str(raised.value) == NO_FEATURES
    featured = TS([1.0, 2.0]).natural_visibility_with_features(feature_set("ZScore"))
    with pytest.raises(ValueError, match="^Node 2 out of range \\(graph has 2 nodes\\)$"):
        featured.get_node_features(2)


def test_a_feature_set_is_used_up_by_the_first_graph():
    features = feature_set("LocalMean")
    series = TS([1.0, 5.0, 2.0])
    first = series.natural_visibility_with_features(features)
    assert first.node_features(0) == {"local_mean": 3.0}
    second = series.natural_visibility_with_features(features)
    assert second.has_features() and second.feature_count() == 0
    assert [second.node_features(v) for v in range(3)] == [{}, {}, {}]
    assert second.get_node_feature_names(1) == []
    assert second.get_all_features().shape == (3, 0)
    assert repr(features) == "FeatureSet(...)"
    # Emptied even when the graph cannot be built.
    features = feature_set("LocalMean")
    with pytest.raises(RuntimeError, match="^All values are missing$"):
        TS.with_missing([0.0], [None]).natural_visibility_with_features(features)
    assert TS([1.0]).natural_visibility_with_features(features).feature_count() == 0


def test_features_argument_must_be_a_feature_set():
    series = TS([1.0, 2.0])
    for wrong in (None, "ZScore", BF("ZScore")):
        with pytest.raises(TypeError, match="argument 'features'"):
            series.natural_visibility_with_features(wrong)
    assert series.horizontal_visibility_with_features(features=feature_set("ZScore")).feature_count() == 1


def test_missing_samples_are_features_but_not_visibility():
    series = TS.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, None, 3.0, 2.0])
    graph = series.natural_visibility_with_features(feature_set("DeltaForward"))
    assert graph.degree(1) == 0 and graph.has_edge(0, 2)
    # The default strategy reads the missing sample as 0.0.
    assert graph.get_all_features()[:, 0].tolist() == [-1.0, 3.0, -1.0, 0.0]


@settings(max_examples=60)
@given(st.lists(st.one_of(st.none(), st.integers(-5, 5).map(float)), min_size=1, max_size=25),
       st.lists(st.sampled_from(ALL), max_size=6))
def test_features_do_not_change_the_graph(values, names):
    if all(v is None for v in values):
        values[0] = 0.0
    series = TS.with_missing(list(range(len(values))), values)
    plain = series.natural_visibility()
    featured = series.natural_visibility_with_features(feature_set(*names))
    assert featured.edges() == plain.edges()
    rows = featured.get_all_features()
    columns = featured.get_node_feature_names(0)
    assert rows.shape == (len(values), len(columns)) == (len(values), featured.feature_count())
    for v in range(len(values)):
        mine = featured.get_node_features(v)
        assert rows[v].tolist() == [mine.get(name, 0.0) for name in columns]
