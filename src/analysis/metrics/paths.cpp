#include "analysis/metrics/paths.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "analysis/metrics/eccentricity_bounds.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kSourcesPerSearch = 64;

// What the searches from a run of sources found.
struct SearchTotals {
    std::uint64_t distance_sum = 0;  // over ordered pairs (source, reached node)
    std::uint64_t reached_pairs = 0;
};

// Breadth-first searches from up to 64 consecutive sources at once, one bit
// per source in a word per node: a node is examined once per level at which
// some source first reaches it, so sources that lie close together, as
// neighbouring samples do, share most of their work.
class MultiSourceSearch {
public:
    explicit MultiSourceSearch(const Adjacency& adjacency)
        : adjacency_(adjacency),
          seen_(adjacency.node_count(), 0),
          frontier_(adjacency.node_count(), 0),
          next_(adjacency.node_count(), 0) {}

    // Searches from first, first + 1, ... (count of them, at most 64); writes
    // each source's eccentricity to eccentricity[source].
    SearchTotals run(std::size_t first, std::size_t count, std::vector<std::uint32_t>& eccentricity) {
        SearchTotals totals;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t source = first + k;
            seen_[source] = frontier_[source] = std::uint64_t{1} << k;
            eccentricity[source] = 0;
            active_.push_back(static_cast<std::uint32_t>(source));
            touched_.push_back(static_cast<std::uint32_t>(source));
        }
        for (std::uint32_t level = 1; !active_.empty(); ++level) {
            interruption::poll();
            for (const std::uint32_t u : active_) {
                const std::uint64_t sources = frontier_[u];
                for (const std::uint32_t w : adjacency_.neighbors(u)) {
                    const std::uint64_t fresh = sources & ~seen_[w];
                    if (fresh == 0) continue;
                    if (next_[w] == 0) upcoming_.push_back(w);
                    next_[w] |= fresh;
                }
                frontier_[u] = 0;
            }
            std::uint64_t reaching = 0;
            for (const std::uint32_t w : upcoming_) {
                const std::uint64_t sources = std::exchange(next_[w], 0);
                if (seen_[w] == 0) touched_.push_back(w);
                seen_[w] |= sources;
                frontier_[w] = sources;
                reaching |= sources;
                const auto pairs = static_cast<std::uint64_t>(std::popcount(sources));
                totals.reached_pairs += pairs;
                totals.distance_sum += pairs * level;
            }
            for (; reaching != 0; reaching &= reaching - 1) eccentricity[first + std::countr_zero(reaching)] = level;
            std::swap(active_, upcoming_);
            upcoming_.clear();
        }
        for (const std::uint32_t v : touched_) seen_[v] = 0;
        touched_.clear();
        return totals;
    }

private:
    const Adjacency& adjacency_;
    std::vector<std::uint64_t> seen_;      // sources that have reached the node
    std::vector<std::uint64_t> frontier_;  // sources that reached it at the current level
    std::vector<std::uint64_t> next_;      // sources that reach it at the next level
    std::vector<std::uint32_t> active_;    // nodes with a non-zero frontier
    std::vector<std::uint32_t> upcoming_;  // nodes with a non-zero next
    std::vector<std::uint32_t> touched_;   // nodes with a non-zero seen
};

}  // namespace

std::optional<std::size_t> shortest_path_length(const VisibilityGraph& graph, std::size_t source, std::size_t target) {
    const std::size_t n = graph.node_count();
    if (source >= n || target >= n) return std::nullopt;
    if (source == target) return 0;
    const Adjacency& adjacency = graph.adjacency();
    std::vector<std::uint32_t> distance(n, kUnreached);
    std::vector<std::uint32_t> queue{static_cast<std::uint32_t>(source)};
    distance[source] = 0;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const std::uint32_t u = queue[head];
        for (const std::uint32_t w : adjacency.neighbors(u)) {
            if (distance[w] != kUnreached) continue;
            distance[w] = distance[u] + 1;
            if (w == target) return distance[w];
            queue.push_back(w);
        }
    }
    return std::nullopt;
}

namespace {

PathSummary all_pairs_summary(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    if (n == 0) return {};
    const std::size_t searches = (n + kSourcesPerSearch - 1) / kSourcesPerSearch;
    std::vector<std::uint32_t> eccentricity(n, 0);
    std::vector<SearchTotals> totals(searches);
    const std::size_t grain = std::max<std::size_t>(1, searches / (parallel::thread_count() * 8));
    parallel::for_each_range(searches, grain, [&](std::size_t begin, std::size_t end) {
        MultiSourceSearch search(adjacency);
        for (std::size_t k = begin; k < end; ++k) {
            const std::size_t first = k * kSourcesPerSearch;
            totals[k] = search.run(first, std::min(kSourcesPerSearch, n - first), eccentricity);
        }
    });

    // Integer totals: the result does not depend on how the searches were shared out.
    SearchTotals all;
    for (const SearchTotals& part : totals) {
        all.distance_sum += part.distance_sum;
        all.reached_pairs += part.reached_pairs;
    }
    PathSummary summary;
    summary.radius = *std::ranges::min_element(eccentricity);
    summary.diameter = *std::ranges::max_element(eccentricity);
    // Every unordered pair was counted from both ends.
    if (all.reached_pairs != 0) {
        summary.average_path_length =
            static_cast<double>(all.distance_sum / 2) / static_cast<double>(all.reached_pairs / 2);
    }
    return summary;
}

}  // namespace

PathSummary path_summary(const VisibilityGraph& graph) {
    return graph.results().get<PathSummary>([&] { return all_pairs_summary(graph); });
}

RadiusAndDiameter radius_and_diameter(const VisibilityGraph& graph) {
    if (const PathSummary* all_pairs = graph.results().find<PathSummary>()) {
        return {all_pairs->radius, all_pairs->diameter};
    }
    return graph.results().get<RadiusAndDiameter>([&] { return bounded_radius_and_diameter(graph); });
}

}  // namespace kaltrope
