"""TimeSeries construction and missing-data repair, MissingDataStrategy.

The repair is checked against a plain-Python statement of each strategy's
rule (the `fill` oracle below), on the documented examples and on random
series with random gaps and random chains of strategies.
"""
import inspect
import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt

TS = kt.TimeSeries
MDS = kt.MissingDataStrategy


# --------------------------------------------------------------------------
# oracle: a strategy is a tuple ("ffill",), ("mean", w), ("fallback", a, b)

def _before(values, i):
    return next((values[j] for j in range(i - 1, -1, -1) if values[j] is not None), None)


def _after(values, i):
    return next((values[j] for j in range(i + 1, len(values)) if values[j] is not None), None)


def _window(values, i, w):
    h = w // 2
    return [values[j] for j in range(max(i - h, 0), min(i + h + 1, len(values)))
            if j != i and values[j] is not None]


def fill(strategy, values, i):
    """The replacement a strategy gives for the missing sample at i, or None."""
    kind = strategy[0]
    if kind == "linear":
        if i == 0 or i >= len(values) - 1:
            return None
        p, q = _before(values, i), _after(values, i)
        return None if p is None or q is None else (p + q) * 0.5
    if kind == "ffill":
        return _before(values, i)
    if kind == "bfill":
        return _after(values, i)
    if kind == "nearest":
        before = [j for j in range(i) if values[j] is not None]
        after = [j for j in range(i + 1, len(values)) if values[j] is not None]
        candidates = ([(i - before[-1], before[-1])] if before else []) + \
                     ([(after[0] - i, after[0])] if after else [])
        return values[min(candidates)[1]] if candidates else None
    if kind == "mean":
        found = _window(values, i, strategy[1])
        if not found:
            return None
        total = 0.0
        for x in found:
            total += x
        return total / len(found)
    if kind == "median":
        found = sorted(_window(values, i, strategy[1]))
        if not found:
            return None
        m = len(found) // 2
        return found[m] if len(found) % 2 else (found[m - 1] + found[m]) * 0.5
    if kind == "zero":
        return 0.0
    if kind == "drop":
        return None
    first = fill(strategy[1], values, i)
    return first if first is not None else fill(strategy[2], values, i)


def repair(strategy, values):
    """The repaired values, or the index at which the repair fails."""
    out = []
    for i, v in enumerate(values):
        out.append(v if v is not None else fill(strategy, values, i))
        if out[-1] is None:
            return i
    return out


def build(strategy):
    kind = strategy[0]
    if kind == "fallback":
        return build(strategy[1]).with_fallback(build(strategy[2]))
    makers = {"linear": MDS.linear_interpolation, "ffill": MDS.forward_fill,
              "bfill": MDS.backward_fill, "nearest": MDS.nearest_neighbor,
              "mean": MDS.mean_imputation, "median": MDS.median_imputation,
              "zero": MDS.zero_fill, "drop": MDS.drop}
    return makers[kind](*strategy[1:])


def debug_text(strategy):
    names = {"linear": "LinearInterpolation", "ffill": "ForwardFill", "bfill": "BackwardFill",
             "nearest": "NearestNeighbor", "mean": "MeanImputation",
             "median": "MedianImputation", "zero": "ZeroFill", "drop": "Drop"}
    kind = strategy[0]
    if kind == "fallback":
        return (f"Fallback {{ primary: {debug_text(strategy[1])}, "
                f"fallback: {debug_text(strategy[2])} }}")
    if kind in ("mean", "median"):
        return f"{names[kind]} {{ window_size: {strategy[1]} }}"
    return names[kind]


def apply(strategy, values):
    """What kaltrope does: the repaired values, or the failing index."""
    series = TS.with_missing(list(range(len(values))), values)
    try:
        repaired = series.handle_missing(build(strategy))
    except RuntimeError as error:
        prefix = "All imputation strategies failed at index "
        assert str(error).startswith(prefix)
        return int(str(error)[len(prefix):])
    assert len(repaired) == len(values)
    return repaired.to_numpy().tolist()


plain = st.sampled_from([("linear",), ("ffill",), ("bfill",), ("nearest",), ("zero",), ("drop",)])
windowed = st.tuples(st.sampled_from(["mean", "median"]), st.integers(0, 7))
strategies = st.recursive(plain | windowed,
                          lambda inner: st.tuples(st.just("fallback"), inner, inner), max_leaves=5)
gappy = st.lists(st.none() | st.integers(-20, 20).map(float)
                 | st.floats(-1e6, 1e6, allow_subnormal=False), min_size=1, max_size=25)


# --------------------------------------------------------------------------
# strategies

ONE_GAP_PAIR = [1.0, None, None, 4.0]


@pytest.mark.parametrize("strategy, values, expected", [
    (("linear",), ONE_GAP_PAIR, [1, 2.5, 2.5, 4]),
    (("ffill",), ONE_GAP_PAIR, [1, 1, 1, 4]),
    (("bfill",), ONE_GAP_PAIR, [1, 4, 4, 4]),
    (("nearest",), ONE_GAP_PAIR, [1, 1, 4, 4]),
    (("nearest",), [1.0, None, 3.0], [1, 1, 3]),          # equal distance: the earlier
    (("linear",), [None, 2.0, None], 0),
    (("nearest",), [None, 2.0, None], [2, 2, 2]),
    (("ffill",), [None, 2.0, None], 0),
    (("fallback", ("ffill",), ("bfill",)), [None, 2.0, None], [2, 2, 2]),
    (("mean", 2), [1.0, None, 5.0, None], [1, 3, 5, 5]),
    (("mean", 3), [1.0, None, 5.0, None], [1, 3, 5, 5]),
    (("mean", 1), [1.0, None, 5.0], 1),
    (("mean", 0), [1.0, None, 5.0], 1),
    (("median", 4), [5.0, 1.0, None, 3.0, 2.0], [5, 1, 2.5, 3, 2]),
    (("median", 2), [7.0, None, 1.0], [7, 4, 1]),
    (("median", 9), [None, 8.0], [8, 8]),
    (("zero",), [None, 2.0, None], [0, 2, 0]),
    (("drop",), [1.0, 2.0], [1, 2]),
    (("drop",), [1.0, None, 2.0, None], 1),
])
def test_documented_repairs(strategy, values, expected):
    assert apply(strategy, values) == expected
    assert repair(strategy, values) == expected


@settings(max_examples=300)
@given(strategy=strategies, values=gappy)
def test_repair_matches_the_rules(strategy, values):
    assert apply(strategy, values) == repair(strategy, values)


def test_repair_reads_the_unrepaired_values_and_keeps_present_ones():
    series = TS.with_missing([0, 1, 2, 3, 4], [float("nan"), 1.0, None, None, 9.0])
    out = series.handle_missing(MDS.linear_interpolation()).to_numpy()
    # Both gaps see the original neighbours; NaN is a present value, kept.
    assert math.isnan(out[0]) and out[1:].tolist() == [1.0, 5.0, 5.0, 9.0]
    assert series.to_numpy()[1] == 1.0 and len(series.to_numpy()) == 3   # unchanged
    out = series.handle_missing(MDS.mean_imputation(4)).to_numpy()
    assert math.isnan(out[2]) and out[3] == 5.0      # not the NaN filled at 2


def test_long_gaps_are_filled_quickly():
    values = [1.0] + [None] * 300_000 + [3.0]
    series = TS.with_missing(np.arange(len(values)), values)
    for strategy, middle in [(MDS.forward_fill(), 1.0), (MDS.backward_fill(), 3.0),
                             (MDS.linear_interpolation(), 2.0)]:
        out = series.handle_missing(strategy).to_numpy()
        assert out[len(out) // 2] == middle and len(out) == len(values)


@settings(max_examples=100)
@given(strategy=strategies)
def test_strategy_repr(strategy):
    assert repr(build(strategy)) == f"MissingDataStrategy({debug_text(strategy)})"


def test_strategy_texts_and_chains():
    assert repr(MDS.mean_imputation(5)) == "MissingDataStrategy(MeanImputation { window_size: 5 })"
    primary, fallback = MDS.forward_fill(), MDS.zero_fill()
    chained = primary.with_fallback(fallback)
    assert repr(chained) == "MissingDataStrategy(Fallback { primary: ForwardFill, fallback: ZeroFill })"
    assert repr(primary) == "MissingDataStrategy(ForwardFill)"
    assert repr(fallback) == "MissingDataStrategy(ZeroFill)"
    deep = MDS.drop()
    for _ in range(2000):
        deep = MDS.drop().with_fallback(deep)
    deep = deep.with_fallback(MDS.zero_fill())
    assert TS.with_missing([0, 1], [None, 1.0]).handle_missing(deep).to_numpy().tolist() == [0, 1]
    assert repr(deep).count("Drop") == 2001


def test_window_sizes_are_unsigned():
    assert repr(MDS.median_imputation(np.int64(3))).endswith("{ window_size: 3 })")
    assert "18446744073709551615" in repr(MDS.mean_imputation(2**64 - 1))
    assert TS.with_missing([0, 1], [None, 4.0]).handle_missing(
        MDS.mean_imputation(2**64 - 1)).to_numpy().tolist() == [4, 4]
    with pytest.raises(OverflowError):
        MDS.mean_imputation(-1)
    with pytest.raises(OverflowError):
        MDS.median_imputation(2**64)
    with pytest.raises(TypeError, match="window_size"):
        MDS.mean_imputation(2.5)
    with pytest.raises(TypeError):
        MDS.mean_imputation()


def test_strategy_has_no_constructor():
    with pytest.raises(TypeError, match="^No constructor defined for MissingDataStrategy$"):
        MDS()
    with pytest.raises(TypeError, match="fallback"):
        MDS.zero_fill().with_fallback("ZeroFill")


# --------------------------------------------------------------------------
# TimeSeries

def test_construction_from_values():
    assert len(TS([1.0, 2.0])) == 2
    with pytest.raises(ValueError, match="^Time series is empty$"):
        TS([])
    with pytest.raises(ValueError, match="^Time series is empty$"):
        TS(np.array([]))
    wide = np.arange(10.0)[::2]
    for values in ([1, 2.5, np.float32(3)], (1, 2.5, 3), np.array([1, 2.5, 3]),
                   np.array([1, 2.5, 3], dtype=">f8"), np.array([2, 5, 6]) / 2, range(1, 4)):
        out = TS(values).to_numpy()
        assert out.dtype == np.float64 and out.tolist() == list(np.asarray(values, dtype=float))
    assert TS(wide).to_numpy().tolist() == [0, 2, 4, 6, 8]
    assert TS(np.array([True, False])).to_numpy().tolist() == [1, 0]
    out = TS([float("nan"), float("inf")]).to_numpy()       # present, not missing
    assert len(out) == 2 and math.isnan(out[0]) and out[1] == math.inf


@pytest.mark.parametrize("values, message", [
    ("123", "^argument 'values': Can't extract `str` to `Vec`$"),
    ([1.0, None], "argument 'values'"),
    ([1.0, "2"], "argument 'values'"),
    ([[1.0], [2.0]], "argument 'values'"),
    (np.array([1.0, None], dtype=object), "argument 'values'"),
    (np.ones((2, 2)), "argument 'values'"),
    (5, "argument 'values'"),
    ((x for x in [1.0]), "argument 'values'"),
])
def test_values_that_are_not_numbers(values, message):
    with pytest.raises(TypeError, match=message):
        TS(values)


def test_with_missing():
    series = TS.with_missing([0.0, 1.0, 2.0], [1.0, None, 3.0])
    assert len(series) == 3 and series.to_numpy().tolist() == [1.0, 3.0]
    assert series.handle_missing(MDS.linear_interpolation()).to_numpy().tolist() == [1, 2, 3]
    with pytest.raises(RuntimeError, match="^All imputation strategies failed at index 1$"):
        series.handle_missing(MDS.drop())
    assert len(TS.with_missing([2.0, 1.0], [1.0, 2.0])) == 2          # no order check
    assert TS.with_missing(np.arange(3), np.array([1, 2, 3])).to_numpy().tolist() == [1, 2, 3]
    assert len(TS.with_missing(timestamps=[0], values=[None]).to_numpy()) == 0


@pytest.mark.parametrize("timestamps, values, error, message", [
    ([0.0], [], ValueError, "^Length mismatch: 1 timestamps but 0 values$"),
    ([0.0, 1.0], [None, None, None], ValueError, "^Length mismatch: 2 timestamps but 3 values$"),
    ([], [], ValueError, "^Time series is empty$"),
    ([0.0, None], [1.0, 2.0], TypeError, "argument 'timestamps'"),
    ("01", [1.0, 2.0], TypeError, "^argument 'timestamps': Can't extract `str` to `Vec`$"),
    ([0.0, 1.0], "12", TypeError, "^argument 'values': Can't extract `str` to `Vec`$"),
    ([0.0, 1.0], [1.0, "x"], TypeError, "argument 'values'"),
])
def test_with_missing_errors(timestamps, values, error, message):
    with pytest.raises(error, match=message):
        TS.with_missing(timestamps, values)


def test_handle_missing_arguments_and_results():
    series = TS.with_missing([0, 1], [None, 2.0])
    with pytest.raises(TypeError, match="argument 'strategy'"):
        series.handle_missing("zero_fill")
    with pytest.raises(TypeError):
        series.handle_missing()
    repaired = series.handle_missing(strategy=MDS.zero_fill())
    assert isinstance(repaired, TS) and repaired is not series
    assert repaired.to_numpy().tolist() == [0, 2] and series.to_numpy().tolist() == [2]
    a, b = repaired.to_numpy(), repaired.to_numpy()
    a[0] = 99.0
    assert b[0] == 0.0 and a.flags.writeable


def test_documentation():
    assert TS.__doc__.startswith("A time series: one timestamp and one value per sample")
    assert TS.__text_signature__ == "(values)"
    assert MDS.__doc__.startswith("A way of filling the missing samples of a TimeSeries.")
    docs = {
        TS.with_missing: ("(timestamps, values)",
                          "Create a time series from values with explicit missing data (None values)."),
        TS.from_csv_string: ("(csv, time_col, value_col)",
                             "Load a time series from CSV text, selecting columns by header name."),
        TS.from_csv_file: ("(path, time_col, value_col)",
                           "Load a time series from a CSV file, selecting columns by header name."),
        TS.handle_missing: ("($self, strategy)", "Handle missing data using the specified strategy."),
        TS.to_numpy: ("($self)", "Returns the values as a NumPy array."),
        MDS.linear_interpolation: ("()", "Linear interpolation: average of neighbors"),
        MDS.forward_fill: ("()", "Forward fill: use last valid value"),
        MDS.backward_fill: ("()", "Backward fill: use next valid value"),
        MDS.nearest_neighbor: ("()", "Nearest neighbor: use closest valid value"),
        MDS.mean_imputation: ("(window_size)", "Mean imputation with window"),
        MDS.median_imputation: ("(window_size)", "Median imputation with window"),
        MDS.zero_fill: ("()", "Fill with zeros"),
        MDS.drop: ("()", "Drop missing values: fills nothing."),  # it never returned None
        MDS.with_fallback: ("($self, fallback)",
                            "Chain strategies: try primary, fallback to secondary if it fails"),
    }
    for method, (signature, text) in docs.items():
        assert method.__text_signature__ == signature and method.__doc__.splitlines()[0] == text
    assert list(inspect.signature(TS.handle_missing).parameters) == ["self", "strategy"]
    listed = [name for name in vars(MDS) if not name.startswith("_")]
    assert listed == ["linear_interpolation", "forward_fill", "backward_fill", "nearest_neighbor",
                      "mean_imputation", "median_imputation", "zero_fill", "drop", "with_fallback"]
