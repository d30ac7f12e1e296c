"""Fuzzes streams of every kind with random windows, pushes and runs.

A stream fed sample by sample, in runs, or refused runs in between, must give
the same edges as one run of everything, and the same edges as the array
functions within the window (natural and horizontal kinds).

    python fuzz/fuzz_streams.py [-max_total_time=600] [corpus folder]
"""
import sys

import atheris
import numpy as np

with atheris.instrument_imports():
    import _kaltrope as kt

KINDS = ["natural", "horizontal", "vector_natural", "vector_horizontal"]


def test_one_input(data):
    fdp = atheris.FuzzedDataProvider(data)
    kind = KINDS[fdp.ConsumeIntInRange(0, 3)]
    window = fdp.ConsumeIntInRange(0, 40) or None
    mode = ["auto", "scan", "indexed"][fdp.ConsumeIntInRange(0, 2)]
    dim = fdp.ConsumeIntInRange(1, 3) if kind.startswith("vector") else None
    count = fdp.ConsumeIntInRange(0, 300)
    # Small whole numbers make ties and collinear samples common.
    values = np.array([fdp.ConsumeIntInRange(-8, 8) for _ in range(count * (dim or 1))], dtype=np.float64)
    samples = values.reshape(count, dim) if dim else values
    make = lambda: kt.VisibilityStream(kind, window=window, dim=dim, mode=mode)

    whole = make().extend(samples)
    pieces = make()
    parts = []
    at = 0
    while at < count:
        step = fdp.ConsumeIntInRange(1, 50)
        if fdp.ConsumeBool():
            # A run with a bad sample is refused and leaves the stream as it was.
            bad = samples[at : at + step].copy()
            bad.flat[-1] = np.nan
            try:
                pieces.extend(bad)
                raise AssertionError("a NaN was accepted")
            except ValueError:
                pass
            assert len(pieces) == at
        if step == 1 and fdp.ConsumeBool():
            sources = pieces.push(samples[at] if dim else float(samples[at]))
            parts.append(np.column_stack([sources, np.full(len(sources), at)]).astype(np.int64))
        else:
            parts.append(pieces.extend(samples[at : at + step]))
        at = min(count, at + step)
    joined = np.concatenate(parts) if parts else np.zeros((0, 2), np.int64)
    assert np.array_equal(joined.reshape(-1, 2), whole.reshape(-1, 2)), (kind, window, mode)
    if kind in ("natural", "horizontal") and count:
        engine = kt.natural_visibility_edges if kind == "natural" else kt.horizontal_visibility_edges
        expected = engine(samples)
        if window:
            expected = expected[expected[:, 1] - expected[:, 0] <= window]
        assert {tuple(e) for e in expected.tolist()} == {tuple(e) for e in whole.tolist()}, (kind, window)


if __name__ == "__main__":
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()
