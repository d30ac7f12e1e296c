#include "analysis/metrics/betweenness.hpp"

#include <algorithm>
#include <cstdint>

#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Sources are taken in blocks of this many, each block summed on its own and
// the blocks added up in order, so every sum is the same for any number of
// threads.
constexpr std::size_t kSourcesPerBlock = 32;

// The dependencies of every node on the shortest paths from one source
// (Brandes), level by level. The forward sweep tells settled nodes from
// the rest by a bit each, which stays in the fastest cache; the backward
// sweep keeps the share (1 + dependency) / paths of the level below the one
// it works on and zeros elsewhere, so a node sums its neighbours' shares
// without asking which of them lie on the level below.
class DependencySearch {
public:
    explicit DependencySearch(const Adjacency& adjacency)
        : adjacency_(adjacency),
          settled_((adjacency.node_count() + 63) / 64, 0),
          paths_(adjacency.node_count(), 0.0),
          share_(adjacency.node_count(), 0.0) {}

    // Adds each node's dependency on source, sum over t of sigma_st(v) / sigma_st,
    // to totals (source itself excluded).
    void add_from(std::uint32_t source, std::vector<double>& totals) {
        count_paths(source);
        dependency_.resize(order_.size());
        // The last level is empty, and the source has no dependency to add.
        for (std::size_t level = level_start_.size() - 3; level >= 1; --level) {
            const std::size_t begin = level_start_[level];
            const std::size_t end = level_start_[level + 1];
            for (std::size_t i = begin; i < end; ++i) {
                double shares = 0.0;
                for (const std::uint32_t x : adjacency_.neighbors(order_[i])) shares += share_[x];
                dependency_[i] = paths_[order_[i]] * shares;
            }
            for (std::size_t i = end; i < level_start_[level + 2]; ++i) share_[order_[i]] = 0.0;
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t w = order_[i];
                share_[w] = (1.0 + dependency_[i]) / paths_[w];
                totals[w] += dependency_[i];
            }
        }
        for (const std::uint32_t v : order_) {
            settled_[v / 64] = 0;
            paths_[v] = 0.0;
            share_[v] = 0.0;
        }
    }

private:
    bool settled(std::uint32_t v) const { return (settled_[v / 64] >> (v % 64) & 1) != 0; }
    void settle(std::uint32_t v) { settled_[v / 64] |= std::uint64_t{1} << (v % 64); }

    // The shortest-path counts from source, as floats (they can outgrow any
    // integer); order_ lists the reached nodes level by level, level k
    // being [level_start_[k], level_start_[k + 1]). A last empty level ends
    // the list.
    void count_paths(std::uint32_t source) {
        // Room for every node and one more: each neighbour is written at the
        // end, and the end moves on only for a node reached for the first
        // time. Without branches, as whether a neighbour is new is a toss-up.
        order_.resize(adjacency_.node_count() + 1);
        std::uint32_t* const order = order_.data();
        order[0] = source;
        std::size_t reached = 1;
        level_start_.assign({0, 1});
        paths_[source] = 1.0;
        settle(source);
        for (std::size_t begin = 0, end = 1; begin != end; begin = end, end = reached) {
            for (std::size_t i = begin; i < end; ++i) {
                const double paths = paths_[order[i]];
                for (const std::uint32_t w : adjacency_.neighbors(order[i])) {
                    const bool open = !settled(w);
                    const double before = paths_[w];
                    order[reached] = w;
                    reached += open & (before == 0.0);
                    paths_[w] = before + (open ? paths : 0.0);
                }
            }
            for (std::size_t i = end; i < reached; ++i) settle(order[i]);
            level_start_.push_back(reached);
        }
        order_.resize(reached);
    }

    const Adjacency& adjacency_;
    std::vector<std::uint64_t> settled_;  // one bit per node: reached at the current level or before
    std::vector<double> paths_;           // shortest paths from the source; 0.0 until reached
    std::vector<double> share_;
    std::vector<std::uint32_t> order_;
    std::vector<std::size_t> level_start_;
    std::vector<double> dependency_;  // by place in order_
};

std::vector<double> all_betweenness(const Adjacency& adjacency) {
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
                    search.add_from(static_cast<std::uint32_t>(source), sums);
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

// The cache's key.
struct AllBetweenness {
    std::vector<double> values;
};

}  // namespace

const std::vector<double>& betweenness_centrality_all(const VisibilityGraph& graph) {
    return graph.results()
        .get<AllBetweenness>([&] { return AllBetweenness{all_betweenness(graph.adjacency())}; })
        .values;
}

}  // namespace kaltrope
