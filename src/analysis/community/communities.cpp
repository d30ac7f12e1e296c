#include "analysis/community/communities.hpp"

#include <algorithm>
#include <numeric>
#include <span>

#include "support/interruption.hpp"

namespace kaltrope {
namespace {

constexpr int kMaxPasses = 100;

// The gain terms that depend only on the graph's edge count.
struct GainScale {
    double two_m;
    double four_m_squared;
};

// The label that node moves to, or its own when no move gains. labels_seen is
// scratch space.
std::uint32_t best_label(std::span<const std::uint32_t> neighbors, std::span<const std::uint32_t> labels,
                         std::uint32_t own, const GainScale& scale, std::vector<std::uint32_t>& labels_seen) {
    labels_seen.clear();
    for (const std::uint32_t u : neighbors) labels_seen.push_back(labels[u]);
    // Sorted, the candidates come in ascending label order, each as one run.
    std::ranges::sort(labels_seen);
    const auto own_run = std::ranges::equal_range(labels_seen, own);
    const auto e_own = static_cast<double>(own_run.size());
    const auto k = static_cast<double>(neighbors.size());
    const double penalty = k * k / scale.four_m_squared;

    std::uint32_t best = own;
    double best_gain = 0.0;
    for (auto run = labels_seen.begin(); run != labels_seen.end();) {
        const auto run_end = std::ranges::upper_bound(run, labels_seen.end(), *run);
        if (*run != own) {
            const auto e_c = static_cast<double>(run_end - run);
            const double gain = (e_c - e_own) / scale.two_m - penalty;
            if (gain > best_gain) {
                best = *run;
                best_gain = gain;
            }
        }
        run = run_end;
    }
    return best;
}

// Dense labels in order of first appearance.
void renumber(std::vector<std::uint32_t>& labels) {
    constexpr auto kUnseen = ~std::uint32_t{0};
    std::vector<std::uint32_t> renamed(labels.size(), kUnseen);
    std::uint32_t next = 0;
    for (std::uint32_t& label : labels) {
        if (renamed[label] == kUnseen) renamed[label] = next++;
        label = renamed[label];
    }
}

}  // namespace

std::vector<std::uint32_t> detect_communities(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    std::vector<std::uint32_t> labels(adjacency.node_count());
    std::iota(labels.begin(), labels.end(), std::uint32_t{0});
    const auto m = static_cast<double>(adjacency.edge_count());
    const GainScale scale{2.0 * m, 4.0 * m * m};

    std::vector<std::uint32_t> labels_seen;
    // Polls after about this many neighbours looked at.
    interruption::Countdown countdown(1u << 18);
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        bool moved = false;
        // In place: later nodes of a pass see the moves of earlier ones.
        for (std::size_t v = 0; v < labels.size(); ++v) {
            countdown.tick(static_cast<unsigned>(1 + adjacency.degree(v)));
            const std::uint32_t best = best_label(adjacency.neighbors(v), labels, labels[v], scale, labels_seen);
            moved |= best != labels[v];
            labels[v] = best;
        }
        if (!moved) break;
    }
    renumber(labels);
    return labels;
}

}  // namespace kaltrope
