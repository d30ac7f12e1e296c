"""kaltrope.dask on a real distributed.LocalCluster of two worker processes:
every function equals its one-machine result exactly (motifs, the edges of
each series with their order and weights, features to the last bit, the
windowed edges and degrees of a long series), objects come back from the
workers equal, and a worker runs kaltrope on one thread per task."""
import os
import threading

import numpy as np
import pandas as pd
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope
import kaltrope as kt

distributed = pytest.importorskip("distributed")
da = pytest.importorskip("dask.array")
db = pytest.importorskip("dask.bag")

# A weight of the scalar array functions, for the weight column.
WEIGHT = "distance"


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=2, processes=True, dashboard_address=":0",
                                  silence_logs=40) as cluster, distributed.Client(cluster) as connected:
        yield connected


def rows_of(seed, count, longest):
    rng = np.random.default_rng(seed)
    return [np.cumsum(rng.normal(size=n)) if n % 2 else rng.random(n) for n in rng.integers(0, longest, count)]


def edges_by_series(frame, count, weighted=False):
    """{series: (E, 2) array in the frame's order} and, if asked, the weights."""
    pairs = {i: frame.loc[frame.series == i, ["source", "target"]].to_numpy() for i in range(count)}
    weights = {i: frame.loc[frame.series == i, "weight"].to_numpy() for i in range(count)} if weighted else None
    return pairs, weights


@settings(max_examples=6)
@given(st.integers(0, 2**32 - 1), st.sampled_from(["natural", "horizontal"]),
       st.sampled_from([(1, None), (3, None), (4, 7), (10, None)]))
def test_motifs_edges_and_features_of_arrays(client, seed, kind, chunks):
    rows, columns = chunks
    X = np.random.default_rng(seed).random((9, 40)) * 4 // 1      # ties and plateaus
    dX = da.from_array(X, chunks=(rows, columns or 40))
    motifs = kt.dask.visibility_motifs(dX, kind=kind)
    assert motifs.dtype == np.uint64 and all(len(c) == 1 for c in motifs.chunks[1:])
    assert np.array_equal(motifs.compute(), kt.visibility_motifs(X, kind=kind))
    frame = kt.dask.edges(dX, kind=kind).compute()
    assert list(frame.columns) == ["series", "source", "target"] and (frame.dtypes == np.int64).all()
    pairs, _ = edges_by_series(frame, len(X))
    function = getattr(kt, f"{kind}_visibility_edges")
    for i, y in enumerate(X):
        assert np.array_equal(pairs[i], function(y))          # the same edges in the same order
    table = kt.dask.features(dX, kind=kind)
    if columns is None:
        assert table.npartitions == len(dX.chunks[0]) and table.divisions[0] == 0 and table.divisions[-1] == 8
    pd.testing.assert_frame_equal(table.compute(), kt.features(X, kind=kind), check_exact=True)


def test_vector_motifs(client):
    X = np.random.default_rng(1).normal(size=(5, 30, 3))
    for kind in ("vector_natural", "vector_horizontal"):
        got = kt.dask.visibility_motifs(da.from_array(X, chunks=(2, 10, 3)), kind=kind).compute()
        assert np.array_equal(got, kt.visibility_motifs(X, kind=kind))
    with pytest.raises(ValueError, match="3 dimensions"):
        kt.dask.visibility_motifs(da.from_array(X[:, :, 0]), kind="vector_natural")
    with pytest.raises(ValueError, match="kind must be one of 'natural', "):
        kt.dask.visibility_motifs(da.from_array(X), kind="vector")


def test_bags_of_series_of_any_length(client):
    rows = rows_of(2, 23, 300) + [np.array([]), np.array([1.0])]
    bag = db.from_sequence(rows, npartitions=6).filter(lambda y: True)    # lengths unknown until computed
    for kind in ("natural", "horizontal"):
        frame = kt.dask.edges(bag, kind=kind).compute()
        pairs, _ = edges_by_series(frame, len(rows))
        function = getattr(kt, f"{kind}_visibility_edges")
        assert all(np.array_equal(pairs[i], function(y)) for i, y in enumerate(rows))
        table = kt.dask.features(bag.filter(len), kind=kind).compute()
        pd.testing.assert_frame_equal(table, kt.features([y for y in rows if len(y)], kind=kind), check_exact=True)
    # A bag with empty partitions, and keywords passed through.
    sparse = db.from_sequence(rows[:5], npartitions=5).filter(lambda y: len(y) > 150)
    expected = [y for y in rows[:5] if len(y) > 150]
    pd.testing.assert_frame_equal(kt.dask.features(sparse, algorithm="hull").compute(), kt.features(expected),
                                  check_exact=True)


def test_arrays_of_unknown_block_lengths(client):
    # Rows picked by a mask of a Dask array: the blocks' lengths are known only when computed.
    X = np.random.default_rng(5).random((9, 30))
    keep = X[:, 0] > 0.3
    for columns in (30, 12):   # a block holds whole series, or is rechunked to
        dX = da.from_array(X, chunks=(2, columns))
        picked = dX[da.from_array(keep, chunks=2)]
        assert np.isnan(picked.chunks[0]).all()
        frame = kt.dask.edges(picked, kind="horizontal").compute()
        pairs, _ = edges_by_series(frame, keep.sum())
        assert all(np.array_equal(pairs[i], kt.horizontal_visibility_edges(y)) for i, y in enumerate(X[keep]))
        pd.testing.assert_frame_equal(kt.dask.features(picked).compute(), kt.features(X[keep]), check_exact=True)
        assert np.array_equal(kt.dask.visibility_motifs(picked).compute(), kt.visibility_motifs(X[keep]))


def test_edges_go_to_parquet_one_file_per_block(client, tmp_path):
    pytest.importorskip("pyarrow")
    X = np.random.default_rng(8).random((10, 50))
    edges = kt.dask.edges(da.from_array(X, chunks=(3, 50)), kind="horizontal")
    edges.to_parquet(tmp_path / "edges", write_index=False)
    assert len(list((tmp_path / "edges").glob("*.parquet"))) == 4
    back = pd.read_parquet(tmp_path / "edges").sort_values(["series", "target", "source"], ignore_index=True)
    pd.testing.assert_frame_equal(back, edges.compute().sort_values(["series", "target", "source"],
                                                                    ignore_index=True))


def test_errors_reach_the_caller_naming_the_series(client):
    X = np.random.default_rng(3).random((6, 20))
    X[4, 3] = np.nan
    for compute in (kt.dask.edges, kt.dask.features):
        with pytest.raises(ValueError, match="series 4: non-finite value at index 3"):
            compute(da.from_array(X, chunks=(2, 20))).compute()
    with pytest.raises(ValueError, match="kind must be"):
        kt.dask.features(da.from_array(X), kind="sideways")
    with pytest.raises(ValueError, match="2 dimensions, got 3"):
        kt.dask.features(da.zeros((2, 3, 4)))


def test_objects_come_back_from_workers_equal(client):
    y = np.cumsum(np.random.default_rng(4).normal(size=3000))
    for build in (kt.natural_visibility, kt.horizontal_visibility):
        graph, local = client.submit(build, y).result(), build(y)
        assert graph.edges() == local.edges() and np.array_equal(graph.values(), local.values())
        assert graph.detect_communities() == local.detect_communities()
    # A graph sent to a worker and measured there.
    sent = client.scatter(kt.natural_visibility(y))
    assert client.submit(kt.VisibilityGraph.degrees, sent).result().tolist() == kt.natural_visibility(y).degrees().tolist()
    series = client.submit(kt.TimeSeries.with_missing, [0.0, 1.0, 2.5, 4.0], [1.0, None, 3.0, 2.0]).result()
    fill = kt.MissingDataStrategy.linear_interpolation()
    assert len(series) == 4 and series.handle_missing(fill).to_numpy().tolist() == [1.0, 2.0, 3.0, 2.0]
    for kind, window in (("natural", None), ("natural", 50), ("horizontal", 7)):
        stream = client.submit(started_stream, kind, window, y[:2000]).result()
        local = started_stream(kind, window, y[:2000])
        assert len(stream) == 2000
        assert np.array_equal(stream.extend(y[2000:]), local.extend(y[2000:]))


def started_stream(kind, window, y):
    stream = kt.VisibilityStream(kind, window=window)
    stream.extend(y)
    return stream


def threads_of_a_task():
    """The thread limit, and the threads that started outside Python during
    calls that run in parallel when the limit allows it."""
    def outside():
        python = {thread.native_id for thread in threading.enumerate()}
        return set(map(int, os.listdir("/proc/self/task"))) - python

    pd.DataFrame({"loads": [1.0]}).astype({"loads": np.int64})   # pandas' own imports first
    before = outside()
    rows = np.random.default_rng(0).random((64, 3000))
    _kaltrope.natural_visibility_batch(rows)
    kt.features(rows[:8])
    return kt.get_num_threads(), len(outside() - before)


def test_workers_run_one_thread_per_task(client):
    assert set(client.run(os.environ.get, "OMP_NUM_THREADS").values()) == {"1"}
    # Two workers of two threads: four tasks at once, each on its worker's thread alone.
    futures = [client.submit(threads_of_a_task, pure=False) for _ in range(4)]
    assert client.gather(futures) == [(1, 0)] * 4


@settings(max_examples=8)
@given(st.integers(0, 2**32 - 1), st.sampled_from(["natural", "horizontal"]), st.integers(1, 60),
       st.sampled_from([(17,), (50, 3, 1, 40, 6), (100,), (9,)]))
def test_windowed_graph_of_a_long_series(client, seed, kind, window, chunks):
    y = np.random.default_rng(seed).integers(0, 5, 100).astype(float)   # ties: collinear and equal samples
    if seed % 2:
        y = np.cumsum(y - 2)
    dy = da.from_array(y, chunks=chunks if len(chunks) > 1 else chunks[0])
    frame = kt.dask.edges(dy, kind=kind, window=window).compute()
    assert list(frame.columns) == ["source", "target"]
    got = frame.to_numpy()
    expected = getattr(kt, f"{kind}_visibility_edges")(y, window=window)
    # Each edge once, with its global indices; the unbounded graph's edges of span <= window.
    assert len(got) == len(set(map(tuple, got))) == len(expected)
    assert set(map(tuple, got)) == set(map(tuple, expected))
    unbounded = getattr(kt, f"{kind}_visibility_edges")(y)
    assert set(map(tuple, got)) == {(a, b) for a, b in unbounded.tolist() if abs(b - a) <= window}
    degrees = kt.dask.degrees(dy, kind=kind, window=window)
    assert degrees.dtype == np.int64
    computed = degrees.compute()
    assert np.array_equal(computed, getattr(kt, f"{kind}_visibility_degrees")(y, window=window))
    assert np.array_equal(computed, np.bincount(got.ravel(), minlength=len(y)))


def test_windowed_keywords_pass_through(client):
    rng = np.random.default_rng(6)
    y, x = rng.random(500), np.cumsum(rng.random(500) + 0.1)
    dy, dx = da.from_array(y, chunks=64), da.from_array(x, chunks=100)
    frame = kt.dask.edges(dy, window=30, x=dx, penetrable=1, weight=WEIGHT).compute()
    pairs, weights = kt.natural_visibility_edges(y, x=x, window=30, penetrable=1, weight=WEIGHT)
    assert list(frame.columns) == ["source", "target", "weight"]
    assert dict(zip(zip(frame.source, frame.target), frame.weight)) == dict(zip(map(tuple, pairs.tolist()), weights))
    degrees = kt.dask.degrees(dy, window=30, x=x, penetrable=1).compute()
    assert np.array_equal(degrees, kt.natural_visibility_degrees(y, x=x, window=30, penetrable=1))
    for kind in ("natural", "horizontal"):
        degrees = kt.dask.degrees(dy, kind=kind, window=30, penetrable=2).compute()
        assert np.array_equal(degrees, getattr(kt, f"{kind}_visibility_degrees")(y, window=30, penetrable=2))


def test_weights_of_many_series(client):
    rows = rows_of(7, 12, 200)
    frame = kt.dask.edges(db.from_sequence(rows, npartitions=4), weight=WEIGHT).compute()
    pairs, weights = edges_by_series(frame, len(rows), weighted=True)
    for i, y in enumerate(rows):
        expected_pairs, expected_weights = kt.natural_visibility_edges(y, weight=WEIGHT)
        assert np.array_equal(pairs[i], expected_pairs) and np.array_equal(weights[i], expected_weights)


def test_errors_of_a_long_series_name_the_sample_in_the_whole_series(client):
    y, x = np.random.default_rng(8).random(300), np.arange(300.0)
    y[157] = np.nan
    x[221] = x[220]
    dy = da.from_array(y, chunks=50)
    for compute in (kt.dask.edges, kt.dask.degrees):
        with pytest.raises(ValueError, match=r"^non-finite value at index 157$"):
            compute(dy, window=10).compute()
        with pytest.raises(ValueError, match=r"^x must be finite and strictly increasing \(index 221\)$"):
            compute(da.from_array(np.nan_to_num(y), chunks=50), window=10, x=x).compute()


def test_one_series_needs_a_window():
    y = da.from_array(np.arange(10.0), chunks=5)
    for call in (lambda: kt.dask.edges(y), lambda: kt.dask.degrees(y)):
        with pytest.raises(ValueError, match="only with a window: an edge of the unbounded graph may span any"):
            call()
    for window in (0, -3, 1.5, True, "2"):
        with pytest.raises(ValueError, match="window must be a whole number >= 1"):
            kt.dask.degrees(y, window=window)
    with pytest.raises(ValueError, match="1-D array"):
        kt.dask.degrees(da.zeros((3, 3)), window=2)
    with pytest.raises(ValueError, match="x must have the length of the series"):
        kt.dask.edges(y, window=2, x=np.arange(9.0))
