#include "analysis/metrics/clustering.hpp"

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Calls visit(w) for every w in both ascending lists.
template <class Visit>
void for_each_common(std::span<const std::uint32_t> first, std::span<const std::uint32_t> second, Visit&& visit) {
    auto a = first.begin();
    auto b = second.begin();
    while (a != first.end() && b != second.end()) {
        if (*a < *b) {
            ++a;
        } else if (*b < *a) {
            ++b;
        } else {
            visit(*a);
            ++a;
            ++b;
        }
    }
}

// 0 for fewer than two.
std::uint64_t pairs_among(std::size_t count) { return count < 2 ? 0 : std::uint64_t{count} * (count - 1) / 2; }

double coefficient(std::uint64_t links, std::size_t degree) {
    return degree < 2 ? 0.0 : static_cast<double>(links) / static_cast<double>(pairs_among(degree));
}

// Each edge kept once, at the end that comes first by (degree, index); no node
// then keeps more than about sqrt(2E) edges, however large its degree.
class OrientedEdges {
public:
    explicit OrientedEdges(const Adjacency& adjacency) : offsets_(adjacency.node_count() + 1, 0) {
        const auto before = [&](std::size_t u, std::size_t v) {
            const std::size_t du = adjacency.degree(u);
            const std::size_t dv = adjacency.degree(v);
            return du != dv ? du < dv : u < v;
        };
        targets_.reserve(adjacency.edge_count());
        for (std::size_t u = 0; u < adjacency.node_count(); ++u) {
            for (const std::uint32_t v : adjacency.neighbors(u)) {
                if (before(u, v)) targets_.push_back(v);
            }
            offsets_[u + 1] = targets_.size();
        }
    }

    // Ascending, as the adjacency rows they are taken from.
    std::span<const std::uint32_t> from(std::size_t node) const {
        return std::span(targets_).subspan(offsets_[node], offsets_[node + 1] - offsets_[node]);
    }

private:
    std::vector<std::uint64_t> offsets_;
    std::vector<std::uint32_t> targets_;
};

// The number of triangles through each node.
std::vector<std::uint64_t> triangles_per_node(const Adjacency& adjacency) {
    const OrientedEdges oriented(adjacency);
    std::vector<std::uint64_t> triangles(adjacency.node_count(), 0);
    const auto count = [&](std::size_t node) {
        std::atomic_ref(triangles[node]).fetch_add(1, std::memory_order_relaxed);
    };
    const std::size_t n = adjacency.node_count();
    parallel::for_each_range(n, parallel::balanced_grain(n), [&](std::size_t begin, std::size_t end) {
        // Polls after about this many list entries merged.
        interruption::Countdown countdown(1u << 20);
        for (std::size_t u = begin; u < end; ++u) {
            for (const std::uint32_t v : oriented.from(u)) {
                countdown.tick(static_cast<unsigned>(1 + oriented.from(u).size() + oriented.from(v).size()));
                for_each_common(oriented.from(u), oriented.from(v), [&](std::uint32_t w) {
                    count(u);
                    count(v);
                    count(w);
                });
            }
        }
    });
    return triangles;
}

}  // namespace

std::optional<double> clustering_coefficient(const VisibilityGraph& graph, std::size_t node) {
    if (node >= graph.node_count()) return std::nullopt;
    const Adjacency& adjacency = graph.adjacency();
    const auto neighbors = adjacency.neighbors(node);
    // Each link u < w among the neighbours, found from u.
    std::uint64_t links = 0;
    for (std::size_t i = 0; i < neighbors.size(); ++i) {
        for_each_common(neighbors.subspan(i + 1), adjacency.neighbors(neighbors[i]), [&](std::uint32_t) { ++links; });
    }
    return coefficient(links, neighbors.size());
}

ClusteringSummary clustering_summary(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    if (n == 0) return {};
    const std::vector<std::uint64_t> triangles = triangles_per_node(adjacency);
    double coefficient_sum = 0.0;
    std::uint64_t closed = 0;
    std::uint64_t triples = 0;
    for (std::size_t v = 0; v < n; ++v) {
        coefficient_sum += coefficient(triangles[v], adjacency.degree(v));
        closed += triangles[v];
        triples += pairs_among(adjacency.degree(v));
    }
    ClusteringSummary summary;
    summary.average = coefficient_sum / static_cast<double>(n);
    if (triples != 0) summary.global = static_cast<double>(closed) / static_cast<double>(triples);
    return summary;
}

std::uint64_t triangle_count(const VisibilityGraph& graph) {
    std::uint64_t corners = 0;
    for (const std::uint64_t through_node : triangles_per_node(graph.adjacency())) corners += through_node;
    return corners / 3;
}

}  // namespace kaltrope
