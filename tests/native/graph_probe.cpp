// Reaches, for the tests, what the Python interface does not: the class of
// any directed triad, the JSON options other than the default, and the
// measures of any graph, not only of a visibility graph.
//
//   graph_probe triads < patterns
//     One triad i < j < k per line, six characters 0 or 1 telling which of
//     the arcs ij, ji, ik, ki, jk, kj are present; prints its class name.
//
//   graph_probe json WEIGHTS FEATURES PRETTY [FEATURE...] < samples
//     WEIGHTS, FEATURES and PRETTY are 0 or 1. Prints the JSON text of the
//     natural visibility graph of the samples (one number a line), with the
//     node features named (variant names, "DeltaForward", ...).
//
//   graph_probe degrees SPLIT... < samples
//     One sample "y" or "x y" a line (all with positions or none). Prints,
//     a line for each SPLIT, the natural degrees as the degree sweep counts
//     them with its two ends meeting at that sample ("d0 d1 ..."), or
//     "gave up" where it leaves a dense graph to the scans.
//
//   graph_probe measures NODES < edges
//     One edge "a b", a < b < NODES, a line, each edge once. Prints the
//     radius and diameter by bounding ("bounds R D"), the all-pairs summary
//     ("all_pairs R D L", L in hexadecimal), the communities with the default
//     options ("communities c0 c1 ...") and the betweenness of every node
//     ("betweenness b0 b1 ...", in hexadecimal).

#include <cstdio>
#include <iostream>
#include <sstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/community/communities.hpp"
#include "analysis/graph_motifs/three_node_motifs.hpp"
#include "analysis/metrics/betweenness.hpp"
#include "analysis/metrics/eccentricity_bounds.hpp"
#include "analysis/metrics/paths.hpp"
#include "core/graph/visibility_graph_builder.hpp"
#include "core/scalar_visibility/degree_sweep.hpp"
#include "io/export/graph_text.hpp"
#include "io/import/float_text.hpp"

namespace {

int print_triad_classes() {
    for (std::string line; std::getline(std::cin, line);) {
        if (line.size() != 6 || line.find_first_not_of("01") != std::string::npos) {
            std::cerr << "not a triad: " << line << "\n";
            return 2;
        }
        const kaltrope::TriadArcs arcs{line[0] == '1', line[1] == '1', line[2] == '1',
                                       line[3] == '1', line[4] == '1', line[5] == '1'};
        std::cout << kaltrope::motif_name(kaltrope::classify_triad(arcs)) << "\n";
    }
    return 0;
}

int print_json(char** flags, int feature_count, char** feature_names) {
    kaltrope::FeatureSet features;
    for (int k = 0; k < feature_count; ++k) {
        const auto feature = kaltrope::builtin_feature_named(feature_names[k]);
        if (!feature) {
            std::cerr << "unknown feature " << feature_names[k] << "\n";
            return 2;
        }
        features.add_builtin(*feature);
    }
    std::vector<double> samples;
    for (std::string line; std::getline(std::cin, line);) {
        const auto value = kaltrope::io::parse_float(line);
        if (!value) {
            std::cerr << "not a sample: " << line << "\n";
            return 2;
        }
        samples.push_back(*value);
    }
    const auto series = kaltrope::TimeSeries::from_raw(samples);
    if (!series) return 2;
    std::optional<kaltrope::FeatureSet> feature_set;
    if (feature_count != 0) feature_set = std::move(features);
    auto graph =
        kaltrope::VisibilityGraphBuilder(*series, std::move(feature_set)).build(kaltrope::VisibilityKind::Natural);
    if (!graph) return 2;
    const kaltrope::io::JsonOptions options{std::string(flags[0]) == "1", std::string(flags[1]) == "1",
                                            std::string(flags[2]) == "1"};
    std::cout << kaltrope::io::to_json(*graph, options);
    return 0;
}

int print_split_degrees(int split_count, char** splits) {
    std::vector<double> positions;
    std::vector<double> values;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream fields(line);
        std::vector<double> numbers;
        for (std::string field; fields >> field;) {
            const auto number = kaltrope::io::parse_float(field);
            if (!number) break;
            numbers.push_back(*number);
        }
        if (numbers.empty() || numbers.size() > 2) {
            std::cerr << "not a sample: " << line << "\n";
            return 2;
        }
        if (numbers.size() == 2) positions.push_back(numbers[0]);
        values.push_back(numbers.back());
    }
    if (!positions.empty() && positions.size() != values.size()) return 2;
    std::vector<std::int64_t> degrees(values.size());
    for (int k = 0; k < split_count; ++k) {
        const std::uint64_t split = std::stoull(splits[k]);
        const bool counted =
            positions.empty()
                ? kaltrope::sweep_natural_degrees_split(values, kaltrope::UniformPositions{}, split, degrees.data())
                : kaltrope::sweep_natural_degrees_split(values, kaltrope::ExplicitPositions{positions.data()}, split,
                                                        degrees.data());
        if (!counted) {
            std::printf("gave up\n");
            continue;
        }
        for (std::size_t i = 0; i < degrees.size(); ++i)
            std::printf(i == 0 ? "%lld" : " %lld", static_cast<long long>(degrees[i]));
        std::printf("\n");
    }
    return 0;
}

int print_measures(const std::string& nodes_text) {
    const std::size_t node_count = std::stoul(nodes_text);
    kaltrope::EdgeList edges;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream fields(line);
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        if (!(fields >> a >> b) || !(a < b) || b >= node_count) {
            std::cerr << "not an edge: " << line << "\n";
            return 2;
        }
        edges.push_back({a, b});
    }
    std::vector<kaltrope::EdgeList> parts;
    parts.push_back(std::move(edges));
    const kaltrope::VisibilityGraph graph(kaltrope::Adjacency::from_edges(node_count, parts), {});
    const auto bounds = kaltrope::bounded_radius_and_diameter(graph);
    std::printf("bounds %zu %zu\n", bounds.radius, bounds.diameter);
    const auto all_pairs = kaltrope::path_summary(graph);
    std::printf("all_pairs %zu %zu %a\n", all_pairs.radius, all_pairs.diameter, all_pairs.average_path_length);
    std::printf("communities");
    for (const std::uint32_t label : kaltrope::detect_communities(graph).labels) std::printf(" %u", label);
    std::printf("\nbetweenness");
    for (const double value : kaltrope::betweenness_centrality_all(graph)) std::printf(" %a", value);
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "triads" && argc == 2) return print_triad_classes();
    if (mode == "json" && argc >= 5) return print_json(argv + 2, argc - 5, argv + 5);
    if (mode == "measures" && argc == 3) return print_measures(argv[2]);
    if (mode == "degrees") return print_split_degrees(argc - 2, argv + 2);
    std::cerr << "usage: graph_probe triads | graph_probe json WEIGHTS FEATURES PRETTY [FEATURE...] | "
                 "graph_probe measures NODES | graph_probe degrees SPLIT...\n";
    return 2;
}
