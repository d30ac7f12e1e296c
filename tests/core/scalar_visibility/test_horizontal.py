"""Horizontal visibility: the stack engine, its batch form, validation and the
batch driver shared with the natural batch."""
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from oracles import check_batch, horizontal_oracle, natural_oracle, pairs
from strategies import series

HOR = kt.horizontal_visibility_edges
HBATCH = kt.horizontal_visibility_batch
NBATCH = kt.natural_visibility_batch
BATCHES = [(HBATCH, horizontal_oracle), (NBATCH, natural_oracle)]


@pytest.mark.parametrize("y, want", [
    ([], []),
    ([4.0], []),
    ([1.0, 7.0], [(0, 1)]),
    ([7.0, 7.0], [(0, 1)]),
    ([1, 1, 1], [(0, 1), (1, 2)]),
    ([3, 1, 2], [(0, 1), (1, 2), (0, 2)]),
    ([2, 1, 2, 1, 2], [(0, 1), (1, 2), (0, 2), (2, 3), (3, 4), (2, 4)]),
    ([1, 2, 3, 4], [(0, 1), (1, 2), (2, 3)]),
    ([5, 1, 1, 5], [(0, 1), (1, 2), (2, 3), (0, 3)]),
    ([3, 0, 2, 0, 1, 0, 4], [(0, 1), (1, 2), (0, 2), (2, 3), (3, 4), (2, 4),
                             (4, 5), (5, 6), (4, 6), (2, 6), (0, 6)]),
])
def test_horizontal_examples(y, want):
    assert pairs(HOR(y)) == want
    assert horizontal_oracle(y) == want


@settings(max_examples=200, deadline=None)
@given(series(max_size=60))
def test_horizontal_matches_definition(y):
    assert pairs(HOR(np.asarray(y, dtype=np.float64))) == horizontal_oracle(y)


@settings(max_examples=100, deadline=None)
@given(st.lists(series(max_size=25), max_size=8))
def test_batches_match_single_series(rows):
    for fn, oracle in BATCHES:
        check_batch(fn(rows), [oracle(r) for r in rows])
        check_batch(fn([np.asarray(r, dtype=np.float64) for r in rows]),
                    [oracle(r) for r in rows])


@pytest.mark.parametrize("bad", [np.nan, np.inf, -np.inf])
def test_non_finite_value_is_reported_with_its_index(bad):
    y = np.arange(9, dtype=np.float64)
    y[5] = bad
    y2 = y.copy()
    y2[7] = np.nan
    for arr in (y, y2, list(y)):
        with pytest.raises(ValueError, match=r"^non-finite value at index 5$"):
            HOR(arr)
    with pytest.raises(ValueError, match=r"^non-finite value at index 0$"):
        HOR([bad])


@pytest.mark.parametrize("at", [0, 65535, 65536, 131071, 199999])
def test_long_series_report_their_first_non_finite_value(at):
    # Long series are checked in blocks on several threads; whichever block
    # is checked first, the lowest index is reported.
    y = np.zeros(200000)
    y[at + 1::9973] = np.inf
    y[at] = np.nan
    for fn in (HOR, kt.natural_visibility_edges, kt.horizontal_visibility_degrees):
        with pytest.raises(ValueError, match=rf"^non-finite value at index {at}$"):
            fn(y)


@pytest.mark.parametrize("bad", [np.nan, np.inf, -np.inf])
@pytest.mark.parametrize("fn", [HBATCH, NBATCH])
def test_batch_reports_first_bad_row_index_local(fn, bad):
    rows = [np.arange(6.0) for _ in range(6)]
    rows[3] = rows[3].copy()
    rows[3][0] = bad
    rows[5] = rows[5].copy()
    rows[5][2] = np.nan
    for given_rows in (rows, np.stack(rows), np.asfortranarray(np.stack(rows)),
                       [list(r) for r in rows]):
        with pytest.raises(ValueError, match=r"^non-finite value at index 0$"):
            fn(given_rows)
    rows[3][0] = 1.0
    rows[1] = np.array([1.0, 2.0, 3.0, 4.0, np.inf])
    with pytest.raises(ValueError, match=r"^non-finite value at index 4$"):
        fn(rows)


def test_largest_finite_values_are_accepted():
    big = np.finfo(np.float64).max
    tiny = np.finfo(np.float64).smallest_subnormal
    y = [big, -big, tiny, -0.0, 0.0, big]
    assert pairs(HOR(y)) == horizontal_oracle(y)
    assert pairs(HBATCH([y])[0]) == horizontal_oracle(y)


def _matrix(seed=3, b=7, n=23):
    rng = np.random.default_rng(seed)
    return rng.integers(0, 4, (b, n)).astype(np.float64)


def _unaligned(m):
    out = np.frombuffer(bytearray(m.nbytes + 1), dtype=np.float64, offset=1,
                        count=m.size).reshape(m.shape)
    out[...] = m
    return out


def _row_forms():
    m = _matrix()
    big = _matrix(4, 14, 46) + 10.0        # junk between the wanted entries
    big[::2, ::2] = m
    rev = _matrix(5, 7, 46) + 10.0
    rev[::-1, ::2] = m
    return {
        "c_order": m,
        "fortran": np.asfortranarray(m),
        "strided": big[::2, ::2],
        "negative_strides": rev[::-1, ::2],
        "reversed_rows": np.ascontiguousarray(m[::-1])[::-1],
        "row_step": np.stack([m, m + 10.0], axis=1).reshape(-1, m.shape[1])[::2],
        "flipped_view": np.ascontiguousarray(m[::-1, ::-1])[::-1, ::-1],
        "read_only": (lambda a: (a.setflags(write=False), a)[1])(m.copy()),
        "int_matrix": m.astype(np.int64),
        "int32_fortran": np.asfortranarray(m.astype(np.int32)),
        "big_endian_matrix": m.astype(">f8"),
        "unaligned_matrix": _unaligned(m),
        "list_of_lists": m.tolist(),
        "list_of_arrays": list(m),
        "list_of_strided": [r for r in np.repeat(m, 2, axis=1)[:, ::2]],
        "generator": (r for r in m),
    }


@pytest.mark.parametrize("form", sorted(_row_forms()))
@pytest.mark.parametrize("fn, oracle", BATCHES, ids=["horizontal", "natural"])
def test_batch_row_forms(fn, oracle, form):
    rows = _row_forms()[form]
    want = [oracle(r) for r in _matrix()]
    check_batch(fn(rows), want)


@pytest.mark.parametrize("fn", [HBATCH, NBATCH])
def test_ragged_rows_and_empty_rows(fn):
    rows = [np.array([3.0, 1.0, 2.0]), [], [5.0], np.arange(10.0)[::-2],
            [2, 1, 2, 1, 2], (1.0, 1.0), np.array([4.0], dtype=np.int8)]
    single = HOR if fn is HBATCH else kt.natural_visibility_edges
    want = [pairs(single(r)) for r in rows]
    check_batch(fn(rows), want)
    assert fn(rows)[1].tolist()[:5] == [0, 3, 3, 3, 7]


@pytest.mark.parametrize("fn", [HBATCH, NBATCH])
def test_error_while_iterating_rows_propagates(fn):
    def rows():
        yield [1.0, 2.0]
        raise KeyError("row source failed")
    with pytest.raises(KeyError):
        fn(rows())


@pytest.mark.parametrize("fn, oracle", BATCHES, ids=["horizontal", "natural"])
def test_rows_are_the_values_each_item_had_when_it_came(fn, oracle):
    # A reader that refills one buffer (or a ring of views into one) and
    # yields it again: each row is the values it held when yielded.
    m = _matrix(6, 5, 9)
    def refilled():
        buffer = np.empty(m.shape[1])
        for row in m:
            buffer[:] = row
            yield buffer
    def ring():
        store = np.empty((2, m.shape[1]))
        for k, row in enumerate(m):
            store[k % 2] = row
            yield store[k % 2]
    want = [oracle(r) for r in m]
    check_batch(fn(refilled()), want)
    check_batch(fn(ring()), want)
    check_batch(fn(iter(list(m))), want)


@pytest.mark.parametrize("fn", [HBATCH, NBATCH])
def test_matrix_with_zero_columns(fn):
    for rows in (np.zeros((4, 0)), np.zeros((4, 0), dtype=np.int16),
                 np.zeros((0, 4)).T):
        edges, offsets = fn(rows)
        assert edges.shape == (0, 2)
        assert offsets.tolist() == [0] * (len(rows) + 1)


@pytest.mark.parametrize("fn", [HBATCH, NBATCH])
def test_one_dimensional_array_is_many_one_sample_series(fn):
    for rows in (np.arange(5.0), [1.0, 2.0, 3.0], np.array([1, 2], dtype=np.int32)):
        edges, offsets = fn(rows)
        assert edges.shape == (0, 2) and edges.dtype == np.int64
        assert offsets.tolist() == [0] * (len(rows) + 1)
    with pytest.raises(ValueError, match=r"^non-finite value at index 0$"):
        fn(np.array([1.0, np.nan]))


def test_batch_matches_single_calls_on_larger_rows():
    rng = np.random.default_rng(21)
    rows = [np.cumsum(rng.standard_normal(n)) for n in (0, 1, 2, 500, 2000, 1300)]
    rows.append(np.cumsum(rng.random(3000)))          # long windows
    rows.append(rng.integers(0, 3, 2500).astype(float))
    for fn, single in ((HBATCH, HOR), (NBATCH, kt.natural_visibility_edges)):
        edges, offsets = fn(rows)
        assert offsets.shape == (len(rows) + 1,)
        for k, r in enumerate(rows):
            assert np.array_equal(edges[offsets[k]:offsets[k + 1]], single(r))
        m = np.stack([rows[3], rows[-2][:500], rows[-1][:500]])
        edges2, offsets2 = fn(m)
        for k, r in enumerate(m):
            assert np.array_equal(edges2[offsets2[k]:offsets2[k + 1]], single(r))
