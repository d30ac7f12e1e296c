#include "analysis/metrics/betweenness.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
// Sources are taken in blocks of this many, each block summed on its own and
// the blocks added up in order, so every sum is the same for any number of
// threads.
constexpr std::size_t kSourcesPerBlock = 32;

// The dependencies of every node on the shortest paths from one source.
class DependencySearch {
public:
    explicit DependencySearch(const Adjacency& adjacency)
        : adjacency_(adjacency),
          distance_(adjacency.node_count(), kUnreached),
          paths_(adjacency.node_count(), 0.0),
          dependency_(adjacency.node_count(), 0.0) {}

    // Adds each node's dependency on source, sum over t of sigma_st(v) / sigma_st,
    // to totals (source itself excluded).
    void add_from(std::size_t source, std::vector<double>& totals) {
        // Shortest-path counts, as floats: they can outgrow any integer.
        order_.assign(1, static_cast<std::uint32_t>(source));
        distance_[source] = 0;
        paths_[source] = 1.0;
        for (std::size_t head = 0; head < order_.size(); ++head) {
            const std::uint32_t u = order_[head];
            for (const std::uint32_t w : adjacency_.neighbors(u)) {
                if (distance_[w] == kUnreached) {
                    distance_[w] = distance_[u] + 1;
                    order_.push_back(w);
                }
                if (distance_[w] == distance_[u] + 1) paths_[w] += paths_[u];
            }
        }
        // Farthest nodes first, each passing its share back to its predecessors.
        for (std::size_t k = order_.size(); k-- > 1;) {
            const std::uint32_t w = order_[k];
            const double share = (1.0 + dependency_[w]) / paths_[w];
            for (const std::uint32_t v : adjacency_.neighbors(w)) {
                if (distance_[v] + 1 == distance_[w]) dependency_[v] += paths_[v] * share;
            }
        }
        for (std::size_t k = 1; k < order_.size(); ++k) totals[order_[k]] += dependency_[order_[k]];
        for (const std::uint32_t v : order_) {
            distance_[v] = kUnreached;
            paths_[v] = 0.0;
            dependency_[v] = 0.0;
        }
    }

private:
    const Adjacency& adjacency_;
    std::vector<std::uint32_t> distance_;
    std::vector<double> paths_;
    std::vector<double> dependency_;
    std::vector<std::uint32_t> order_;  // reached nodes, nearest first
};

}  // namespace

std::vector<double> betweenness_centrality_all(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    if (n == 1) return {-0.0};
    std::vector<double> totals(n, 0.0);
    const std::size_t blocks = (n + kSourcesPerBlock - 1) / kSourcesPerBlock;
    // A few blocks per thread at a time bounds the memory of the block sums.
    const std::size_t blocks_per_round = parallel::thread_count() * 4;
    std::vector<std::vector<double>> block_sums(std::min(blocks, blocks_per_round));
    for (std::size_t first = 0; first < blocks; first += blocks_per_round) {
        const std::size_t round = std::min(blocks_per_round, blocks - first);
        parallel::for_each_range(round, 1, [&](std::size_t begin, std::size_t end) {
            DependencySearch search(adjacency);
            for (std::size_t k = begin; k < end; ++k) {
                std::vector<double>& sums = block_sums[k];
                sums.assign(n, 0.0);
                const std::size_t block = first + k;
                const std::size_t last = std::min(n, (block + 1) * kSourcesPerBlock);
                for (std::size_t source = block * kSourcesPerBlock; source < last; ++source) {
                    interruption::poll();
                    search.add_from(source, sums);
                }
            }
        });
        for (std::size_t k = 0; k < round; ++k) {
            for (std::size_t v = 0; v < n; ++v) totals[v] += block_sums[k][v];
        }
    }
    if (n >= 3) {
        const auto pairs = static_cast<double>((n - 1) * (n - 2));
        for (double& total : totals) total /= pairs;
    }
    return totals;
}

}  // namespace kaltrope
