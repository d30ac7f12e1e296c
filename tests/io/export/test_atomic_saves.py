"""Saves are all or nothing: the text goes to a new file beside the target,
which is renamed over it; a save that fails part-way leaves an existing file
byte for byte as it was and no temporary file behind."""
import os
import stat

import numpy as np
import pytest

import _kaltrope as kt
from processes import run_python

OLD = b"the old file\n" * 100
SAVES = [("save_graphml", ()), ("save_dot", ()), ("save_adjacency_csv", ()), ("save_edge_list_csv", (True,))]


@pytest.fixture(scope="module")
def graph():
    return kt.natural_visibility(np.random.default_rng(0).random(300))


def test_a_save_cut_short_by_the_file_size_limit(tmp_path):
    # RLIMIT_FSIZE makes the write fail part-way (EFBIG; SIGXFSZ ignored).
    path = tmp_path / "graph.graphml"
    path.write_bytes(OLD)
    out = run_python("""
        import os, resource, signal, sys
        import numpy as np
        import _kaltrope as kt

        path = sys.argv[1]
        graph = kt.natural_visibility(np.random.default_rng(0).random(20_000))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (200_000, 200_000))
        for method, extra in (("save_graphml", ()), ("save_dot", ()), ("save_edge_list_csv", (True,))):
            try:
                getattr(graph, method)(path, *extra)
                print("saved")
            except RuntimeError as error:
                print(error)
    """, path)
    assert out.splitlines() == [f"{path}: File too large (os error 27)"] * 3
    assert path.read_bytes() == OLD
    assert os.listdir(tmp_path) == ["graph.graphml"]


@pytest.mark.parametrize("save, extra", SAVES)
def test_a_save_replaces_the_file_whole(tmp_path, graph, save, extra):
    path = tmp_path / "out"
    path.write_bytes(OLD * 1000)                       # longer than the new text
    os.chmod(path, 0o600)
    getattr(graph, save)(str(path), *extra)
    text = getattr(graph, {"save_graphml": "to_graphml", "save_dot": "to_dot",
                           "save_adjacency_csv": "to_adjacency_csv",
                           "save_edge_list_csv": "to_edge_list_csv"}[save])(*extra)
    assert path.read_text() == text
    assert stat.S_IMODE(path.stat().st_mode) == 0o600     # a replaced file keeps its permissions
    assert os.listdir(tmp_path) == ["out"]


def test_symbolic_links_lead_to_the_file_they_name(tmp_path, graph):
    real = tmp_path / "data" / "real.dot"
    real.parent.mkdir()
    real.write_bytes(OLD)
    (tmp_path / "hop").symlink_to("data/real.dot")     # relative, through a second link
    link = tmp_path / "link.dot"
    link.symlink_to(tmp_path / "hop")
    graph.save_dot(str(link))
    assert link.is_symlink() and (tmp_path / "hop").is_symlink()
    assert real.read_text() == graph.to_dot()
    dangling = tmp_path / "dangling.dot"
    dangling.symlink_to("data/new.dot")                # a link to a file not yet there
    graph.save_dot(str(dangling))
    assert dangling.is_symlink() and (tmp_path / "data" / "new.dot").read_text() == graph.to_dot()
    assert sorted(os.listdir(tmp_path / "data")) == ["new.dot", "real.dot"]
    loop = tmp_path / "loop"
    loop.symlink_to("loop")
    with pytest.raises(RuntimeError) as raised:
        graph.save_dot(str(loop))
    assert str(raised.value) == f"{loop}: Too many levels of symbolic links (os error 40)"


def test_failures_name_the_path_and_leave_nothing(tmp_path, graph):
    locked = tmp_path / "locked"
    locked.mkdir()
    (locked / "old.csv").write_bytes(OLD)
    os.chmod(locked, 0o500)                             # the file is there, the folder read-only
    try:
        if os.access(locked, os.W_OK):
            pytest.skip("running with privileges that ignore permissions")
        with pytest.raises(RuntimeError) as raised:
            graph.save_edge_list_csv(str(locked / "old.csv"), False)
        assert str(raised.value) == f"{locked / 'old.csv'}: Permission denied (os error 13)"
        assert os.listdir(locked) == ["old.csv"] and (locked / "old.csv").read_bytes() == OLD
    finally:
        os.chmod(locked, 0o700)
    with pytest.raises(RuntimeError) as raised:
        graph.save_dot(str(tmp_path / "old.csv" / "x"))  # a path through a missing folder
    assert str(raised.value).endswith("x: No such file or directory (os error 2)")


def test_new_files_get_the_default_permissions(tmp_path, graph):
    old = os.umask(0o027)
    try:
        graph.save_graphml(str(tmp_path / "new.graphml"))
    finally:
        os.umask(old)
    assert stat.S_IMODE((tmp_path / "new.graphml").stat().st_mode) == 0o640


def test_a_pipe_is_written_in_place(tmp_path, graph):
    # Files that are not regular are opened and written as before.
    pipe = tmp_path / "pipe"
    os.mkfifo(pipe)
    import threading
    received = []
    reader = threading.Thread(target=lambda: received.append(pipe.read_text()))
    reader.start()
    graph.save_dot(str(pipe))
    reader.join()
    assert received == [graph.to_dot()] and stat.S_ISFIFO(pipe.stat().st_mode)
