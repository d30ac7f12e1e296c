#include "core/scalar_visibility/engine_choice.hpp"

#include <cmath>

#include "core/scalar_visibility/segments.hpp"

namespace kaltrope {

std::expected<Algorithm, std::string> parse_algorithm(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (lowered == "auto") return Algorithm::Auto;
    if (lowered == "scan" || lowered == "dc" || lowered == "divide_and_conquer") return Algorithm::Scan;
    if (lowered == "hull" || lowered == "output_sensitive") return Algorithm::Hull;
    return std::unexpected("unknown algorithm '" + lowered + "' (expected auto, scan or hull)");
}

std::string_view display_name(Algorithm algorithm) {
    switch (algorithm) {
        case Algorithm::Auto: return "Auto";
        case Algorithm::Scan: return "Scan";
        case Algorithm::Hull: return "Hull";
    }
    return {};
}

bool uses_hull_tree(std::uint64_t scan_work, std::size_t n, Algorithm requested) {
    switch (requested) {
        case Algorithm::Scan: return false;
        case Algorithm::Hull: return true;
        case Algorithm::Auto: break;
    }
    const double samples = static_cast<double>(n);
    return n >= kHullMinSamples && static_cast<double>(scan_work) > samples * 30.0 * std::log2(samples);
}

Plan plan_natural(Series y) {
    const std::uint64_t work = scan_work(segments(y));
    return {.scan_work = work,
            .algorithm = uses_hull_tree(work, y.size(), Algorithm::Auto) ? Algorithm::Hull : Algorithm::Scan,
            .parallel = y.size() >= kParallelMinSamples};
}

}  // namespace kaltrope
