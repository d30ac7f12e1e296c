"""CSV files as people write them: blank lines, a byte-order mark, a last line
ending in a carriage return, and RFC 4180 quoting. Each form must read exactly
as the same data written plainly."""
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt

TS = kt.TimeSeries
PLAIN = "time,value\n0,1.5\n1,\n2,-3\n"


def read(text, time_col="time", value_col="value"):
    series = TS.from_csv_string(text, time_col, value_col)
    repaired = series.handle_missing(kt.MissingDataStrategy.zero_fill())
    return len(series), series.to_numpy().tolist(), repaired.to_numpy().tolist()


@pytest.mark.parametrize("text", [
    "\ufefftime,value\n0,1.5\n1,\n2,-3\n",                        # byte-order mark
    "time,value\n\n0,1.5\n   \n1,\n\t\r\n2,-3\n\n\n",            # blank lines anywhere
    "\n \ntime,value\n0,1.5\n1,\n2,-3",                           # blank lines before the header
    "time,value\r\n0,1.5\r\n1,\r\n2,-3\r",                        # a last line ending in \r
    "value,time\r\n1.5,0\r\n,1\r\n-3,2\r",                        # ... its last cell a timestamp
    '"time","value"\n"0","1.5"\n"1",""\n"2","-3"\n',              # R's write.csv
    '"","time","value"\n"1",0,1.5\n"2",1,NA\n"3",2,-3\n'.replace("NA", ""),  # row names
    '"ti""me","va,lue"\n0,1.5\n1,\n2,-3\n',                       # quotes and commas in names
    'note,time,value\n"a, ""b""",0,1.5\n",",1," "\n"",2," ""-3"" "\n'.replace(' ""-3"" ', '-3'),
    'time,value\n0," 1.5 "\n1,"  "\n2,-3\n',                      # trimmed inside quotes
    "\ufefftime,value\r\n\r\n0,1.5\r\n1,\r\n\r\n2,-3\r",
])
def test_each_form_reads_as_the_plain_text(text):
    names = ("ti\"me", "va,lue") if '"ti""me"' in text else ("time", "value")
    assert read(text, *names) == read(PLAIN)


@pytest.mark.parametrize("text, cause", [
    ('time,value\n0,"1.5\n', 'line 2: value "\\"1.5" is not a number'),        # unclosed quote
    ('time,value\n0,"1""5"\n', 'line 2: value "1\\"5" is not a number'),
    ('time,value\n"0"x,1\n', 'line 2: timestamp "\\"0\\"x" is not a number'),
    ('time,value\n" 0",1\n', 'line 2: timestamp " 0" is not a number'),       # time cells are not trimmed
    ("time,value\n\n\n0;1\n", "line 4 has too few fields"),                      # blank lines are counted
])
def test_quoted_cells_that_are_not_numbers(text, cause):
    with pytest.raises(ValueError, match="^Time series is empty$") as raised:
        TS.from_csv_string(text, "time", "value")
    assert str(raised.value.__cause__) == cause


@pytest.mark.parametrize("text", ["\ufeff", "\n\n", "time,value\n\n \n", "\ufefftime,value\r\n\r\n"])
def test_only_blank_lines_are_no_rows(text):
    with pytest.raises(ValueError, match="^Time series is empty$") as raised:
        TS.from_csv_string(text, "time", "value") if "time" in text else TS.from_csv_string(text, "", "")
    assert raised.value.__cause__ is None


def test_quoted_header_names_in_messages():
    with pytest.raises(ValueError) as raised:
        TS.from_csv_string('"t","v""x"\n0,1\n', "time", "v")
    assert str(raised.value) == "column 'time' not found in header [\"t\", \"v\\\"x\"]"


def test_files_with_every_form(tmp_path):
    path = tmp_path / "r.csv"
    path.write_bytes(b'\xef\xbb\xbf"","time","value"\r\n"1",0,1.5\r\n\r\n"2",1,\r\n"3",2,-3\r')
    series = TS.from_csv_file(path, "time", "value")
    assert series.to_numpy().tolist() == [1.5, -3.0] and len(series) == 3


def quote(cell):
    return '"' + cell.replace('"', '""') + '"'


@settings(max_examples=60, deadline=None)
@given(st.lists(st.one_of(st.none(), st.floats(allow_nan=False, width=64)), min_size=1, max_size=40),
       st.data())
def test_random_dressing_keeps_the_data(values, data):
    # Blank lines between rows, each cell quoted or not, any line ending:
    # the same values as the plain text, across the 1 MiB pieces too.
    plain = ["time,value"] + [f"{t},{'' if v is None else repr(v)}" for t, v in enumerate(values)]
    dressed = []
    for line in plain:
        cells = [quote(c) if data.draw(st.booleans()) else c for c in line.split(",")]
        dressed.append(",".join(cells))
        if data.draw(st.booleans()):
            dressed.append(data.draw(st.sampled_from(["", " ", "\t", "\u00a0"])))
    ending = data.draw(st.sampled_from(["\n", "\r\n"]))
    text = data.draw(st.sampled_from(["", "\ufeff"])) + ending.join(dressed) + data.draw(st.sampled_from(["", "\r", ending]))
    assert read(text) == read("\n".join(plain))


def test_long_texts_with_blank_lines_across_pieces():
    rng = np.random.default_rng(5)
    values = rng.normal(size=120_000)
    lines = ["time,value"]
    for t, v in enumerate(values.tolist()):
        lines.append(f'"{t}","{v!r}"')
        if t % 3 == 0:
            lines.append("")
    series = TS.from_csv_string("\n".join(lines), "time", "value")
    assert np.array_equal(series.to_numpy(), values)
    lines[-1] = '"x",1'
    with pytest.raises(ValueError) as raised:
        TS.from_csv_string("\n".join(lines), "time", "value")
    assert str(raised.value.__cause__) == f'line {len(lines)}: timestamp "x" is not a number'
