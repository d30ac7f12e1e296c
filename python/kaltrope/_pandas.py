"""Time series from pandas."""

from __future__ import annotations

import warnings
from typing import Any

import numpy as np

from _kaltrope import TimeSeries
from kaltrope._optional import require


# Items of an object column that numpy would turn into numbers: a boolean
# column with a gap, or text among numbers, is of dtype object.
_NOT_MEASUREMENTS = (bool, np.bool_, str, bytes)


def _timestamps(index: Any, pd: Any) -> np.ndarray:
    """A DatetimeIndex in seconds since the epoch (UTC), or a numeric index."""
    if isinstance(index, pd.DatetimeIndex):
        if index.hasnans:
            raise ValueError("the index holds NaT; every sample needs a timestamp")
        utc = index.tz_convert("UTC").tz_localize(None) if index.tz is not None else index
        try:
            ticks, per_second = utc.as_unit("ns").asi8, 1e9
        except pd.errors.OutOfBoundsDatetime:  # before 1677 or after 2262: in the index's own unit
            ticks, per_second = utc.asi8, {"s": 1.0, "ms": 1e3, "us": 1e6}[utc.unit]
        seconds = ticks.astype(np.float64) / per_second
        if np.all(np.diff(ticks) > 0) and not np.all(np.diff(seconds) > 0):
            warnings.warn("timestamps closer than seconds since the epoch resolve (about 0.24 µs) became equal, "
                          "so a natural graph places the samples at their indices; give an index relative to "
                          "the first timestamp, such as (series.index - series.index[0]).total_seconds()",
                          RuntimeWarning, stacklevel=3)
        return seconds
    if pd.api.types.is_numeric_dtype(index.dtype) and not pd.api.types.is_bool_dtype(index.dtype):
        if index.hasnans:
            raise ValueError("the index holds NaN; every sample needs a timestamp")
        return index.to_numpy(dtype=np.float64)
    raise TypeError(f"the index must be a DatetimeIndex or numeric, not {type(index).__name__} of {index.dtype}")


def time_series_from_pandas(series: Any) -> TimeSeries:
    """A TimeSeries from a pandas Series.

    Parameters
    ----------
    series : pandas.Series
        Numeric values. NaN, None, ``pd.NA`` and ``NaT`` are missing samples.
        The index gives the timestamps: a ``DatetimeIndex`` in seconds since
        the epoch (UTC), a numeric index as it is. Seconds since the epoch
        resolve about 0.24 µs in this century: closer timestamps may become
        equal, and a natural graph of a series whose timestamps do not
        strictly increase places its samples at their indices. For faster
        sampling, give a numeric index relative to the first timestamp,
        such as ``(series.index - series.index[0]).total_seconds()``,
        which tells nanoseconds apart over spans of weeks.

    Returns
    -------
    TimeSeries

    Raises
    ------
    ImportError
        If pandas is not installed (``pip install 'kaltrope[pandas]'``).
    TypeError
        If `series` is not a pandas Series, its values are not numeric, or
        its index is neither a DatetimeIndex nor numeric.
    ValueError
        If the index holds NaT or NaN, or `series` is empty ("Time series
        is empty").

    Examples
    --------
    >>> import kaltrope as kt
    >>> import pandas as pd
    >>> s = pd.Series([1.0, None, 3.0], index=pd.to_datetime(["2024-01-01", "2024-01-02", "2024-01-03"]))
    >>> len(kt.TimeSeries.from_pandas(s))
    3
    """
    pd = require("pandas")
    if not isinstance(series, pd.Series):
        raise TypeError(f"expected a pandas Series, not {type(series).__name__}")
    missing = series.isna().to_numpy()
    present = series[~missing]
    # Booleans and text would convert to numbers; neither is a measurement.
    # Complex numbers would lose their imaginary parts, dates and durations
    # become counts of a unit.
    types = pd.api.types
    if (types.is_bool_dtype(present) or (not present.empty and types.is_string_dtype(present))
            or (series.dtype == object and any(isinstance(value, _NOT_MEASUREMENTS) for value in present))
            or types.is_complex_dtype(series.dtype) or types.is_datetime64_any_dtype(series.dtype)
            or types.is_timedelta64_dtype(series.dtype)):
        raise TypeError(f"the values must be numeric, not {series.dtype}")
    values = np.full(len(series), np.nan)
    try:
        values[~missing] = present.to_numpy(dtype=np.float64)
    except (TypeError, ValueError):
        raise TypeError(f"the values must be numeric, not {series.dtype}") from None
    samples = [None if gap else value for gap, value in zip(missing.tolist(), values.tolist())]
    return TimeSeries.with_missing(_timestamps(series.index, pd), samples)
