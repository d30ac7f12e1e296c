"""The thread limit: get_num_threads / set_num_threads, the starting limit from
the environment, the worker threads the pool really starts (counted in
/proc/self/task), and results that do not depend on the limit."""
import os
import subprocess
import sys
import threading

import numpy as np
import pytest

import kaltrope as kt
from processes import run_python_json

CPUS = len(os.sched_getaffinity(0))


@pytest.fixture
def restore_limit():
    before = kt.get_num_threads()
    yield
    kt.set_num_threads(before)


def test_set_and_get(restore_limit):
    for n in (3, 1, 1024, 2):
        kt.set_num_threads(n)
        assert kt.get_num_threads() == n
    kt.set_num_threads(n=np.int64(5))          # any integer with __index__, by keyword too
    assert kt.get_num_threads() == 5


@pytest.mark.parametrize("bad, error, words", [
    (0, ValueError, "from 1 to 1024, got 0"),
    (-3, ValueError, "got -3"),
    (1025, ValueError, "got 1025"),
    (2**70, ValueError, "got 1180591620717411303424"),
    (2.0, TypeError, "must be an int, not float"),
    ("2", TypeError, "not str"),
    (None, TypeError, "not NoneType"),
    (True, TypeError, "not bool"),
    (np.float64(2), TypeError, "not float64"),
])
def test_bad_limits_are_refused_and_change_nothing(restore_limit, bad, error, words):
    kt.set_num_threads(3)
    with pytest.raises(error, match=words):
        kt.set_num_threads(bad)
    assert kt.get_num_threads() == 3


STARTING = """
import json, warnings
with warnings.catch_warnings(record=True) as caught:
    warnings.simplefilter("always")
    import kaltrope as kt
print(json.dumps([kt.get_num_threads(), [(w.category.__name__, str(w.message)) for w in caught]]))
"""


@pytest.mark.parametrize("own, openmp, expected", [
    (None, None, min(CPUS, 1024)),
    ("3", None, 3),
    (" 4\t", "2", 4),              # blanks allowed; the own variable wins
    ("1", "3", 1),
    ("", "3", 3),                  # empty counts as unset
    (None, "5,2", 5),              # OpenMP's list: the outermost level
    (None, " 6 ", 6),
    (None, "0", min(CPUS, 1024)),  # OpenMP's to report
    (None, "abc", min(CPUS, 1024)),
    (None, ",3", min(CPUS, 1024)),
    (None, "1025", min(CPUS, 1024)),
])
def test_starting_limit_from_environment(own, openmp, expected):
    threads, caught = run_python_json(STARTING, env={"KALTROPE_NUM_THREADS": own, "OMP_NUM_THREADS": openmp})
    assert threads == expected
    assert caught == []


@pytest.mark.parametrize("own, openmp", [("0", None), ("-2", "3"), ("2.5", None), ("abc", "3"), ("+2", None),
                                         ("1025", "3"), ("3,2", None), ("99999999999999999999999", "3")])
def test_invalid_own_variable_warns_and_is_ignored(own, openmp):
    expected = 3 if openmp else min(CPUS, 1024)
    threads, caught = run_python_json(STARTING, env={"KALTROPE_NUM_THREADS": own, "OMP_NUM_THREADS": openmp})
    assert threads == expected
    assert len(caught) == 1
    category, message = caught[0]
    assert category == "RuntimeWarning"
    assert f"KALTROPE_NUM_THREADS={own!r}" in message and f"starts with {expected} threads" in message


def test_invalid_own_variable_fails_the_import_when_warnings_are_errors():
    env = dict(os.environ, KALTROPE_NUM_THREADS="zero")
    proc = subprocess.run([sys.executable, "-W", "error::RuntimeWarning", "-c", "import _kaltrope"], env=env,
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode != 0 and "RuntimeWarning: KALTROPE_NUM_THREADS='zero'" in proc.stderr


# Worker threads counted around calls big enough to run in parallel.
COUNT = """
import json, os, sys
import numpy as np
import kaltrope as kt

def tasks():
    return len(os.listdir("/proc/self/task"))

def work():
    rng = np.random.default_rng(0)
    kt.natural_visibility_batch(rng.random((64, 2000)))
    kt.natural_visibility_edges(rng.random(50_000))
    kt.horizontal_visibility_batch(list(rng.random((64, 1000))))
    kt.natural_visibility(rng.random(1000)).betweenness_centrality_all()

base = tasks()
extra = []
for step in sys.argv[1:]:          # "small": one call too small to share; else set the limit ("-": keep it)
    if step == "small":
        kt.natural_visibility_edges(np.arange(5.0))
    else:
        if step != "-":
            kt.set_num_threads(int(step))
        work()
    extra.append(tasks() - base)
print(json.dumps(extra))
"""


def count_workers(env, steps):
    return run_python_json(COUNT, *steps, env=env)


@pytest.mark.parametrize("env, steps", [
    ({"KALTROPE_NUM_THREADS": "1"}, ["-"]),
    ({"OMP_NUM_THREADS": "1"}, ["-"]),
    ({"KALTROPE_NUM_THREADS": "4"}, ["1"]),      # set before any parallel call
])
def test_limit_of_one_starts_no_worker(env, steps):
    assert count_workers(env, steps) == [0]


def test_workers_start_lazily_up_to_the_limit_and_idle_when_it_drops():
    # 2 threads: the caller and one worker; raising the limit adds workers;
    # lowering it stops none and starts none.
    assert count_workers({"KALTROPE_NUM_THREADS": "2"}, ["-", "3", "1", "2", "4"]) == [1, 2, 2, 2, 3]


def test_no_worker_before_a_parallel_call():
    assert count_workers({"KALTROPE_NUM_THREADS": "3"}, ["small", "-"]) == [0, 2]


BUSY = """
import json, os
import numpy as np
import kaltrope as kt

def tasks():
    return set(os.listdir("/proc/self/task"))

def cpu_ticks(task):
    fields = open(f"/proc/self/task/{task}/stat").read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])      # user and system time

# Ramps: the scan engine's work is 1.6e8 candidates, in one parallel loop
# (the 72 000 edges are copied without the pool).
ramps = np.tile(np.arange(8000.0), 5)
def call():
    kt.natural_visibility_edges(ramps, algorithm="scan")

base = tasks()
kt.set_num_threads(3)
call()
workers = sorted(tasks() - base)
gained = {}
for n in (3, 3, 2, 2, 2, 1):
    kt.set_num_threads(n)
    before = [cpu_ticks(task) for task in workers]
    call()
    gained.setdefault(n, []).append([cpu_ticks(task) - b for task, b in zip(workers, before)])
print(json.dumps([len(workers), gained]))
"""


def test_a_call_uses_no_more_threads_than_the_limit():
    # A worker that stays out of a call gains no CPU time; one that helps
    # gains ticks of 10 ms. Both workers help calls with a limit of 3 (over
    # two calls, should the machine be busy), at most one helps each call
    # with a limit of 2, and none with a limit of 1.
    workers, gained = run_python_json(BUSY, env={"OPENBLAS_NUM_THREADS": "1"})
    assert workers == 2
    assert all(sum(ticks) >= 3 for ticks in zip(*gained["3"])), gained
    assert all(sum(ticks >= 2 for ticks in call) <= 1 for call in gained["2"]), gained
    assert gained["1"] == [[0, 0]], gained


FORKED = """
import json, os
import numpy as np
import kaltrope as kt
kt.set_num_threads(3)
kt.natural_visibility_batch(np.random.default_rng(0).random((64, 2000)))   # the parent's workers exist
read, write = os.pipe()
pid = os.fork()
if pid == 0:
    before = len(os.listdir("/proc/self/task"))
    edges, _ = kt.natural_visibility_batch(np.random.default_rng(0).random((64, 2000)))
    report = [kt.get_num_threads(), before, len(os.listdir("/proc/self/task")), len(edges)]
    os.write(write, json.dumps(report).encode())
    os._exit(0)
os.close(write)
child = json.loads(os.read(read, 1000))
os.waitpid(pid, 0)
print(json.dumps(child))
"""


def test_forked_child_keeps_the_limit_and_starts_its_own_workers():
    threads, before, after, edges = run_python_json(FORKED)
    assert threads == 3 and before == 1 and after == 3 and edges > 0


def measure_everything():
    """Every parallel path's results, by name: arrays, lists and dicts."""
    rng = np.random.default_rng(12)
    y = rng.random(50_000)
    walk = np.cumsum(rng.normal(size=50_000))
    rows = rng.random((200, 700))
    out = {}
    for name, series in (("uniform", y), ("walk", walk)):
        for algorithm in ("scan", "hull"):
            out[f"natural {name} {algorithm}"] = kt.natural_visibility_edges(series, algorithm=algorithm)
        out[f"natural {name} x"] = kt.natural_visibility_edges(series, x=np.cumsum(rng.random(50_000) + 0.5))
        out[f"horizontal {name}"] = kt.horizontal_visibility_edges(series)
    for kind in ("natural", "horizontal"):
        out[f"{kind} batch"], out[f"{kind} offsets"] = getattr(kt, f"{kind}_visibility_batch")(rows)
    X = rng.normal(size=(20_000, 3))
    out["vector"], out["vector weights"] = kt.natural_vector_visibility_edges(X, weight="cosine_similarity")
    out["motifs"] = kt.visibility_motifs(rows)
    graph = kt.natural_visibility(y[:1500])
    statistics = graph.compute_statistics()
    out["betweenness"] = graph.betweenness_centrality_all()
    out["statistics"] = [getattr(statistics, field) for field in (
        "average_clustering", "global_clustering", "average_path_length", "diameter", "radius", "assortativity")]
    out["graph motifs"] = graph.detect_motifs().counts()
    out["communities"] = graph.detect_communities()
    # Refined and grouped by several threads.
    out["communities of 5000"] = kt.natural_visibility(walk[:5000]).detect_communities(seed=3)
    # Read in 1 MiB pieces on the pool: about 3 MiB.
    csv = "t,v\n" + "".join(f"{i},{v!r}\n" for i, v in enumerate(np.tile(walk, 3).tolist()))
    out["csv"] = kt.TimeSeries.from_csv_string(csv, "t", "v").to_numpy()
    return out


def test_results_do_not_depend_on_the_limit(restore_limit):
    kt.set_num_threads(1)
    alone = measure_everything()
    for n in (2, 3):
        kt.set_num_threads(n)
        got = measure_everything()
        for key, value in alone.items():
            if isinstance(value, np.ndarray):
                assert got[key].dtype == value.dtype and np.array_equal(got[key], value), (n, key)
            else:
                assert got[key] == value, (n, key)


def test_limit_changed_from_other_threads_while_calls_run(restore_limit):
    y = np.cumsum(np.random.default_rng(4).normal(size=60_000))
    rows = np.random.default_rng(5).random((64, 1500))
    want = kt.natural_visibility_edges(y)
    want_batch = kt.horizontal_visibility_batch(rows)
    failures = []

    def compute(seed):
        try:
            for _ in range(4):
                if not np.array_equal(kt.natural_visibility_edges(y), want):
                    failures.append(("natural", seed))
                if not all(np.array_equal(a, b) for a, b in zip(kt.horizontal_visibility_batch(rows), want_batch)):
                    failures.append(("batch", seed))
        except BaseException as exc:  # reported below
            failures.append(repr(exc))

    def change(seed):
        rng = np.random.default_rng(seed)
        for _ in range(200):
            kt.set_num_threads(int(rng.integers(1, 5)))

    threads = [threading.Thread(target=compute, args=(k,)) for k in range(3)]
    threads += [threading.Thread(target=change, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=240)
    assert not any(t.is_alive() for t in threads)
    assert failures == []
    assert 1 <= kt.get_num_threads() <= 4
