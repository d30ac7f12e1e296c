#include "analysis/statistics/statistics_state.hpp"

namespace kaltrope {

std::expected<GraphStatistics, std::string> restore_statistics(const GraphStatistics& statistics) {
    const GraphStatistics& s = statistics;
    const std::size_t n = s.node_count;
    // n (n - 1) / 2 without overflow: n is far below 2^32 for any real graph.
    const bool edges_fit = n < (std::size_t{1} << 32) && s.edge_count <= n * (n > 0 ? n - 1 : 0) / 2;
    const bool consistent = !s.is_directed && edges_fit && s.min_degree <= s.max_degree &&
                            (n == 0 ? s.max_degree == 0 : s.max_degree < n) && s.num_components <= n &&
                            s.largest_component_size <= n && s.diameter <= (n > 0 ? n - 1 : 0) &&
                            s.radius <= s.diameter && s.community_count <= n;
    if (!consistent) return std::unexpected("invalid GraphStatistics state: the measures contradict each other");
    return statistics;
}

}  // namespace kaltrope
