"""Parallel mode (from 32768 samples), the worker pool, concurrent Python
threads and fork.  The parallel results are compared with sequential ones: the
batch engine (one row computed sequentially by one worker), the same call in a
process pinned to one CPU, and a gap-filled uniform series for positions."""
import os
import threading
import time

import numpy as np
import pytest

import _kaltrope as kt
from oracles import spot_check_natural
from processes import run_python

NAT = kt.natural_visibility_edges
N = 40000


def _inputs():
    rng = np.random.default_rng(2024)
    runs = []
    while sum(map(len, runs)) < N:
        runs.append(np.cumsum(rng.random(int(rng.integers(2000, 4000)))))
    return {
        "iid": rng.random(N),
        "saw": np.concatenate(runs)[:N] + 1e-4 * np.arange(N),
        "walk": np.cumsum(rng.integers(-2, 3, N)).astype(np.float64),
        "x": np.cumsum(rng.integers(1, 4, N)).astype(np.float64),
    }


DATA = _inputs()
SERIES = ["iid", "saw", "walk"]


def _compute(kt_module, data):
    """Every result that the subprocesses recompute, by name."""
    out = {}
    for name in SERIES:
        y = data[name]
        for alg in ("auto", "scan", "hull"):
            out[f"{name}_{alg}"] = kt_module.natural_visibility_edges(y, None, alg)
            out[f"{name}_{alg}_x"] = kt_module.natural_visibility_edges(y, data["x"], alg)
        out[f"{name}_horizontal"] = kt_module.horizontal_visibility_edges(y)
    rows = np.stack([data[name][:5000] for name in SERIES] * 4)
    for kind in ("natural", "horizontal"):
        fn = getattr(kt_module, f"{kind}_visibility_batch")
        out[f"{kind}_batch_edges"], out[f"{kind}_batch_offsets"] = fn(rows)
    return out


@pytest.fixture(scope="module")
def in_process():
    return _compute(kt, DATA)


@pytest.mark.parametrize("name", SERIES)
def test_parallel_equals_sequential_batch_row(in_process, name):
    y = DATA[name]
    edges, offsets = kt.natural_visibility_batch([y])
    assert offsets.tolist() == [0, len(edges)]
    for alg in ("auto", "scan", "hull"):
        assert np.array_equal(in_process[f"{name}_{alg}"], edges), alg
    plan = kt.natural_visibility_plan(y)        # "saw" runs the parallel hull engine
    assert plan["parallel"] and plan["algorithm"] == ("hull" if name == "saw" else "scan")


def test_parallel_integer_walk_against_definition(in_process):
    rng = np.random.default_rng(3)
    spot_check_natural(DATA["walk"], None, in_process["walk_auto"], rng, samples=3)
    spot_check_natural(DATA["walk"], DATA["x"], in_process["walk_auto_x"], rng, samples=3)


@pytest.mark.parametrize("name", SERIES)
def test_parallel_positions_equal_gap_filled_series(in_process, name):
    # Integer positions: fill every gap with a sample lower than any sample of
    # the series.  Such a filler lies strictly below every line between two
    # original samples, so the edges among original samples are unchanged and
    # keep their order; the filled series has uniform positions.
    y, x = DATA[name], DATA["x"].astype(np.int64)
    full = np.full(x[-1] - x[0] + 1, y.min() - 1.0)
    full[x - x[0]] = y
    index = np.full(len(full), -1)
    index[x - x[0]] = np.arange(len(y))
    edges, _ = kt.natural_visibility_batch([full])
    mapped = index[edges]
    want = mapped[(mapped >= 0).all(axis=1)]
    for alg in ("auto", "scan", "hull"):
        assert np.array_equal(in_process[f"{name}_{alg}_x"], want), alg


SUBPROCESS = """
import os, sys
if sys.argv[2] == "pinned":
    os.sched_setaffinity(0, {0})      # before the module and its pool exist
import numpy as np
import _kaltrope as kt
sys.path.insert(0, sys.argv[4])
from test_parallel import _compute
data = dict(np.load(sys.argv[1]))
if sys.argv[2] == "pinned":
    assert os.sched_getaffinity(0) == {0}
np.savez(sys.argv[3], **_compute(kt, data))
"""


@pytest.mark.parametrize("mode", ["pinned", "unpinned"])
def test_same_results_on_one_cpu_and_on_all(in_process, tmp_path, mode):
    src = tmp_path / "data.npz"
    np.savez(src, **DATA)
    out = tmp_path / "out.npz"
    run_python(SUBPROCESS, src, mode, out, os.path.dirname(__file__), timeout=240)
    got = np.load(out)
    assert sorted(got.files) == sorted(in_process)
    for key, value in in_process.items():
        assert np.array_equal(got[key], value), key
        assert got[key].dtype == np.int64


def test_concurrent_calls_from_python_threads(in_process):
    small = np.random.default_rng(1).integers(0, 5, 3000).astype(np.float64)
    jobs = [
        ("iid_auto", lambda: NAT(DATA["iid"])),
        ("saw_hull", lambda: NAT(DATA["saw"], algorithm="hull")),
        ("walk_scan_x", lambda: NAT(DATA["walk"], DATA["x"], "scan")),
        ("walk_horizontal", lambda: kt.horizontal_visibility_edges(DATA["walk"])),
        ("small", lambda: NAT(small, algorithm="hull")),
        ("plan", lambda: kt.natural_visibility_plan(DATA["saw"])),
        ("batch", lambda: np.concatenate(kt.natural_visibility_batch([small] * 8), None)),
    ]
    expected = {name: job() for name, job in jobs}
    assert np.array_equal(expected["iid_auto"], in_process["iid_auto"])
    failures = []

    def worker(offset):
        try:
            for r in range(3):
                for k in range(len(jobs)):
                    name, job = jobs[(k + offset) % len(jobs)]
                    got, want = job(), expected[name]
                    if not (got == want if name == "plan" else np.array_equal(got, want)):
                        failures.append((offset, r, name))
        except BaseException as exc:  # reported below
            failures.append((offset, "exception", repr(exc)))

    threads = [threading.Thread(target=worker, args=(t,), daemon=True) for t in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=240)
    assert not any(t.is_alive() for t in threads), "threads did not finish"
    assert failures == []


@pytest.mark.parametrize("call", [lambda y: NAT(y, algorithm="scan"),
                                  lambda y: kt.natural_visibility_batch([y])])
def test_interpreter_lock_is_released_while_computing(call):
    y = np.arange(20000.0)          # about 2e8 candidates for the scan engine
    done, ticks = threading.Event(), 0
    worker = threading.Thread(target=lambda: (call(y), done.set()), daemon=True)
    worker.start()
    while not done.is_set():
        ticks += 1
        time.sleep(0.001)
    worker.join()
    assert ticks >= 20, "other Python threads were blocked during the computation"


FORK = """
import os, sys
import numpy as np
import _kaltrope as kt
rng = np.random.default_rng(9)
y = np.cumsum(rng.standard_normal(40000))
rows = [rng.random(2000) for _ in range(32)]
if sys.argv[1] == "warm":
    ref = kt.natural_visibility_edges(y)          # the worker pool now exists
    ref_batch = kt.horizontal_visibility_batch(rows)
else:
    ref = ref_batch = None
pid = os.fork()
if pid == 0:
    try:
        got = kt.natural_visibility_edges(y)
        got_hull = kt.natural_visibility_edges(y, algorithm="hull")
        batch = kt.horizontal_visibility_batch(rows)
        nbatch = kt.natural_visibility_batch([y])
        ok = np.array_equal(got, got_hull) and np.array_equal(got, nbatch[0])
        if ref is not None:
            ok = ok and np.array_equal(got, ref)
            ok = ok and all(np.array_equal(a, b) for a, b in zip(batch, ref_batch))
        os._exit(0 if ok else 3)
    except BaseException:
        os._exit(4)
_, status = os.waitpid(pid, 0)
code = os.waitstatus_to_exitcode(status)
assert code == 0, f"child exited with {code}"
# The parent's pool still works after the fork.
assert np.array_equal(kt.natural_visibility_edges(y), kt.natural_visibility_batch([y])[0])
"""


@pytest.mark.parametrize("pool", ["warm", "cold"])
def test_parallel_call_in_forked_child(pool):
    run_python(FORK, pool, timeout=120)


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer's allocator (GCC 12) may hang a child forked while another thread allocates")
def test_forked_child_computes_a_graph_result_the_parent_was_computing():
    # The thread computing it in the parent does not exist in the child.
    out = run_python("""
        import os, signal, threading, time
        import numpy as np
        import kaltrope as kt

        graph = kt.natural_visibility(np.cumsum(np.random.default_rng(0).normal(size=9000)))
        thread = threading.Thread(target=graph.betweenness_centrality_all)
        thread.start()
        time.sleep(0.3)
        pid = os.fork()
        if pid == 0:
            signal.alarm(60)          # a child that waits for ever ends
            whole = graph.betweenness_centrality_all()
            os._exit(0 if len(whole) == 9000 and graph.betweenness_centrality_all() == whole else 3)
        thread.join()
        print(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]), len(graph.betweenness_centrality_all()))
    """, timeout=120)
    assert out.split() == ["0", "9000"]


@pytest.mark.parametrize("call", ["kt.natural_visibility_edges(y)", "kt.horizontal_visibility_batch([y, y])",
                                  "kt.TimeSeries.from_csv_string(csv, 't', 'v')"])
def test_exit_while_daemon_threads_are_in_calls(call):
    # Shutdown runs slow finalizers while daemon threads keep finishing calls:
    # the interpreter ends a thread that asks for its lock back then, and
    # that once aborted the process.
    out = run_python(f"""
        import threading, time
        import numpy as np
        import _kaltrope as kt

        y = np.random.default_rng(0).random(20_000)
        csv = "t,v\\n" + "".join(f"{{i}},{{v}}\\n" for i, v in enumerate(y[:5000]))
        def loop():
            while True:
                {call}
        for _ in range(3):
            threading.Thread(target=loop, daemon=True).start()

        class Slow:
            def __del__(self):
                time.sleep(0.001)
        garbage = [Slow() for _ in range(1000)]
        time.sleep(0.2)
        print("exiting")
    """, timeout=120)
    assert out == "exiting\n"
