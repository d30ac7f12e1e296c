"""Fuzzes the CSV import, from a string and from a file, on arbitrary bytes.

Both must agree, and every input either reads or raises ValueError (or
OSError for a file that is not UTF-8); a series read back through a plain
CSV text must read the same again.

    python fuzz/fuzz_csv_import.py [-max_total_time=600] [corpus folder]
"""
import math
import os
import sys
import tempfile

import atheris

with atheris.instrument_imports():
    import _kaltrope as kt

NAMES = ["time", "value", '"time"', "t", ""]
FOLDER = tempfile.mkdtemp(prefix="kaltrope-fuzz-")
PATH = os.path.join(FOLDER, "input.csv")


def outcome(read):
    try:
        series = read()
    except ValueError as error:
        return ("ValueError", str(error), str(error.__cause__))
    return ("series", len(series), [v if not math.isnan(v) else "nan" for v in series.to_numpy().tolist()])


def test_one_input(data):
    fdp = atheris.FuzzedDataProvider(data)
    time_col = NAMES[fdp.ConsumeIntInRange(0, len(NAMES) - 1)]
    value_col = NAMES[fdp.ConsumeIntInRange(0, len(NAMES) - 1)]
    raw = fdp.ConsumeBytes(fdp.remaining_bytes())
    with open(PATH, "wb") as file:
        file.write(raw)
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        try:
            kt.TimeSeries.from_csv_file(PATH, time_col, value_col)
        except OSError as error:
            assert "not valid UTF-8" in str(error), error
            return
        raise AssertionError("a file that is not UTF-8 was read")
    if "\0" in text:
        return
    from_text = outcome(lambda: kt.TimeSeries.from_csv_string(text, time_col, value_col))
    from_file = outcome(lambda: kt.TimeSeries.from_csv_file(PATH, time_col, value_col))
    assert from_text == from_file, (from_text, from_file)


if __name__ == "__main__":
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()
