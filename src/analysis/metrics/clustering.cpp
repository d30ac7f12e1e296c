#include "analysis/metrics/clustering.hpp"

#include <algorithm>
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

// Below this many edge ends, triangles are counted on the calling thread:
// waking the pool would cost more.
constexpr std::size_t kSerialEdgeEnds = std::size_t{1} << 16;

// The number of triangles through each node: for node x, the links y -> z
// of OrientedEdges between two of its neighbours, found by marking them. Each
// link is kept at one end only, so each pair of linked neighbours counts
// once; every node counts its own, so no count is shared between threads.
std::vector<std::uint64_t> triangles_per_node(const Adjacency& adjacency) {
    const OrientedEdges oriented(adjacency);
    const std::size_t n = adjacency.node_count();
    std::vector<std::uint64_t> triangles(n, 0);
    const std::size_t grain = 2 * adjacency.edge_count() < kSerialEdgeEnds
                                  ? std::max<std::size_t>(n, 1)
                                  : std::max<std::size_t>(1, n / (parallel::thread_count() * 16));
    parallel::for_each_range(n, grain, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint8_t> marked(n, 0);
        // Polls after about this many neighbours looked at.
        interruption::Countdown countdown(1u << 20);
        for (std::size_t x = begin; x < end; ++x) {
            const auto row = adjacency.neighbors(x);
            for (const std::uint32_t y : row) marked[y] = 1;
            std::uint64_t links = 0;
            for (const std::uint32_t y : row) {
                countdown.tick(static_cast<unsigned>(1 + oriented.from(y).size()));
                for (const std::uint32_t z : oriented.from(y)) links += marked[z];
            }
            for (const std::uint32_t y : row) marked[y] = 0;
            triangles[x] = links;
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

std::vector<double> clustering_coefficients(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::vector<std::uint64_t> triangles = triangles_per_node(adjacency);
    std::vector<double> coefficients(adjacency.node_count());
    for (std::size_t v = 0; v < coefficients.size(); ++v)
        coefficients[v] = coefficient(triangles[v], adjacency.degree(v));
    return coefficients;
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
    const Adjacency& adjacency = graph.adjacency();
    const OrientedEdges oriented(adjacency);
    const std::size_t n = adjacency.node_count();
    // Each triangle x -> y -> z once, at x, by marking the nodes x links to;
    // integer sums per range, added up in range order.
    const std::size_t ranges = 2 * adjacency.edge_count() < kSerialEdgeEnds ? 1 : parallel::thread_count() * 16;
    std::vector<std::uint64_t> found(ranges, 0);
    parallel::for_each_index(ranges, [&](std::size_t range) {
        std::vector<std::uint8_t> marked(n, 0);
        std::uint64_t triangles = 0;
        for (std::size_t x = n * range / ranges; x < n * (range + 1) / ranges; ++x) {
            const auto out = oriented.from(x);
            for (const std::uint32_t y : out) marked[y] = 1;
            for (const std::uint32_t y : out) {
                for (const std::uint32_t z : oriented.from(y)) triangles += marked[z];
            }
            for (const std::uint32_t y : out) marked[y] = 0;
        }
        found[range] = triangles;
    });
    std::uint64_t triangles = 0;
    for (const std::uint64_t count : found) triangles += count;
    return triangles;
}

double transitivity(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    std::uint64_t triples = 0;
    for (std::size_t v = 0; v < adjacency.node_count(); ++v) triples += pairs_among(adjacency.degree(v));
    return triples == 0 ? 0.0 : static_cast<double>(3 * triangle_count(graph)) / static_cast<double>(triples);
}

}  // namespace kaltrope
