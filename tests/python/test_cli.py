"""The command line in subprocesses: every subcommand and output format, exit
codes, bad files, standard input and the progress bar."""
import json
import os
import pty
import select
import subprocess
import sys

import numpy as np
import pytest

import kaltrope as kt
from processes import child_environment

Y = [1.0, 3.0, 2.0, 4.0, 0.5, 2.5]


def cli(*arguments, stdin=None, cwd=None):
    return subprocess.run([sys.executable, "-m", "kaltrope", *map(str, arguments)], input=stdin,
                          capture_output=True, text=True, cwd=cwd, env=child_environment(), timeout=120)


@pytest.fixture
def series_csv(tmp_path):
    path = tmp_path / "series.csv"
    path.write_text("time,value\n" + "".join(f"{2 * i},{v}\n" for i, v in enumerate(Y)))
    return path


def csv_edges(text):
    lines = text.strip().splitlines()
    assert lines[0] == "source,target"
    return np.array([[int(c) for c in line.split(",")] for line in lines[1:]], dtype=np.int64).reshape(-1, 2)


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_edges_to_standard_output(series_csv, kind):
    proc = cli("edges", series_csv, "--kind", kind)
    assert proc.returncode == 0 and proc.stderr == ""
    expected = kt.natural_visibility_edges(Y) if kind == "natural" else kt.horizontal_visibility_edges(Y)
    assert np.array_equal(csv_edges(proc.stdout), expected)


def test_positions_from_a_time_column(series_csv, tmp_path):
    target = tmp_path / "edges.npy"
    assert cli("edges", series_csv, "--column", "value", "--time-column", "time", "-o", target).returncode == 0
    assert np.array_equal(np.load(target), kt.natural_visibility_edges(Y, np.arange(len(Y)) * 2.0))


def test_every_output_format(series_csv, tmp_path):
    graph = kt.natural_visibility(Y)
    texts = {"graphml": graph.to_graphml(), "json": graph.to_json(), "dot": graph.to_dot()}
    for suffix, text in texts.items():
        target = tmp_path / f"g.{suffix}"
        assert cli("edges", series_csv, "-o", target).returncode == 0
        assert target.read_text() == text
    target = tmp_path / "e.csv"
    assert cli("edges", series_csv, "-o", target).returncode == 0
    assert np.array_equal(csv_edges(target.read_text()), kt.natural_visibility_edges(Y))
    pq = pytest.importorskip("pyarrow.parquet")
    target = tmp_path / "e.parquet"
    assert cli("edges", series_csv, "-o", target).returncode == 0
    table = pq.read_table(target)
    assert np.array_equal(np.column_stack([table["source"], table["target"]]), kt.natural_visibility_edges(Y))


def test_standard_input_and_npy(tmp_path):
    proc = cli("edges", "-", stdin="".join(f"{v}\n" for v in Y))
    assert np.array_equal(csv_edges(proc.stdout), kt.natural_visibility_edges(Y))
    np.save(tmp_path / "y.npy", np.array(Y))
    assert np.array_equal(csv_edges(cli("edges", tmp_path / "y.npy").stdout), kt.natural_visibility_edges(Y))


def test_many_inputs_in_one_call(series_csv, tmp_path):
    other = tmp_path / "other.csv"
    other.write_text("value\n5\n1\n4\n")
    proc = cli("edges", series_csv, other, "-o", tmp_path / "out", "--format", ".npy")
    assert proc.returncode == 0
    # Not a terminal: no progress bar.
    assert proc.stderr == ""
    assert np.array_equal(np.load(tmp_path / "out" / "series.npy"), kt.natural_visibility_edges(Y))
    assert np.array_equal(np.load(tmp_path / "out" / "other.npy"), kt.natural_visibility_edges([5, 1, 4]))
    assert cli("edges", series_csv, other).returncode == 1


@pytest.mark.parametrize("quiet", [False, True])
def test_progress_bar_on_a_terminal(series_csv, tmp_path, quiet):
    other = tmp_path / "other.csv"
    other.write_text("value\n5\n1\n4\n")
    leader, follower = pty.openpty()
    try:
        arguments = ["edges", series_csv, other, "-o", tmp_path / "out", "--format", ".npy"] + ["-q"] * quiet
        proc = subprocess.run([sys.executable, "-m", "kaltrope", *map(str, arguments)], stderr=follower,
                              stdout=subprocess.PIPE, env=child_environment(), timeout=120)
        os.close(follower)
        shown = b""
        while chunk := _read_available(leader):
            shown += chunk
    finally:
        os.close(leader)
    assert proc.returncode == 0
    assert (b"2/2" in shown) != quiet and proc.stdout == b""


def _read_available(descriptor):
    if not select.select([descriptor], [], [], 0.5)[0]:
        return b""
    try:
        return os.read(descriptor, 4096)
    except OSError:  # the terminal closed on Linux
        return b""


def test_stats_and_motifs(series_csv, tmp_path):
    summary = json.loads(cli("stats", series_csv, "--json").stdout)
    statistics = kt.natural_visibility(Y).compute_statistics()
    assert summary["edge_count"] == statistics.edge_count and summary["diameter"] == statistics.diameter
    assert cli("stats", series_csv).stdout.strip() == str(statistics).strip()
    rows = np.random.default_rng(0).random((3, 50))
    np.save(tmp_path / "rows.npy", rows)
    lines = cli("motifs", tmp_path / "rows.npy", "--kind", "horizontal").stdout.strip().splitlines()
    assert lines[0] == "series," + ",".join(f"motif_{code}" for code in range(8))
    counts = np.array([[int(c) for c in line.split(",")[1:]] for line in lines[1:]])
    assert np.array_equal(counts, kt.visibility_motifs(rows, kind="horizontal"))


def test_plot_file(series_csv, tmp_path):
    pytest.importorskip("matplotlib")
    target = tmp_path / "picture.png"
    assert cli("plot", series_csv, "-o", target, "--width", 400, "--height", 300).returncode == 0
    assert target.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert int.from_bytes(target.read_bytes()[16:20], "big") == 400


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_variant_options_match_the_array_functions(series_csv, tmp_path, kind):
    keywords = {"penetrable": 1, "window": 3, "weight": "slope", "direction": "top_to_bottom"}
    function = kt.natural_visibility_edges if kind == "natural" else kt.horizontal_visibility_edges
    edges, weights = function(np.array(Y), **keywords)
    options = ["--kind", kind, "--penetrable", 1, "--window", 3, "--weight", "slope", "--direction", "top_to_bottom"]
    lines = cli("edges", series_csv, *options).stdout.strip().splitlines()
    assert lines[0] == "source,target,weight"
    rows = [line.split(",") for line in lines[1:]]
    assert [(int(a), int(b)) for a, b, _ in rows] == [tuple(e) for e in edges.tolist()]
    assert [float(w) for _, _, w in rows] == weights.tolist()  # every digit kept
    assert cli("edges", series_csv, *options, "-o", tmp_path / "e.npy").returncode == 0
    records = np.load(tmp_path / "e.npy")
    assert np.array_equal(records["source"], edges[:, 0]) and np.array_equal(records["weight"], weights)
    graph = kt.natural_visibility(Y, penetrable=1, window=3) if kind == "natural" else \
        kt.horizontal_visibility(Y, penetrable=1, window=3)
    summary = json.loads(cli("stats", series_csv, "--kind", kind, "--penetrable", 1, "--window", 3, "--json").stdout)
    assert summary["edge_count"] == graph.edge_count()


@pytest.mark.parametrize("arguments, code, message", [
    (("edges", "x.csv", "--penetrable", "-1"), 2, "at least 0"),
    (("edges", "x.csv", "--window", "0"), 2, "at least 1"),
    (("edges", "x.csv", "--weight", "mass"), 2, "invalid choice"),
    (("edges", "nan.csv", "--weight", "slope", "-o", "g.graphml"), 2, "unweighted"),
    (("edges",), 2, "the following arguments are required"),
    (("edges", "x.csv", "--kind", "vertical"), 2, "invalid choice"),
    (("edges", "missing.csv"), 1, "missing.csv"),
    (("edges", "bad.csv"), 1, "bad.csv"),
    (("edges", "bad.csv", "--column", "nope"), 1, "no column 'nope'"),
    (("edges", "nan.csv"), 1, "non-finite value at index 1"),
    (("edges", "nan.csv", "-o", "out.xyz"), 1, "unknown output format"),
    # A typo in the data column is an error, not a reason to take the time column.
    (("edges", "typo.csv"), 1, "typo.csv: column 'value', row 2: 'x' is not a number"),
    (("motifs", "typo.csv"), 1, "column 'value', row 2"),
    (("edges", "typo.csv", "--column", "value"), 1, "column 'value', row 2"),
    # Columns without a header do not run together into one series.
    (("edges", "table.csv"), 1, "table.csv: 2 numbers on line 2 of a file without a header"),
    (("plot", "x.csv", "-o", "p.png", "--width", "0"), 2, "at least 1"),
    (("plot", "x.csv", "-o", "p.png", "--max-edges", "-3"), 2, "at least 1"),
])
def test_errors_are_one_line(tmp_path, arguments, code, message):
    (tmp_path / "bad.csv").write_text("value\n1\nabc\n")
    (tmp_path / "nan.csv").write_text("value\n1\ninf\n")
    (tmp_path / "typo.csv").write_text("time,value\n0,1\n1,x\n2,3\n")
    (tmp_path / "table.csv").write_text("1\n3,2\n4,0\n")
    proc = cli(*arguments, cwd=tmp_path)
    assert proc.returncode == code and message in proc.stderr
    assert "Traceback" not in proc.stderr
    if code == 1:
        assert proc.stderr.count("\n") == 1
        assert "Traceback" in cli("--debug", *arguments, cwd=tmp_path).stderr


@pytest.mark.parametrize("gap", ["1,", "1", "1, "])
@pytest.mark.parametrize("columns", [("--column", "value", "--time-column", "time"), ()])
def test_empty_and_absent_cells_are_missing_samples(tmp_path, gap, columns):
    path = tmp_path / "gaps.csv"
    path.write_text(f"time,label,value\n0,a,1\n{gap.replace(',', ',b,')}\n2,c,3\n3,d,2\n")
    proc = cli("edges", path, *columns)
    # The time column holds the indices, so both give the same positions.
    graph = kt.TimeSeries.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, None, 3.0, 2.0]).natural_visibility()
    assert proc.returncode == 0, proc.stderr
    assert np.array_equal(csv_edges(proc.stdout), graph.edge_array())


@pytest.mark.parametrize("columns", [("--column", "value"), ()])
def test_a_row_of_separators_alone_is_a_row_of_missing_samples(tmp_path, columns):
    # As pandas reads it; dropping the row moved every later sample forward.
    path = tmp_path / "gaps.csv"
    path.write_text("time,value\n0,1\n,\n\n2,3\n3,2\n")
    proc = cli("edges", path, *columns)
    graph = kt.TimeSeries.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, None, 3.0, 2.0]).natural_visibility()
    assert proc.returncode == 0, proc.stderr
    assert np.array_equal(csv_edges(proc.stdout), graph.edge_array())


# Text files as spreadsheets and editors write them: each holds the samples 1, 3, 2, 4.
@pytest.mark.parametrize("content", [
    b"\xef\xbb\xbf1\n3\n2\n4\n",  # a byte order mark before the first number
    b"\xef\xbb\xbfvalue\r\n1\r\n3\r\n2\r\n4\r\n",  # before the header, with CRLF lines
    b'"value"\n"1"\n"3"\n"2"\n"4"\n',
    b"1,\n3,\n2,\n4,\n",  # a trailing separator on each line
    b"1,3,2,4\n",
    b",0\n0,1\n1,3\n2,2\n3,4\n",  # pandas' to_csv of a frame of numbered columns: a header
])
def test_headerless_and_marked_files_keep_every_sample(tmp_path, content):
    path = tmp_path / "y.csv"
    path.write_bytes(content)
    expected = kt.natural_visibility_edges([1.0, 3.0, 2.0, 4.0])
    proc = cli("edges", path)
    assert proc.returncode == 0, proc.stderr
    assert np.array_equal(csv_edges(proc.stdout), expected)
    piped = subprocess.run([sys.executable, "-m", "kaltrope", "edges", "-"], input=content, capture_output=True,
                           env=child_environment(), timeout=120)
    assert np.array_equal(csv_edges(piped.stdout.decode()), expected)
    if b"value" in content:
        assert np.array_equal(csv_edges(cli("edges", path, "--column", "value").stdout), expected)


def test_npy_files_are_read_and_written_where_named_whatever_the_case(tmp_path):
    np.save(tmp_path / "y.npy", np.array(Y))
    (tmp_path / "y.npy").rename(tmp_path / "Y.NPY")
    target = tmp_path / "edges.NPY"
    assert cli("edges", tmp_path / "Y.NPY", "-o", target).returncode == 0
    assert sorted(p.name for p in tmp_path.iterdir()) == ["Y.NPY", "edges.NPY"]
    assert np.array_equal(np.load(target), kt.natural_visibility_edges(Y))
    assert cli("motifs", tmp_path / "Y.NPY").stdout.splitlines()[1].startswith("Y,")


@pytest.mark.parametrize("array, message", [
    (np.array([1 + 2j, 3.0, 2.0]), "complex128"),  # the imaginary parts would be dropped
    (np.zeros(3, dtype=[("a", "f8"), ("b", "i4")]), "numbers"),
    (np.array(["2024-01-01", "2024-01-03"], dtype="datetime64[D]"), "datetime64"),
    (np.array(["1", "2"]), "<U1"),
])
@pytest.mark.parametrize("command", ["edges", "motifs"])
def test_npy_files_of_other_than_real_numbers_are_refused(tmp_path, array, message, command):
    np.save(tmp_path / "y.npy", array)
    proc = cli(command, tmp_path / "y.npy")
    assert proc.returncode == 1 and message in proc.stderr and "Traceback" not in proc.stderr
    assert proc.stdout == ""


def test_motif_names_with_separators_are_quoted(tmp_path):
    path = tmp_path / "named.csv"
    path.write_text('"north, upper",south\n1,2\n3,1\n2,3\n4,0\n')
    rows = list(__import__("csv").reader(cli("motifs", path).stdout.splitlines()))
    assert [row[0] for row in rows] == ["series", "north, upper", "south"]
    assert all(len(row) == 9 for row in rows)


@pytest.mark.parametrize("command", [("edges",), ("edges", "-o", "g.graphml"), ("stats",), ("plot", "-o", "p.png")])
@pytest.mark.parametrize("times, message", [
    # A missing value is a gap in the series; a missing position leaves a sample nowhere.
    (("0", "1", "", "3"), "row 3: the position is missing"),
    (("0", "1", "inf", "3"), "row 3: the position is not finite"),
    # The graph objects behind stats, plot and the graph formats placed the
    # samples at their indices instead, where the edge tables failed.
    (("0", "2", "2", "3"), "row 3: the positions must increase strictly (2.0 then 2.0)"),
    (("0", "2", "1", "3"), "row 3: the positions must increase strictly (2.0 then 1.0)"),
])
def test_positions_that_do_not_increase_are_an_error(tmp_path, command, times, message):
    rows = zip(times, ("1", "3", "2", ""))
    (tmp_path / "gaps.csv").write_text("time,value\n" + "".join(f"{t},{v}\n" for t, v in rows))
    proc = cli(command[0], "gaps.csv", "--column", "value", "--time-column", "time", *command[1:], cwd=tmp_path)
    assert proc.returncode == 1 and f"column 'time', {message}" in proc.stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ["gaps.csv"]


def test_a_cell_too_large_for_the_csv_reader_is_a_data_error(tmp_path):
    (tmp_path / "wide.csv").write_text("value\n" + "9" * 200_000 + "\n")
    proc = cli("edges", tmp_path / "wide.csv")
    assert proc.returncode == 1 and "field larger than field limit" in proc.stderr
    assert "Traceback" not in proc.stderr


def test_plot_of_a_series_with_gaps(tmp_path):
    pytest.importorskip("matplotlib")
    # Empty cells are missing samples for the plot as for the edges.
    (tmp_path / "gaps.csv").write_text("value,label\n1,a\n3,b\n,c\n2,d\n4,e\n")
    proc = cli("plot", tmp_path / "gaps.csv", "--column", "value", "-o", tmp_path / "p.png")
    assert proc.returncode == 0, proc.stderr
    assert (tmp_path / "p.png").read_bytes()[:4] == b"\x89PNG"
