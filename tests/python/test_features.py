"""kaltrope.features: each column against an independent computation
(networkx, brute-force counts, a numerical maximum of the likelihood), the
exponential law of horizontal graphs of noise, the graph of an edge array,
edge cases, errors naming the series, and results that do not depend on the
number of threads."""
import math

import networkx as nx
import numpy as np
import pandas as pd
import pytest
from hypothesis import given, settings, strategies as st
from scipy.optimize import minimize_scalar

import kaltrope as kt
from kaltrope._features import COLUMNS, tail_exponent
from oracles import horizontal_oracle, natural_oracle
from processes import run_python_json
from strategies import series

ORACLES = {"natural": natural_oracle, "horizontal": horizontal_oracle}


@pytest.fixture
def restore_limit():
    before = kt.get_num_threads()
    yield
    kt.set_num_threads(before)


def expected_row(y, kind):
    """The features of one series from its brute-force edges, networkx and NumPy."""
    edges = ORACLES[kind](y)
    graph = nx.Graph()
    graph.add_nodes_from(range(len(y)))
    graph.add_edges_from(edges)
    degrees = np.array([d for _, d in sorted(graph.degree())])
    _, counts = np.unique(degrees, return_counts=True)
    p = counts / len(y)
    pairs = [(a, b) for a, b in edges for a, b in ((a, b), (b, a))]
    ends = np.array([[degrees[a], degrees[b]] for a, b in pairs], dtype=float).reshape(-1, 2)
    spread = ends.std(axis=0) if len(ends) else np.zeros(2)
    assortativity = 0.0 if len(ends) == 0 or spread[0] == 0 else np.corrcoef(ends.T)[0, 1]
    motifs = kt.visibility_motifs(y, kind)
    return {
        "nodes": len(y), "edges": len(edges), "degree_mean": degrees.mean(), "degree_variance": degrees.var(),
        "degree_max": degrees.max(), "degree_entropy": -(p * np.log2(p)).sum(),
        "clustering": nx.average_clustering(graph), "transitivity": nx.transitivity(graph),
        "assortativity": assortativity,
        **{f"motif_{code}": (motifs[code] / motifs.sum() if motifs.sum() else math.nan) for code in range(8)},
    }


@settings(max_examples=60)
@given(series(min_size=1, max_size=30), st.sampled_from(["natural", "horizontal"]))
def test_columns_against_networkx_and_brute_force(y, kind):
    row = kt.features([np.array(y, dtype=float)], kind=kind).iloc[0]
    assert list(row.index) == list(COLUMNS)
    for name, value in expected_row(np.array(y, dtype=float), kind).items():
        assert row[name] == pytest.approx(value, abs=1e-12, nan_ok=True), name
    assert 1 <= row["communities"] <= len(y)


def likelihood_maximum(degrees):
    """lambda maximising the exponential tail's log-likelihood, found numerically."""
    k_min = sorted(degrees)[(len(degrees) - 1) // 2]
    excess = np.array([k - k_min for k in degrees if k >= k_min], dtype=float)

    def minus_log_likelihood(lam):
        return -(len(excess) * math.log1p(-math.exp(-lam)) - lam * excess.sum())

    return minimize_scalar(minus_log_likelihood, bounds=(1e-6, 50), method="bounded",
                           options={"xatol": 1e-10}).x


@settings(max_examples=60)
@given(st.lists(st.integers(1, 40), min_size=1, max_size=60))
def test_tail_exponent_is_the_likelihood_maximum(degrees):
    k_min = sorted(degrees)[(len(degrees) - 1) // 2]
    fitted = tail_exponent(np.array(degrees, dtype=np.int64))
    if all(k == k_min for k in degrees if k >= k_min):
        assert fitted == math.inf
    elif likelihood_maximum(degrees) < 49:
        assert fitted == pytest.approx(likelihood_maximum(degrees), rel=1e-6)


def test_horizontal_graphs_of_noise_have_the_exponent_of_their_law():
    # P(k) = (1/3)(2/3)^(k-2) for every i.i.d. series: lambda = log(3/2).
    rng = np.random.default_rng(5)
    table = kt.features([rng.random(100_000), rng.standard_normal(100_000)], kind="horizontal")
    assert table["tail_exponent"].to_numpy() == pytest.approx([math.log(1.5)] * 2, abs=0.02)
    assert table["degree_mean"].to_numpy() == pytest.approx([4.0, 4.0], abs=1e-3)


def test_table_layout_and_short_series():
    table = kt.features([[5.0], [1.0, 2.0], [3.0, 1.0, 2.0], [1.0, 3.0, 2.0, 4.0]])
    assert table.index.name == "series" and table.index.tolist() == [0, 1, 2, 3]
    assert table.dtypes[["nodes", "edges", "degree_max", "communities"]].tolist() == [np.int64] * 4
    assert (table.dtypes.drop(["nodes", "edges", "degree_max", "communities"]) == np.float64).all()
    assert table["edges"].tolist() == [0, 1, 3, 4]
    motifs = table[[f"motif_{code}" for code in range(8)]]
    assert motifs.iloc[:3].isna().all(axis=None)
    assert motifs.iloc[3].tolist() == [0, 0, 1, 0, 0, 0, 0, 0]      # only [1, 3]: code 2
    assert table["tail_exponent"].iloc[0] == math.inf
    empty = kt.features(np.empty((0, 10)))
    assert empty.shape == (0, len(COLUMNS)) and empty.index.name == "series"
    assert empty.dtypes.equals(table.dtypes)


def test_two_dimensional_array_likes_are_rows_of_series():
    # A DataFrame iterates over its column labels and a 2-D memoryview cannot
    # be iterated at all: both are read as the array they hold.
    X = np.random.default_rng(4).random((3, 30))
    expected = kt.features(X)
    for like in (pd.DataFrame(X), pd.DataFrame(X, columns=[f"t{i}" for i in range(30)]), memoryview(X)):
        pd.testing.assert_frame_equal(kt.features(like), expected, check_exact=True)
    with pytest.raises(ValueError, match="series 1: non-finite value at index 2"):
        kt.features(pd.DataFrame([[1.0, 2.0, 3.0], [1.0, 2.0, np.nan]]))
    # A Series of series is still one series per item, of any lengths.
    ragged = pd.Series([X[0], X[1, :10]])
    assert kt.features(ragged)["nodes"].tolist() == [30, 10]


def test_errors_name_the_series():
    with pytest.raises(ValueError, match="series 2: the series is empty"):
        kt.features([[1.0, 2.0], [3.0], []])
    with pytest.raises(ValueError, match="series 1: non-finite value at index 1"):
        kt.features(np.array([[1.0, 2.0], [3.0, np.nan]]))
    with pytest.raises(ValueError, match="2-D array of series"):
        kt.features(np.arange(5.0))
    with pytest.raises(ValueError, match="series 1: expected a 1-D series"):
        kt.features([[1.0], [[1.0, 2.0]]])
    # One series alone is no iterable of series.
    with pytest.raises(ValueError, match=r"^series 0 is a single value \(1.0\): .*for one series, pass \[y\]"):
        kt.features([1.0, 2.0, 3.0])
    with pytest.raises(ValueError, match="kind must be 'natural' or 'horizontal'"):
        kt.features([[1.0]], kind="vector_natural")
    with pytest.raises(TypeError):
        kt.features([[1.0, 2.0]], no_such_keyword=1)


def test_threads_change_nothing_and_errors_are_the_first_series(restore_limit):
    rng = np.random.default_rng(9)
    rows = [rng.random(n) for n in rng.integers(1, 3000, size=40)]
    tables = []
    for threads in (1, 2, 5):
        kt.set_num_threads(threads)
        tables.append(kt.features(rows))
        bad = rows[:7] + [np.array([np.inf])] + rows[7:20] + [np.array([])] + rows[20:]
        with pytest.raises(ValueError, match="^series 7: "):
            kt.features(bad)
    for table in tables[1:]:
        pd.testing.assert_frame_equal(table, tables[0], check_exact=True)


def test_keywords_go_through_the_array_function():
    # The graph of the edge array it returns, which here is the graph of the series.
    rows = np.random.default_rng(4).random((5, 400))
    pd.testing.assert_frame_equal(kt.features(rows, algorithm="hull"), kt.features(rows), check_exact=True)
    with pytest.raises(ValueError, match="algorithm"):
        kt.features(rows, algorithm="fastest")


INTERRUPTED = """
import json, signal, threading
import pandas  # imported before the signal, which is meant for the series
import numpy as np
import kaltrope as kt
kt.set_num_threads(3)
rows = np.random.default_rng(0).random((400, 20_000))
signal.setitimer(signal.ITIMER_REAL, 0.3)
signal.signal(signal.SIGALRM, signal.default_int_handler)
try:
    kt.features(rows)
    outcome = "finished"
except KeyboardInterrupt:
    outcome = "interrupted"
print(json.dumps([outcome, threading.active_count(), len(kt.features(rows[:2]))]))
"""


def test_an_interruption_stops_the_series_and_their_threads():
    assert run_python_json(INTERRUPTED) == ["interrupted", 1, 2]
