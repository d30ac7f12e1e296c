"""compute_statistics, the GraphStatistics class and its boxed text."""
import numpy as np
import pytest

import _kaltrope as kt

FIELDS = ["node_count", "edge_count", "is_directed", "average_degree", "min_degree", "max_degree",
          "degree_std_dev", "degree_variance", "average_clustering", "global_clustering",
          "average_path_length", "diameter", "radius", "density", "is_connected", "num_components",
          "largest_component_size", "assortativity", "feature_count", "community_count", "modularity"]

PATH_SUMMARY = """\
╔════════════════════════════════════════╗
║      Graph Statistics Summary          ║
╚════════════════════════════════════════╝

📊 Structure:
  Nodes:         3
  Edges:         2
  Directed:      false
  Connected:     true
  Components:    1
  Largest comp:  3

📈 Degree Distribution:
  Average:       1.33
  Std Dev:       0.47
  Variance:      0.22
  Min:           1
  Max:           2

🔗 Clustering:
  Average:       0.0000
  Global:        0.0000

📏 Distance Metrics:
  Avg Path Len:  1.33
  Diameter:      2
  Radius:        1

🎯 Network Properties:
  Density:       0.6667
  Assortativity: -1.0000
  Communities:   1
  Modularity:    0.0000

"""

TRIANGLE_WITH_FEATURES = """\
╔════════════════════════════════════════╗
║      Graph Statistics Summary          ║
╚════════════════════════════════════════╝

📊 Structure:
  Nodes:         3
  Edges:         3
  Directed:      false
  Connected:     true
  Components:    1
  Largest comp:  3

📈 Degree Distribution:
  Average:       2.00
  Std Dev:       0.00
  Variance:      0.00
  Min:           2
  Max:           2

🔗 Clustering:
  Average:       1.0000
  Global:        1.0000

📏 Distance Metrics:
  Avg Path Len:  1.00
  Diameter:      1
  Radius:        1

🎯 Network Properties:
  Density:       1.0000
  Assortativity: 0.0000
  Communities:   1
  Modularity:    0.0000

✨ Features:
  Per node:      3
"""


def test_summary_of_the_path_graph():
    statistics = kt.natural_visibility([1.0, 2.0, 1.0]).compute_statistics()
    assert str(statistics) == repr(statistics) == PATH_SUMMARY
    assert statistics.average_degree == pytest.approx(4 / 3)
    assert (statistics.min_degree, statistics.max_degree, statistics.feature_count) == (1, 2, 0)


def test_summary_with_features():
    features = kt.FeatureSet()
    for name in ("LocalMean", "ZScore", "IsLocalMax"):
        features.add_builtin(kt.BuiltinFeature(name))
    graph = kt.TimeSeries([3.0, 1.0, 3.0]).natural_visibility_with_features(features)
    statistics = graph.compute_statistics()
    assert statistics.feature_count == 3
    assert str(statistics) == TRIANGLE_WITH_FEATURES


def test_box_lines():
    lines = PATH_SUMMARY.split("\n")
    assert [len(line) for line in lines[:3]] == [42, 42, 42]
    fields = [line for line in lines if line.startswith("  ")]
    assert all(line[16] == " " and line[17] != " " for line in fields)


def test_fields_match_the_separate_metrics():
    rng = np.random.default_rng(4)
    values = [None if r < 0.05 else v for v, r in zip(np.cumsum(rng.standard_normal(800)).tolist(), rng.random(800))]
    graph = kt.TimeSeries.with_missing(list(range(800)), values).natural_visibility()
    s = graph.compute_statistics()
    degrees = graph.degree_sequence()
    assert [name for name in vars(kt.GraphStatistics) if not name.startswith("_")] == FIELDS
    assert (s.node_count, s.edge_count, s.is_directed) == (800, graph.edge_count(), False)
    assert s.average_degree == sum(degrees) / 800
    assert (s.min_degree, s.max_degree) == (min(degrees), max(degrees))
    assert (s.degree_variance, s.degree_std_dev) == (graph.degree_variance(), graph.degree_std_dev())
    assert (s.average_clustering, s.global_clustering) == (graph.clustering_coefficient(),
                                                           graph.global_clustering_coefficient())
    assert (s.average_path_length, s.diameter, s.radius) == (graph.average_path_length(), graph.diameter(),
                                                             graph.radius())
    assert (s.density, s.assortativity) == (graph.density(), graph.assortativity())
    assert (s.is_connected, s.num_components, s.largest_component_size) == (
        graph.is_connected(), graph.count_components(), graph.largest_component_size())
    assert (s.community_count, s.modularity) == (max(graph.detect_communities()) + 1, graph.modularity())
    assert s.community_count > 10 and s.modularity > 0.5
    assert s.radius == 0 and not s.is_connected
    for name in FIELDS:
        value = getattr(s, name)
        assert type(value) is (bool if name.startswith("is_") else
                               float if name in ("average_degree", "degree_std_dev", "degree_variance",
                                                 "average_clustering", "global_clustering",
                                                 "average_path_length", "density", "assortativity",
                                                 "modularity")
                               else int), name
        with pytest.raises(AttributeError):
            setattr(s, name, value)


def test_one_node():
    s = kt.natural_visibility([7.0]).compute_statistics()
    assert (s.average_degree, s.min_degree, s.max_degree, s.density) == (0.0, 0, 0, 0.0)
    assert (s.radius, s.diameter, s.is_connected, s.num_components) == (0, 0, True, 1)
    assert "  Avg Path Len:  0.00\n" in str(s)


def test_numbers_are_rounded_from_their_binary_value():
    # A path of 10 collinear samples and 6 missing ones: 9 edges on 16 nodes,
    # average degree 1.125 exactly, a tie that goes to the even digit.
    values = [float(v) for v in range(10)] + [None] * 6
    s = kt.TimeSeries.with_missing(list(range(16)), values).natural_visibility().compute_statistics()
    assert (s.edge_count, s.average_degree) == (9, 1.125)
    assert "  Average:       1.12\n" in str(s)
    assert f"  Density:       {s.density:.4f}\n" in str(s)
