#include "core/scalar_visibility/engine_choice.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/scalar_visibility/segments.hpp"

namespace kaltrope {

namespace {

constexpr Spelling<Algorithm> kAlgorithmSpellings[] = {
    {"auto", Algorithm::Auto}, {"scan", Algorithm::Scan},
    {"dc", Algorithm::Scan},   {"divide_and_conquer", Algorithm::Scan},
    {"hull", Algorithm::Hull}, {"output_sensitive", Algorithm::Hull},
};

}  // namespace

const NameTable<Algorithm> kAlgorithmNames{kAlgorithmSpellings, LetterCase::Ignored, "unknown algorithm '",
                                           "' (expected auto, scan or hull)"};

bool uses_hull_tree(std::uint64_t scan_work, std::size_t n, Algorithm requested) {
    switch (requested) {
        case Algorithm::Scan: return false;
        case Algorithm::Hull: return true;
        case Algorithm::Auto: break;
    }
    const double samples = static_cast<double>(n);
    return n >= kHullMinSamples && static_cast<double>(scan_work) > samples * 30.0 * std::log2(samples);
}

bool scans_over_reach(std::optional<std::uint64_t> window, std::size_t n, Algorithm requested) {
    if (requested != Algorithm::Auto) return requested == Algorithm::Scan;
    if (!window) return false;
    // The work of the widest windows: 2 * window candidates for every sample.
    const std::uint64_t reach = std::min<std::uint64_t>(*window, n);
    if (n == 0 || reach > std::numeric_limits<std::uint64_t>::max() / (2 * n)) return false;
    return !uses_hull_tree(2 * reach * n, n, Algorithm::Auto);
}

Plan plan_natural(Series y) {
    const std::uint64_t work = scan_work(segments(y));
    return {.scan_work = work,
            .algorithm = uses_hull_tree(work, y.size(), Algorithm::Auto) ? Algorithm::Hull : Algorithm::Scan,
            .parallel = y.size() >= kParallelMinSamples};
}

}  // namespace kaltrope
