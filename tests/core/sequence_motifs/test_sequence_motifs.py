"""visibility_motifs: counts against a brute-force evaluation of every
window's code from the visibility definitions, for the four kinds, single
series and batches; the documented examples, shapes and messages."""
import numpy as np
import pytest
from hypothesis import given, strategies as st

import _kaltrope as kt
from oracles import horizontal_oracle, natural_oracle

VM = kt.visibility_motifs
KINDS = ["natural", "horizontal", "vector_natural", "vector_horizontal"]
DIMS = "expected (n,) or (B, n) for univariate kinds, (n, d) or (B, n, d) for vector kinds"


def code_of(edges):
    e = set(edges)
    return ((0, 2) in e) + 2 * ((1, 3) in e) + 4 * ((0, 3) in e)


def scalar_oracle(y, horizontal):
    """Each window's graph from the brute-force visibility oracles."""
    oracle = horizontal_oracle if horizontal else natural_oracle
    counts = np.zeros(8, dtype=np.uint64)
    for k in range(len(y) - 3):
        counts[code_of(oracle(y[k:k + 4]))] += 1
    return counts


def vector_oracle(X, horizontal):
    """Each pair [a, b] of each window: projections onto the pair's first
    sample, the samples between strictly below the line (natural) or below
    both ends (horizontal)."""
    X = np.asarray(X, dtype=np.float64)
    counts = np.zeros(8, dtype=np.uint64)

    def sees(first, last):
        p = [sum(float(u) * float(v) for u, v in zip(X[i], X[first])) for i in range(first, last + 1)]
        m = last - first
        if horizontal:
            return all(p[j] < min(p[0], p[m]) for j in range(1, m))
        return all((p[j] - p[0]) * m < (p[m] - p[0]) * j for j in range(1, m))

    for k in range(len(X) - 3):
        code = sees(k, k + 2) + 2 * sees(k + 1, k + 3) + 4 * sees(k, k + 3)
        counts[code] += 1
    return counts


def exact_rows(Y):
    """Each row's doubles as Python integers, all scaled by one power of two
    per row: the natural formulas below then compare exactly."""
    rows = []
    for row in Y:
        ratios = [float(v).as_integer_ratio() for v in row]
        shift = max(q.bit_length() - 1 for _, q in ratios)
        rows.append([p << (shift - (q.bit_length() - 1)) for p, q in ratios])
    return np.array(rows, dtype=object).reshape(Y.shape)


def numpy_counts(Y, horizontal):
    """The documented formulas, vectorised over a (B, n) array; natural ones
    on exact integers, as the counter decides them."""
    if not horizontal:
        Y = exact_rows(Y)
    w0, w1, w2, w3 = (Y[:, i:Y.shape[1] - 3 + i] for i in range(4))
    if horizontal:
        a = np.minimum(w0, w2) > w1
        b = np.minimum(w1, w3) > w2
        low = np.minimum(w0, w3)
        c = (low > w1) & (low > w2)
    else:
        a = (w2 - w0) > 2 * (w1 - w0)
        b = (w3 - w1) > 2 * (w2 - w1)
        c = ((w3 - w0) > 3 * (w1 - w0)) & (2 * (w3 - w0) > 3 * (w2 - w0))
    a, b, c = (np.asarray(m, dtype=bool) for m in (a, b, c))
    code = a + 2 * b.astype(np.int64) + 4 * c.astype(np.int64) + 8 * np.arange(len(Y))[:, None]
    return np.bincount(code.ravel(), minlength=8 * len(Y)).reshape(len(Y), 8).astype(np.uint64)


def values():
    return st.sampled_from([st.integers(0, 1), st.integers(-3, 3), st.integers(-1000, 1000),
                            st.floats(-10, 10, allow_nan=False, width=16)])


@given(values().flatmap(lambda v: st.lists(v, max_size=30)), st.booleans())
def test_scalar_against_definitions(y, horizontal):
    y = np.array(y, dtype=np.float64)
    kind = "horizontal" if horizontal else "natural"
    got = VM(y, kind)
    assert got.dtype == np.uint64 and got.shape == (8,)
    assert got.tolist() == scalar_oracle(y, horizontal).tolist()
    assert int(got.sum()) == max(len(y) - 3, 0)


@given(st.integers(1, 3).flatmap(lambda d: values().flatmap(
    lambda v: st.tuples(st.just(d), st.lists(st.lists(v, min_size=d, max_size=d), max_size=14)))),
    st.booleans())
def test_vector_against_definitions(case, horizontal):
    d, rows = case
    X = np.array(rows, dtype=np.float64).reshape(len(rows), d)
    kind = "vector_horizontal" if horizontal else "vector_natural"
    got = VM(X, kind)
    assert got.shape == (8,) and got.tolist() == vector_oracle(X, horizontal).tolist()
    assert int(got.sum()) == max(len(X) - 3, 0)


def test_vector_kinds_agree_with_the_vector_engines():
    """[a, b] of a window is an edge of the vector visibility graph of its four samples."""
    rng = np.random.default_rng(4)
    X = rng.standard_normal((300, 3))
    for kind, engine in (("vector_natural", kt.natural_vector_visibility_edges),
                         ("vector_horizontal", kt.horizontal_vector_visibility_edges)):
        want = np.zeros(8, dtype=np.uint64)
        for k in range(len(X) - 3):
            want[code_of(map(tuple, engine(X[k:k + 4]).tolist()))] += 1
        assert VM(X, kind).tolist() == want.tolist()


@pytest.mark.parametrize("n", [4, 63, 66, 67, 68, 69, 130, 131, 133, 1000, 20003])
def test_long_series_against_numpy(n):
    """Every length around the 64-window words, with ties and steps."""
    rng = np.random.default_rng(n)
    Y = np.stack([rng.standard_normal(n), np.round(rng.standard_normal(n), 1),
                  rng.integers(0, 3, n).astype(np.float64), np.cumsum(rng.standard_normal(n)),
                  np.arange(n, dtype=np.float64), np.zeros(n)])
    for kind in ("natural", "horizontal"):
        want = numpy_counts(Y, kind == "horizontal")
        assert VM(Y, kind).tolist() == want.tolist()
        for row, counts in zip(Y, want):
            assert VM(row, kind).tolist() == counts.tolist()


def test_batches_equal_single_rows():
    rng = np.random.default_rng(9)
    for kind in KINDS:
        shape = (7, 50, 3) if kind.startswith("vector") else (7, 50)
        B = rng.integers(-4, 5, shape).astype(np.float64)
        got = VM(B, kind)
        assert got.dtype == np.uint64 and got.shape == (7, 8)
        assert got.tolist() == [VM(row, kind).tolist() for row in B]
        assert got.sum(axis=1).tolist() == [47] * 7


def test_one_positive_feature_matches_the_scalar_kinds():
    y = np.random.default_rng(2).integers(1, 20, 400).astype(np.float64)
    assert VM(y[:, None], "vector_natural").tolist() == VM(y, "natural").tolist()
    assert VM(y[:, None], "vector_horizontal").tolist() == VM(y, "horizontal").tolist()


def test_documented_examples():
    one = [1, 0, 0, 0, 0, 0, 0, 0]
    assert VM([0, 1, 2, 3]).tolist() == one
    assert VM([0, 1, 2, 3], "horizontal").tolist() == one
    assert VM([1, 0, 0, 1]).tolist() == [0] * 7 + [1]
    assert VM([1, 0, 0, 1], "horizontal").tolist() == [0, 0, 0, 0, 1, 0, 0, 0]
    assert VM([3, 1, 2, 0]).tolist() == [0, 1, 0, 0, 0, 0, 0, 0]
    assert VM([3, 1, 2, 0], kind="horizontal").tolist() == [0, 1, 0, 0, 0, 0, 0, 0]
    assert VM([0, 3, 1, 2, 0, 4]).tolist() == [0, 1, 2, 0, 0, 0, 0, 0]
    for short in ([], [1.0], [1, 2, 3], 5.0):
        for kind in ("natural", "horizontal"):
            assert VM(short, kind).tolist() == [0] * 8
    two_by_five = np.arange(10.0).reshape(2, 5)
    assert VM(two_by_five, "natural").shape == (2, 8)
    assert VM(two_by_five, "vector_natural").tolist() == [0] * 8


def test_horizontal_never_gives_codes_3_and_7():
    Y = np.random.default_rng(1).integers(0, 4, (20, 500)).astype(np.float64)
    counts = VM(Y, "horizontal")
    assert counts[:, 3].sum() == 0 and counts[:, 7].sum() == 0


def test_empty_batches_keep_eight_columns():
    for x, kind in ((np.zeros((0, 10)), "natural"), (np.zeros((0, 0)), "horizontal"),
                    (np.zeros((0, 5, 3)), "vector_natural"), (np.zeros((0, 5, 0)), "vector_horizontal")):
        got = VM(x, kind)
        assert got.dtype == np.uint64 and got.shape == (0, 8)
        assert got.sum(axis=0).tolist() == [0] * 8
    assert VM(np.zeros((3, 0)), "natural").tolist() == [[0] * 8] * 3
    assert VM(np.zeros((2, 0, 4)), "vector_natural").tolist() == [[0] * 8] * 2


def _message(call):
    with pytest.raises(ValueError) as err:
        call()
    return str(err.value)


def test_messages():
    for kind in ("Natural", "vector", "", "natural "):
        assert _message(lambda: VM([1, 2, 3, 4], kind)) == "unknown kind '%s'" % kind
    # The kind is checked before x is looked at.
    assert _message(lambda: VM([["a"]], "nope")) == "unknown kind 'nope'"
    for x, kind in ((np.zeros(5), "vector_natural"), (np.zeros((2, 2, 2)), "natural"),
                    (np.zeros((1, 1, 1, 1)), "vector_horizontal"), (5.0, "vector_horizontal")):
        assert _message(lambda: VM(x, kind)) == DIMS
    assert _message(lambda: VM(np.zeros((4, 0)), "vector_horizontal")) == "x and y must have the same length"
    assert _message(lambda: VM(np.zeros((2, 4, 0)), "vector_natural")) == "x and y must have the same length"
    X = np.ones((5, 3))
    X[2, 1] = np.nan
    for kind in ("vector_natural", "vector_horizontal"):
        assert _message(lambda: VM(X, kind)) == "non-finite value at index 2"
    with pytest.raises(ValueError) as numpy_err:
        np.ascontiguousarray(["x"], "float64")
    assert _message(lambda: VM(["x"])) == str(numpy_err.value)
    for bad in (None, 3, b"natural"):
        with pytest.raises(TypeError):
            VM([1.0, 2.0], bad)
    with pytest.raises(TypeError):
        VM()


@pytest.mark.parametrize("n", [4, 5, 70, 200, 5000])
def test_non_finite_anywhere_is_found(n):
    for kind in ("natural", "horizontal"):
        for i in sorted({0, 1, n // 2, n - 4, n - 3, n - 2, n - 1}):
            for bad in (np.nan, np.inf, -np.inf):
                y = np.ones(n)
                y[i] = bad
                assert _message(lambda: VM(y, kind)) == "non-finite value at index %d" % i


def test_failing_batch_reports_its_lowest_failing_row():
    Y = np.random.default_rng(0).standard_normal((64, 3000))
    Y[5, 2000] = np.nan
    Y[6, 7] = np.inf
    Y[40, 1] = np.nan
    for _ in range(30):
        assert _message(lambda: VM(Y, "natural")) == "non-finite value at index 2000"
    V = np.ones((6, 10, 2))
    V[4, 1, 0] = np.nan
    V[2, 8, 1] = np.inf
    assert _message(lambda: VM(V, "vector_horizontal")) == "non-finite value at index 8"


def test_containers_and_keywords():
    y = [3, 1, 2, 5, 5, 0, 4, 1, 1, 3]
    want = VM(np.array(y, dtype=np.float64)).tolist()
    wide = np.zeros(20)
    wide[::2] = y
    for variant in (y, tuple(y), np.array(y, dtype=np.int32), wide[::2], np.array(y, dtype=">f8")):
        assert VM(variant).tolist() == want
    assert VM(x=y, kind="natural").tolist() == want
    single = VM(y)
    assert single.shape == (8,) and single.dtype == np.uint64


def test_docstring_and_signature():
    assert VM.__text_signature__ == '(x, kind="natural")'
    assert VM.__doc__.splitlines()[:6] == [
        'visibility_motifs(x, kind="natural") -> ndarray[uint64] of shape (8,) or (B, 8)',
        "",
        "Sequential size-4 visibility-graph motif counts.",
        "Code = [0,2] + 2\u00b7[1,3] + 4\u00b7[0,3] for the optional edges among 4",
        "consecutive samples. Accepts one series (n,) / (n, d) for vector kinds, or a",
        "batch (B, n) / (B, n, d), processed in parallel. O(n), no graph is built.",
    ]


REGISTRATION_ORDER = [
    "natural_visibility_edges", "natural_visibility_plan", "horizontal_visibility_edges",
    "natural_visibility_batch", "horizontal_visibility_batch", "natural_vector_visibility_edges",
    "horizontal_vector_visibility_edges", "natural_vector_visibility_batch",
    "horizontal_vector_visibility_batch", "visibility_motifs",
]


def test_registration_order():
    present = [name for name in vars(kt) if name in REGISTRATION_ORDER]
    assert present == REGISTRATION_ORDER


@pytest.mark.parametrize("exponent", [665, 990, -565, -997, -1074])
def test_vector_kinds_of_extreme_values(exponent):
    """Values near 1e200, 1e300, 1e-170, 1e-300 and subnormals count as the same
    values near 1 do, and as the windows' vector graphs say; one positive
    feature as the scalar kinds."""
    rng = np.random.default_rng(abs(exponent))
    X = rng.integers(-9, 10, (400, 3)).astype(np.float64)
    y = rng.integers(1, 60, 400).astype(np.float64)
    for kind in ("vector_natural", "vector_horizontal"):
        scaled = np.ldexp(X, exponent)
        assert VM(scaled, kind).tolist() == VM(X, kind).tolist()
        assert VM(np.stack([scaled, X]), kind).tolist() == [VM(X, kind).tolist()] * 2
        assert VM(np.ldexp(y, exponent)[:, None], kind).tolist() == VM(y, kind.split("_")[1]).tolist()
    engine = kt.natural_vector_visibility_edges
    want = np.zeros(8, dtype=np.uint64)
    for k in range(60):
        want[code_of(map(tuple, engine(np.ldexp(X[k:k + 4], exponent)).tolist()))] += 1
    assert VM(np.ldexp(X[:63], exponent), "vector_natural").tolist() == want.tolist()
