"""The graph as text (GraphML, DOT, JSON, three CSV forms) and as files.

Exact texts for small graphs; for random graphs, each format read back by a
standard reader (xml.etree, networkx, json, numpy.loadtxt) against the
graph's own edges, matrix and features.
"""
import csv
import inspect
import io
import json
import math
import os
import re
import subprocess
import xml.etree.ElementTree as ET
from decimal import Decimal

import networkx as nx
import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import _kaltrope as kt
from probes import graph_probe

NAN, INF = math.nan, math.inf
GRAPHML_HEAD = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<graphml xmlns="http://graphml.graphdrawing.org/xmlns"\n'
    '         xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"\n'
    '         xsi:schemaLocation="http://graphml.graphdrawing.org/xmlns\n'
    '         http://graphml.graphdrawing.org/xmlns/1.0/graphml.xsd">\n'
    '\n'
    '  <key id="weight" for="edge" attr.name="weight" attr.type="double"/>\n')
DOT_HEAD = "graph {\n  rankdir=LR;\n  node [shape=circle];\n\n"


def with_features(values, *names):
    features = kt.FeatureSet()
    for name in names:
        features.add_builtin(kt.BuiltinFeature(name))
    return kt.TimeSeries(values).natural_visibility_with_features(features)


def with_gaps(values):
    return kt.TimeSeries.with_missing(list(range(len(values))), values).natural_visibility()


def graphml_edge(k, a, b):
    return (f'    <edge id="e{k}" source="n{a}" target="n{b}">\n'
            '      <data key="weight">1</data>\n    </edge>\n')


# --------------------------------------------------------------------------
# exact texts

def test_path_graph_in_every_format():
    path = kt.natural_visibility([1.0, 2.0, 1.0])
    assert path.to_graphml() == (
        GRAPHML_HEAD + '\n  <graph id="G" edgedefault="undirected">\n'
        + "".join(f'    <node id="n{i}">\n    </node>\n' for i in range(3))
        + graphml_edge(0, 0, 1) + graphml_edge(1, 1, 2) + "  </graph>\n</graphml>\n")
    assert path.to_dot() == (DOT_HEAD + '  0 [label="0"];\n  1 [label="1"];\n  2 [label="2"];\n\n'
                             "  0 -- 1;\n  1 -- 2;\n}\n")
    assert path.to_json() == ('{\n\n  "nodes": 3,\n  "edges": [\n'
                              '    {"source": 0, "target": 1, "weight": 1},\n'
                              '    {"source": 1, "target": 2, "weight": 1}\n  ]\n}\n')
    assert path.to_edge_list_csv(True) == "source,target,weight\n0,1,1\n1,2,1\n"
    assert path.to_edge_list_csv(include_weights=False) == "source,target\n0,1\n1,2\n"
    assert path.to_adjacency_csv() == "node,0,1,2\n0,0,1,0\n1,1,0,1\n2,0,1,0\n"
    assert path.to_features_csv() == "node\n"


def test_triangle_and_isolated_nodes():
    triangle = kt.natural_visibility([3.0, 1.0, 3.0])
    assert triangle.to_dot().endswith("\n  0 -- 1;\n  0 -- 2;\n  1 -- 2;\n}\n")
    assert triangle.to_adjacency_csv() == "node,0,1,2\n0,0,1,1\n1,1,0,1\n2,1,1,0\n"
    # Nodes 1 (missing) and 3 (NaN) have no edges but are written all the same.
    gaps = with_gaps([1.0, None, 3.0, NAN])
    assert gaps.to_dot() == (DOT_HEAD + "".join(f'  {i} [label="{i}"];\n' for i in range(4))
                             + "\n  0 -- 2;\n}\n")
    assert gaps.to_json() == ('{\n\n  "nodes": 4,\n  "edges": [\n'
                              '    {"source": 0, "target": 2, "weight": 1}\n  ]\n}\n')
    assert gaps.to_adjacency_csv() == "node,0,1,2,3\n0,0,0,1,0\n1,0,0,0,0\n2,1,0,0,0\n3,0,0,0,0\n"
    assert gaps.to_graphml().count("<node ") == 4 and gaps.to_graphml().count("<edge ") == 1
    edgeless = with_gaps([NAN, None])
    assert edgeless.to_json() == '{\n\n  "nodes": 2,\n  "edges": [\n  ]\n}\n'
    assert edgeless.to_edge_list_csv(True) == "source,target,weight\n"


def test_graph_with_features_in_every_format():
    # Columns in the order added: local_mean, delta_forward; node 2 has no delta_forward.
    graph = with_features([1.0, 2.0, 4.0], "LocalMean", "DeltaForward")
    third = "2.3333333333333335"
    assert graph.to_features_csv() == f"node,delta_forward,local_mean\n0,1,1.5\n1,2,{third}\n2,,3\n"
    assert graph.to_graphml() == (
        GRAPHML_HEAD
        + '  <key id="delta_forward" for="node" attr.name="delta_forward" attr.type="double"/>\n'
        + '  <key id="local_mean" for="node" attr.name="local_mean" attr.type="double"/>\n'
        + '\n  <graph id="G" edgedefault="undirected">\n'
        + '    <node id="n0">\n      <data key="local_mean">1.5</data>\n'
        + '      <data key="delta_forward">1</data>\n    </node>\n'
        + f'    <node id="n1">\n      <data key="local_mean">{third}</data>\n'
        + '      <data key="delta_forward">2</data>\n    </node>\n'
        + '    <node id="n2">\n      <data key="local_mean">3</data>\n    </node>\n'
        + graphml_edge(0, 0, 1) + graphml_edge(1, 0, 2) + graphml_edge(2, 1, 2)
        + "  </graph>\n</graphml>\n")
    assert graph.to_dot() == (
        DOT_HEAD + '  0 [label="0"] [tooltip="local_mean: 1.5\\ndelta_forward: 1"];\n'
        + f'  1 [label="1"] [tooltip="local_mean: {third}\\ndelta_forward: 2"];\n'
        + '  2 [label="2"] [tooltip="local_mean: 3"];\n\n  0 -- 1;\n  0 -- 2;\n  1 -- 2;\n}\n')
    assert graph.to_json() == (
        '{\n\n  "nodes": 3,\n  "edges": [\n'
        '    {"source": 0, "target": 1, "weight": 1},\n'
        '    {"source": 0, "target": 2, "weight": 1},\n'
        '    {"source": 1, "target": 2, "weight": 1}\n  ]\n'
        '  ,"features": [\n'
        '    {"node": 0, "values": {"local_mean": 1.5, "delta_forward": 1}},\n'
        f'    {{"node": 1, "values": {{"local_mean": {third}, "delta_forward": 2}}}},\n'
        '    {"node": 2, "values": {"local_mean": 3}}\n  ]\n}\n')


def test_features_without_any_value_and_nodes_without_features():
    # One sample: no node has a delta_forward, so there is no column and no key.
    lone = with_features([5.0], "DeltaForward")
    assert lone.has_features()
    assert lone.to_features_csv() == "node\n0\n"
    assert 'for="node"' not in lone.to_graphml()
    assert lone.to_dot() == DOT_HEAD + '  0 [label="0"];\n\n}\n'
    assert json.loads(lone.to_json())["features"] == [{"node": 0, "values": {}}]


def probe_json(values, weights, features, pretty, *names):
    text = "".join(f"{v!r}\n" for v in values)
    flags = [str(int(flag)) for flag in (weights, features, pretty)]
    return subprocess.run([str(graph_probe()), "json", *flags, *names], input=text, capture_output=True,
                          text=True, check=True, timeout=60).stdout


def test_json_options():
    assert probe_json([1.0, 2.0, 1.0], False, False, False) == (
        '{\n"nodes": 3,\n"edges": [\n{"source": 0, "target": 1},\n{"source": 1, "target": 2}\n]\n}\n')
    path = kt.natural_visibility([1.0, 2.0, 1.0])
    assert probe_json([1.0, 2.0, 1.0], True, True, True) == path.to_json()
    graph = with_features([1.0, 2.0, 4.0], "DeltaForward")
    assert probe_json([1.0, 2.0, 4.0], True, True, True, "DeltaForward") == graph.to_json()
    assert "features" not in probe_json([1.0, 2.0, 4.0], True, False, False, "DeltaForward")


# --------------------------------------------------------------------------
# numbers

def shortest_fixed(x):
    """Python's shortest round-trip digits, written without an exponent and
    without a fractional part when integral."""
    if math.isnan(x):
        return "NaN"
    if math.isinf(x):
        return "inf" if x > 0 else "-inf"
    text = format(Decimal(repr(x)), "f")
    return text.rstrip("0").rstrip(".") if "." in text else text


def delta_text(graph):
    """How node 0's delta_forward is written in the feature CSV."""
    return graph.to_features_csv().splitlines()[1].split(",")[1]


def test_documented_numbers_in_every_format():
    cases = {0.1: "0.1", 1e21: "1" + "0" * 21, 1e-7: "0.0000001", -0.0: "-0", 1.0: "1",
             NAN: "NaN", INF: "inf", -INF: "-inf", 5e-324: "0." + "0" * 323 + "5",
             -1.5e300: "-15" + "0" * 299}
    for value, text in cases.items():
        # The first delta of [0, value] is value itself (-0.0 - 0.0 is -0.0).
        graph = with_features([0.0, value], "DeltaForward")
        assert graph.to_features_csv() == f"node,delta_forward\n0,{text}\n1,\n"
        assert f'<data key="delta_forward">{text}</data>' in graph.to_graphml()
        assert f'[tooltip="delta_forward: {text}"]' in graph.to_dot()
        json_text = text if math.isfinite(value) else "null"
        assert f'{{"node": 0, "values": {{"delta_forward": {json_text}}}}}' in graph.to_json()


@settings(max_examples=300)
@given(st.floats(allow_nan=False, allow_infinity=False))
def test_shortest_round_trip_form(x):
    text = delta_text(with_features([0.0, x], "DeltaForward"))
    assert text == shortest_fixed(x)
    assert float(text) == x and math.copysign(1, float(text)) == math.copysign(1, x)
    assert "e" not in text and not text.endswith(".")


def test_json_parses_with_non_finite_features():
    graph = with_features([NAN, 1.0, INF, 2.0, -INF], "DeltaForward", "LocalMean", "ZScore")
    parsed = json.loads(graph.to_json())
    values = [entry["values"] for entry in parsed["features"]]
    assert values[0]["delta_forward"] is None and values[1]["delta_forward"] is None
    assert all(v is None or math.isfinite(v) for node in values for v in node.values())
    assert "NaN" in graph.to_features_csv() and "inf" in graph.to_features_csv()


# --------------------------------------------------------------------------
# readers

values_with_gaps = st.lists(st.one_of(st.none(), st.just(NAN), st.integers(-4, 4).map(float)),
                            min_size=1, max_size=30).filter(lambda v: any(x is not None for x in v))


def feature_graph(values):
    features = kt.FeatureSet()
    for name in ("ZScore", "DeltaBackward", "IsLocalMax", "LocalSlope"):
        features.add_builtin(kt.BuiltinFeature(name))
    series = kt.TimeSeries.with_missing(list(range(len(values))), values)
    return series.horizontal_visibility_with_features(features)


def same_value(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


@pytest.mark.filterwarnings("ignore:loadtxt")   # an edgeless graph's CSV has no data rows
@settings(max_examples=100)
@given(values_with_gaps)
def test_formats_read_back(values):
    graph = feature_graph(values)
    n, edges = graph.node_count(), [(a, b) for a, b, _ in graph.edges()]
    features = [graph.get_node_features(v) for v in range(n)]

    root = ET.fromstring(graph.to_graphml())
    ns = {"g": "http://graphml.graphdrawing.org/xmlns"}
    assert [node.get("id") for node in root.iterfind("g:graph/g:node", ns)] == [f"n{v}" for v in range(n)]
    assert [(e.get("source"), e.get("target")) for e in root.iterfind("g:graph/g:edge", ns)] == [
        (f"n{a}", f"n{b}") for a, b in edges]
    keys = [key.get("id") for key in root.iterfind("g:key[@for='node']", ns)]
    assert keys == sorted({name for node in features for name in node})

    parsed = nx.parse_graphml(graph.to_graphml())
    assert sorted(parsed.edges()) == sorted((f"n{a}", f"n{b}") for a, b in edges)
    for v in range(n):
        read = parsed.nodes[f"n{v}"]
        assert read.keys() == features[v].keys()
        assert all(same_value(read[name], value) for name, value in features[v].items())

    document = json.loads(graph.to_json())
    assert document["nodes"] == n
    assert [(e["source"], e["target"], e["weight"]) for e in document["edges"]] == graph.edges()
    assert [entry["node"] for entry in document["features"]] == list(range(n))

    listed = np.loadtxt(io.StringIO(graph.to_edge_list_csv(True)), delimiter=",", skiprows=1, ndmin=2)
    assert listed.reshape(-1, 3).tolist() == [[a, b, 1.0] for a, b in edges]
    matrix = np.loadtxt(io.StringIO(graph.to_adjacency_csv()), delimiter=",", skiprows=1, ndmin=2)
    assert np.array_equal(matrix[:, 0], np.arange(n)) and np.array_equal(matrix[:, 1:], graph.adjacency_matrix())

    rows = [line.split(",") for line in graph.to_features_csv().splitlines()]
    assert rows[0] == ["node", *keys]
    for v, row in enumerate(rows[1:]):
        assert row[0] == str(v)
        for name, cell in zip(keys, row[1:]):
            assert (cell == "") == (name not in features[v])
            assert cell == "" or same_value(float(cell), features[v][name])


def test_large_edge_list_reads_back():
    y = np.random.default_rng(4).standard_normal(200_000)
    graph = kt.natural_visibility(y)
    edges = np.loadtxt(io.StringIO(graph.to_edge_list_csv(False)), delimiter=",", skiprows=1, dtype=np.int64)
    assert edges.tolist() == sorted(kt.natural_visibility_edges(y).tolist())


# --------------------------------------------------------------------------
# files

SAVES = [("save_graphml", "to_graphml", ()), ("save_dot", "to_dot", ()),
         ("save_adjacency_csv", "to_adjacency_csv", ()),
         ("save_edge_list_csv", "to_edge_list_csv", (True,)),
         ("save_edge_list_csv", "to_edge_list_csv", (False,))]


@pytest.mark.parametrize("save, text, extra", SAVES)
def test_saves_write_the_text(tmp_path, save, text, extra):
    graph = with_features([1.0, 3.0, 2.0, 4.0], "DeltaForward")
    expected = getattr(graph, text)(*extra)
    target = tmp_path / "graph.out"
    target.write_text("x" * 10 * len(expected))           # longer: the save truncates it
    assert getattr(graph, save)(str(target), *extra) is None
    assert target.read_text() == expected
    getattr(graph, save)(tmp_path / "as_path.out", *extra)  # os.PathLike
    assert (tmp_path / "as_path.out").read_text() == expected


def test_new_file_mode_follows_the_umask(tmp_path):
    old = os.umask(0o027)
    try:
        kt.natural_visibility([1.0, 2.0]).save_dot(str(tmp_path / "g.dot"))
    finally:
        os.umask(old)
    assert (tmp_path / "g.dot").stat().st_mode & 0o777 == 0o640


@pytest.mark.parametrize("save, _, extra", SAVES)
def test_failed_saves(tmp_path, save, _, extra):
    graph = kt.natural_visibility([1.0, 2.0, 1.0])
    missing = tmp_path / "no_such_directory" / "graph.out"
    with pytest.raises(RuntimeError) as raised:
        getattr(graph, save)(str(missing), *extra)
    assert str(raised.value) == f"{missing}: No such file or directory (os error 2)"
    assert not missing.parent.exists()
    with pytest.raises(RuntimeError) as raised:
        getattr(graph, save)(str(tmp_path), *extra)
    assert str(raised.value) == f"{tmp_path}: Is a directory (os error 21)"
    assert list(tmp_path.iterdir()) == []
    if os.path.exists("/dev/full"):                        # opens, but every write fails
        with pytest.raises(RuntimeError, match=r"^/dev/full: No space left on device \(os error 28\)$"):
            getattr(graph, save)("/dev/full", *extra)


def test_argument_errors():
    graph = kt.natural_visibility([1.0, 2.0, 1.0])
    with pytest.raises(TypeError, match="include_weights"):
        graph.to_edge_list_csv(1)
    with pytest.raises(TypeError):
        graph.to_edge_list_csv()
    assert graph.to_edge_list_csv(np.True_) == graph.to_edge_list_csv(True)
    with pytest.raises(TypeError, match="path"):
        graph.save_dot(3)
    with pytest.raises(TypeError, match="include_weights"):
        graph.save_edge_list_csv("unused.csv", None)
    with pytest.raises(ValueError, match="null"):
        graph.save_graphml("bad\0name")


def test_docstrings_and_signatures():
    docs = {
        "to_json": ("(self, /)", "Exports the graph to JSON."),
        "to_edge_list_csv": ("(self, /, include_weights)", "Exports edges to CSV string, with or without weights."),
        "to_adjacency_csv": ("(self, /)", "Exports adjacency matrix to CSV string."),
        "to_features_csv": ("(self, /)", "Exports node features to CSV string."),
        "to_dot": ("(self, /)", "Exports graph to DOT format (GraphViz)."),
        "to_graphml": ("(self, /)", "Exports graph to GraphML format."),
        "save_edge_list_csv": ("(self, /, path, include_weights)", "Saves edges to CSV file."),
        "save_adjacency_csv": ("(self, /, path)", "Saves adjacency matrix to CSV file."),
        "save_dot": ("(self, /, path)", "Saves to DOT file."),
        "save_graphml": ("(self, /, path)", "Saves to GraphML file."),
    }
    for name, (signature, doc) in docs.items():
        method = getattr(kt.VisibilityGraph, name)
        assert (str(inspect.signature(method)), method.__doc__.splitlines()[0]) == (signature, doc)
    names = [name for name in vars(kt.VisibilityGraph) if not name.startswith("_")]
    assert names[names.index("adjacency_matrix") + 1:names.index("get_node_feature_names")] == list(docs)


# --------------------------------------------------------------------------
# feature names that need escaping

ODD_NAMES = ['say "hi"', "<a & b>", "it's", "back\\slash", "comma,name", "é ü", "x:y"]


def odd_name_graph():
    """A restored graph whose features bear names that no builtin has: a
    state may name them freely, and every export must still read back."""
    graph = kt.natural_visibility([1.0, 3.0, 2.0])
    k = len(ODD_NAMES)
    values = np.arange(3.0 * k)
    present = np.ones(3 * k, np.uint8)
    present[2] = 0                                   # the first name has no value at node 2
    return kt.VisibilityGraph._restore(1, *graph.__reduce__()[1][1:3], list(ODD_NAMES), values, present,
                                       graph.values(), graph.timestamps())


def test_odd_feature_names_read_back_in_every_format():
    graph = odd_name_graph()
    features = [graph.get_node_features(v) for v in range(3)]
    assert list(features[0]) == ODD_NAMES and ODD_NAMES[0] not in features[2]

    parsed = nx.parse_graphml(graph.to_graphml())
    assert [parsed.nodes[f"n{v}"] for v in range(3)] == features
    root = ET.fromstring(graph.to_graphml())
    ns = {"g": "http://graphml.graphdrawing.org/xmlns"}
    assert [key.get("attr.name") for key in root.iterfind("g:key[@for='node']", ns)] == sorted(ODD_NAMES)

    document = json.loads(graph.to_json())
    assert [entry["values"] for entry in document["features"]] == features

    rows = list(csv.reader(io.StringIO(graph.to_features_csv())))
    assert rows[0] == ["node", *sorted(ODD_NAMES)]
    assert [{name: float(cell) for name, cell in zip(rows[0][1:], row[1:]) if cell} for row in rows[1:]] == features

    # DOT: one quoted tooltip per node, its quotes and backslashes escaped.
    tooltips = re.findall(r'\[tooltip="((?:[^"\\]|\\.)*)"\]', graph.to_dot())
    assert len(tooltips) == 3
    unescaped = re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), tooltips[0])
    assert unescaped.split("\n") == [f"{name}: {v * 3:g}" for v, name in enumerate(ODD_NAMES)]


def test_feature_names_with_control_characters_are_refused():
    graph = kt.natural_visibility([1.0, 3.0])
    for name in ("a\nb", "nul\0", "\t"):
        with pytest.raises(ValueError, match="feature name"):
            kt.VisibilityGraph._restore(1, *graph.__reduce__()[1][1:3], [name], np.zeros(2), np.ones(2, np.uint8),
                                        graph.values(), graph.timestamps())
