#include "analysis/statistics/degree_statistics.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/metrics/degree_distribution.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

double degree_variance(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    if (n == 0) return 0.0;
    // Every edge adds to two degrees.
    const double mean = static_cast<double>(2 * adjacency.edge_count()) / static_cast<double>(n);
    double squares = 0.0;
    for (std::size_t v = 0; v < n; ++v) {
        const double deviation = static_cast<double>(adjacency.degree(v)) - mean;
        squares += deviation * deviation;
    }
    return squares / static_cast<double>(n);
}

double degree_std_dev(const VisibilityGraph& graph) { return std::sqrt(degree_variance(graph)); }

double degree_entropy(const VisibilityGraph& graph) {
    const std::size_t n = graph.node_count();
    if (n == 0) return 0.0;
    double entropy = -0.0;
    for (const auto& [degree, count] : degree_distribution(graph)) {
        const double share = static_cast<double>(count) / static_cast<double>(n);
        entropy += -share * std::log2(share);
    }
    return entropy;
}

double density(const VisibilityGraph& graph) {
    const std::size_t n = graph.node_count();
    if (n < 2) return 0.0;
    return static_cast<double>(graph.edge_count()) / static_cast<double>(n * (n - 1) / 2);
}

namespace {

// Below this many edge ends, the degree sums are taken on the calling thread:
// at a nanosecond or less an end, waking the pool would cost more.
constexpr std::size_t kSerialEdgeEnds = std::size_t{1} << 20;

// Sums over the edges (x, y), x and y the degrees at the ends, taken
// exactly: a node of degree d is an end of d edges, and sees the degrees of
// its neighbours. Sum is a 64-bit integer where the largest degree bounds
// every sum below 2^64 (nearly always), else a 128-bit one.
template <class Sum>
struct EndDegreeSums {
    Sum ends = 0;      // x + y
    Sum squares = 0;   // x^2 + y^2
    Sum products = 0;  // 2xy: every edge is seen from both ends

    // The products without a loop per row, whose set-up and unpredictable
    // exit would cost more than its few ends: with P(i) the sum of the
    // degrees at the ends before end i of the rows from begin on, node v's
    // neighbours' degrees add up to P(e_v) - P(e_{v-1}), e_v the end of its
    // row, so that the sum of d_v times that is the sum of P(e_v) (d_v -
    // d_{v+1}). P is taken over blocks of ends, then read at the rows'
    // ends falling in each block.
    void add(const Adjacency& adjacency, std::span<const std::uint32_t> degrees, std::size_t begin, std::size_t end) {
        constexpr std::size_t kBlock = 2048;
        std::array<Sum, kBlock + 1> prefix;
        const std::span<const std::uint64_t> offsets = adjacency.offsets();
        const std::uint32_t* const rows = adjacency.neighbor_rows().data();
        // Sums in locals, which stay in registers: the members would be
        // stored back after every node, as the degrees might alias them.
        Sum end_sum = 0;
        Sum square_sum = 0;
        Sum plus = 0;   // of P(e_v) d_v
        Sum minus = 0;  // of P(e_v) d_{v+1}, the next node in the range
        for (std::size_t v = begin; v < end; ++v) {
            const std::uint64_t d = degrees[v];
            end_sum += d * d;  // d < 2^32
            square_sum += Sum{d * d} * d;
        }
        std::size_t v = begin;
        prefix[kBlock] = 0;
        for (std::uint64_t first = offsets[begin]; first < offsets[end]; first += kBlock) {
            const std::uint64_t last = std::min<std::uint64_t>(first + kBlock, offsets[end]);
            prefix[0] = prefix[kBlock];
            for (std::uint64_t i = first; i < last; ++i) prefix[i - first + 1] = prefix[i - first] + degrees[rows[i]];
            for (; v < end && offsets[v + 1] <= last; ++v) {
                const Sum at_end = prefix[offsets[v + 1] - first];
                plus += at_end * degrees[v];
                minus += at_end * (v + 1 < end ? degrees[v + 1] : 0);
            }
            prefix[kBlock] = prefix[last - first];
        }
        ends += end_sum;
        squares += square_sum;
        // plus and minus may wrap around where their difference does not:
        // unsigned, it comes out exact all the same.
        products += plus - minus;
    }
};

// The three sums over the nodes split into `ranges` parts, added up in part
// order (integer sums: the same for any number of threads).
template <class Sum>
EndDegreeSums<Sum> end_degree_sums(const Adjacency& adjacency, std::span<const std::uint32_t> degrees,
                                   std::size_t ranges) {
    const std::size_t n = adjacency.node_count();
    std::vector<EndDegreeSums<Sum>> parts(ranges);
    parallel::for_each_index(ranges, [&](std::size_t range) {
        parts[range].add(adjacency, degrees, n * range / ranges, n * (range + 1) / ranges);
    });
    EndDegreeSums<Sum> all;
    for (const EndDegreeSums<Sum>& part : parts) {
        all.ends += part.ends;
        all.squares += part.squares;
        all.products += part.products;
    }
    return all;
}

// The correlation from the sums. With S the sum of the end degrees, the
// covariance and the variance times ends^2 are P ends - S^2 and Q ends - S^2
// (P the products, Q the squares), integers taken exactly where ends times
// the largest degree is below 2^63: then every term is below 2^126. Their
// quotient rounds twice, where the means subtracted in floating point lose
// every digit the variance has below mean^2 (a graph of nearly equal degrees
// came out wrong from the third digit on).
template <class Sum>
double correlation(const EndDegreeSums<Sum>& all, std::size_t edges, std::uint64_t largest) {
    using Wide = unsigned __int128;
    using Signed = __int128;
    if (Wide{largest} * (2 * edges) < (Wide{1} << 63)) {
        const auto ends = static_cast<Signed>(2 * edges);
        const auto sum = static_cast<Signed>(all.ends);
        const Signed covariance = static_cast<Signed>(all.products) * ends - sum * sum;
        const Signed variance = static_cast<Signed>(all.squares) * ends - sum * sum;
        return variance == 0 ? 0.0 : static_cast<double>(covariance) / static_cast<double>(variance);
    }
    // Beyond any graph that fits in memory today.
    const double ends = 2.0 * static_cast<double>(edges);
    const double mean = static_cast<double>(all.ends) / ends;
    const double covariance = static_cast<double>(all.products) / ends - mean * mean;
    const double variance = static_cast<double>(all.squares) / ends - mean * mean;
    return std::abs(variance) < 1e-10 ? 0.0 : covariance / variance;
}

}  // namespace

double assortativity(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t edges = adjacency.edge_count();
    if (edges == 0) return 0.0;
    const std::size_t n = adjacency.node_count();
    const std::size_t ranges = 2 * edges < kSerialEdgeEnds ? 1 : parallel::thread_count() * 4;
    // Degrees below 2^32, packed tighter than the row offsets they come from.
    std::vector<std::uint32_t> degrees(n);
    std::uint64_t largest = 0;
    for (std::size_t v = 0; v < n; ++v) {
        degrees[v] = static_cast<std::uint32_t>(adjacency.degree(v));
        largest = std::max<std::uint64_t>(largest, degrees[v]);
    }
    // Every sum is at most largest^2 times the 2E edge ends.
    using Wide = unsigned __int128;
    if (Wide{largest} * largest * (2 * edges) < (Wide{1} << 64)) {
        return correlation(end_degree_sums<std::uint64_t>(adjacency, degrees, ranges), edges, largest);
    }
    return correlation(end_degree_sums<Wide>(adjacency, degrees, ranges), edges, largest);
}

}  // namespace kaltrope
