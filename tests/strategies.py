"""Hypothesis strategies for series: small integer sets with ties, plateaus
and collinear triples, whose cross-multiplied tests are exact."""
import numpy as np
from hypothesis import strategies as st


def series(max_size=40, min_size=0):
    """Small integer sets: ties, plateaus and collinear triples, exact products."""
    value_sets = [st.integers(0, 1), st.integers(0, 3), st.integers(-5, 5),
                  st.integers(-1000, 1000)]
    return st.sampled_from(value_sets).flatmap(
        lambda values: st.lists(values, min_size=min_size, max_size=max_size))


@st.composite
def series_with_positions(draw, max_size=40):
    y = draw(series(max_size=max_size))
    steps = draw(st.lists(st.integers(1, 4), min_size=len(y), max_size=len(y)))
    start = draw(st.integers(-20, 20))
    scale = draw(st.sampled_from([1.0, 0.5, 0.25, 4.0]))
    return y, [(start + s) * scale for s in np.cumsum(steps).tolist()]
