"""Time series from pandas: every missing marker, datetime and numeric indices."""
import numpy as np
import pytest

import kaltrope as kt

pd = pytest.importorskip("pandas")


@pytest.mark.parametrize("values, dtype", [
    ([1.0, np.nan, 3.0, 4.0], "float64"),
    ([1.0, None, 3.0, 4.0], "object"),
    ([1, pd.NA, 3, 4], "Int64"),
    ([1.0, pd.NA, 3.0, 4.0], "Float64"),
])
def test_every_missing_marker(values, dtype):
    series = kt.TimeSeries.from_pandas(pd.Series(values, dtype=dtype))
    expected = kt.TimeSeries.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, None, 3.0, 4.0])
    assert len(series) == 4
    assert np.array_equal(series.to_numpy(), expected.to_numpy())
    assert series.natural_visibility().edges() == expected.natural_visibility().edges()


def test_datetime_index_in_seconds():
    index = pd.to_datetime(["2024-01-01 00:00:00", "2024-01-01 00:00:10", "2024-01-01 00:01:00"])
    series = kt.TimeSeries.from_pandas(pd.Series([2.0, 1.0, 2.0], index=index))
    start = index[0].timestamp()
    # Positions 0, 10 and 60 s: the middle sample lies below the line.
    same = kt.TimeSeries.with_missing([start, start + 10.0, start + 60.0], [2.0, 1.0, 2.0])
    assert series.natural_visibility().edges() == same.natural_visibility().edges()
    zoned = pd.Series([2.0, 1.0, 2.0], index=index.tz_localize("Europe/Berlin"))
    shifted = [t - 3600.0 for t in (start, start + 10.0, start + 60.0)]
    assert kt.TimeSeries.from_pandas(zoned).natural_visibility().edges() == \
        kt.TimeSeries.with_missing(shifted, [2.0, 1.0, 2.0]).natural_visibility().edges()


@pytest.mark.parametrize("dates", [["2300-01-01", "2300-01-03"], ["1500-01-01", "1500-01-03"]])
def test_dates_past_the_nanosecond_range(dates):
    # Seconds since the epoch hold them; nanoseconds in int64 do not.
    index = pd.DatetimeIndex(dates).as_unit("s")
    graph = kt.TimeSeries.from_pandas(pd.Series([1.0, 2.0], index=index)).horizontal_visibility()
    assert graph.timestamps().tolist() == [float(stamp.timestamp()) for stamp in index]


def test_nat_as_a_value_is_missing_and_in_the_index_an_error():
    values = pd.Series([1.0, 2.0, 3.0], index=pd.to_datetime(["2024-01-01", None, "2024-01-03"]))
    with pytest.raises(ValueError, match="NaT"):
        kt.TimeSeries.from_pandas(values)


@pytest.mark.parametrize("series, error", [
    (lambda: [1.0, 2.0], TypeError),
    (lambda: pd.Series(["a", "b"]), TypeError),
    (lambda: pd.Series([True, False]), TypeError),
    (lambda: pd.Series([1.0, 2.0], index=["a", "b"]), TypeError),
    # Numbers of another kind: the imaginary parts, or the unit of the dates, would be lost.
    (lambda: pd.Series([1 + 2j, 3 + 0j]), TypeError),
    (lambda: pd.Series([1 + 2j, None], dtype=object), TypeError),
    # A boolean or text column with a gap is of dtype object: its values are still no measurements.
    (lambda: pd.Series([True, False, np.nan]), TypeError),
    (lambda: pd.Series([True, None]), TypeError),
    (lambda: pd.Series([1.5, np.True_], dtype=object), TypeError),
    (lambda: pd.Series([1.5, "2.5"], dtype=object), TypeError),
    (lambda: pd.Series([b"2.5", None], dtype=object), TypeError),
    (lambda: pd.Series(pd.to_datetime(["2024-01-01", None, "2024-01-02"])), TypeError),
    (lambda: pd.Series(pd.to_timedelta([1, 2], unit="s")), TypeError),
    # A numeric index with a gap leaves a sample without a timestamp, as NaT does.
    (lambda: pd.Series([1.0, 2.0, 3.0], index=[0.0, np.nan, 2.0]), ValueError),
    (lambda: pd.Series([1.0, 2.0], index=pd.Index([0.0, None], dtype="Float64")), ValueError),
])
def test_refused_input(series, error):
    with pytest.raises(error):
        kt.TimeSeries.from_pandas(series())


def test_array_functions_take_pandas_series():
    y = pd.Series(np.random.default_rng(0).random(100))
    assert np.array_equal(kt.natural_visibility_edges(y), kt.natural_visibility_edges(y.to_numpy()))


def test_nanosecond_timestamps_relative_to_the_first():
    index = pd.Timestamp("2024-01-01") + pd.to_timedelta([0, 100, 1000], unit="ns")
    values = [0.0, 1.0, 5.0]
    relative = pd.Series(values, index=(index - index[0]).total_seconds())
    # At 0, 100 and 1000 ns the middle sample lies above the line from the
    # first to the last; at the indices (where epoch seconds, 0.24 µs apart,
    # would put the first two together) it lies below it.
    assert kt.TimeSeries.from_pandas(relative).natural_visibility().edges() == [(0, 1, 1.0), (1, 2, 1.0)]
    by_index = [(0, 1, 1.0), (0, 2, 1.0), (1, 2, 1.0)]
    assert kt.TimeSeries(values).natural_visibility().edges() == by_index
    with pytest.warns(RuntimeWarning, match="relative to the first timestamp") as caught:
        absolute = kt.TimeSeries.from_pandas(pd.Series(values, index=index))
    assert caught[0].filename == __file__
    assert absolute.natural_visibility().edges() == by_index
