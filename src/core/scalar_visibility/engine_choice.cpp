#include "core/scalar_visibility/engine_choice.hpp"

#include <cmath>

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

Plan plan_natural(Series y) {
    const std::uint64_t work = scan_work(segments(y));
    return {.scan_work = work,
            .algorithm = uses_hull_tree(work, y.size(), Algorithm::Auto) ? Algorithm::Hull : Algorithm::Scan,
            .parallel = y.size() >= kParallelMinSamples};
}

}  // namespace kaltrope
