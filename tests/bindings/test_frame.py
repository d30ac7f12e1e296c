"""Module frame: registration, documentation, argument handling, conversion of
array-like inputs and the result formats of the array functions."""
import inspect
import sys

import numpy as np
import pytest

import _kaltrope as kt
from oracles import horizontal_oracle, natural_oracle, pairs
from processes import run_python

NAT = kt.natural_visibility_edges
HOR = kt.horizontal_visibility_edges

REGISTRATION_ORDER = [
    "TimeSeries", "VisibilityGraph", "BuiltinFeature", "FeatureSet",
    "MissingDataStrategy", "GraphStatistics", "MotifCounts",
    "natural_visibility", "horizontal_visibility",
    "natural_visibility_edges", "natural_visibility_plan",
    "horizontal_visibility_edges", "natural_visibility_batch",
    "horizontal_visibility_batch", "natural_vector_visibility_edges",
    "horizontal_vector_visibility_edges", "natural_vector_visibility_batch",
    "horizontal_vector_visibility_batch", "VisibilityStream", "visibility_motifs",
]

VARIANTS = 'penetrable=0, window=None, weight=None, direction="left_to_right"'
ARRAY_FUNCTIONS = {
    "natural_visibility_edges": f'(y, x=None, algorithm="auto", *, {VARIANTS})',
    "natural_visibility_plan": "(y)",
    "horizontal_visibility_edges": f"(y, *, {VARIANTS})",
    "natural_visibility_batch": f"(rows, *, {VARIANTS})",
    "horizontal_visibility_batch": f"(rows, *, {VARIANTS})",
}

DOCS = {
    "natural_visibility_edges": [
        "natural_visibility_edges(y, x=None) -> ndarray[int64] of shape (E, 2)",
    ],
    "natural_visibility_plan": [
        "natural_visibility_plan(y) -> dict(algorithm, scan_work, parallel, n)",
        "",
        "Which engine `natural_visibility_edges(y)` would choose, and why (O(n)).",
    ],
    "natural_visibility_batch": [
        "natural_visibility_batch(Y) -> (edges (E, 2) int64, offsets (B+1,) int64)",
        "",
        "Natural visibility graphs of many independent series in one call, in",
        "parallel. `Y` is a (B, n) array or an iterable of 1-D arrays (ragged",
        "lengths allowed). Edges of series `k` are `edges[offsets[k]:offsets[k+1]]`",
        "with node indices local to that series.",
    ],
    "horizontal_visibility_edges": [
        "horizontal_visibility_edges(y) -> ndarray[int64] of shape (E, 2)",
    ],
    "horizontal_visibility_batch": [
        "horizontal_visibility_batch(Y) -> (edges (E, 2) int64, offsets (B+1,) int64)",
    ],
}


def test_registered_names_keep_their_order():
    present = [name for name in vars(kt) if name in REGISTRATION_ORDER]
    assert set(ARRAY_FUNCTIONS) <= set(present)
    assert present == [name for name in REGISTRATION_ORDER if name in present]


@pytest.mark.parametrize("name", sorted(DOCS))
def test_docstring_and_signature(name):
    fn = getattr(kt, name)
    assert fn.__text_signature__ == ARRAY_FUNCTIONS[name]
    # The opening lines stay; numpydoc sections follow them.
    assert fn.__doc__ is not None and fn.__doc__.splitlines()[: len(DOCS[name])] == DOCS[name]


@pytest.mark.parametrize("name", sorted(ARRAY_FUNCTIONS))
def test_inspect_signature(name):
    params = list(inspect.signature(getattr(kt, name)).parameters.values())
    positional = [p for p in params if p.kind == inspect.Parameter.POSITIONAL_OR_KEYWORD]
    keywords = [p for p in params if p.kind == inspect.Parameter.KEYWORD_ONLY]
    assert len(positional) + len(keywords) == len(params)
    empty = inspect.Parameter.empty
    assert [p.default for p in positional] == ([empty, None, "auto"] if name == "natural_visibility_edges"
                                               else [empty])
    # The variants' keywords, keyword-only, on every function but the plan.
    want = [] if name == "natural_visibility_plan" else [
        ("penetrable", 0), ("window", None), ("weight", None), ("direction", "left_to_right")]
    assert [(p.name, p.default) for p in keywords] == want


def test_arguments_by_keyword_and_position():
    y = [0.0, 1.0, 2.0]
    want = [(0, 1), (1, 2), (0, 2)]
    assert pairs(NAT(y=y, x=[0, 9, 10], algorithm="scan")) == want
    assert pairs(NAT(y, [0, 9, 10], "hull")) == want
    assert pairs(NAT(y, None)) == [(0, 1), (1, 2)]
    assert pairs(NAT(y, x=None, algorithm="auto")) == [(0, 1), (1, 2)]
    same = np.array([0.0, 3.0, 4.0, 9.0])          # one array as both y and x
    assert pairs(NAT(same, same, "hull")) == natural_oracle(same, same)
    assert pairs(HOR(y=[3, 1, 2])) == [(0, 1), (1, 2), (0, 2)]
    assert kt.natural_visibility_plan(y=[1, 2])["n"] == 2
    assert kt.natural_visibility_batch(rows=[[1, 2]])[1].tolist() == [0, 1]
    assert kt.horizontal_visibility_batch(rows=[[1, 2]])[1].tolist() == [0, 1]


@pytest.mark.parametrize("call", [
    lambda: NAT(),
    lambda: NAT(x=[1, 2]),
    lambda: NAT([1, 2], z=[1, 2]),
    lambda: NAT([1, 2], None, "auto", 4),
    lambda: NAT([1, 2], algorithm=None),
    lambda: NAT([1, 2], algorithm=b"scan"),
    lambda: NAT([1, 2], [0, 1], "auto", algorithm="scan"),
    lambda: HOR(),
    lambda: HOR([1, 2], [0, 1]),
    lambda: kt.natural_visibility_plan(),
    lambda: kt.natural_visibility_plan([1, 2], x=[0, 1]),
    lambda: kt.natural_visibility_batch(),
    lambda: kt.natural_visibility_batch([[1, 2]], algorithm="scan"),
    lambda: kt.horizontal_visibility_batch(y=[[1, 2]]),
    lambda: kt.horizontal_visibility_batch([[1]], [[1]]),
])
def test_argument_errors_are_type_errors(call):
    with pytest.raises(TypeError):
        call()


@pytest.mark.parametrize("fn", [kt.natural_visibility_batch, kt.horizontal_visibility_batch])
@pytest.mark.parametrize("rows", [5, 2.5, None])
def test_batch_of_non_iterable_is_type_error(fn, rows):
    with pytest.raises(TypeError):
        fn(rows)


def _variants(values):
    """The same series in many containers and memory layouts."""
    base = np.asarray(values, dtype=np.float64)
    wide = np.zeros(2 * len(base))
    wide[::2] = base
    read_only = base.copy()
    read_only.setflags(write=False)
    unaligned = np.frombuffer(bytearray(8 * len(base) + 1), dtype="<f8", offset=1,
                              count=len(base))
    unaligned[...] = base
    return {
        "list": base.tolist(), "int_list": [int(v) for v in base],
        "float64": base.copy(), "int32": base.astype(np.int32),
        "float32": base.astype(np.float32), "stride2": wide[::2],
        "negative_stride": np.ascontiguousarray(base[::-1])[::-1],
        "big_endian": base.astype(">f8"), "read_only": read_only,
        "fortran_column": np.asfortranarray(np.stack([base, base + 1.0], axis=1))[:, 0],
        "unaligned": unaligned,
    }


SAMPLE = [3, 1, 2, 5, 5, 0, 4, 1, 1, 3, -2, 6]


@pytest.mark.parametrize("kind", sorted(_variants(SAMPLE)))
def test_every_container_gives_the_same_edges(kind):
    y = _variants(SAMPLE)[kind]
    x = _variants([0, 1, 3, 4, 8, 9, 10, 12, 13, 20, 21, 22])[kind]
    want_nat = natural_oracle(SAMPLE)
    want_pos = natural_oracle(SAMPLE, [0, 1, 3, 4, 8, 9, 10, 12, 13, 20, 21, 22])
    for alg in ("auto", "scan", "hull"):
        assert pairs(NAT(y, algorithm=alg)) == want_nat
        assert pairs(NAT(y, x, algorithm=alg)) == want_pos
    assert pairs(HOR(y)) == horizontal_oracle(SAMPLE)
    assert kt.natural_visibility_plan(y) == kt.natural_visibility_plan(np.asarray(SAMPLE, float))


def test_inputs_untouched_and_reference_counts_restored():
    y = np.array(SAMPLE, dtype=np.float64)
    x = np.arange(len(SAMPLE), dtype=np.float64) * 2.0
    bad = np.array([1.0, np.nan, 2.0])
    rows = np.array([SAMPLE, SAMPLE[::-1]], dtype=np.float64)
    row_list = [y, x]
    objects = (y, x, bad, rows, row_list)
    keep = [np.array(o, copy=True) for o in objects]
    before = [sys.getrefcount(o) for o in objects]
    for _ in range(20):
        for alg in ("auto", "scan", "hull"):
            NAT(y, x, alg)
        HOR(y)
        kt.natural_visibility_plan(y)
        kt.natural_visibility_batch(rows)
        kt.horizontal_visibility_batch(row_list)
        for call in (lambda: NAT(bad), lambda: NAT(y, bad), lambda: HOR(bad),
                     lambda: kt.natural_visibility_plan(bad),
                     lambda: NAT(y, x[:-1]), lambda: NAT(y, x, "nope"),
                     lambda: kt.natural_visibility_batch([y, bad]),
                     lambda: kt.horizontal_visibility_batch(np.stack([bad, bad]))):
            with pytest.raises(ValueError):
                call()
    assert [sys.getrefcount(o) for o in objects] == before
    assert all(np.array_equal(o, k, equal_nan=True) for o, k in zip(objects, keep))


@pytest.mark.parametrize("scalar", [2.5, 7, np.float64(1.0), np.array(3.0), True])
def test_scalar_is_a_one_sample_series(scalar):
    for alg in ("auto", "scan", "hull"):
        assert NAT(scalar, algorithm=alg).shape == (0, 2)
    assert NAT(scalar, x=4.0).shape == (0, 2)
    assert HOR(scalar).shape == (0, 2)
    assert kt.natural_visibility_plan(scalar) == {
        "algorithm": "scan", "scan_work": 0, "parallel": False, "n": 1}


@pytest.mark.parametrize("bad", [
    [[1.0, 2.0], [3.0, 4.0]], np.zeros((2, 3)), np.zeros((3, 1)), [[]],
    np.zeros((2, 2, 2)), [[1.0]],
])
def test_multi_dimensional_series_is_rejected(bad):
    calls = [lambda: NAT(bad), lambda: NAT(bad, algorithm="hull"),
             lambda: NAT([1.0, 2.0], x=bad), lambda: HOR(bad),
             lambda: kt.natural_visibility_plan(bad),
             lambda: kt.natural_visibility_batch([[1.0], bad]),
             lambda: kt.horizontal_visibility_batch([bad])]
    for call in calls:
        with pytest.raises(ValueError, match=r"^expected a 1-D array-like of numbers$"):
            call()


@pytest.mark.parametrize("bad", [["a"], [1.0, "x", 2.0], ["1.0", "abc"]])
def test_unconvertible_series_raises_numpys_error(bad):
    with pytest.raises(ValueError) as numpy_err:
        np.ascontiguousarray(bad, "float64")
    calls = [lambda: NAT(bad), lambda: NAT([1.0, 2.0, 3.0], x=bad), lambda: HOR(bad),
             lambda: kt.natural_visibility_plan(bad),
             lambda: kt.natural_visibility_batch([[1.0], bad]),
             lambda: kt.horizontal_visibility_batch([bad])]
    for call in calls:
        with pytest.raises(ValueError) as err:
            call()
        assert str(err.value) == str(numpy_err.value)


@pytest.mark.parametrize("y", [[], [1.0], np.array([]), np.zeros(1), 5.0])
def test_no_edges_give_shape_0_by_2(y):
    results = [HOR(y)]
    for alg in ("auto", "scan", "hull", "dc", "output_sensitive"):
        results += [NAT(y, algorithm=alg), NAT(y, np.arange(np.size(y), dtype=float), alg)]
    assert all(r.shape == (0, 2) and r.dtype == np.int64 for r in results)


@pytest.mark.parametrize("fn", [kt.natural_visibility_batch, kt.horizontal_visibility_batch])
@pytest.mark.parametrize("rows", [[], (), np.zeros((0, 5)), np.zeros((0, 0)),
                                  iter([]), np.zeros((0, 3), dtype=np.int32)])
def test_batch_of_zero_series(fn, rows):
    edges, offsets = fn(rows)
    assert edges.shape == (0, 2) and edges.dtype == np.int64
    assert offsets.dtype == np.int64 and offsets.tolist() == [0]


# NumPy's C interface is fetched on first use, so each of these runs as the
# very first call of a fresh interpreter.
FIRST_CALLS = [
    "kt.natural_visibility_edges([1.0, 3.0, 2.0])",
    "kt.horizontal_visibility_edges(np.array([1.0, 3.0, 2.0]))",
    "kt.natural_visibility_plan(np.array([1.0, 3.0, 2.0]))",
    "kt.natural_visibility_batch(np.ones((2, 3)))",
    "kt.horizontal_visibility_batch([[1.0, 3.0, 2.0]])",
    "kt.natural_vector_visibility_edges(np.ones((3, 2)))",
    "kt.horizontal_vector_visibility_batch(np.ones((2, 3, 2)))",
    "kt.visibility_motifs(np.arange(5.0))",
    "kt.VisibilityStream().push(1.0)",
    "kt.VisibilityStream().extend(np.array([1.0, 3.0]))",
    "kt.VisibilityStream('vector_natural', dim=2).extend(np.ones((3, 2)))",
    "kt.VisibilityStream('vector_horizontal', dim=2).push(np.ones(2))",
    "kt.TimeSeries(np.array([1.0, 2.0])).to_numpy()",
    "kt.TimeSeries.with_missing(np.arange(2.0), [1.0, None]).to_numpy()",
    "kt.natural_visibility(np.array([1.0, 3.0, 2.0])).adjacency_matrix()",
    "kt.horizontal_visibility([1.0, 3.0, 2.0]).degree_sequence()",
]


@pytest.mark.parametrize("call", FIRST_CALLS)
def test_every_entry_point_works_as_the_first_call(call):
    run_python(f"import numpy as np\nimport _kaltrope as kt\n{call}")
