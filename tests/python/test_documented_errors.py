"""Errors and edge cases the docstrings promise, where no other test holds
them: graph limits of TimeSeries, vectors without features, sparse formats
and the pandas entry points."""
import numpy as np
import pytest

import kaltrope as kt


def delta_forward():
    return kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))


@pytest.mark.parametrize("method", ["natural_visibility", "horizontal_visibility"])
@pytest.mark.parametrize("limits, message", [
    ({"penetrable": -1}, "penetrable must be a non-negative int, got -1"),
    ({"window": 0}, "window must be a positive int or None, got 0"),
])
def test_series_graph_limits_are_value_errors_that_keep_the_feature_set(method, limits, message):
    series = kt.TimeSeries([1.0, 3.0, 2.0])
    with pytest.raises(ValueError, match=message):
        getattr(series, method)(**limits)
    features = delta_forward()
    with pytest.raises(ValueError, match=message):
        getattr(series, method + "_with_features")(features, **limits)
    # Refused limits leave the set whole: it still serves one graph.
    graph = getattr(series, method + "_with_features")(features)
    assert graph.get_node_features(0) == {"delta_forward": 2.0}


def test_vectors_without_features_are_refused_as_documented():
    for edges in (kt.natural_vector_visibility_edges, kt.horizontal_vector_visibility_edges):
        with pytest.raises(ValueError, match="x and y must have the same length"):
            edges(np.empty((3, 0)))


def test_unknown_sparse_format_is_a_value_error():
    pytest.importorskip("scipy")
    graph = kt.natural_visibility([1.0, 3.0, 2.0])
    with pytest.raises(ValueError):
        kt.to_scipy_sparse(graph, "nope")
    with pytest.raises(ValueError):
        graph.to_scipy_sparse("nope")


def test_documented_errors_of_the_pandas_entry_points():
    pd = pytest.importorskip("pandas")
    with pytest.raises(ValueError, match="Time series is empty"):
        kt.TimeSeries.from_pandas(pd.Series([], dtype=float))
    with pytest.raises(ValueError, match="series 0: penetrable must be a non-negative int"):
        kt.features([[1.0, 2.0, 3.0]], penetrable=-1)
    with pytest.raises(TypeError):
        kt.features(None)
