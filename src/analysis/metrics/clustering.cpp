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
    explicit OrientedEdges(const Adjacency& adjacency)
        : offsets_(adjacency.node_count() + 1, 0), targets_(adjacency.edge_count() + 1) {
        const std::size_t n = adjacency.node_count();
        // Degrees below 2^32, packed tighter than the row offsets they come from.
        std::vector<std::uint32_t> degree(n);
        for (std::size_t v = 0; v < n; ++v) degree[v] = static_cast<std::uint32_t>(adjacency.degree(v));
        std::size_t kept = 0;
        for (std::size_t u = 0; u < n; ++u) {
            const std::uint32_t du = degree[u];
            for (const std::uint32_t v : adjacency.neighbors(u)) {
                // Without a branch: which end comes first is as hard to
                // predict as a coin toss. The extra slot takes the last write.
                targets_[kept] = v;
                kept += (du < degree[v]) | ((du == degree[v]) & (u < v));
            }
            offsets_[u + 1] = kept;
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

// Below this many edge ends, triangles are counted on the calling thread: a
// count then takes a few milliseconds at most, and a parallel one would wait
// for every worker, one of which may have lost its CPU to another process.
constexpr std::size_t kSerialEdgeEnds = std::size_t{1} << 21;

// The number of parts the nodes are split into for counting, each counting
// into arrays of one entry per node: `per_thread` for each thread.
std::size_t part_count(const Adjacency& adjacency, std::size_t per_thread) {
    return 2 * adjacency.edge_count() < kSerialEdgeEnds ? 1 : parallel::thread_count() * per_thread;
}

// Finds every triangle x -> y -> z of OrientedEdges once, at x, for x in
// [begin, end), by marking the nodes x links to: calls
// visit(x, y, oriented.from(y), marked) for every link x -> y, the triangles
// being the z of the list that are marked. marked is all zero, one entry
// per node, and left so.
template <class Visit>
void for_each_link(const OrientedEdges& oriented, std::size_t begin, std::size_t end, std::vector<std::uint8_t>& marked,
                   Visit&& visit) {
    // Polls after about this many neighbours looked at.
    interruption::Countdown countdown(1u << 20);
    for (std::size_t x = begin; x < end; ++x) {
        const auto out = oriented.from(x);
        for (const std::uint32_t y : out) marked[y] = 1;
        for (const std::uint32_t y : out) {
            const auto next = oriented.from(y);
            countdown.tick(static_cast<unsigned>(1 + next.size()));
            visit(x, y, next, marked);
        }
        for (const std::uint32_t y : out) marked[y] = 0;
    }
}

// The nodes' parts, [n * part / parts, n * (part + 1) / parts).
std::size_t part_begin(std::size_t n, std::size_t part, std::size_t parts) { return n * part / parts; }

// The number of triangles through each node: each triangle found once, and
// counted at its three corners. Parts count into their own arrays, added up
// after (integer sums: the same for any number of threads).
std::vector<std::uint64_t> triangles_per_node(const Adjacency& adjacency) {
    const OrientedEdges oriented(adjacency);
    const std::size_t n = adjacency.node_count();
    // One part per thread: each holds a count for every node.
    const std::size_t parts = part_count(adjacency, 1);
    std::vector<std::vector<std::uint64_t>> counts(parts);
    parallel::for_each_index(parts, [&](std::size_t part) {
        std::vector<std::uint64_t> triangles(n, 0);
        std::vector<std::uint8_t> marked(n, 0);
        for_each_link(oriented, part_begin(n, part, parts), part_begin(n, part + 1, parts), marked,
                      [&](std::size_t x, std::size_t y, std::span<const std::uint32_t> next,
                          const std::vector<std::uint8_t>& closing) {
                          std::uint64_t found = 0;
                          for (const std::uint32_t z : next) {
                              triangles[z] += closing[z];
                              found += closing[z];
                          }
                          triangles[x] += found;
                          triangles[y] += found;
                      });
        counts[part] = std::move(triangles);
    });
    for (std::size_t part = 1; part < parts; ++part) {
        for (std::size_t v = 0; v < n; ++v) counts[0][v] += counts[part][v];
    }
    return std::move(counts[0]);
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
    // Integer sums per part, added up in part order.
    const std::size_t parts = part_count(adjacency, 4);
    std::vector<std::uint64_t> found(parts, 0);
    parallel::for_each_index(parts, [&](std::size_t part) {
        std::vector<std::uint8_t> marked(n, 0);
        std::uint64_t triangles = 0;
        for_each_link(oriented, part_begin(n, part, parts), part_begin(n, part + 1, parts), marked,
                      [&](std::size_t, std::size_t, std::span<const std::uint32_t> next,
                          const std::vector<std::uint8_t>& closing) {
                          for (const std::uint32_t z : next) triangles += closing[z];
                      });
        found[part] = triangles;
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
