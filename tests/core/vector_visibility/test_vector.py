"""Vector visibility: the natural and horizontal engines against brute-force
implementations of the projected tests, sequential against chunked-parallel
results, the six weights against NumPy, batches against single windows, and
the conversions, validation order, messages and documentation."""
import inspect

import numpy as np
import pytest
from hypothesis import given, strategies as st

import _kaltrope as kt
from oracles import check_batch, pairs
from processes import run_python

NVE = kt.natural_vector_visibility_edges
HVE = kt.horizontal_vector_visibility_edges
NVB = kt.natural_vector_visibility_batch
HVB = kt.horizontal_vector_visibility_batch

WEIGHTS = ["cosine_similarity", "time_diff_cosine_similarity", "euclidean_distance",
           "time_diff_euclidean_distance", "normalized_euclidean_distance",
           "time_diff_normalized_euclidean_distance"]


# ---------------------------------------------------------------- oracles

def ordered_dots(X):
    """D[j, a] = X_j . X_a summed feature by feature from -0.0, as the engine sums."""
    X = np.asarray(X, dtype=np.float64)
    D = np.full((len(X), len(X)), -0.0)
    for k in range(X.shape[1]):
        D = D + np.outer(X[:, k], X[:, k])
    return D


def natural_vector_oracle(X, t=None):
    """Row j is visible from a < j when every row k between lies strictly below
    the line from (t_a, 0) to (t_j, s_j), s = X . X_a - |X_a|^2, cross-multiplied."""
    X = np.atleast_2d(np.asarray(X, dtype=np.float64))
    T = len(X)
    t = np.arange(T, dtype=np.float64) if t is None else np.asarray(t, dtype=np.float64)
    D = ordered_dots(X)
    edges = []
    for a in range(T):
        s = D[:, a] - D[a, a]
        d = t - t[a]
        for j in range(a + 1, T):
            k = np.arange(a + 1, j)
            if np.all(s[k] * d[j] < s[j] * d[k]):
                edges.append((a, j))
    return edges


def horizontal_vector_oracle(X):
    """Row j is visible from a < j when every row between projects strictly
    below both |X_a|^2 and X_j . X_a."""
    X = np.atleast_2d(np.asarray(X, dtype=np.float64))
    D = ordered_dots(X)
    edges = []
    for a in range(len(X)):
        for j in range(a + 1, len(X)):
            if np.all(D[a + 1:j, a] < min(D[a, a], D[j, a])):
                edges.append((a, j))
    return edges


def record_oracle(X, t=None, horizontal=False):
    """For integer-valued rows and positions: the same edges in O(T^2) through
    running records (exact, because the integer slopes compare exactly)."""
    X = np.asarray(X, dtype=np.int64)
    T = len(X)
    t = np.arange(T, dtype=np.int64) if t is None else np.asarray(t, dtype=np.int64)
    edges = []
    for a in range(T - 1):
        p = X[a + 1:] @ X[a]
        h = X[a] @ X[a]
        if horizontal:
            before = np.concatenate([[np.iinfo(np.int64).min], np.maximum.accumulate(p)[:-1]])
            visible = (before < p) & (before < h)
        else:
            slope = (p - h) / (t[a + 1:] - t[a])
            before = np.concatenate([[-np.inf], np.maximum.accumulate(slope)[:-1]])
            visible = slope > before
        edges += [(a, a + 1 + int(i)) for i in np.flatnonzero(visible)]
    return edges


# ---------------------------------------------------------------- strategies

@st.composite
def matrices(draw, max_rows=24, max_features=4):
    d = draw(st.integers(1, max_features))
    T = draw(st.integers(0, max_rows))
    values = draw(st.sampled_from([st.integers(0, 1), st.integers(-1, 1), st.integers(-4, 4),
                                   st.integers(-100, 100)]))
    rows = draw(st.lists(st.lists(values, min_size=d, max_size=d), min_size=T, max_size=T))
    # Repeated rows and zero rows.
    if T >= 2 and draw(st.booleans()):
        for i in draw(st.lists(st.integers(0, T - 1), max_size=4)):
            rows[i] = rows[0] if draw(st.booleans()) else [0] * d
    return np.array(rows, dtype=np.float64).reshape(T, d)


@st.composite
def matrices_with_positions(draw):
    X = draw(matrices())
    steps = draw(st.lists(st.integers(1, 4), min_size=len(X), max_size=len(X)))
    scale = draw(st.sampled_from([1.0, 0.5, 4.0]))
    start = draw(st.integers(-10, 10))
    return X, ((start + np.cumsum(steps)) * scale).tolist()


# ---------------------------------------------------------------- engines

@given(matrices())
def test_natural_against_brute_force(X):
    assert pairs(NVE(X)) == natural_vector_oracle(X)


@given(matrices_with_positions())
def test_natural_with_positions_against_brute_force(case):
    X, t = case
    assert pairs(NVE(X, t)) == natural_vector_oracle(X, t)
    assert pairs(NVE(X, t=np.array(t))) == natural_vector_oracle(X, t)


@given(matrices())
def test_horizontal_against_brute_force(X):
    assert pairs(HVE(X)) == horizontal_vector_oracle(X)


def test_random_float_rows_against_brute_force():
    rng = np.random.default_rng(7)
    for T, d in [(60, 3), (45, 1), (40, 6), (50, 2)]:
        X = rng.standard_normal((T, d))
        t = np.cumsum(rng.random(T) + 0.1)
        assert pairs(NVE(X)) == natural_vector_oracle(X)
        assert pairs(NVE(X, t)) == natural_vector_oracle(X, t)
        assert pairs(HVE(X)) == horizontal_vector_oracle(X)


def _large_integer_cases():
    rng = np.random.default_rng(11)
    T = 2600
    return {
        "normal3": np.rint(100 * rng.standard_normal((T, 3))),
        "walk1": np.cumsum(rng.integers(-3, 4, (T, 1)), axis=0),
        "ties2": rng.integers(-2, 3, (T, 2)),
        "wide7": rng.integers(-50, 51, (T, 7)),
        "trend4": rng.integers(-20, 21, (T, 4)) + np.arange(T)[:, None] // 50,
    }


LARGE = _large_integer_cases()


@pytest.mark.parametrize("name", sorted(LARGE))
def test_large_series_against_records(name):
    """Long enough for the parallel chunks, the row groups and every block level."""
    X = LARGE[name]
    t = np.cumsum(np.random.default_rng(3).integers(1, 5, len(X)))
    Xf = X.astype(np.float64)
    assert pairs(NVE(Xf)) == record_oracle(X)
    assert pairs(NVE(Xf, t.astype(np.float64))) == record_oracle(X, t)
    assert pairs(HVE(Xf)) == record_oracle(X, horizontal=True)


@pytest.mark.parametrize("seed", range(3))
def test_one_positive_feature_matches_the_scalar_engines(seed):
    """With one positive feature the projections are y_a (y_j - y_a): the same
    edge sets as the scalar natural and horizontal graphs."""
    rng = np.random.default_rng(seed)
    y = rng.integers(1, 60, 3000).astype(np.float64)
    t = np.cumsum(rng.integers(1, 4, len(y))).astype(np.float64)
    assert sorted(pairs(NVE(y))) == sorted(pairs(kt.natural_visibility_edges(y)))
    assert sorted(pairs(NVE(y, t))) == sorted(pairs(kt.natural_visibility_edges(y, t)))
    assert sorted(pairs(HVE(y))) == sorted(pairs(kt.horizontal_visibility_edges(y)))


def test_small_cases():
    for fn in (NVE, HVE):
        for X in ([], np.zeros((0, 3)), [[1.0, 2.0]], [5.0], 5.0):
            r = fn(X)
            assert r.shape == (0, 2) and r.dtype == np.int64
        for w in WEIGHTS:
            edges, weights = fn(np.zeros((1, 2)), weight=w)
            assert edges.shape == (0, 2) and weights.shape == (0,) and weights.dtype == np.float64
        assert pairs(fn([[1.0, 2.0], [3.0, -1.0]])) == [(0, 1)]


def test_one_dimensional_x_is_one_feature():
    y = [3.0, -1.0, 2.0, 0.5, 4.0, 4.0, -2.0]
    col = np.array(y)[:, None]
    assert pairs(NVE(y)) == pairs(NVE(col)) == natural_vector_oracle(col)
    assert pairs(HVE(y)) == pairs(HVE(col)) == horizontal_vector_oracle(col)


def test_zero_row_and_identical_rows():
    X = np.array([[0.0, 0.0], [1.0, 2.0], [5.0, 5.0], [-3.0, 1.0], [9.0, 9.0]])
    for fn in (NVE, HVE):
        assert [e for e in pairs(fn(X)) if e[0] == 0] == [(0, 1)]
        same = np.tile([[1.5, -2.0, 0.25]], (40, 1))
        assert pairs(fn(same)) == [(a, a + 1) for a in range(39)]


def test_many_zero_rows():
    rng = np.random.default_rng(12)
    X = rng.integers(-3, 4, (1500, 2))
    X[rng.random(1500) < 0.4] = 0
    X[700:900] = 0
    Xf = X.astype(np.float64)
    assert pairs(NVE(Xf)) == record_oracle(X)
    assert pairs(HVE(Xf)) == record_oracle(X, horizontal=True)
    zeros = np.zeros((3000, 3))
    for fn in (NVE, HVE):
        assert pairs(fn(zeros)) == [(a, a + 1) for a in range(2999)]


def test_documented_order_and_inputs_untouched():
    rng = np.random.default_rng(5)
    X = rng.standard_normal((700, 3))
    keep = X.copy()
    for fn in (NVE, HVE):
        e = pairs(fn(X))
        assert e == sorted(set(e)) and all(a < b for a, b in e)
    assert np.array_equal(X, keep)


# ---------------------------------------------------------------- parallel

def _parallel_results(kt_module, X, t):
    out = {}
    out["natural"] = kt_module.natural_vector_visibility_edges(X)
    out["natural_t"] = kt_module.natural_vector_visibility_edges(X, t)
    out["horizontal"] = kt_module.horizontal_vector_visibility_edges(X)
    out["natural_w"] = kt_module.natural_vector_visibility_edges(X, t, "time_diff_cosine_similarity")[1]
    out["horizontal_w"] = kt_module.horizontal_vector_visibility_edges(X, "euclidean_distance")[1]
    return out


def _parallel_data():
    rng = np.random.default_rng(99)
    X = rng.standard_normal((6000, 3))
    t = np.cumsum(rng.random(6000) + 0.01)
    return X, t


def test_chunked_parallel_equals_sequential_and_one_cpu(tmp_path):
    X, t = _parallel_data()
    here = _parallel_results(kt, X, t)
    # One window of a batch is computed sequentially.
    for kind, fn in (("natural", NVB), ("horizontal", HVB)):
        edges, offsets = fn(X[None])
        assert np.array_equal(edges, here[kind]) and offsets.tolist() == [0, len(edges)]
    np.savez(tmp_path / "here.npz", X=X, t=t, **here)
    run_python("""
        import os, sys
        os.sched_setaffinity(0, {sorted(os.sched_getaffinity(0))[0]})
        import numpy as np, _kaltrope as kt
        sys.path.insert(0, sys.argv[2])
        from test_vector import _parallel_results
        saved = np.load(sys.argv[1])
        again = _parallel_results(kt, saved["X"], saved["t"])
        for name, value in again.items():
            assert np.array_equal(value, saved[name]), name
    """, tmp_path / "here.npz", __import__("os").path.dirname(__file__))


@pytest.mark.parametrize("T", [511, 512, 513, 1000])
def test_parallel_threshold(T):
    rng = np.random.default_rng(T)
    X = rng.integers(-3, 4, (T, 2)).astype(np.float64)
    assert pairs(NVE(X)) == record_oracle(X.astype(np.int64))
    assert pairs(HVE(X)) == record_oracle(X.astype(np.int64), horizontal=True)
    assert np.array_equal(NVB(X[None])[0], NVE(X))


# ---------------------------------------------------------------- weights

def numpy_weights(X, edges, name, t=None):
    """Each weight from NumPy arrays, with sums taken feature by feature from -0.0."""
    X = np.asarray(X, dtype=np.float64)
    a, b = edges[:, 0], edges[:, 1]
    Xa, Xb = X[a], X[b]

    def ordered_sum(values):
        total = np.full(len(values), -0.0)
        for k in range(values.shape[1]):
            total = total + values[:, k]
        return total

    na = np.sqrt(ordered_sum(Xa * Xa))
    nb = np.sqrt(ordered_sum(Xb * Xb))
    dist = np.sqrt(ordered_sum((Xb - Xa) * (Xb - Xa)))
    dt = np.abs((b - a).astype(np.float64)) if t is None else np.abs(np.asarray(t)[b] - np.asarray(t)[a])
    base = {"cosine_similarity": ordered_sum(Xa * Xb) / (na * nb),
            "euclidean_distance": dist,
            "normalized_euclidean_distance": dist / (na + nb)}
    if name.startswith("time_diff_"):
        return base[name[len("time_diff_"):]] / dt
    return base[name]


@pytest.mark.parametrize("name", WEIGHTS)
def test_weights_against_numpy(name):
    rng = np.random.default_rng(17)
    X = rng.standard_normal((900, 4))
    X[10] = 0.0
    X[11] = 0.0            # zero rows: NaN where a norm divides
    t = np.cumsum(rng.random(900) + 0.05)
    with np.errstate(invalid="ignore", divide="ignore"):
        for args, positions in (((X,), None), ((X, t), t), ((X, None), None)):
            edges, weights = NVE(*args, weight=name)
            assert np.array_equal(edges, NVE(*args))
            assert weights.dtype == np.float64 and weights.shape == (len(edges),)
            assert np.array_equal(weights, numpy_weights(X, edges, name, positions), equal_nan=True)
        edges, weights = HVE(X, name)
        assert np.array_equal(edges, HVE(X))
        assert np.array_equal(weights, numpy_weights(X, edges, name), equal_nan=True)
    if "cosine" in name:
        assert np.isnan(weights[edges[:, 0] == 10]).all()


def test_weight_names_are_case_insensitive():
    X = np.random.default_rng(1).standard_normal((30, 2))
    want = NVE(X, weight="cosine_similarity")[1]
    assert np.array_equal(NVE(X, weight="Cosine_Similarity")[1], want)
    assert np.array_equal(NVE(X, None, "COSINE_SIMILARITY")[1], want)
    assert np.array_equal(HVE(X, weight="EUCLIDEAN_distance")[1], HVE(X, "euclidean_distance")[1])


@pytest.mark.parametrize("fn", [NVE, HVE])
@pytest.mark.parametrize("text, shown", [("cosine", "cosine"), ("Cosine", "cosine"),
                                         ("", ""), ("EUCLIDEAN", "euclidean"),
                                         ("cosine_similarity ", "cosine_similarity ")])
def test_unknown_weight(fn, text, shown):
    with pytest.raises(ValueError, match=r"^unknown weight method '%s'$" % shown):
        fn([[1.0], [2.0]], weight=text)


# ---------------------------------------------------------------- validation

NONFINITE = "non-finite value at index "
MISMATCH = "x and y must have the same length"


def _message(call):
    with pytest.raises(ValueError) as err:
        call()
    return str(err.value)


def test_validation_messages_and_order():
    X = np.arange(12.0).reshape(6, 2)
    bad = X.copy()
    bad[3, 1] = np.nan
    assert _message(lambda: NVE(bad)) == NONFINITE + "3"
    assert _message(lambda: HVE(np.where(X == 8.0, np.inf, X))) == NONFINITE + "4"
    assert _message(lambda: NVE(np.zeros((5, 0)))) == MISMATCH
    assert _message(lambda: HVE(np.zeros((0, 0)))) == MISMATCH
    # The rows are checked before the positions.
    assert _message(lambda: NVE(bad, [0, 1])) == NONFINITE + "3"
    t = [0.0, 1.0, 2.0, np.nan, 4.0, 5.0]
    pos = "x must be finite and strictly increasing (index {})"
    assert _message(lambda: NVE(X, t)) == pos.format(3)
    assert _message(lambda: NVE(X, t + [7.0, 8.0])) == pos.format(3)   # before the length
    assert _message(lambda: NVE(X, [0.0, 1.0])) == MISMATCH
    assert _message(lambda: NVE(X, [0.0, 1.0, 1.0, 3.0, 4.0, 5.0])) == pos.format(2)
    assert _message(lambda: NVE(X, [0.0, 1.0, 2.0, 3.0, 4.0, -np.inf])) == pos.format(5)
    # Validation comes before the weight computation, after the weight parse.
    assert _message(lambda: NVE(bad, weight="cosine_similarity")) == NONFINITE + "3"
    assert _message(lambda: NVE(bad, weight="nope")) == "unknown weight method 'nope'"


def test_conversion_errors():
    shape = "expected a 1-D or 2-D array of shape (time, features)"
    for fn in (NVE, HVE):
        assert _message(lambda: fn(np.zeros((2, 2, 2)))) == shape
        assert _message(lambda: fn(np.zeros((2, 2, 2)), weight="nope")) == shape
        with pytest.raises(ValueError) as numpy_err:
            np.ascontiguousarray([["a"]], "float64")
        assert _message(lambda: fn([["a"]])) == str(numpy_err.value)
        with pytest.raises(TypeError):
            fn([[1.0]], weight=3)
        with pytest.raises(TypeError):
            fn([[1.0]], weight=b"cosine_similarity")
        with pytest.raises(TypeError):
            fn()
    assert _message(lambda: NVE([[1.0]], t=[[0.0]])) == "expected a 1-D array-like of numbers"
    with pytest.raises(TypeError):
        HVE([[1.0]], t=[0.0])


def test_containers_and_layouts_agree():
    rng = np.random.default_rng(8)
    X = rng.integers(-5, 6, (40, 3)).astype(np.float64)
    want_n, want_h = pairs(NVE(X)), pairs(HVE(X))
    wide = np.zeros((40, 6))
    wide[:, ::2] = X
    for variant in (X.tolist(), X.astype(np.int32), np.asfortranarray(X), wide[:, ::2], X.astype(">f8")):
        assert pairs(NVE(variant)) == want_n
        assert pairs(HVE(variant)) == want_h
        assert pairs(NVB([variant])[0]) == want_n


# ---------------------------------------------------------------- batches

@pytest.mark.parametrize("fn, single", [(NVB, NVE), (HVB, HVE)])
def test_batch_equals_windows(fn, single):
    rng = np.random.default_rng(23)
    for shape in [(5, 30, 3), (3, 700, 2), (1, 1, 4), (4, 2, 1), (2, 9, 5)]:
        W = rng.integers(-4, 5, shape).astype(np.float64)
        check_batch(fn(W), [pairs(single(w)) for w in W])
        check_batch(fn(W.tolist()), [pairs(single(w)) for w in W])


@pytest.mark.parametrize("fn", [NVB, HVB])
def test_batch_edge_cases(fn):
    check_batch(fn(np.zeros((4, 5, 0))), [[]] * 4)          # no features: no check, no edges
    check_batch(fn(np.full((3, 0, 2), np.nan)), [[]] * 3)
    for empty in (np.zeros((0, 5, 3)), np.zeros((0, 0, 0))):
        edges, offsets = fn(empty)
        assert edges.shape == (0, 2) and offsets.tolist() == [0]
    W = np.ones((4, 6, 2))
    W[2, 4, 1] = np.inf
    W[3, 1, 0] = np.nan
    assert _message(lambda: fn(W)) == NONFINITE + "4"      # the first failing window
    shape = "expected a 3-D array of shape (windows, time, features)"
    for bad in (np.zeros((3, 4)), np.zeros(3), 1.0, np.zeros((1, 2, 3, 4))):
        assert _message(lambda: fn(bad)) == shape
    with pytest.raises(TypeError):
        fn()
    with pytest.raises(TypeError):
        fn(np.zeros((1, 2, 2)), weight="cosine_similarity")


# ---------------------------------------------------------------- frame

SIGNATURES = {
    "natural_vector_visibility_edges": "(x, t=None, weight=None)",
    "horizontal_vector_visibility_edges": "(x, weight=None)",
    "natural_vector_visibility_batch": "(windows)",
    "horizontal_vector_visibility_batch": "(windows)",
}

DOCS = {
    "natural_vector_visibility_edges": "natural_vector_visibility_edges(X, t=None, weight=None)",
    "horizontal_vector_visibility_edges": "horizontal_vector_visibility_edges(X, weight=None)",
    "natural_vector_visibility_batch":
        "natural_vector_visibility_batch(W) -> (edges (E, 2) int64, offsets (B+1,) int64)\n\n"
        "Natural VVGs of many windows `W` of shape (windows, time, features), in\n"
        "parallel. Edges of window k are `edges[offsets[k]:offsets[k+1]]`.",
    "horizontal_vector_visibility_batch": "horizontal_vector_visibility_batch(W) -> (edges, offsets)",
}


@pytest.mark.parametrize("name", sorted(SIGNATURES))
def test_signatures_and_docstrings(name):
    fn = getattr(kt, name)
    assert fn.__text_signature__ == SIGNATURES[name]
    params = list(inspect.signature(fn).parameters.values())
    assert all(p.kind == inspect.Parameter.POSITIONAL_OR_KEYWORD for p in params)
    assert [p.default for p in params][1:] == [None] * (len(params) - 1)
    if name == "natural_vector_visibility_edges":
        first, blank, *rest = fn.__doc__.splitlines()
        assert first == DOCS[name] and blank == "" and rest
        text = " ".join(rest)
        assert "(time, features)" in text and "(E, 2) int64" in text and "(edges, weights)" in text
        assert all(w.replace("_", "") in text.replace("_", "").replace(" ", "") for w in WEIGHTS)
    else:
        # The opening lines stay; numpydoc sections follow them.
        assert fn.__doc__.startswith(DOCS[name] + "\n")


def test_keywords():
    X = [[1.0, 0.0], [0.0, 1.0], [2.0, 2.0]]
    assert pairs(NVE(x=X, t=[0, 1, 5], weight=None)) == pairs(NVE(X, [0, 1, 5]))
    assert pairs(HVE(x=X)) == pairs(HVE(X))
    assert pairs(NVB(windows=[X])[0]) == pairs(NVE(X))
    assert pairs(HVB(windows=[X])[0]) == pairs(HVE(X))


@given(matrices(max_rows=16, max_features=3), st.booleans())
def test_record_oracle_agrees_with_brute_force(X, horizontal):
    """The fast oracle used for long series is itself checked against the definition."""
    want = horizontal_vector_oracle(X) if horizontal else natural_vector_oracle(X)
    assert record_oracle(X.astype(np.int64), horizontal=horizontal) == want


# ---------------------------------------------------------------- extreme magnitudes

def fraction_oracle(X, t=None, horizontal=False):
    """The visibility tests in exact rational arithmetic: no overflow, no underflow."""
    from fractions import Fraction
    X = [[Fraction(float(v)) for v in row] for row in np.atleast_2d(X)]
    T = len(X)
    t = list(range(T)) if t is None else [Fraction(float(v)) for v in t]
    dots = [[sum(p * q for p, q in zip(X[j], X[a])) for a in range(T)] for j in range(T)]
    edges = []
    for a in range(T):
        for j in range(a + 1, T):
            between = range(a + 1, j)
            if horizontal:
                ok = all(dots[k][a] < min(dots[a][a], dots[j][a]) for k in between)
            else:
                s = [dots[k][a] - dots[a][a] for k in range(T)]
                ok = all(s[k] * (t[j] - t[a]) < s[j] * (t[k] - t[a]) for k in between)
            if ok:
                edges.append((a, j))
    return edges


# Exponents that put small whole numbers near 1e200, 1e300, 1e-170 and 1e-300,
# and the subnormals (multiples of 2^-1074).
EXTREME = [665, 990, -565, -997, -1074]


def _small_integer_rows(rng, T, d):
    return rng.integers(-12, 13, (T, d)).astype(np.float64)


@pytest.mark.parametrize("exponent", EXTREME)
def test_extreme_values_against_exact_fractions(exponent):
    """Rows of small whole numbers times 2^exponent: every product the engines form
    is exact once scaled, so the edges are those of exact arithmetic."""
    rng = np.random.default_rng(abs(exponent))
    for d in (1, 2, 3, 5):
        X = np.ldexp(_small_integer_rows(rng, 14, d), exponent)
        t = np.ldexp(np.cumsum(rng.integers(1, 4, 14)).astype(np.float64), [0, 990, -1000][d % 3])
        assert pairs(NVE(X)) == fraction_oracle(X)
        assert pairs(NVE(X, t)) == fraction_oracle(X, t)
        assert pairs(HVE(X)) == fraction_oracle(X, horizontal=True)


@pytest.mark.parametrize("exponent", EXTREME)
def test_one_positive_extreme_feature_matches_the_scalar_graph(exponent):
    rng = np.random.default_rng(11)
    y = rng.integers(1, 60, 2000).astype(np.float64)
    t = np.cumsum(rng.integers(1, 4, len(y))).astype(np.float64)
    big = np.ldexp(y, exponent)[:, None]
    assert sorted(pairs(NVE(big))) == sorted(pairs(kt.natural_visibility_edges(y)))
    assert sorted(pairs(NVE(big, np.ldexp(t, min(-exponent, 1000))))) == sorted(pairs(kt.natural_visibility_edges(y, t)))
    assert sorted(pairs(HVE(big))) == sorted(pairs(kt.horizontal_visibility_edges(y)))
    y5 = np.array([1e200, 1e199, 1e200, 3e199, 2e200])
    assert sorted(pairs(HVE(y5[:, None]))) == sorted(pairs(kt.horizontal_visibility_edges(y5)))
    assert sorted(pairs(NVE(y5[:, None]))) == sorted(pairs(kt.natural_visibility_edges(y5)))


def test_power_of_two_scales_change_no_edge():
    """Random rows (d up to 6, blocks and stops included) give the same edges at any
    scale whose values stay normal, with positions of any scale, and in batches; a
    spread of 2^150 between rows is kept."""
    rng = np.random.default_rng(21)
    for T, d in [(3000, 1), (2000, 3), (700, 6)]:
        X = rng.standard_normal((T, d))
        X[rng.random(T) < 0.3] *= 2.0 ** 150
        t = np.cumsum(rng.random(T) + 0.01)
        want = (pairs(NVE(X)), pairs(NVE(X, t)), pairs(HVE(X)))
        windows = X[: T // 4 * 4].reshape(4, T // 4, d)
        want_batch = [e.tobytes() for e in NVB(windows) + HVB(windows)]
        for exponent in (-1, 400, 800, -400, -700, 1000 - 150):
            Xs = np.ldexp(X, exponent)
            for t_exponent in (0, 900, -1000):
                assert pairs(NVE(Xs, np.ldexp(t, t_exponent))) == want[1]
            assert (pairs(NVE(Xs)), pairs(HVE(Xs))) == (want[0], want[2])
            scaled = np.ldexp(windows, exponent)
            assert [e.tobytes() for e in NVB(scaled) + HVB(scaled)] == want_batch
        # Positions whose differences alone would overflow.
        assert pairs(NVE(X[:50], np.linspace(-1.0, 1.0, 50) * 1.5e308)) == natural_vector_oracle(X[:50])


def test_weights_come_from_the_values_given():
    """Scaled rows decide the edges; the weights are those of the rows as given."""
    rng = np.random.default_rng(5)
    X = np.ldexp(rng.standard_normal((200, 3)), 400)
    t = np.ldexp(np.cumsum(rng.random(200) + 0.1), 600)
    for fn, args in ((NVE, (t,)), (HVE, ())):
        edges = fn(X, *args)
        for name in ("euclidean_distance", "time_diff_euclidean_distance", "normalized_euclidean_distance"):
            got_edges, weights = fn(X, *args, weight=name)
            assert pairs(got_edges) == pairs(edges)
            a, b = got_edges[:, 0], got_edges[:, 1]
            distance = np.sqrt(np.sum((X[b] - X[a]) ** 2, axis=1))
            want = {"euclidean_distance": distance,
                    "time_diff_euclidean_distance": distance / ((t[b] - t[a]) if args else (b - a)),
                    "normalized_euclidean_distance":
                        distance / (np.linalg.norm(X[a], axis=1) + np.linalg.norm(X[b], axis=1))}[name]
            np.testing.assert_allclose(weights, want, rtol=1e-12)


def test_normal_range_results_are_bit_identical():
    """Values and positions inside the safe range are used as they are: these
    results were recorded before the engines learnt to scale."""
    import hashlib
    rng = np.random.default_rng(2024)
    digest = hashlib.sha256()
    for scale in (1.0, 1e70, 1e-70, 2.0 ** 249):
        X = rng.standard_normal((500, 3)) * scale
        t = np.cumsum(rng.random(500) + 1e-3) * 1e60
        for result in (NVE(X), NVE(X, t), HVE(X), *NVB(X.reshape(5, 100, 3)), *HVB(X.reshape(5, 100, 3))):
            digest.update(result.tobytes())
    assert digest.hexdigest()[:16] == GOLDEN_NORMAL_RANGE


GOLDEN_NORMAL_RANGE = "7218c02dd443fa74"
