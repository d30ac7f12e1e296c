"""The kernels written for wider instruction sets give the portable kernels'
results exactly: every result below is computed in fresh processes that
use every kernel the processor offers, that keep the kernels from AVX-512
(the AVX2 ones run), and from AVX2 too (the portable ones run), through
KALTROPE_DISABLE_CPU_FEATURES."""
import pytest

from processes import run_python_json

# Prints the features the kernels use and a digest of each result.
KERNEL_RESULTS = """
    import hashlib, json
    import numpy as np
    import _kaltrope as kt

    rng = np.random.default_rng(7)
    walk = np.cumsum(rng.standard_normal(20000))
    series = {
        "walk": walk,
        "uniform": rng.random(20000),
        "rounded walk": np.round(walk, 1),
        "ramp of tenths": 0.1 * np.arange(3000),
        "huge walk": walk[:5000] * 1e142,
        "plateaus": rng.integers(0, 4, 5000).astype(float),
    }
    results = {}
    for name, y in series.items():
        for window in (None, 1, 7, 100, 2049):
            results[f"{name}, window {window}"] = kt.natural_visibility_edges(y, window=window)
        results[f"{name}, scan"] = kt.natural_visibility_edges(y, algorithm="scan")
        results[f"{name}, degrees"] = kt.natural_visibility_degrees(y)
        results[f"{name}, degrees, window 100"] = kt.natural_visibility_degrees(y, window=100)
    rows = np.vstack([rng.standard_normal((4, 3000)), rng.integers(0, 3, (4, 3000)).astype(float)])
    for kind in ("natural", "horizontal"):
        results[f"motifs, {kind}"] = kt.visibility_motifs(rows, kind)
    times = np.cumsum(rng.random(2000) + 0.01)
    for dim in (1, 2, 3, 4, 5):
        x = rng.standard_normal((2000, dim))
        results[f"vectors, natural, {dim}"] = kt.natural_vector_visibility_edges(x, times)
        results[f"vectors, horizontal, {dim}"] = kt.horizontal_vector_visibility_edges(x)
    results["betweenness"] = kt.natural_visibility(walk[:1500]).betweenness_centralities()
    digests = {name: hashlib.sha256(np.ascontiguousarray(a).tobytes()).hexdigest() for name, a in results.items()}
    print(json.dumps({"features": kt.cpu_features(), "digests": digests}))
"""


def kernel_results(disabled):
    return run_python_json(KERNEL_RESULTS, env={"KALTROPE_DISABLE_CPU_FEATURES": disabled})


@pytest.fixture(scope="module")
def every_kernel():
    return kernel_results(None)


@pytest.mark.parametrize("disabled, used", [
    ("avx512", {"avx512": False}),
    ("AVX2", {"avx2": False, "avx512": False}),
    (" avx512 , avx2 ", {"avx2": False, "avx512": False}),
])
def test_narrower_kernels_give_the_same_results(every_kernel, disabled, used):
    narrower = kernel_results(disabled)
    assert narrower["features"] == {**every_kernel["features"], **used}
    differing = [name for name, digest in every_kernel["digests"].items() if narrower["digests"][name] != digest]
    assert differing == []


def test_unknown_names_warn_and_disable_nothing(every_kernel):
    seen = run_python_json("""
        import json, warnings
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            import _kaltrope as kt
        print(json.dumps({"features": kt.cpu_features(), "warnings": [str(w.message) for w in caught]}))
    """, env={"KALTROPE_DISABLE_CPU_FEATURES": "sse9,,avx512f"})
    assert seen["features"] == every_kernel["features"]
    assert seen["warnings"] == [
        "KALTROPE_DISABLE_CPU_FEATURES names ['sse9', 'avx512f'], which disable nothing and are ignored; "
        "the names are 'avx2' and 'avx512'"]
