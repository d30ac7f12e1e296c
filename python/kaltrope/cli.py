"""The command line: ``kaltrope edges|stats|motifs|plot`` (also ``python -m kaltrope``).

Errors are one line on standard error: exit code 2 for bad arguments, 1 for
bad data, and a traceback only with ``--debug``.
"""

from __future__ import annotations

import argparse
import csv
import io
import json
import os
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path
from typing import Any, Callable, Sequence

import numpy as np

import _kaltrope as kt

GRAPH_FORMATS = {".graphml": "to_graphml", ".json": "to_json", ".dot": "to_dot"}
EDGE_FORMATS = (".csv", ".npy", ".parquet", *GRAPH_FORMATS)
MOTIF_KINDS = ("natural", "horizontal")


WEIGHTS = ("distance", "sq_distance", "v_distance", "abs_v_distance", "h_distance", "abs_h_distance", "slope",
           "abs_slope", "angle", "abs_angle")


class DataError(Exception):
    """Input that cannot be read or used: exit code 1."""


class UsageError(Exception):
    """Options that do not go together: exit code 2, as argparse's own."""


# ----------------------------------------------------------------------------- input


def _filled_rows(text: str, source: str) -> list[list[str]]:
    """The rows of a CSV text but its blank lines. A row of separators alone
    (',,') is a row of missing samples, as in pandas: dropping it would move
    every later sample to an earlier index."""
    try:
        return [row for row in csv.reader(io.StringIO(text)) if len(row) > 1 or (row and row[0].strip())]
    except csv.Error as error:  # a cell past the csv module's size limit, say
        raise DataError(f"{source}: {error}") from None


def _numbers(text: str, source: str) -> np.ndarray:
    """One number a line, or the numbers of a single line. Several numbers
    on one of several lines make a table without a header, whose columns
    would otherwise run together into one series."""
    lines = [[cell.strip() for cell in line.split(",") if cell.strip()] for line in text.splitlines()]
    lines = [cells for cells in lines if cells]
    if len(lines) > 1:
        wide = next((number for number, cells in enumerate(lines, start=1) if len(cells) > 1), None)
        if wide is not None:
            raise DataError(f"{source}: {len(lines[wide - 1])} numbers on line {wide} of a file without a header; "
                            "give it a header line to choose a column")
    cells = [cell for cells in lines for cell in cells]
    try:
        return np.array([float(cell) for cell in cells], dtype=np.float64)
    except ValueError as error:
        raise DataError(f"{source}: {error}") from None


def _csv_rows(text: str, source: str) -> list[list[str]]:
    """The rows of a CSV text that hold something, the header first."""
    rows = _filled_rows(text, source)
    if not rows:
        raise DataError(f"{source}: no rows")
    return rows


def _column(rows: list[list[str]], index: int, source: str) -> np.ndarray:
    """The numbers of a column below the header; an empty or absent cell is a
    missing sample (NaN), as in pandas."""
    name = rows[0][index].strip()
    values = np.empty(len(rows) - 1, dtype=np.float64)
    for row_number, row in enumerate(rows[1:], start=1):
        cell = row[index].strip() if index < len(row) else ""
        try:
            values[row_number - 1] = float(cell) if cell else np.nan
        except ValueError:
            raise DataError(f"{source}: column '{name}', row {row_number}: '{cell}' is not a number "
                            "(leave the cell empty for a missing sample)") from None
    return values


def _csv_columns(text: str, source: str, names: Sequence[str]) -> list[np.ndarray]:
    rows = _csv_rows(text, source)
    header = [cell.strip() for cell in rows[0]]
    columns = []
    for name in names:
        if name not in header:
            raise DataError(f"{source}: no column '{name}' (columns: {', '.join(header)})")
        columns.append(_column(rows, header.index(name), source))
    return columns


def _numeric_columns(text: str, source: str) -> tuple[list[str], list[np.ndarray]]:
    """Every column of a CSV file that holds numbers: its first filled cell is
    one. Text in such a column further down is an error, not a reason to pass
    over the column, which would quietly put another column in its place."""
    rows = _csv_rows(text, source)
    names, columns = [], []
    for index, name in enumerate(rows[0]):
        first = next((row[index].strip() for row in rows[1:] if index < len(row) and row[index].strip()), None)
        if first is None or not _is_number(first):
            continue
        names.append(name.strip())
        columns.append(_column(rows, index, source))
    if not columns:
        raise DataError(f"{source}: no numeric column")
    return names, columns


def _is_number(text: str) -> bool:
    try:
        float(text)
    except ValueError:
        return False
    return True


def _has_header(text: str) -> bool:
    """Whether the first line names columns rather than holding numbers. The
    empty cells of trailing separators ('1,') hold nothing; a leading empty
    one names the index column of pandas' to_csv."""
    first = next((line for line in text.splitlines() if line.strip()), "")
    cells = first.split(",")
    while len(cells) > 1 and not cells[-1].strip():
        cells.pop()
    return not all(_is_number(cell) for cell in cells)


def _read_text(path: str) -> str:
    """The text of a file or of standard input, without the byte order mark
    that spreadsheets write first (it would stick to the first cell)."""
    if path == "-":
        return sys.stdin.read().removeprefix("\ufeff")
    try:
        return Path(path).read_text(encoding="utf-8-sig")
    except (OSError, UnicodeDecodeError) as error:
        raise DataError(f"{path}: {error}") from None


def _load_npy(path: str) -> np.ndarray:
    """The array of an NPY file as float64: integers, booleans and floats
    only (complex numbers would lose their imaginary parts, dates and text
    are no samples)."""
    try:
        values = np.load(path, allow_pickle=False)
    except (OSError, ValueError) as error:
        raise DataError(f"{path}: {error}") from None
    if values.dtype.kind not in "biuf":
        raise DataError(f"{path}: expected an array of real numbers, got {values.dtype}")
    return values.astype(np.float64)


def read_series(path: str, column: str | None, time_column: str | None) -> tuple[np.ndarray, np.ndarray | None]:
    """The series (and its positions) of a CSV or NPY file or standard input."""
    if path != "-" and path.lower().endswith(".npy"):
        values = _load_npy(path)
        if values.ndim != 1:
            raise DataError(f"{path}: expected a 1-D array, got shape {values.shape}")
        return values, None
    text = _read_text(path)
    source = path if path != "-" else "standard input"
    if column is None:
        if time_column is not None:
            raise DataError("--time-column needs --column")
        if not _has_header(text):
            return _numbers(text, source), None
        return _numeric_columns(text, source)[1][-1], None
    names = [column] + ([time_column] if time_column else [])
    columns = _csv_columns(text, source, names)
    if time_column is None:
        return columns[0], None
    return columns[0], _positions(columns[1], time_column, source)


def _positions(column: np.ndarray, name: str, source: str) -> np.ndarray:
    """A time column checked for every command alike: a graph object would
    otherwise quietly place the samples at their indices."""
    # A missing value is a gap in the series; a missing position leaves its sample nowhere.
    gaps = np.flatnonzero(~np.isfinite(column))
    if len(gaps):
        problem = "is missing" if np.isnan(column[gaps[0]]) else "is not finite"
        raise DataError(f"{source}: column '{name}', row {gaps[0] + 1}: the position {problem}")
    steps = np.flatnonzero(~(np.diff(column) > 0))
    if len(steps):
        row = steps[0] + 2
        raise DataError(f"{source}: column '{name}', row {row}: the positions must increase strictly "
                        f"({float(column[row - 2])!r} then {float(column[row - 1])!r})")
    return column


def read_many(path: str) -> tuple[list[str], list[np.ndarray]]:
    """Every series of a file: the rows of a 2-D NPY array or the numeric columns of a CSV file."""
    if path != "-" and path.lower().endswith(".npy"):
        values = _load_npy(path)
        if values.ndim == 1:
            return [Path(path).stem], [values]
        if values.ndim != 2:
            raise DataError(f"{path}: expected a 1-D or 2-D array, got shape {values.shape}")
        return [str(row) for row in range(len(values))], list(values)
    text = _read_text(path)
    source = path if path != "-" else "standard input"
    if not _has_header(text):
        return [Path(path).stem if path != "-" else "stdin"], [_numbers(text, source)]
    return _numeric_columns(text, source)


# ----------------------------------------------------------------------------- output


def _variant(args: argparse.Namespace) -> dict[str, Any]:
    """The graph keywords of the command's variant options."""
    return {"penetrable": args.penetrable, "window": args.window}


def _edge_keywords(args: argparse.Namespace) -> dict[str, Any]:
    """The edge keywords of the command's variant options."""
    return {**_variant(args), "weight": args.weight, "direction": args.direction}


def _edges_of(
    args: argparse.Namespace, values: np.ndarray, positions: np.ndarray | None
) -> tuple[np.ndarray, np.ndarray | None]:
    """The edges and, with --weight, their weights."""
    # Missing samples (empty cells) are isolated nodes of the series' graph.
    if np.isnan(values).any():
        if args.weight is not None or args.direction != "left_to_right":
            raise DataError("--weight and --direction need a series without missing values")
        return _graph_of(args, values, positions).edge_array(), None
    if args.kind == "horizontal":
        result = kt.horizontal_visibility_edges(values, **_edge_keywords(args))
    else:
        result = kt.natural_visibility_edges(values, positions, algorithm=args.algorithm, **_edge_keywords(args))
    return result if args.weight is not None else (result, None)


def _graph_of(args: argparse.Namespace, values: np.ndarray, positions: np.ndarray | None) -> Any:
    stamps = positions if positions is not None else np.arange(len(values), dtype=np.float64)
    samples = [None if np.isnan(value) else value for value in values.tolist()]
    series = kt.TimeSeries.with_missing(stamps, samples)
    build = series.horizontal_visibility if args.kind == "horizontal" else series.natural_visibility
    return build(**_variant(args))


def _edge_table(edges: np.ndarray, weights: np.ndarray | None) -> dict[str, np.ndarray]:
    table = {"source": edges[:, 0], "target": edges[:, 1]}
    return table if weights is None else {**table, "weight": weights}


def _edge_csv(table: dict[str, np.ndarray]) -> str:
    rows = zip(*(column.tolist() for column in table.values()))
    lines = [",".join(table)] + [",".join(map(repr, row)) for row in rows]
    return "\n".join(lines) + "\n"


def write_edges(args: argparse.Namespace, values: np.ndarray, positions: np.ndarray | None, target: str) -> None:
    suffix = Path(target).suffix.lower() if target != "-" else ".csv"
    if suffix in GRAPH_FORMATS:
        text = getattr(_graph_of(args, values, positions), GRAPH_FORMATS[suffix])()
        _write_text(target, text)
        return
    edges, weights = _edges_of(args, values, positions)
    table = _edge_table(edges, weights)
    if suffix == ".csv":
        _write_text(target, _edge_csv(table))
    elif suffix == ".npy":
        # Pairs as an (E, 2) array; with weights, a record per edge.
        if weights is None:
            array = edges
        else:
            array = np.empty(len(edges), dtype=[("source", "i8"), ("target", "i8"), ("weight", "f8")])
            for name, column in table.items():
                array[name] = column
        # Through an open file: np.save adds ".npy" to a name that does not end in it, as "edges.NPY" does.
        with open(target, "wb") as file:
            np.save(file, array)
    else:
        try:
            import pyarrow as pa  # type: ignore[import-untyped]
            import pyarrow.parquet as pq  # type: ignore[import-untyped]
        except ImportError:
            raise DataError("Parquet output needs pyarrow: pip install pyarrow") from None
        pq.write_table(pa.table(table), target)


def _write_text(target: str, text: str) -> None:
    if target == "-":
        sys.stdout.write(text)
        return
    try:
        Path(target).write_text(text, encoding="utf-8")
    except OSError as error:
        raise DataError(f"{target}: {error}") from None


class Progress:
    """A progress bar on standard error, only on a terminal and unless quiet."""

    def __init__(self, total: int, quiet: bool) -> None:
        self.total, self.done = total, 0
        self.shown = total > 1 and not quiet and sys.stderr.isatty()

    def step(self) -> None:
        self.done += 1
        if self.shown:
            filled = int(30 * self.done / self.total)
            sys.stderr.write(f"\r[{'#' * filled}{'.' * (30 - filled)}] {self.done}/{self.total}")
            if self.done == self.total:
                sys.stderr.write("\n")
            sys.stderr.flush()


def _each(inputs: Sequence[str], work: Callable[[str], None], quiet: bool) -> None:
    """work(path) for every input, in parallel; the first failure is raised."""
    progress = Progress(len(inputs), quiet)
    with ThreadPoolExecutor(max_workers=min(len(inputs), os.cpu_count() or 1)) as pool:
        futures = [pool.submit(work, path) for path in inputs]
        for future in futures:
            future.result()
            progress.step()


# ----------------------------------------------------------------------------- commands


def command_edges(args: argparse.Namespace) -> None:
    if len(args.inputs) > 1 and args.output in (None, "-"):
        raise DataError("several inputs need --output DIRECTORY")
    if len(args.inputs) == 1 and args.output not in (None, "-"):
        suffix = Path(args.output).suffix.lower()
        if suffix not in EDGE_FORMATS:
            raise DataError(f"{args.output}: unknown output format '{suffix}' ({', '.join(EDGE_FORMATS)})")
    suffix = args.format if len(args.inputs) > 1 else Path(args.output or "-.csv").suffix.lower()
    if suffix in GRAPH_FORMATS and (args.weight is not None or args.direction != "left_to_right"):
        raise UsageError(f"{suffix} holds the undirected, unweighted graph: --weight and --direction need "
                         "CSV, NPY or Parquet output")
    stems = [Path(path).stem for path in args.inputs]
    if len(args.inputs) > 1 and len(set(stems)) < len(stems):
        raise DataError("several inputs have the same name, so their outputs would overwrite each other")

    def run(path: str) -> None:
        values, positions = read_series(path, args.column, args.time_column)
        target = args.output or "-"
        if len(args.inputs) > 1:
            Path(target).mkdir(parents=True, exist_ok=True)
            target = str(Path(target) / (Path(path).stem + args.format))
        write_edges(args, values, positions, target)

    _each(args.inputs, run, args.quiet)


def command_stats(args: argparse.Namespace) -> None:
    values, positions = read_series(args.input, args.column, args.time_column)
    statistics = _graph_of(args, values, positions).compute_statistics()
    if args.json:
        names = [name for name in dir(statistics) if not name.startswith("_")]
        fields = {name: getattr(statistics, name) for name in names if not callable(getattr(statistics, name))}
        sys.stdout.write(json.dumps(fields, indent=2, sort_keys=True) + "\n")
    else:
        sys.stdout.write(str(statistics) + "\n")


def command_motifs(args: argparse.Namespace) -> None:
    rows: list[tuple[str, np.ndarray]] = []
    for path in args.inputs:
        names, series = read_many(path)
        rows += [(f"{Path(path).name}:{name}" if len(args.inputs) > 1 else name, s) for name, s in zip(names, series)]
    text = io.StringIO()
    # Quoted where a name holds a separator or a quote, as the input column was.
    writer = csv.writer(text, lineterminator="\n")
    writer.writerow(["series", *(f"motif_{code}" for code in range(8))])
    for name, values in rows:
        counts = kt.visibility_motifs(values, kind=args.kind)
        writer.writerow([name, *(int(c) for c in counts)])
    _write_text(args.output or "-", text.getvalue())


def command_plot(args: argparse.Namespace) -> None:
    from kaltrope.plotting import plot

    values, positions = read_series(args.input, args.column, args.time_column)
    import matplotlib

    matplotlib.use("Agg")
    # The plain graph's lines come from the plot itself; a variant's, or those
    # of a series with missing samples (isolated nodes), are given.
    plain = args.penetrable == 0 and args.window is None and not np.isnan(values).any()
    edges = None if plain else _graph_of(args, values, positions).edge_array()
    ax = plot(values, edges=edges, kind=args.kind, x=positions, max_edges=args.max_edges)
    ax.figure.set_size_inches(args.width / 100, args.height / 100)
    try:
        ax.figure.savefig(args.output, dpi=100)
    except (OSError, ValueError) as error:
        raise DataError(f"{args.output}: {error}") from None


# ----------------------------------------------------------------------------- parser


def _whole_number(least: int) -> Callable[[str], int]:
    def parse(text: str) -> int:
        try:
            number = int(text)
        except ValueError:
            number = least - 1
        if number < least:
            raise argparse.ArgumentTypeError(f"expected a whole number of at least {least}, got {text!r}")
        return number

    return parse


def _input_options(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--column", help="the value column of a CSV input (default: its last numeric column)")
    parser.add_argument("--time-column", help="a column of strictly increasing sample positions")
    parser.add_argument("--kind", choices=("natural", "horizontal"), default="natural")
    parser.add_argument("--penetrable", type=_whole_number(0), default=0, metavar="N",
                        help="join pairs with at most N samples in the way (default 0)")
    parser.add_argument("--window", type=_whole_number(1), metavar="W",
                        help="only pairs at most W samples apart (default: all)")


def parser() -> argparse.ArgumentParser:
    main = argparse.ArgumentParser(prog="kaltrope", description="Visibility graphs of time series.")
    main.add_argument("--debug", action="store_true", help="show tracebacks")
    commands = main.add_subparsers(dest="command", required=True)

    edges = commands.add_parser("edges", help="the edges of one or many series")
    edges.add_argument("inputs", nargs="+", help="CSV or NPY files, or - for standard input")
    _input_options(edges)
    edges.add_argument("--algorithm", choices=("auto", "scan", "hull"), default="auto")
    edges.add_argument("--weight", choices=WEIGHTS, help="a weight column for each edge (CSV, NPY, Parquet)")
    edges.add_argument("--direction", choices=("left_to_right", "top_to_bottom"), default="left_to_right",
                       help="pairs as (earlier, later) or (higher, lower) sample")
    edges.add_argument("-o", "--output", help=f"a file ({', '.join(EDGE_FORMATS)}), a directory for many inputs, "
                                              "or - for standard output (CSV)")
    edges.add_argument("--format", choices=EDGE_FORMATS, default=".csv", help="the format of each file of many")
    edges.add_argument("-q", "--quiet", action="store_true", help="no progress bar")
    edges.set_defaults(run=command_edges)

    stats = commands.add_parser("stats", help="the statistics summary of a series' graph")
    stats.add_argument("input")
    _input_options(stats)
    stats.add_argument("--json", action="store_true", help="the fields as JSON")
    stats.set_defaults(run=command_stats)

    motifs = commands.add_parser("motifs", help="the sequence motif histogram of every series")
    motifs.add_argument("inputs", nargs="+", help="CSV files (one series a numeric column) or NPY files (a row each)")
    motifs.add_argument("--kind", choices=MOTIF_KINDS, default="natural")
    motifs.add_argument("-o", "--output", help="a CSV file (default: standard output)")
    motifs.set_defaults(run=command_motifs)

    picture = commands.add_parser("plot", help="a picture of a series with its visibility lines")
    picture.add_argument("input")
    _input_options(picture)
    picture.add_argument("-o", "--output", required=True, help="a PNG or SVG file")
    picture.add_argument("--max-edges", type=_whole_number(1), default=5000)
    picture.add_argument("--width", type=_whole_number(1), default=1000, help="pixels")
    picture.add_argument("--height", type=_whole_number(1), default=500, help="pixels")
    picture.set_defaults(run=command_plot)
    return main


def main(argv: Sequence[str] | None = None) -> int:
    args = parser().parse_args(argv)
    try:
        args.run(args)
    except UsageError as error:
        if args.debug:
            raise
        print(f"kaltrope: error: {error}", file=sys.stderr)
        return 2
    except (DataError, ValueError, OSError, ImportError) as error:
        if args.debug:
            raise
        print(f"kaltrope: error: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        if args.debug:
            raise
        return 130
    return 0
