#include "core/scalar_visibility/natural.hpp"

#include <algorithm>
#include <optional>

#include "core/scalar_visibility/edge_values.hpp"
#include "core/scalar_visibility/limited_natural_scan.hpp"
#include "core/scalar_visibility/natural_sample_engine.hpp"
#include "core/scalar_visibility/reach_scan.hpp"
#include "core/scalar_visibility/sample_parts.hpp"
#include "core/scalar_visibility/sample_scan.hpp"
#include "core/scalar_visibility/segments.hpp"
#include "core/hull/hull_tree.hpp"
#include "core/hull/hybrid_scan.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

template <class Positions>
std::vector<EdgeList> natural_parts(Series y, Positions x, Algorithm algorithm) {
    if (y.size() < 2) return {};
    const Segments windows = segments(y);
    const NaturalSampleEngine engine(y, x, algorithm, scan_work(windows));
    return edges_by_sample(y.size(), SampleEngineScan{&engine, StoredWindows{&windows}}, true);
}

template <class Positions>
EdgePairs natural_pairs(Series y, Positions x, const VisibilityLimits& limits, EdgeDirection direction,
                        Algorithm algorithm) {
    const std::size_t n = y.size();
    if (n < 2) return OrderedPairs(0, n).take();
    // Pairs are turned while their chunk is still in the cache.
    auto directed = [&](std::span<Edge> edges) { direct_edges(edges, y, direction); };
    if (limits.penetrable == 0) {
        if (scans_over_reach(y, x, limits.window, algorithm)) {
            const SampleReach reach(limits.window, n);
            return pairs_by_sample(n, ReachScan(y, reach), directed);
        }
        Segments windows = segments(y);
        if (limits.window) narrow_to(windows, *limits.window);
        const NaturalSampleEngine engine(y, x, algorithm, scan_work(windows));
        return pairs_by_sample(n, SampleEngineScan{&engine, StoredWindows{&windows}}, directed);
    }
    const SampleReach reach(limits.window, n);
    return pairs_by_sample(n, LimitedNaturalScan(y, x, limits.penetrable, reach), directed);
}

// Appends the edges of a batch row: the scan engine on one worker.
void natural_row(Series y, EdgeList& edges) {
    const std::size_t n = y.size();
    if (n < 2) return;
    const Segments windows = segments(y);
    const SeriesExtent extent = extent_of(y, UniformPositions{});
    interruption::Countdown poll(detail::kPollWork);
    for (std::uint32_t i = 0; i < n; ++i) {
        poll.tick(static_cast<unsigned>(
            std::min<std::uint64_t>(windows.hi[i] - windows.lo[i] + detail::kSampleWork, detail::kPollWork)));
        scan_sample(y.data(), UniformPositions{}, i, windows.lo[i], windows.hi[i], extent, edges);
    }
}

}  // namespace

template <class Positions, VertexStorage Storage>
NaturalSampleEngine<Positions, Storage>::NaturalSampleEngine(Series y, Positions x, Algorithm algorithm,
                                                             std::uint64_t scan_work)
    : y_(y), x_(x) {
    if (uses_hull_tree(scan_work, y.size(), algorithm)) tree_.emplace(HullTree<Positions, Storage>::build(y, x));
    // The tree may have rescaled its coordinates; the scans use the input's.
    extent_ = extent_of(y, x);
}

template <class Positions, VertexStorage Storage>
void NaturalSampleEngine<Positions, Storage>::scan(std::uint32_t i, Window window, EdgeList& edges) const {
    const std::size_t n = y_.size();
    const auto [lo, hi] = window;
    if (!tree_ || (n >= kHullMinSamples && hi - lo <= kHybridWindow)) {
        scan_sample(y_.data(), x_, i, lo, hi, extent_, edges);
    } else if (n < kHullMinSamples) {
        tree_->scan_point(i, lo, hi, edges);
    } else {
        hybrid_scan(*tree_, i, lo, hi, edges);
    }
}

template class NaturalSampleEngine<UniformPositions>;
template class NaturalSampleEngine<ExplicitPositions>;
template class NaturalSampleEngine<UniformPositions, VertexStorage::Indices>;
template class NaturalSampleEngine<ExplicitPositions, VertexStorage::Indices>;

EdgeList natural_edges_with(Series y, UniformPositions x, Algorithm algorithm) {
    return join_parts(natural_parts(y, x, algorithm));
}

EdgeList natural_edges_with(Series y, ExplicitPositions x, Algorithm algorithm) {
    return join_parts(natural_parts(y, x, algorithm));
}

std::vector<EdgeList> natural_edge_parts(Series y, UniformPositions x, Algorithm algorithm) {
    return natural_parts(y, x, algorithm);
}

std::vector<EdgeList> natural_edge_parts(Series y, ExplicitPositions x, Algorithm algorithm) {
    return natural_parts(y, x, algorithm);
}

EdgePairs natural_edge_pairs(Series y, UniformPositions x, const VisibilityLimits& limits, EdgeDirection direction,
                             Algorithm algorithm) {
    return natural_pairs(y, x, limits, direction, algorithm);
}

EdgePairs natural_edge_pairs(Series y, ExplicitPositions x, const VisibilityLimits& limits, EdgeDirection direction,
                             Algorithm algorithm) {
    return natural_pairs(y, x, limits, direction, algorithm);
}

BatchEdges natural_batch(std::span<const Series> rows) { return run_batch(rows, natural_row); }

}  // namespace kaltrope
