"""Brute-force references of the array engines, and checks of their results.

Natural visibility: a < b see each other when every sample k between them lies
strictly below the line through (x_a, y_a) and (x_b, y_b), tested
cross-multiplied: (y_k - y_a) * (x_b - x_a) < (y_b - y_a) * (x_k - x_a).
Horizontal visibility: every sample between is strictly lower than both ends.

The documented order follows from who owns an edge: a natural edge belongs to
the endpoint with the larger value (the left one on a tie); samples come in
ascending order, each giving its left edges nearest first, then its right edges
nearest first.  Horizontal edges are sorted by b ascending, then a descending.
"""
from fractions import Fraction

import numpy as np

ALGORITHMS = ("auto", "scan", "hull")


def natural_oracle(y, x=None):
    """Natural edges in the documented order, as a list of (a, b)."""
    y = np.asarray(y, dtype=np.float64)
    n = len(y)
    x = np.arange(n, dtype=np.float64) if x is None else np.asarray(x, dtype=np.float64)
    a, b, k = np.ogrid[:n, :n, :n]
    below = (y[k] - y[a]) * (x[b] - x[a]) < (y[b] - y[a]) * (x[k] - x[a])
    vis = np.all(below | ~((a < k) & (k < b)), axis=2)
    edges = []
    for i in range(n):
        edges += [(j, i) for j in range(i - 1, -1, -1) if vis[j, i] and y[i] > y[j]]
        edges += [(i, j) for j in range(i + 1, n) if vis[i, j] and y[i] >= y[j]]
    return edges


def exact_natural_oracle(y, x=None):
    """natural_oracle on the exact rational values of the doubles
    (fractions.Fraction): no product or difference rounds."""
    y = [Fraction(float(v)) for v in np.asarray(y, dtype=np.float64)]
    n = len(y)
    x = list(range(n)) if x is None else [Fraction(float(v)) for v in np.asarray(x, dtype=np.float64)]

    def visible(a, b):
        dx, dy = x[b] - x[a], y[b] - y[a]
        return all((y[k] - y[a]) * dx < dy * (x[k] - x[a]) for k in range(a + 1, b))

    edges = []
    for i in range(n):
        edges += [(j, i) for j in range(i - 1, -1, -1) if y[i] > y[j] and visible(j, i)]
        edges += [(i, j) for j in range(i + 1, n) if y[i] >= y[j] and visible(i, j)]
    return edges


def horizontal_oracle(y):
    y = [float(v) for v in np.asarray(y, dtype=np.float64)]
    edges = [(a, b) for b in range(len(y)) for a in range(b - 1, -1, -1)
             if all(y[k] < min(y[a], y[b]) for k in range(a + 1, b))]
    return edges


def windows_oracle(y):
    """Each sample's window [lo, hi] in which it is the leftmost maximum."""
    y = np.asarray(y, dtype=np.float64)
    lo, hi = [], []
    for i in range(len(y)):
        left = np.flatnonzero(y[:i] >= y[i])
        right = np.flatnonzero(y[i + 1:] > y[i])
        lo.append(int(left[-1]) + 1 if len(left) else 0)
        hi.append(i + int(right[0]) if len(right) else len(y) - 1)
    return lo, hi


def scan_work_oracle(y):
    lo, hi = windows_oracle(y)
    return sum(h - l for l, h in zip(lo, hi))


def exact_neighbours(y, x, i):
    """Samples seeing sample i, by exact rational slopes: j is visible when its
    slope from i exceeds the slope to every sample in between."""
    yi, xi = Fraction(float(y[i])), Fraction(float(x[i]))
    found = set()
    for step in (1, -1):
        best, j = None, i + step
        while 0 <= j < len(y):
            slope = (Fraction(float(y[j])) - yi) / abs(Fraction(float(x[j])) - xi)
            if best is None or slope > best:
                found.add(j)
                best = slope
            j += step
    return found


def spot_check_natural(y, x, edges, rng, samples=4, edge_samples=300):
    """Check a large natural edge array without the cubic oracle: documented
    order, no duplicates, sampled edges visible, and the full neighbour sets of
    a few sampled samples.  Exact for integer-valued y and x."""
    y = np.asarray(y, dtype=np.float64)
    x = np.arange(len(y), dtype=np.float64) if x is None else np.asarray(x, dtype=np.float64)
    e = [tuple(r) for r in edges.tolist()]
    assert len(set(e)) == len(e) and all(a < b for a, b in e)
    keys = [(b, 0, b - a) if y[b] > y[a] else (a, 1, b - a) for a, b in e]
    assert keys == sorted(keys), "edges are not in the documented order"
    for a, b in (e[i] for i in rng.choice(len(e), min(edge_samples, len(e)), replace=False)):
        k = np.arange(a + 1, b)
        assert np.all((y[k] - y[a]) * (x[b] - x[a]) < (y[b] - y[a]) * (x[k] - x[a])), (a, b)
    for i in rng.choice(len(y), size=samples, replace=False).tolist():
        mine = {a + b - i for a, b in e if i in (a, b)}
        assert mine == exact_neighbours(y, x, i), f"neighbours of {i}"



def pairs(arr):
    """An (E, 2) int64 C-order result as a list of tuples."""
    assert isinstance(arr, np.ndarray) and arr.dtype == np.int64
    assert arr.ndim == 2 and arr.shape[1] == 2 and arr.flags.c_contiguous
    return [tuple(int(v) for v in row) for row in arr]


def check_batch(result, expected_rows):
    """Check a batch result (edges, offsets) against per-row edge lists."""
    assert isinstance(result, tuple) and len(result) == 2
    edges, offsets = result
    got = pairs(edges)
    assert isinstance(offsets, np.ndarray) and offsets.dtype == np.int64
    assert offsets.tolist() == [0] + np.cumsum([len(r) for r in expected_rows]).tolist()
    for k, rows in enumerate(expected_rows):
        assert got[offsets[k]:offsets[k + 1]] == list(rows), f"row {k}"


def limited_natural_oracle(y, x=None, penetrable=0, window=None):
    """Limited penetrable natural edges in the documented order: a < b are
    joined when b - a <= window and at most `penetrable` samples between them
    lie on or above their line, counted with exact rational arithmetic."""
    y = [Fraction(float(v)) for v in np.asarray(y, dtype=np.float64)]
    n = len(y)
    x = list(range(n)) if x is None else [Fraction(float(v)) for v in np.asarray(x, dtype=np.float64)]

    def joined(a, b):
        if window is not None and b - a > window:
            return False
        dx, dy = x[b] - x[a], y[b] - y[a]
        return sum((y[k] - y[a]) * dx >= dy * (x[k] - x[a]) for k in range(a + 1, b)) <= penetrable

    edges = []
    for i in range(n):
        edges += [(j, i) for j in range(i - 1, -1, -1) if y[i] > y[j] and joined(j, i)]
        edges += [(i, j) for j in range(i + 1, n) if y[i] >= y[j] and joined(i, j)]
    return edges


def limited_horizontal_oracle(y, penetrable=0, window=None):
    """Limited penetrable horizontal edges by b, then a descending: at most
    `penetrable` samples between a and b are at least min(y_a, y_b)."""
    y = [float(v) for v in np.asarray(y, dtype=np.float64)]
    return [(a, b) for b in range(len(y)) for a in range(b - 1, -1, -1)
            if (window is None or b - a <= window)
            and sum(y[k] >= min(y[a], y[b]) for k in range(a + 1, b)) <= penetrable]


def directed(edges, y):
    """Edges (a, b) written (higher sample, lower sample); ties stay (a, b)."""
    return [(b, a) if y[b] > y[a] else (a, b) for a, b in edges]


def weight_oracle(edges, y, x, weight):
    """The weight of each edge (p, q) as written, by its definition."""
    y = np.asarray(y, dtype=np.float64)
    x = np.arange(len(y), dtype=np.float64) if x is None else np.asarray(x, dtype=np.float64)
    e = np.asarray(edges, dtype=np.int64).reshape(-1, 2)
    dx = x[e[:, 1]] - x[e[:, 0]]
    dy = y[e[:, 1]] - y[e[:, 0]]
    with np.errstate(divide="ignore", invalid="ignore"):
        values = {
            "distance": np.hypot(dx, dy), "sq_distance": dx * dx + dy * dy,
            "v_distance": dy, "abs_v_distance": np.abs(dy), "h_distance": dx, "abs_h_distance": np.abs(dx),
            "slope": dy / dx, "abs_slope": np.abs(dy / dx),
            "angle": np.arctan(dy / dx), "abs_angle": np.abs(np.arctan(dy / dx)),
        }
    return values[weight]
