// Prints the node feature table of a series, for the tests.
//
//   node_features_probe FEATURE... < samples
//
// FEATURE is a variant name ("DeltaForward", ...), added to the feature set
// in the order given. The input has one sample per line: a number, or "-"
// for a missing sample. The output has one line per node: "name=value" for
// each feature with a value there, in the table's column order.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "io/import/float_text.hpp"
#include "performance/parallel/node_features.hpp"

int main(int argc, char** argv) {
    kaltrope::FeatureSet features;
    for (int k = 1; k < argc; ++k) {
        const auto feature = kaltrope::builtin_feature_named(argv[k]);
        if (!feature) {
            std::cerr << "unknown feature " << argv[k] << "\n";
            return 2;
        }
        features.add_builtin(*feature);
    }
    std::vector<kaltrope::Sample> samples;
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "-") {
            samples.emplace_back();
            continue;
        }
        const auto value = kaltrope::io::parse_float(line);
        if (!value) {
            std::cerr << "not a sample: " << line << "\n";
            return 2;
        }
        samples.emplace_back(*value);
    }
    const kaltrope::NodeFeatureTable table = kaltrope::compute_node_features_parallel(features, samples);
    for (std::size_t node = 0; node < table.node_count(); ++node) {
        for (std::size_t column = 0; column < table.names().size(); ++column) {
            if (const auto value = table.value(node, column)) {
                std::printf(" %s=%.17g", table.names()[column].c_str(), *value);
            }
        }
        std::printf("\n");
    }
}
