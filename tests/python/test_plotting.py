"""Pictures with the Agg backend: one line per edge below the decimation limit,
a legend that says when edges were left out, and files of the asked size."""
import numpy as np
import pytest

import kaltrope as kt

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


@pytest.fixture(autouse=True)
def close_figures():
    yield
    plt.close("all")


def segments(ax):
    return ax.collections[-1].get_segments()


@pytest.mark.parametrize("kind", ["natural", "horizontal"])
def test_one_line_per_edge(kind):
    y = np.random.default_rng(1).random(300)
    edges = kt.natural_visibility_edges(y) if kind == "natural" else kt.horizontal_visibility_edges(y)
    lines = segments(kt.plot(y, kind=kind))
    assert len(lines) == len(edges)
    a, b = edges[:, 0], edges[:, 1]
    starts = np.array([line[0] for line in lines])
    ends = np.array([line[1] for line in lines])
    assert np.array_equal(starts[:, 0], a) and np.array_equal(ends[:, 0], b)
    if kind == "natural":
        assert np.array_equal(starts[:, 1], y[a]) and np.array_equal(ends[:, 1], y[b])
    else:
        assert np.array_equal(starts[:, 1], np.minimum(y[a], y[b])) and np.array_equal(starts[:, 1], ends[:, 1])


def test_decimation_is_said_in_the_legend():
    y = np.random.default_rng(2).random(3000)
    edges = kt.natural_visibility_edges(y)
    ax = kt.plot(y, edges, max_edges=1000)
    assert len(segments(ax)) == 1000
    assert f"1000 of {len(edges)} edges shown" in ax.get_legend().get_texts()[0].get_text()


def test_positions_bars_and_given_axes():
    fig, ax = plt.subplots()
    x = np.array([0.0, 1.0, 5.0, 6.0])
    assert kt.plot([1.0, 3.0, 2.0, 4.0], x=x, ax=ax, bars=True) is ax
    assert {line[0][0] for line in segments(ax)} <= set(x)


@pytest.mark.parametrize("call, message", [
    (lambda: kt.plot([1.0, 2.0], kind="vector"), "unknown kind"),
    (lambda: kt.plot([1.0, 2.0], max_edges=0), "max_edges"),
    (lambda: kt.plot([[1.0, 2.0]]), "one-dimensional"),
    (lambda: kt.plot([1.0, 2.0], [[0, 5]]), "outside the series"),
    (lambda: kt.plot([1.0, 2.0], x=[0.0]), "one position per sample"),
])
def test_bad_arguments(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_degree_distribution_with_the_iid_reference(tmp_path):
    y = np.random.default_rng(3).random(5000)
    edges = kt.horizontal_visibility_edges(y)
    ax = kt.plot_degree_distribution(edges)
    points, reference = ax.get_lines()
    degrees = np.bincount(edges.ravel())
    k, p = points.get_data()
    assert np.allclose(p, np.bincount(degrees)[k] / len(degrees))
    ks, law = reference.get_data()
    assert np.allclose(law, (1 / 3) * (2 / 3) ** (ks - 2))
    ax.figure.set_size_inches(3, 2)
    ax.figure.savefig(tmp_path / "degrees.png", dpi=100)
    png = (tmp_path / "degrees.png").read_bytes()
    assert int.from_bytes(png[16:20], "big") == 300 and int.from_bytes(png[20:24], "big") == 200


@pytest.mark.parametrize("edges, n", [
    (np.empty((0, 2), dtype=np.int64), None),
    ([], 4),
    (kt.natural_visibility([1.0]), None),
    (kt.natural_visibility([np.nan, np.nan, np.nan]), None),
])
def test_degree_distribution_of_an_edgeless_graph_draws(edges, n, tmp_path):
    ax = kt.plot_degree_distribution(edges, n=n)
    assert len(ax.get_lines()[0].get_xdata()) == 0
    ax.figure.savefig(tmp_path / "edgeless.png")


@pytest.mark.parametrize("edges, n, message", [
    ([[0, 5]], 3, "n=3 is too small for an edge to node 5"),
    ([[0, 1]], -1, "n must be at least 0, got -1"),
    ([[-1, 2]], None, "negative node indices"),
    ([[0, 1, 2]], None, r"an \(E, 2\) array of integers, got shape \(1, 3\)"),
])
def test_degree_distribution_rejects_edges_outside_the_nodes(edges, n, message):
    with pytest.raises(ValueError, match=message):
        kt.plot_degree_distribution(edges, n=n)


def test_a_graph_knows_its_nodes():
    with pytest.raises(TypeError, match="n only with an edge array"):
        kt.plot_degree_distribution(kt.natural_visibility([1.0, 2.0]), n=5)


@pytest.mark.parametrize("call", [
    lambda: kt.plot([1.0, 3.0, 2.0], [[0, 1]], x=[0.0, 0.0, 1.0], bars=True),
    lambda: kt.plot([1.0, 3.0, 2.0], kind="horizontal", x=[2.0, 1.0, 0.0], bars=True),
    lambda: kt.plot([1.0, 3.0, 2.0], [[0, 2]], x=[0.0, np.nan, 1.0]),
])
def test_given_positions_are_checked_whatever_draws_the_lines(call):
    # Bars took a zero or negative width from such positions.
    with pytest.raises(ValueError, match="x must be finite and strictly increasing"):
        call()


@pytest.mark.parametrize("y, edges", [([], None), ([2.0], None), ([np.nan] * 4, [[0, 3]]), ([2.0] * 5, None)])
def test_degenerate_series_draw(y, edges, tmp_path):
    ax = kt.plot(y, edges, bars=True)
    ax.figure.savefig(tmp_path / "series.png")
    assert len(segments(ax)) == (len(edges) if edges is not None else max(len(y) - 1, 0))
