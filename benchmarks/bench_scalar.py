#!/usr/bin/env python3
"""Benchmark of kaltrope's scalar natural and horizontal visibility engines.

Every kaltrope figure is a ratio against a peer library (ts2vg, networkx)
measured in the same run on the same input, because absolute times on a
shared machine are noisy. Each time is the median of several runs; slow peer
runs are repeated fewer times (see the "runs" note of each row).

The peer time includes whatever the peer needs to produce the same output as
kaltrope, an (E, 2) int64 edge array: for ts2vg that is
``np.asarray(ts2vg.XxxVG().build(y).edges, dtype=np.int64)`` (ts2vg keeps its
edges as a Python list of tuples; this is exactly what its own internal
``_edges_array`` does). The ts2vg time for ``build`` alone is given in the
notes as well.

The garbage collector is disabled during each timed call (as ``timeit``
does), which can only make the Python-level peers look faster. Each workload
runs in a fresh subprocess (``--in-process`` runs them all in one), so the
memory left behind by one workload does not change the next one's times.
When kernel CPU time (mostly first-touch page faults on the result buffers)
is a large share of kaltrope's time, the row notes it.

Two more columns put kaltrope against the machine rather than a peer. The
floor is the time NumPy takes to write kaltrope's own result into fresh memory
(``result.copy()``, timed in the same run, with NumPy's huge-page advice on and
off, whichever is faster): no engine can return that array faster. "2 CPUs vs
1" is the time of the same call in a fresh process pinned to one CPU
(``os.sched_setaffinity`` before the module is imported, so its thread limit
is 1), divided by its time in a second fresh process, alike but unpinned: the
two runs differ in nothing else (this process, which has imported the peers,
makes each collection before a timed call cost the call more).

Besides timing, the script checks the results: kaltrope's edge arrays must be
(E, 2) int64 with a < b, no duplicates and every consecutive pair present,
and their edge sets are compared with the peer's (sorted). Any difference is
printed as a WARNING line, and up to 200 differing edges on each side are
decided by an exact visibility test, to tell which library is right. ts2vg
compares divided slopes with a tolerance, so on some inputs it loses edges;
such differences are counted, not hidden.

Usage:
    python benchmarks/bench_scalar.py                 # everything, a few minutes
    python benchmarks/bench_scalar.py --quick         # smaller inputs, fewer runs
    python benchmarks/bench_scalar.py --only horizontal
    python benchmarks/bench_scalar.py --only natural-walk,memory
    python benchmarks/bench_scalar.py --list

Progress goes to stderr; the Markdown report goes to stdout.
"""

from __future__ import annotations

import argparse
import gc
import json
import os
import platform
import resource
import statistics
import subprocess
import sys
import tempfile
import textwrap
import time

import numpy as np

try:
    import _kaltrope as kt
except ImportError as exc:  # pragma: no cover - depends on the build
    sys.exit(f"cannot import _kaltrope ({exc}); build it first with `pip install .`")

try:
    import ts2vg
except ImportError:
    sys.exit("ts2vg is needed as the benchmark peer: pip install ts2vg")

try:
    import networkx as nx
except ImportError:
    nx = None


WARNINGS: list[str] = []


def log(msg: str) -> None:
    print(msg, file=sys.stderr, flush=True)


def warn(msg: str) -> None:
    WARNINGS.append(msg)
    log("WARNING: " + msg)


# --------------------------------------------------------------------------
# timing


class Timing:
    def __init__(self, times: list[float], sys_times: list[float], result):
        self.times = times
        self.sys_times = sys_times
        self.result = result

    @property
    def median(self) -> float:
        return statistics.median(self.times)

    @property
    def sys_median(self) -> float:
        return statistics.median(self.sys_times)

    @property
    def runs(self) -> int:
        return len(self.times)


def measure(fn, repeat: int, budget: float = float("inf")) -> Timing:
    """Run fn() up to `repeat` times, stopping early once `budget` seconds
    have been spent (at least one run). Returns the wall times, the kernel
    CPU times (all threads of the process) and the result of the last run."""
    times: list[float] = []
    sys_times: list[float] = []
    result = None
    spent = 0.0
    for _ in range(max(1, repeat)):
        result = None  # release the previous result before the next run
        gc.collect()
        gc.disable()
        try:
            r0 = resource.getrusage(resource.RUSAGE_SELF).ru_stime
            t0 = time.perf_counter()
            result = fn()
            dt = time.perf_counter() - t0
            r1 = resource.getrusage(resource.RUSAGE_SELF).ru_stime
        finally:
            gc.enable()
        times.append(dt)
        sys_times.append(r1 - r0)
        spent += dt
        if spent >= budget:
            break
    return Timing(times, sys_times, result)


def fmt_time(t: float) -> str:
    if t < 1e-3:
        return f"{t * 1e6:.0f} µs"
    if t < 1.0:
        return f"{t * 1e3:.1f} ms"
    return f"{t:.2f} s"


def fmt_bytes(b: float) -> str:
    for unit in ("B", "KiB", "MiB", "GiB"):
        if abs(b) < 1024 or unit == "GiB":
            return f"{b:.0f} {unit}" if unit == "B" else f"{b:.1f} {unit}"
        b /= 1024.0
    return f"{b:.1f} GiB"


# --------------------------------------------------------------------------
# peers


def ts2vg_natural(y):
    return np.asarray(ts2vg.NaturalVG().build(y).edges, dtype=np.int64)


def ts2vg_horizontal(y):
    return np.asarray(ts2vg.HorizontalVG().build(y).edges, dtype=np.int64)


def ts2vg_build_only(cls, y):
    return cls().build(y)


# --------------------------------------------------------------------------
# result checks


def check_edges(name: str, e, n: int) -> bool:
    """Plain sanity of a kaltrope edge array; warns and returns False on a fault."""
    ok = True
    if not isinstance(e, np.ndarray):
        warn(f"{name}: result is {type(e).__name__}, not an ndarray")
        return False
    if e.dtype != np.int64 or e.ndim != 2 or e.shape[1] != 2:
        warn(f"{name}: result has dtype {e.dtype} and shape {e.shape}, expected int64 (E, 2)")
        return False
    k = edge_keys(e, n)
    if len(e):
        if not np.all(e[:, 0] < e[:, 1]):
            warn(f"{name}: {int(np.sum(e[:, 0] >= e[:, 1]))} edges with a >= b")
            ok = False
        if e.min() < 0 or e.max() >= n:
            warn(f"{name}: node index out of range [0, {n})")
            ok = False
        dup = int(np.sum(k[1:] == k[:-1]))
        if dup:
            warn(f"{name}: {dup} duplicate edges")
            ok = False
    if n >= 2:
        # consecutive samples always see each other, under both visibilities
        adj = np.arange(n - 1, dtype=np.int64) * n + np.arange(1, n, dtype=np.int64)
        missing = len(not_in_sorted(adj, k))
        if missing:
            warn(f"{name}: {missing} pairs of consecutive samples missing")
            ok = False
    return ok


def edge_keys(e, n: int) -> np.ndarray:
    e = np.asarray(e, dtype=np.int64).reshape(-1, 2)
    lo = np.minimum(e[:, 0], e[:, 1])
    hi = np.maximum(e[:, 0], e[:, 1])
    # timsort: fast on the long sorted runs both libraries produce
    return np.sort(lo * np.int64(n) + hi, kind="stable")


def unique_sorted(k: np.ndarray) -> np.ndarray:
    if len(k) == 0:
        return k
    keep = np.empty(len(k), dtype=bool)
    keep[0] = True
    np.not_equal(k[1:], k[:-1], out=keep[1:])
    return k[keep]


def not_in_sorted(a: np.ndarray, b: np.ndarray) -> np.ndarray:
    """Elements of sorted a that are absent from sorted b."""
    if len(b) == 0:
        return a
    pos = np.searchsorted(b, a)
    pos[pos == len(b)] = 0
    return a[b[pos] != a]


def visible_exact(y: np.ndarray, a: int, b: int, kind: str) -> bool:
    """Exact visibility test of the pair (a, b), a < b.

    Horizontal: every sample between is strictly lower than both ends (exact
    in floats). Natural: every sample between lies strictly below the line
    through both ends; decided in float64 with a generous error margin, and
    the few near-ties exactly with rational arithmetic."""
    if b - a == 1:
        return True
    mid = y[a + 1:b]
    if kind == "horizontal":
        return bool(np.max(mid) < min(y[a], y[b]))
    from fractions import Fraction

    ya, yb = float(y[a]), float(y[b])
    k = np.arange(a + 1, b, dtype=np.float64) - a
    lhs = (mid - ya) * (b - a)
    rhs = (yb - ya) * k
    scale = (np.abs(mid) + abs(ya)) * (b - a) + (abs(yb) + abs(ya)) * k
    d = lhs - rhs
    if np.any(d > 1e-12 * scale):
        return False
    fa, fb = Fraction(ya), Fraction(yb)
    for j in np.nonzero(np.abs(d) <= 1e-12 * scale)[0]:
        kk = int(j) + 1
        if (Fraction(float(mid[j])) - fa) * (b - a) >= (fb - fa) * kk:
            return False
    return True


def adjudicate(y, keys: np.ndarray, n: int, kind: str, limit: int = 200) -> tuple[int, int]:
    """How many of (up to `limit` of) the edges `keys` are truly visible."""
    sample = keys[:limit]
    good = sum(visible_exact(y, int(k) // n, int(k) % n, kind) for k in sample)
    return good, len(sample)


def compare_sets(name: str, ours, theirs, n: int, peer: str, y=None, kind: str = "natural") -> str:
    """Compare two edge sets; returns a short note, warns on a difference.

    With the series y, the differing edges (up to 200 on each side) are
    checked exactly, to tell which side is right."""
    a = unique_sorted(edge_keys(ours, n))
    b = unique_sorted(edge_keys(theirs, n))
    if a.shape == b.shape and np.array_equal(a, b):
        return f"same edge set as {peer}"
    only_ours = not_in_sorted(a, b)
    only_theirs = not_in_sorted(b, a)
    ex = []
    if len(only_ours):
        k = int(only_ours[0])
        ex.append(f"e.g. kaltrope-only ({k // n}, {k % n})")
    if len(only_theirs):
        k = int(only_theirs[0])
        ex.append(f"e.g. {peer}-only ({k // n}, {k % n})")
    note = f"differs from {peer}: +{len(only_ours)} / −{len(only_theirs)} edges"
    verdict = ""
    if y is not None:
        parts = []
        fault = False
        if len(only_ours):
            good, m = adjudicate(y, only_ours, n, kind)
            parts.append(f"{good}/{m} checked kaltrope-only edges are truly visible")
            if good < m:
                fault = True
                warn(f"{name}: FAULT: kaltrope returns {m - good} of {m} checked edges that are not visible "
                     f"(exact check)")
        if len(only_theirs):
            good, m = adjudicate(y, only_theirs, n, kind)
            parts.append(f"{good}/{m} checked {peer}-only edges are truly visible")
            if good:
                fault = True
                warn(f"{name}: FAULT: kaltrope misses {good} of {m} checked edges that are visible "
                     f"(exact check)")
        verdict = "; exact check: " + ", ".join(parts)
        note += " (exact check: kaltrope WRONG, see warnings)" if fault else f" (exact check: kaltrope right)"
    warn(
        f"{name}: edge sets differ from {peer}: {len(only_ours)} edges only in kaltrope, "
        f"{len(only_theirs)} only in {peer} (of {len(a)} / {len(b)}); " + ", ".join(ex) + verdict
    )
    return note


# --------------------------------------------------------------------------
# report rows


ROWS: list[dict] = []
QUICK = [False]  # targets are set for the full sizes; --quick only reports


def add_row(workload, n, edges, ours: Timing, peer_name, peer: Timing | None, target=None, notes="",
            machine: dict | None = None):
    row = {
        **(machine or {}),
        "workload": workload,
        "n": n,
        "edges": edges,
        "ours": ours.median,
        "ours_runs": ours.runs,
        "peer_name": peer_name,
        "peer": peer.median if peer is not None else None,
        "peer_runs": peer.runs if peer is not None else 0,
        "ours_sys": ours.sys_median,
        "ours_range": (min(ours.times), max(ours.times)),
        "target": target,
        "notes": notes,
    }
    if peer is not None:
        row["speedup"] = peer.median / ours.median
        if target is not None and not QUICK[0] and row["speedup"] < target:
            warn(f"{workload} vs {peer_name}: speed-up {row['speedup']:.1f}x is below the target {target}x")
    ROWS.append(row)


def fmt_n(n: int) -> str:
    if n >= 10_000 and n % 10 ** (len(str(n)) - 1) == 0:
        return f"10^{len(str(n)) - 1}" if str(n)[0] == "1" else f"{str(n)[0]}·10^{len(str(n)) - 1}"
    return f"{n:,}"


def fmt_floor(r: dict) -> str:
    if r.get("floor") is None:
        return "–"
    return f"{fmt_time(r['floor'])} ({r['ours'] / r['floor']:.1f}×)"


def fmt_single(r: dict) -> str:
    if r.get("one_cpu") is None:
        return "–"
    low, high = r["one_cpu_range"]
    return (f"{r['one_cpu'] / r['every_cpu']:.2f}× ({fmt_time(r['one_cpu'])} against {fmt_time(r['every_cpu'])}, "
            f"1-CPU range {fmt_time(low)}–{fmt_time(high)})")


def print_table() -> None:
    print("| workload | n | edges | kaltrope | floor (kaltrope / floor) | 2 CPUs vs 1 (1 CPU against 2) | peer | "
          "peer time | speed-up | target | ns/edge | notes |")
    print("|---|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|---|")
    for r in ROWS:
        sp = f"**{r['speedup']:.1f}×**" if r.get("speedup") else "–"
        if r["target"] is None:
            tg = "–"
        elif QUICK[0]:
            tg = f"({r['target']}× at full size)"
        else:
            met = r.get("speedup", 0) >= r["target"]
            tg = f"≥ {r['target']}× {'(met)' if met else '(**missed**)'}"
        nse = f"{r['ours'] * 1e9 / r['edges']:.2f}" if r["edges"] else "–"
        runs = f"runs {r['ours_runs']}/{r['peer_runs']}"
        if r.get("ours_range"):
            runs += f"; kaltrope range {fmt_time(r['ours_range'][0])}–{fmt_time(r['ours_range'][1])}"
        # kernel time is mostly first-touch page faults on the result buffers
        ksys = f"kernel CPU {fmt_time(r['ours_sys'])}/call" if r["ours_sys"] > 0.2 * r["ours"] else ""
        notes = "; ".join(x for x in (r["notes"], ksys, runs) if x)
        print(
            f"| {r['workload']} | {fmt_n(r['n'])} | {r['edges']:,} | {fmt_time(r['ours'])} | {fmt_floor(r)} | "
            f"{fmt_single(r)} | {r['peer_name']} | "
            f"{fmt_time(r['peer']) if r['peer'] is not None else '–'} | {sp} | {tg} | {nse} | {notes} |"
        )


# -- the machine as the reference: the floor and one CPU -------------------

CPU_CHILD = textwrap.dedent(
    """
    import gc, json, os, sys, time
    if sys.argv[5] == "pinned":
        os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})  # before the import: thread limit 1
    import numpy as np
    import _kaltrope as kt

    name, path, kwargs, repeat = sys.argv[1], sys.argv[2], json.loads(sys.argv[3]), int(sys.argv[4])
    y = np.load(path)
    fn = getattr(kt, name)
    fn(y, **kwargs)  # first-call costs outside the measurement
    times = []
    for _ in range(repeat):
        gc.collect()
        gc.disable()
        t0 = time.perf_counter()
        result = fn(y, **kwargs)
        times.append(time.perf_counter() - t0)
        gc.enable()
        del result
    print(json.dumps({"times": times, "threads": kt.get_num_threads()}))
    """
)


def copy_result(result):
    """The result written again by NumPy, into fresh memory."""
    if isinstance(result, tuple):
        return tuple(part.copy() for part in result)
    return result.copy()


def fastest_floor(result, repeat: int) -> float:
    """The median time of copy_result with NumPy's huge-page advice on and off,
    whichever is less: on virtual machines whose host backs memory only when
    first touched, fresh huge pages fault in several times slower."""
    from numpy._core.multiarray import _set_madvise_hugepage
    medians = []
    for advise in (True, False):
        before = _set_madvise_hugepage(advise)
        try:
            medians.append(measure(lambda: copy_result(result), repeat).median)
        finally:
            _set_madvise_hugepage(before)
    return min(medians)


def machine_columns(cfg, name: str, y, result, **kwargs) -> dict:
    """The floor of a call's result, and the call's times in two fresh
    processes alike but for one being pinned to one CPU."""
    columns = {"floor": fastest_floor(result, cfg.fast_repeat)}
    times = {}
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "input.npy")
        np.save(path, y)
        env = {k: v for k, v in os.environ.items() if k not in ("KALTROPE_NUM_THREADS", "OMP_NUM_THREADS")}
        for cpus in ("pinned", "every"):
            p = subprocess.run(
                [sys.executable, "-c", CPU_CHILD, name, path, json.dumps(kwargs), str(cfg.fast_repeat), cpus],
                capture_output=True, text=True, env=env,
            )
            if p.returncode != 0:
                warn(f"{name} in a child process ({cpus}) failed (exit {p.returncode}): {p.stderr.strip()[-500:]}")
                return columns
            times[cpus] = json.loads(p.stdout.strip().splitlines()[-1])
    if times["pinned"]["threads"] != 1:
        warn(f"{name} pinned to one CPU ran with a thread limit of {times['pinned']['threads']}")
    columns["one_cpu"] = statistics.median(times["pinned"]["times"])
    columns["one_cpu_range"] = (min(times["pinned"]["times"]), max(times["pinned"]["times"]))
    columns["every_cpu"] = statistics.median(times["every"]["times"])
    return columns


# --------------------------------------------------------------------------
# workloads


def plan_note(y) -> tuple[dict, str]:
    p = kt.natural_visibility_plan(y)
    return p, f"plan: {p['algorithm']}, scan_work {p['scan_work']:,}"


def bench_horizontal(cfg) -> None:
    n = cfg.big
    y = cfg.rng.random(n)
    log(f"[horizontal] uniform random n={n}")
    ours = measure(lambda: kt.horizontal_visibility_edges(y), cfg.fast_repeat)
    e = ours.result
    check_edges("horizontal uniform", e, n)
    build = measure(lambda: ts2vg_build_only(ts2vg.HorizontalVG, y), cfg.peer_repeat, cfg.peer_budget)
    peer = measure(lambda: ts2vg_horizontal(y), cfg.peer_repeat, cfg.peer_budget)
    note = compare_sets("horizontal uniform", e, peer.result, n, "ts2vg", y, "horizontal")
    note += f"; ts2vg build() alone {fmt_time(build.median)} ({build.median / ours.median:.1f}×)"
    machine = machine_columns(cfg, "horizontal_visibility_edges", y, e)
    add_row("horizontal, uniform random", n, len(e), ours, "ts2vg", peer, 20, note, machine)


def bench_natural_uniform(cfg) -> None:
    n = cfg.big
    y = cfg.rng.random(n)
    log(f"[natural-uniform] uniform random n={n}")
    _, pn = plan_note(y)
    ours = measure(lambda: kt.natural_visibility_edges(y), cfg.fast_repeat)
    e = ours.result
    check_edges("natural uniform", e, n)
    build = measure(lambda: ts2vg_build_only(ts2vg.NaturalVG, y), cfg.peer_repeat, cfg.peer_budget)
    peer = measure(lambda: ts2vg_natural(y), cfg.peer_repeat, cfg.peer_budget)
    note = pn + "; " + compare_sets("natural uniform", e, peer.result, n, "ts2vg", y)
    note += f"; ts2vg build() alone {fmt_time(build.median)} ({build.median / ours.median:.1f}×)"
    machine = machine_columns(cfg, "natural_visibility_edges", y, e)
    add_row("natural, uniform random", n, len(e), ours, "ts2vg", peer, 15, note, machine)


def bench_natural_walk(cfg) -> None:
    n = cfg.big
    y = np.cumsum(cfg.rng.standard_normal(n))
    log(f"[natural-walk] Gaussian random walk n={n}")
    plan, pn = plan_note(y)
    ours = measure(lambda: kt.natural_visibility_edges(y), cfg.fast_repeat)
    e = ours.result
    check_edges("natural walk", e, n)
    other = "scan" if plan["algorithm"] == "hull" else "hull"
    log(f"  algorithm={other!r}")
    forced = measure(lambda: kt.natural_visibility_edges(y, algorithm=other), cfg.peer_repeat, cfg.peer_budget / 2)
    if not (isinstance(forced.result, np.ndarray) and np.array_equal(forced.result, e)):
        warn(f"natural walk: algorithm={other!r} returns a different edge array than 'auto'")
    log("  ts2vg (slow)")
    peer = measure(lambda: ts2vg_natural(y), cfg.slow_peer_repeat, cfg.peer_budget)
    note = pn + f"; forced {other}: {fmt_time(forced.median)}; " + compare_sets("natural walk", e, peer.result, n, "ts2vg", y)
    machine = machine_columns(cfg, "natural_visibility_edges", y, e)
    add_row("natural, Gaussian random walk", n, len(e), ours, "ts2vg", peer, 30, note, machine)


def bench_natural_walk_scaling(cfg) -> None:
    """ns per edge of the Gaussian walk at n and 10 n, in one process."""
    small = None
    for n in (cfg.big, 10 * cfg.big):
        y = np.cumsum(cfg.rng.standard_normal(n))
        log(f"[natural-walk-scaling] Gaussian random walk n={n}")
        plan, pn = plan_note(y)
        ours = measure(lambda: kt.natural_visibility_edges(y), cfg.peer_repeat if small else cfg.fast_repeat)
        edges = len(ours.result)
        check_edges(f"natural walk n={n}", ours.result, n)
        ours.result = None  # the large result is not kept for the next size
        ns = ours.median * 1e9 / edges
        note = pn
        if small is None:
            small = ns
        else:
            note += f"; ns/edge {ns / small:.2f}× that at {fmt_n(cfg.big)} (target ≤ 1.15×)"
        add_row("natural, Gaussian random walk (scaling)", n, edges, ours, "–", None, None, note)


def bench_natural_batch(cfg) -> None:
    rows, n = cfg.batch_shape
    y = cfg.rng.random((rows, n))
    log(f"[natural-batch] ({rows}, {n}) uniform random")
    ours = measure(lambda: kt.natural_visibility_batch(y), cfg.fast_repeat)
    edges, offsets = ours.result
    if not np.array_equal(edges[offsets[1]:offsets[2]], kt.natural_visibility_edges(y[1])):
        warn("natural batch: row 1 differs from natural_visibility_edges")
    machine = machine_columns(cfg, "natural_visibility_batch", y, ours.result)
    add_row("natural_visibility_batch, uniform random rows", rows * n, len(edges), ours, "–", None, None,
            f"{rows:,} rows of {n}; floor: edges and offsets copied", machine)


def bench_natural_increasing(cfg) -> None:
    n = cfg.increasing_n
    y = np.cumsum(cfg.rng.uniform(0.0, 1.0, n))
    log(f"[natural-increasing] increasing random walk n={n}")
    plan, pn = plan_note(y)
    if plan["algorithm"] != "hull":
        warn(f"natural increasing walk: plan chose {plan['algorithm']!r}, expected 'hull'")
    ours = measure(lambda: kt.natural_visibility_edges(y), cfg.fast_repeat)
    e = ours.result
    check_edges("natural increasing (auto)", e, n)
    log("  algorithm='scan'")
    scan = measure(lambda: kt.natural_visibility_edges(y, algorithm="scan"), cfg.peer_repeat, cfg.peer_budget)
    hull = kt.natural_visibility_edges(y, algorithm="hull")
    same = []
    for label, other in (("scan", scan.result), ("hull", hull)):
        if isinstance(other, np.ndarray) and other.shape == e.shape and np.array_equal(other, e):
            same.append(label)
        else:
            warn(
                f"natural increasing walk: algorithm={label!r} returns a different edge array than 'auto' "
                f"(shape {getattr(other, 'shape', None)} vs {e.shape}); as sets: "
                + compare_sets(f"increasing walk {label} vs auto", other, e, n, "auto", y)
            )
    ident = "auto, " + ", ".join(same) + " give identical arrays" if same else "engines disagree"
    add_row(
        "natural, increasing random walk (auto vs scan)", n, len(e), ours, 'kaltrope algorithm="scan"',
        scan, 10, f"{pn}; {ident}",
    )
    log("  ts2vg (slow)")
    peer = measure(lambda: ts2vg_natural(y), cfg.slow_peer_repeat, cfg.peer_budget)
    note = pn + "; " + compare_sets("natural increasing walk", e, peer.result, n, "ts2vg", y)
    add_row("natural, increasing random walk", n, len(e), ours, "ts2vg", peer, 100, note)


def bench_natural_shape(cfg, tag, workload, y, want_edges, want_text, peer_repeat, target) -> None:
    """A series whose edge count is known in advance, against ts2vg."""
    n = len(y)
    _, pn = plan_note(y)
    ours = measure(lambda: kt.natural_visibility_edges(y), cfg.fast_repeat)
    e = ours.result
    check_edges(tag, e, n)
    if len(e) != want_edges:
        warn(f"{tag}: {len(e)} edges, expected {want_text} ({want_edges})")
    peer = measure(lambda: ts2vg_natural(y), peer_repeat, cfg.peer_budget)
    note = pn + "; " + compare_sets(tag, e, peer.result, n, "ts2vg", y)
    add_row(workload, n, len(e), ours, "ts2vg", peer, target, note)


def bench_natural_convex(cfg) -> None:
    n = cfg.convex_n
    log(f"[natural-convex] y = (i - n/2)^2, n={n}")
    y = (np.arange(n, dtype=np.float64) - n / 2) ** 2
    bench_natural_shape(cfg, "natural convex", "natural, convex (i − n/2)², all pairs", y,
                        n * (n - 1) // 2, "every pair visible", cfg.peer_repeat, 10)


def bench_natural_ramp(cfg) -> None:
    # Every sample lies exactly on one line and sees only its neighbours; in
    # whole numbers the hull searches skip the line without a tolerance.
    n = cfg.increasing_n
    log(f"[natural-ramp] y = 0, 1, ..., n - 1, n={n}")
    bench_natural_shape(cfg, "natural ramp", "natural, exactly collinear ramp", np.arange(n, dtype=np.float64),
                        n - 1, "only the neighbours", cfg.slow_peer_repeat, None)


def bench_networkx(cfg) -> None:
    if nx is None or not hasattr(nx, "visibility_graph"):
        warn("networkx with visibility_graph is not installed; networkx workload skipped")
        return
    n = cfg.nx_n
    y = cfg.rng.random(n)
    log(f"[networkx] uniform random n={n}")
    ours = measure(lambda: kt.natural_visibility_edges(y), max(cfg.fast_repeat, 21))
    e = ours.result
    check_edges("networkx workload", e, n)
    peer = measure(lambda: nx.visibility_graph(y), cfg.peer_repeat, cfg.peer_budget)
    theirs = np.array(list(peer.result.edges()), dtype=np.int64).reshape(-1, 2)
    note = compare_sets("networkx workload", e, theirs, n, "networkx", y) + "; networkx returns a Graph"
    add_row("natural, uniform random", n, len(e), ours, "networkx visibility_graph", peer, None, note)


# -- peak memory, each in a fresh subprocess ------------------------------

MEM_CHILD = textwrap.dedent(
    """
    import json, resource, sys
    import numpy as np

    def status_kib(key):
        try:
            with open("/proc/self/status") as f:
                for line in f:
                    if line.startswith(key + ":"):
                        return int(line.split()[1])
        except OSError:
            pass
        return None

    def reset_peak():
        # Linux: writing 5 to clear_refs resets the peak RSS (VmHWM) to the current RSS
        try:
            with open("/proc/self/clear_refs", "w") as f:
                f.write("5")
            return True
        except OSError:
            return False

    which, n, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    y = np.random.default_rng(seed).random(n)
    if which == "kaltrope":
        import _kaltrope as kt
        kt.natural_visibility_edges(y[:50000])  # worker pool and first-call costs outside the measurement
        f = lambda: kt.natural_visibility_edges(y)
    else:
        import ts2vg
        np.asarray(ts2vg.NaturalVG().build(y[:50000]).edges, dtype=np.int64)
        f = lambda: np.asarray(ts2vg.NaturalVG().build(y).edges, dtype=np.int64)
    rss_before = status_kib("VmRSS")
    if rss_before is not None and reset_peak() and status_kib("VmHWM") is not None:
        how = "VmHWM"
        before = rss_before
        e = f()
        after = status_kib("VmHWM")
    else:
        how = "ru_maxrss"
        before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        e = f()
        after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(json.dumps({"how": how, "before_kib": before, "after_kib": after,
                      "edges": len(e), "nbytes": int(e.nbytes)}))
    """
)


def bench_memory(cfg) -> None:
    n = cfg.big
    seed = cfg.seed + 1000
    out = {}
    for which in ("kaltrope", "ts2vg"):
        log(f"[memory] natural uniform random n={n}, {which} in a subprocess")
        p = subprocess.run(
            [sys.executable, "-c", MEM_CHILD, which, str(n), str(seed)],
            capture_output=True, text=True,
        )
        if p.returncode != 0:
            warn(f"memory subprocess for {which} failed (exit {p.returncode}): {p.stderr.strip()[-500:]}")
            continue
        out[which] = json.loads(p.stdout.strip().splitlines()[-1])
    cfg.memory = (n, out)


def print_memory(cfg) -> None:
    if not getattr(cfg, "memory", None):
        return
    n, out = cfg.memory
    print()
    how = {d["how"] for d in out.values()}
    src = ("the peak RSS (VmHWM, reset through /proc/self/clear_refs just before the call) "
           "minus the RSS before it" if how == {"VmHWM"} else "the growth of ru_maxrss across the call")
    print(f"Peak memory of one natural_visibility_edges call on a uniform random series, n = {fmt_n(n)}, "
          f"in a fresh process (inputs and warm-up done first): {src}.")
    print()
    print("| library | edges | result array | peak RSS growth | growth / result size |")
    print("|---|---:|---:|---:|---:|")
    for which, d in out.items():
        growth = (d["after_kib"] - d["before_kib"]) * 1024
        print(
            f"| {which} | {d['edges']:,} | {fmt_bytes(d['nbytes'])} | {fmt_bytes(growth)} | "
            f"{growth / d['nbytes']:.2f} |"
        )


WORKLOADS = {
    "horizontal": bench_horizontal,
    "natural-uniform": bench_natural_uniform,
    "natural-walk": bench_natural_walk,
    "natural-walk-scaling": bench_natural_walk_scaling,
    "natural-batch": bench_natural_batch,
    "natural-increasing": bench_natural_increasing,
    "natural-convex": bench_natural_convex,
    "natural-ramp": bench_natural_ramp,
    "networkx": bench_networkx,
    "memory": bench_memory,
}


# --------------------------------------------------------------------------


def cpu_model() -> str:
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def total_memory() -> str:
    try:
        with open("/proc/meminfo") as f:
            for line in f:
                if line.startswith("MemTotal"):
                    return fmt_bytes(int(line.split()[1]) * 1024)
    except OSError:
        pass
    return "unknown"


def print_machine(cfg) -> None:
    try:
        avail = len(os.sched_getaffinity(0))
    except AttributeError:
        avail = os.cpu_count()
    print("## Scalar visibility benchmark")
    print()
    print(f"- command: `{' '.join(['python', 'benchmarks/bench_scalar.py'] + sys.argv[1:])}`")
    print(f"- machine: {cpu_model()}, {os.cpu_count()} logical CPUs ({avail} available to the process), "
          f"{total_memory()} RAM, {platform.system()} {platform.release()} {platform.machine()}")
    print(f"- Python {platform.python_version()} ({platform.python_implementation()}), NumPy {np.__version__}, "
          f"ts2vg {getattr(ts2vg, '__version__', '?')}, networkx {getattr(nx, '__version__', 'absent')}, "
          f"kaltrope module {getattr(kt, '__file__', '?')}")
    print(f"- load average (1, 5, 15 min) at the start: {cfg.load_start}, at the end: "
          f"{', '.join(f'{v:.2f}' for v in os.getloadavg())}")
    print(f"- mode: {'quick' if cfg.quick else 'full'}, seed {cfg.seed}, "
          f"{'all workloads in one process' if cfg.in_process else 'each workload in a fresh process'}; "
          "times are medians; "
          "speed-up = peer time / kaltrope time in the same run; "
          "ns/edge = kaltrope time / edges")
    print()


def warm_up() -> None:
    """Start the worker pool and fault in the code before anything is timed."""
    rng = np.random.default_rng(0)
    kt.natural_visibility_edges(rng.random(100_000))
    kt.horizontal_visibility_edges(rng.random(100_000))


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--quick", action="store_true", help="smaller inputs and fewer runs (well under a minute)")
    ap.add_argument("--only", default="", help="comma-separated workloads or prefixes (see --list)")
    ap.add_argument("--list", action="store_true", help="list the workloads and exit")
    ap.add_argument("--seed", type=int, default=20240601)
    ap.add_argument("--repeat", type=int, default=None, help="runs of each kaltrope measurement")
    ap.add_argument("--peer-repeat", type=int, default=None, help="runs of each peer measurement")
    ap.add_argument("--in-process", action="store_true",
                    help="run all workloads in this process (default: each in a fresh subprocess, so that "
                         "one workload's memory state cannot affect the next)")
    ap.add_argument("--worker", default=None, help=argparse.SUPPRESS)
    args = ap.parse_args()

    if args.list:
        for k in WORKLOADS:
            print(k)
        return 0

    selected = list(WORKLOADS)
    if args.only:
        wanted = [w.strip() for w in args.only.split(",") if w.strip()]
        selected = [k for k in WORKLOADS if any(k == w or k.startswith(w) for w in wanted)]
        if not selected:
            ap.error(f"--only {args.only!r} matches no workload; choose from: {', '.join(WORKLOADS)}")

    cfg = argparse.Namespace()
    cfg.load_start = ", ".join(f"{v:.2f}" for v in os.getloadavg())
    cfg.quick = args.quick
    cfg.in_process = args.in_process
    QUICK[0] = args.quick
    cfg.seed = args.seed
    cfg.rng = np.random.default_rng(args.seed)
    if args.quick:
        cfg.big, cfg.increasing_n, cfg.convex_n, cfg.nx_n = 200_000, 20_000, 2_000, 300
        cfg.batch_shape = (10_000, 256)
        cfg.fast_repeat, cfg.peer_repeat, cfg.slow_peer_repeat, cfg.peer_budget = 3, 1, 1, 5.0
    else:
        cfg.big, cfg.increasing_n, cfg.convex_n, cfg.nx_n = 1_000_000, 100_000, 5_000, 1_000
        cfg.batch_shape = (100_000, 256)
        cfg.fast_repeat, cfg.peer_repeat, cfg.slow_peer_repeat, cfg.peer_budget = 7, 3, 2, 10.0
    if args.repeat:
        cfg.fast_repeat = args.repeat
    if args.peer_repeat:
        cfg.peer_repeat = cfg.slow_peer_repeat = args.peer_repeat
        cfg.peer_budget = float("inf")

    def run_here(k: str) -> None:
        # each workload draws from its own stream, so --only does not change the inputs
        cfg.rng = np.random.default_rng([args.seed, list(WORKLOADS).index(k)])
        WORKLOADS[k](cfg)

    if args.worker is not None:
        warm_up()
        run_here(args.worker)
        print(json.dumps({"rows": ROWS, "warnings": WARNINGS, "memory": getattr(cfg, "memory", None)}))
        return 0

    t0 = time.perf_counter()
    if args.in_process:
        warm_up()
    for k in selected:
        t1 = time.perf_counter()
        if args.in_process:
            run_here(k)
        else:
            cmd = [sys.executable, os.path.abspath(__file__), "--worker", k, "--seed", str(args.seed)]
            if args.quick:
                cmd.append("--quick")
            if args.repeat:
                cmd += ["--repeat", str(args.repeat)]
            if args.peer_repeat:
                cmd += ["--peer-repeat", str(args.peer_repeat)]
            p = subprocess.run(cmd, stdout=subprocess.PIPE, text=True)  # progress passes through stderr
            lines = p.stdout.strip().splitlines()
            if p.returncode != 0 or not lines:
                warn(f"workload {k} failed in its subprocess (exit {p.returncode})")
                continue
            out = json.loads(lines[-1])
            ROWS.extend(out["rows"])
            WARNINGS.extend(out["warnings"])
            if out["memory"] is not None:
                cfg.memory = tuple(out["memory"])
        log(f"  ({k}: {time.perf_counter() - t1:.1f} s)")
    log(f"total {time.perf_counter() - t0:.1f} s")

    print_machine(cfg)
    if ROWS:
        print_table()
    print_memory(cfg)
    if WARNINGS:
        print()
        for w in WARNINGS:
            print(f"WARNING: {w}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
