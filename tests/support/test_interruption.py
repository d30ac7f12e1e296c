"""Long calls stop soon after a signal: the handler's exception is raised
(KeyboardInterrupt for SIGINT), objects are left as they were, and the module
works normally afterwards. Each case runs in a child process, which announces
the call it is about to make; the test sends SIGINT a second later and waits
for the child to report the interruption, and what it found afterwards."""
import json
import os
import queue
import signal
import subprocess
import sys
import textwrap
import threading
import time

import pytest

from processes import child_environment, run_python

CHILD = r'''
import json, os, sys
import numpy as np
import _kaltrope as kt

RAMP = np.arange(20_000) * 0.1                      # every pair needs exact arithmetic: O(n^2)


def works():
    # The module afterwards: a call on the pool and a stream, with their results.
    edges = kt.natural_visibility_edges(np.random.default_rng(1).random(50_000))
    stream = kt.VisibilityStream("natural")
    return (len(edges) == len(kt.natural_visibility_edges(np.random.default_rng(1).random(50_000), algorithm="hull"))
            and stream.extend([1.0, 3.0, 2.0, 4.0]).tolist() == [[0, 1], [1, 2], [2, 3], [1, 3]])


def plain(call):
    return call, lambda: works()


def stream_case(kind, mode, head, run, **options):
    stream = kt.VisibilityStream(kind, mode=mode, **options)
    before = stream.extend(head)
    def after():
        # Unchanged: the same length, and the next run closes the same edges
        # as on a stream that never saw the interrupted one.
        fresh = kt.VisibilityStream(kind, mode=mode, **options)
        fresh.extend(head)
        tail = head[:50] * 1.5 + 1.0
        return (len(stream) == len(head) and stream.extend(tail).tolist() == fresh.extend(tail).tolist()
                and works())
    return lambda: stream.extend(run), after


def save_case(method, graph, path):
    with open(path, "w") as old:
        old.write("the old file\n")
    listing = sorted(os.listdir(os.path.dirname(path)))
    def after():
        with open(path) as kept:
            same = kept.read() == "the old file\n"
        return same and sorted(os.listdir(os.path.dirname(path))) == listing and works()
    return lambda: getattr(graph, method)(path), after


def fifo_case(folder, writer):
    path = os.path.join(folder, f"pipe{int(writer)}.csv")
    os.mkfifo(path)
    if writer:
        # A writer that keeps the pipe open and writes nothing: the read blocks.
        import threading, time
        def hold_open():
            with open(path, "w"):
                time.sleep(60)
        threading.Thread(target=hold_open, daemon=True).start()
    return plain(lambda: kt.TimeSeries.from_csv_file(path, "time", "value"))


def features_graph(n):
    features = kt.FeatureSet()
    for name in ("ACCELERATION", "DELTA_BACKWARD", "DELTA_FORWARD", "DELTA_SYMMETRIC", "IS_LOCAL_MAX",
                 "IS_LOCAL_MIN", "LOCAL_MEAN", "LOCAL_SLOPE", "LOCAL_VARIANCE", "ZSCORE"):
        features = features.add_builtin(kt.BuiltinFeature(getattr(kt.BuiltinFeature, name)))
    return kt.TimeSeries(np.random.default_rng(2).random(n)).natural_visibility_with_features(features)


def gappy_series(n):
    # Every other sample missing: each reads a wide window to be filled.
    values = [None if i % 2 else float(i % 7) for i in range(n)]
    return kt.TimeSeries.with_missing(np.arange(n, dtype=float), values)


def setup(name, folder):
    dense = lambda: kt.natural_visibility((np.arange(4000) - 2000.0) ** 2)    # every pair an edge
    walk = lambda n: kt.natural_visibility(np.random.default_rng(0).random(n))
    cases = {
        "scan": lambda: plain(lambda: kt.natural_visibility_edges(RAMP, algorithm="scan")),
        "hull": lambda: plain(lambda: kt.natural_visibility_edges(RAMP, x=np.arange(RAMP.size) * 0.5, algorithm="hull")),
        "batch": lambda: plain(lambda: kt.natural_visibility_batch([RAMP[:100], RAMP])),
        "degrees": lambda: plain(lambda: kt.natural_visibility_degrees(np.sin(np.arange(10**6) * 0.001))),
        "vector": lambda: plain(lambda: kt.natural_vector_visibility_batch([np.column_stack([RAMP, RAMP])] * 64)),
        "stream_scan": lambda: stream_case("natural", "scan", RAMP[:1000], RAMP[1000:]),
        "stream_auto": lambda: stream_case("natural", "auto", RAMP[:5000], RAMP[5000:]),
        "stream_window": lambda: stream_case("natural", "indexed", RAMP[:3000], RAMP[3000:], window=15_000),
        "graph": lambda: plain(lambda: kt.natural_visibility(RAMP)),
        # The all-pairs search: radius and diameter are bounded far sooner.
        "paths": lambda: plain(walk(50_000).average_path_length),
        "betweenness": lambda: plain(walk(30_000).betweenness_centrality_all),
        "statistics": lambda: plain(walk(50_000).compute_statistics),
        "motifs": lambda: plain(dense().detect_motifs),
        "clustering": lambda: plain(dense().global_clustering_coefficient),
        "graphml": lambda: plain(features_graph(500_000).to_graphml),
        "json": lambda: plain(features_graph(800_000).to_json),
        "save": lambda: save_case("save_graphml", features_graph(500_000), os.path.join(folder, "g.graphml")),
        "csv_open": lambda: fifo_case(folder, writer=False),
        "csv_read": lambda: fifo_case(folder, writer=True),
        "mean_imputation": lambda: plain(
            lambda: gappy_series(200_000).handle_missing(kt.MissingDataStrategy.mean_imputation(100_001))),
        "median_imputation": lambda: plain(
            lambda: gappy_series(200_000).handle_missing(kt.MissingDataStrategy.median_imputation(100_001))),
    }
    return cases[name]()


folder = sys.argv[1]
for name in sys.argv[2:]:
    call, after = setup(name, folder)
    print("ready", name, flush=True)
    try:
        call()
    except KeyboardInterrupt:
        print("interrupted", name, flush=True)
        print(json.dumps(after()), flush=True)
    else:
        print("finished", name, flush=True)
'''

GROUPS = {
    "arrays": ["scan", "hull", "batch", "degrees", "vector"],
    "streams": ["stream_scan", "stream_auto", "stream_window"],
    "graphs": ["graph", "paths", "betweenness", "statistics", "motifs", "clustering"],
    "files": ["graphml", "json", "save", "csv_open", "csv_read"],
    "repairs": ["mean_imputation", "median_imputation"],
}
# Seconds; the calls poll every few tens of milliseconds. Under the
# sanitizers every loop runs several times slower, and so does the wait.
LIMIT = 8.0 if "libasan" in os.environ.get("LD_PRELOAD", "") else 2.0


def interrupt_each(names, folder):
    """Runs the cases in one child, interrupting each 0.3 s into its call;
    returns the latencies."""
    child = subprocess.Popen([sys.executable, "-c", CHILD, str(folder), *names], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True,
                             env=child_environment({"KALTROPE_NUM_THREADS": "2"}))
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(line) for line in child.stdout], daemon=True).start()
    latencies = {}
    try:
        for name in names:
            assert lines.get(timeout=120).split() == ["ready", name]
            # Well into the call, yet before the quickest case could finish
            # on an idle machine.
            time.sleep(0.3)
            sent = time.monotonic()
            child.send_signal(signal.SIGINT)
            report = lines.get(timeout=60)
            latencies[name] = time.monotonic() - sent
            assert report.split() == ["interrupted", name], report
            assert json.loads(lines.get(timeout=120)) is True, name
        assert child.wait(timeout=60) == 0, child.stderr.read()
    finally:
        child.kill()
        child.wait()
    return latencies


@pytest.mark.parametrize("group", GROUPS)
def test_long_calls_stop_at_sigint(group, tmp_path):
    latencies = interrupt_each(GROUPS[group], tmp_path)
    slow = {name: round(seconds, 2) for name, seconds in latencies.items() if seconds > LIMIT}
    assert not slow
    assert sorted(os.listdir(tmp_path)) == (["g.graphml", "pipe0.csv", "pipe1.csv"] if group == "files" else [])


def test_the_handlers_exception_is_raised():
    # Any exception a handler raises stops the call; handlers that return let it finish.
    out = run_python("""
        import os, signal, threading, time
        import numpy as np
        import _kaltrope as kt

        class Stop(Exception):
            pass

        def stop(signum, frame):
            raise Stop("from the handler")

        signal.signal(signal.SIGUSR1, stop)
        threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGUSR1)).start()
        ramp = np.arange(20_000) * 0.1
        try:
            kt.natural_visibility_edges(ramp, algorithm="scan")
            print("finished")
        except Stop as error:
            print("stopped:", error)

        ticks = []
        signal.signal(signal.SIGALRM, lambda *_: ticks.append(1))
        signal.setitimer(signal.ITIMER_REAL, 0.01, 0.01)
        short = ramp[:12_000]  # long enough for several timer ticks
        edges = kt.natural_visibility_edges(short, algorithm="scan")
        ran = len(ticks)
        streamed = kt.VisibilityStream("natural", mode="scan").extend(short)
        signal.setitimer(signal.ITIMER_REAL, 0)
        expected = kt.natural_visibility_edges(short, algorithm="hull")
        by_target = expected[np.lexsort((-expected[:, 0], expected[:, 1]))]
        print(ran > 3, len(ticks) > ran, np.array_equal(edges, expected), np.array_equal(streamed, by_target))
    """)
    assert out.splitlines() == ["stopped: from the handler", "True True True True"]


def test_interrupted_system_calls_retry(tmp_path):
    # Opening a pipe waits for a writer; signals meanwhile run their handlers
    # (which return) and the open resumes, as Python's own open does.
    out = run_python("""
        import os, signal, sys, threading, time
        import _kaltrope as kt

        path = sys.argv[1]
        os.mkfifo(path)
        ticks = []
        signal.signal(signal.SIGALRM, lambda *_: ticks.append(1))
        signal.setitimer(signal.ITIMER_REAL, 0.02, 0.02)

        def write_late():
            time.sleep(0.5)
            with open(path, "w") as pipe:
                pipe.write("time,value\\n0,1\\n1,2\\n")

        threading.Thread(target=write_late).start()
        series = kt.TimeSeries.from_csv_file(path, "time", "value")
        signal.setitimer(signal.ITIMER_REAL, 0)
        print(len(ticks) > 5, series.to_numpy().tolist())
    """, tmp_path / "pipe.csv")
    assert out.split(maxsplit=1) == ["True", "[1.0, 2.0]\n"]


def test_other_threads_run_to_the_end():
    # Only the main thread runs signal handlers: a call on another thread is
    # not stopped by the main thread's KeyboardInterrupt.
    out = run_python("""
        import os, signal, threading, time
        import numpy as np
        import _kaltrope as kt

        y = np.arange(6000) * 0.1
        results = []
        worker = threading.Thread(target=lambda: results.append(kt.natural_visibility_edges(y, algorithm="scan")))
        worker.start()
        try:
            time.sleep(0.2)
            os.kill(os.getpid(), signal.SIGINT)
            time.sleep(5)
        except KeyboardInterrupt:
            pass
        worker.join()
        print(len(results[0]) == len(kt.natural_visibility_edges(y, algorithm="hull")))
    """)
    assert out.strip() == "True"


def test_cached_graph_results_asked_again_while_computed():
    # A handler run during a graph's first betweenness computation asks for
    # the same result (it once waited for itself for ever); the main thread
    # waiting for another thread's computation of it still stops at SIGINT.
    out = run_python("""
        import os, signal, threading, time
        import numpy as np
        import kaltrope as kt

        y = np.cumsum(np.random.default_rng(0).normal(size=6000))
        graph = kt.natural_visibility(y)
        inner = []
        signal.signal(signal.SIGALRM, lambda *_: inner.append(graph.betweenness_centrality_all()))
        signal.setitimer(signal.ITIMER_REAL, 0.05)
        outer = graph.betweenness_centrality_all()
        fresh = kt.natural_visibility(y).betweenness_centrality_all()
        print(len(inner) == 1 and inner[0] == outer == fresh)

        graph = kt.natural_visibility(np.cumsum(np.random.default_rng(1).normal(size=9000)))
        other = []
        worker = threading.Thread(target=lambda: other.append(graph.betweenness_centrality_all()))
        worker.start()
        time.sleep(0.2)
        threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
        start = time.monotonic()
        try:
            graph.betweenness_centrality_all()
            print("finished")
        except KeyboardInterrupt:
            print("stopped", time.monotonic() - start < 1.0)
        worker.join()
        print(graph.betweenness_centrality_all() == other[0])
    """, timeout=120)
    assert out.split() == ["True", "stopped", "True", "True"]


def test_child_forked_from_another_thread_stops_at_sigint():
    # The forking thread is the child's main thread, and runs its handlers.
    out = run_python("""
        import os, signal, threading, time
        import numpy as np
        import _kaltrope as kt

        kt.natural_visibility_edges(np.random.default_rng(0).random(100_000))   # the pool exists

        def fork_and_wait():
            pid = os.fork()
            if pid == 0:
                threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
                start = time.monotonic()
                try:
                    kt.natural_visibility_edges(np.arange(30_000) * 0.1, algorithm="scan")
                    os._exit(3)
                except KeyboardInterrupt:
                    os._exit(0 if time.monotonic() - start < 1.5 else 4)
            print(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))

        thread = threading.Thread(target=fork_and_wait)
        thread.start()
        thread.join()
    """, timeout=120)
    assert out.strip() == "0"
