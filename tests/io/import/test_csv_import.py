"""TimeSeries.from_csv_string and TimeSeries.from_csv_file.

Timestamps do not surface in Python, so a time cell shows only in whether a
line reads at all; values show through len() and to_numpy().
"""
import errno
import math
import os
import pathlib
import threading

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt

TS = kt.TimeSeries
EMPTY = "^Time series is empty$"


def read(text, time_col="time", value_col="value"):
    series = TS.from_csv_string(text, time_col, value_col)
    return len(series), series.to_numpy().tolist()


@pytest.mark.parametrize("text", [
    "time,value\n0,1\n1,\n2,3",
    "time,value\n0,1\n1,\n2,3\n",
    "time,value\r\n0,1\r\n1,\r\n2,3\r\n",
    "time,value\n0,1\n1,  \n2, 3 \n",
    "time,value\n0,1\n1,\t\r\n2,\u00a03\u2003\n",
    "time,value,note\n0,1,a\n1,,b\n2,3,\n",
    "value,time\n1,0\n,1\n3,2\n",
])
def test_three_samples_with_the_middle_one_missing(text):
    assert read(text) == (3, [1.0, 3.0])
    repaired = TS.from_csv_string(text, "time", "value").handle_missing(
        kt.MissingDataStrategy.linear_interpolation())
    assert repaired.to_numpy().tolist() == [1.0, 2.0, 3.0]


@pytest.mark.parametrize("cell, value", [
    ("NaN", math.nan), ("nan", math.nan), ("inf", math.inf), ("-Infinity", -math.inf),
    ("+2", 2.0), ("-0.5", -0.5), (".5", 0.5), ("5.", 5.0), ("1e3", 1000.0), ("1E-3", 0.001),
    ("1e400", math.inf), ("-1e400", -math.inf), ("1e-400", 0.0), ("4.9e-324", 5e-324),
    ("0.1", 0.1), ("123456789012345678901234567890", 1.2345678901234568e29),
])
def test_value_spellings(cell, value):
    n, values = read(f"time,value\n0,{cell}\n")
    assert n == 1 and (math.isnan(values[0]) if math.isnan(value) else values == [value])


@pytest.mark.parametrize("text, cause", [
    ("time,value\n 0,1\n", 'line 2: timestamp " 0" is not a number'),   # time cells are not trimmed
    ("time,value\n0 ,1\n", 'line 2: timestamp "0 " is not a number'),
    ("time,value\n0,1\n1,abc\n", 'line 3: value "abc" is not a number'),
    ("time,value\n0,0x10\n", 'line 2: value "0x10" is not a number'),
    ("time,value\n0,1 2\n", 'line 2: value "1 2" is not a number'),
    ("time,value\n0,nan(1)\n", 'line 2: value "nan(1)" is not a number'),
    ("time,value\n0,+-1\n", 'line 2: value "+-1" is not a number'),
    ("time,value\n0,1\n2\n", "line 3 has too few fields"),
    ("time,value\n0,1\n\n \n2\n", "line 5 has too few fields"),   # blank lines still count
    ("time,value\n0;1\n", "line 2 has too few fields"),
    ("time,value\n,1\n", 'line 2: timestamp "" is not a number'),
    ("time,value\n0," + "9" * 50 + "x\n", 'line 2: value "' + "9" * 40 + '"... is not a number'),
])
def test_a_bad_line_ends_the_import(text, cause):
    with pytest.raises(ValueError, match=EMPTY) as raised:
        read(text)
    assert isinstance(raised.value.__cause__, ValueError) and str(raised.value.__cause__) == cause


@pytest.mark.parametrize("text, time_col, value_col", [
    ("time,value", "time", "value"),
    ("time,value\n", "time", "value"),
    ("time,value\r\n", "time", "value"),
    ("", "", ""),
])
def test_no_data_rows(text, time_col, value_col):
    with pytest.raises(ValueError, match=EMPTY) as raised:
        TS.from_csv_string(text, time_col, value_col)
    assert raised.value.__cause__ is None


@pytest.mark.parametrize("text, time_col, value_col, message", [
    ("time,value\n0,1", "time", "Value", 'column \'Value\' not found in header ["time", "value"]'),
    ("time, value\n0,1", "time", "value", 'column \'value\' not found in header ["time", " value"]'),
    ("t,v\n0,1", "time", "value", 'column \'time\' not found in header ["t", "v"]'),
    ('a"b,c\\d\tx\n0,1', "x", "c", 'column \'x\' not found in header ["a\\"b", "c\\\\d\\tx"]'),
    ("", "time", "value", 'column \'time\' not found in header [""]'),
    ("time\n0", "time", "value", 'column \'value\' not found in header ["time"]'),
])
def test_header_lookups(text, time_col, value_col, message):
    with pytest.raises(ValueError) as raised:
        TS.from_csv_string(text, time_col, value_col)
    assert str(raised.value) == message


def test_header_choices():
    assert read("v,v,t\n1,2,0\n", "t", "v") == (1, [1.0])              # the first of equal names
    assert read("t\n7\n", "t", "t") == (1, [7.0])                      # one column for both
    assert read("a,b\n3,x\n", "a", "a") == (1, [3.0])                  # other cells are never read
    assert read("ü,wert\n0,2.5\n", "ü", "wert") == (1, [2.5])
    assert read("time,value\n0,1\n", value_col="value", time_col="time") == (1, [1.0])


@pytest.mark.parametrize("call", [
    lambda: TS.from_csv_string(b"time,value\n0,1", "time", "value"),
    lambda: TS.from_csv_string("time,value\n0,1", 0, "value"),
    lambda: TS.from_csv_string("time,value\n0,1", "time"),
    lambda: TS.from_csv_file(3.5, "time", "value"),
    lambda: TS.from_csv_file("x.csv", "time", None),
])
def test_argument_types(call):
    with pytest.raises(TypeError):
        call()


cells = st.one_of(st.none(), st.integers(-10**6, 10**6).map(float),
                  st.floats(allow_nan=False, allow_infinity=False))


@settings(max_examples=150)
@given(values=st.lists(cells, min_size=1, max_size=30),
       line_end=st.sampled_from(["\n", "\r\n"]), final_break=st.booleans(),
       padding=st.sampled_from(["", " ", "\t", "  "]))
def test_generated_files(tmp_path_factory, values, line_end, final_break, padding):
    lines = ["time,value"] + [f"{t * 0.5},{padding}{'' if v is None else repr(v)}{padding}"
                              for t, v in enumerate(values)]
    text = line_end.join(lines) + (line_end if final_break else "")
    present = [v for v in values if v is not None]
    assert read(text) == (len(values), present)
    path = tmp_path_factory.mktemp("csv") / "series.csv"
    path.write_text(text, newline="")
    series = TS.from_csv_file(path, "time", "value")
    assert (len(series), series.to_numpy().tolist()) == (len(values), present)


def test_files(tmp_path):
    path = tmp_path / "data.csv"
    path.write_bytes(b"time,value\n0,1\n1,\n2,3")
    for given in (str(path), path, bytes(path)):
        series = TS.from_csv_file(given, "time", "value")
        assert len(series) == 3 and series.to_numpy().tolist() == [1.0, 3.0]
    assert len(TS.from_csv_file(path=path, time_col="time", value_col="value")) == 3


def test_a_pipe_is_read_to_its_end(tmp_path):
    # A pipe has no size to start from, so the buffer grows many times.
    path = tmp_path / "pipe.csv"
    os.mkfifo(path)
    text = "time,value\n" + "".join(f"{t},{t % 7}\n" for t in range(20_000))
    writer = threading.Thread(target=path.write_text, args=(text,))
    writer.start()
    try:
        series = TS.from_csv_file(path, "time", "value")
    finally:
        writer.join()
    assert series.to_numpy().tolist() == [float(t % 7) for t in range(20_000)]


def test_unreadable_files(tmp_path):
    missing = tmp_path / "missing.csv"
    with pytest.raises(FileNotFoundError) as raised:
        TS.from_csv_file(str(missing), "time", "value")
    assert str(raised.value) == f"{missing}: No such file or directory (os error 2)"
    assert raised.value.errno == errno.ENOENT
    with pytest.raises(IsADirectoryError, match=f"^{tmp_path}: Is a directory"):
        TS.from_csv_file(pathlib.Path(tmp_path), "time", "value")
    with pytest.raises(ValueError, match="embedded null byte"):
        TS.from_csv_file(str(tmp_path) + "/a\0b", "time", "value")


@pytest.mark.parametrize("content, offset", [
    (b"time,value\n0,1\n1,\xff\n", 17),
    (b"time,value,note\n0,1,caf\xe9\n", 23),              # Latin-1, in a column not read
    (b"time,value\n0,1\n" + b"1,2\n" * 10 + b"\xed\xa0\x80", 55),  # an encoded surrogate
    (b"time,value\n0,1\xc3", 14),                          # cut in the middle of a character
])
def test_files_that_are_not_utf8(tmp_path, content, offset):
    path = tmp_path / "latin1.csv"
    path.write_bytes(content)
    with pytest.raises(OSError) as raised:
        TS.from_csv_file(path, "time", "value")
    assert str(raised.value) == f"{path}: not valid UTF-8 (invalid byte at offset {offset})"


def test_large_texts_read_in_pieces():
    rng = np.random.default_rng(3)
    values = rng.normal(size=150_000)                  # about 5 MiB of text
    gaps = rng.random(len(values)) < 0.1
    lines = ["time,value"] + [f"{t},{'' if gap else repr(v)}"
                              for t, (v, gap) in enumerate(zip(values.tolist(), gaps.tolist()))]
    text = "\r\n".join(lines)
    series = TS.from_csv_string(text, "time", "value")
    assert len(series) == len(values)
    assert np.array_equal(series.to_numpy(), values[~gaps])
    for bad in ([140_000], [70_000, 140_000]):
        broken = list(lines)
        for row in bad:
            broken[row + 1] = f"{row},oops"
        with pytest.raises(ValueError, match=EMPTY) as raised:
            TS.from_csv_string("\n".join(broken), "time", "value")
        assert str(raised.value.__cause__) == f'line {bad[0] + 2}: value "oops" is not a number'
