#include "analysis/metrics/eccentricity_bounds.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "analysis/metrics/connectivity.hpp"

namespace kaltrope {
namespace {

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();

// Breadth-first searches that reset only the nodes they reached.
class DistanceSearch {
public:
    explicit DistanceSearch(const Adjacency& adjacency)
        : adjacency_(adjacency), distance_(adjacency.node_count(), kUnreached) {}

    // The nodes reached from source, nearest first; distance() holds their
    // distances until the next search.
    const std::vector<std::uint32_t>& from(std::uint32_t source) {
        for (const std::uint32_t v : order_) distance_[v] = kUnreached;
        order_.assign(1, source);
        distance_[source] = 0;
        for (std::size_t head = 0; head < order_.size(); ++head) {
            const std::uint32_t u = order_[head];
            for (const std::uint32_t w : adjacency_.neighbors(u)) {
                if (distance_[w] != kUnreached) continue;
                distance_[w] = distance_[u] + 1;
                order_.push_back(w);
            }
        }
        return order_;
    }

    std::uint32_t distance(std::uint32_t node) const { return distance_[node]; }

private:
    const Adjacency& adjacency_;
    std::vector<std::uint32_t> distance_;
    std::vector<std::uint32_t> order_;
};

// Every node's eccentricity lies in [lower, upper].
class EccentricityBounds {
public:
    explicit EccentricityBounds(const VisibilityGraph& graph) : adjacency_(graph.adjacency()) {
        const ComponentLabels labels = label_components(graph);
        lower_.assign(adjacency_.node_count(), 0);
        upper_.resize(adjacency_.node_count());
        for (std::size_t v = 0; v < upper_.size(); ++v) upper_[v] = labels.sizes[labels.of_node[v]] - 1;
    }

    // The largest lower bound and the smallest upper bound: the diameter is
    // at least the one, the radius at most the other.
    RadiusAndDiameter settled() const {
        if (lower_.empty()) return {};
        return {*std::ranges::min_element(upper_), *std::ranges::max_element(lower_)};
    }

    // The node of highest upper bound above the diameter's lower bound.
    std::optional<std::uint32_t> diameter_candidate(std::uint32_t diameter_below) const {
        return best_node([&](std::uint32_t v) { return upper_[v] > diameter_below; },
                         [&](std::uint32_t v, std::uint32_t w) { return upper_[v] > upper_[w]; });
    }

    // The node of lowest lower bound below the radius's upper bound.
    std::optional<std::uint32_t> radius_candidate(std::uint32_t radius_above) const {
        return best_node([&](std::uint32_t v) { return lower_[v] < radius_above; },
                         [&](std::uint32_t v, std::uint32_t w) { return lower_[v] < lower_[w]; });
    }

    // Tightens the bounds of the nodes that source reaches.
    void search_from(std::uint32_t source, DistanceSearch& search) {
        const std::vector<std::uint32_t>& reached = search.from(source);
        const std::uint32_t eccentricity = search.distance(reached.back());
        for (const std::uint32_t w : reached) {
            const std::uint32_t d = search.distance(w);
            lower_[w] = std::max({lower_[w], d, eccentricity - d});
            upper_[w] = std::min(upper_[w], eccentricity + d);
        }
    }

private:
    // Among the nodes that qualify, the first by better, then by higher degree.
    template <class Qualifies, class Better>
    std::optional<std::uint32_t> best_node(Qualifies&& qualifies, Better&& better) const {
        std::optional<std::uint32_t> best;
        for (std::uint32_t v = 0; v < lower_.size(); ++v) {
            if (!qualifies(v)) continue;
            if (!best || better(v, *best) || (!better(*best, v) && adjacency_.degree(v) > adjacency_.degree(*best))) {
                best = v;
            }
        }
        return best;
    }

    const Adjacency& adjacency_;
    std::vector<std::uint32_t> lower_;
    std::vector<std::uint32_t> upper_;
};

}  // namespace

RadiusAndDiameter bounded_radius_and_diameter(const VisibilityGraph& graph) {
    EccentricityBounds bounds(graph);
    DistanceSearch search(graph.adjacency());
    bool radius_turn = true;
    for (;;) {
        const RadiusAndDiameter known = bounds.settled();
        const auto radius_node = bounds.radius_candidate(static_cast<std::uint32_t>(known.radius));
        const auto diameter_node = bounds.diameter_candidate(static_cast<std::uint32_t>(known.diameter));
        if (!radius_node && !diameter_node) return known;
        const bool take_radius = radius_node && (radius_turn || !diameter_node);
        bounds.search_from(take_radius ? *radius_node : *diameter_node, search);
        radius_turn = !take_radius;
    }
}

}  // namespace kaltrope
