"""Fuzzes the natural engines on raw bytes read as float64 values.

The scan, hull and auto engines and a natural stream in each mode must return
the same edges (the stream in its own order), or all refuse the same
non-finite sample with the same ValueError.

    python fuzz/fuzz_engines.py [-max_total_time=600] [corpus folder]
"""
import sys

import atheris
import numpy as np

with atheris.instrument_imports():
    import _kaltrope as kt


def by_target(edges):
    # The stream reports each sample's sources as it arrives: order by target,
    # then by source descending, as the stream does.
    return edges[np.lexsort((-edges[:, 0], edges[:, 1]))] if len(edges) else edges


def outcome(call):
    try:
        return call()
    except ValueError as error:
        return str(error)


def test_one_input(data):
    fdp = atheris.FuzzedDataProvider(data)
    explicit = fdp.ConsumeBool()
    raw = fdp.ConsumeBytes(fdp.remaining_bytes())
    values = np.frombuffer(raw[: len(raw) // 8 * 8], dtype=np.float64)
    if explicit:
        # Positions from the same bytes: the running sum of absolute values, kept increasing.
        y, x = values[0::2], None
        steps = np.abs(values[1::2][: len(y)])
        if len(steps) == len(y) and np.all(np.isfinite(steps)):
            x = np.cumsum(np.maximum(steps, 1e-300))
            if not np.all(np.diff(x) > 0) or not np.all(np.isfinite(x)):
                x = None
    else:
        y, x = values, None
    results = [outcome(lambda a=a: kt.natural_visibility_edges(y, x=x, algorithm=a)) for a in ("scan", "hull", "auto")]
    if isinstance(results[0], str):
        assert results[1] == results[0] and results[2] == results[0], results
        return
    for other in results[1:]:
        assert np.array_equal(other, results[0])
    for mode in ("scan", "auto", "indexed"):
        stream = kt.VisibilityStream("natural", mode=mode)
        streamed = stream.extend(y, t=x)
        assert np.array_equal(streamed, by_target(results[0])), mode


if __name__ == "__main__":
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()
