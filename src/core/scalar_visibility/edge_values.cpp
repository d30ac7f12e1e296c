#include "core/scalar_visibility/edge_values.hpp"

#include <cmath>
#include <utility>

#include "core/scalar_visibility/edge_blocks.hpp"

namespace kaltrope {
namespace {

constexpr Spelling<EdgeDirection> kDirectionSpellings[] = {
    {"left_to_right", EdgeDirection::LeftToRight},
    {"top_to_bottom", EdgeDirection::TopToBottom},
};

constexpr Spelling<EdgeWeight> kWeightSpellings[] = {
    {"distance", EdgeWeight::Distance},    {"sq_distance", EdgeWeight::SqDistance},
    {"v_distance", EdgeWeight::VDistance}, {"abs_v_distance", EdgeWeight::AbsVDistance},
    {"h_distance", EdgeWeight::HDistance}, {"abs_h_distance", EdgeWeight::AbsHDistance},
    {"slope", EdgeWeight::Slope},          {"abs_slope", EdgeWeight::AbsSlope},
    {"angle", EdgeWeight::Angle},          {"abs_angle", EdgeWeight::AbsAngle},
};

double weight_of(EdgeWeight weight, double dx, double dy) {
    switch (weight) {
        case EdgeWeight::Distance: return std::hypot(dx, dy);
        case EdgeWeight::SqDistance: return dx * dx + dy * dy;
        case EdgeWeight::VDistance: return dy;
        case EdgeWeight::AbsVDistance: return std::abs(dy);
        case EdgeWeight::HDistance: return dx;
        case EdgeWeight::AbsHDistance: return std::abs(dx);
        case EdgeWeight::Slope: return dy / dx;
        case EdgeWeight::AbsSlope: return std::abs(dy / dx);
        case EdgeWeight::Angle: return std::atan(dy / dx);
        case EdgeWeight::AbsAngle: return std::abs(std::atan(dy / dx));
    }
    return 0;
}

template <class Positions>
void weights_into(std::span<const Edge> edges, Series y, Positions x, EdgeWeight weight, double* out) {
    for (const Edge& edge : edges) *out++ = weight_of(weight, x[edge.b] - x[edge.a], y[edge.b] - y[edge.a]);
}

}  // namespace

const NameTable<EdgeDirection> kEdgeDirectionNames{kDirectionSpellings, LetterCase::Exact, "unknown direction '",
                                                   "' (expected left_to_right or top_to_bottom)"};

const NameTable<EdgeWeight> kEdgeWeightNames{kWeightSpellings, LetterCase::Exact, "unknown weight '",
                                             "' (expected distance, sq_distance, v_distance, abs_v_distance, "
                                             "h_distance, abs_h_distance, slope, abs_slope, angle or abs_angle)"};

void direct_top_to_bottom(std::span<Edge> edges, Series y) {
    // Without a branch: which end is higher is a coin toss along most series.
    for (Edge& edge : edges) {
        const std::uint32_t a = edge.a;
        const std::uint32_t b = edge.b;
        const bool turn = y[b] > y[a];
        edge = {turn ? b : a, turn ? a : b};
    }
}

void edge_weights_into(std::span<const Edge> edges, Series y, Series x, EdgeWeight weight, double* out) {
    if (x.empty()) {
        weights_into(edges, y, UniformPositions{}, weight, out);
    } else {
        weights_into(edges, y, ExplicitPositions{x.data()}, weight, out);
    }
}

void direct_top_to_bottom(std::span<EdgeList> parts, Series y) {
    for_each_edge_block(parts, [&](std::span<Edge> edges, std::size_t) { direct_top_to_bottom(edges, y); });
}

memory::LargeBuffer<double> edge_weights(std::span<EdgeList> parts, Series y, Series x, EdgeWeight weight) {
    std::size_t total = 0;
    for (const EdgeList& part : parts) total += part.size();
    auto weights = memory::allocate_large_buffer<double>(total);
    for_each_edge_block(parts, [&](std::span<Edge> edges, std::size_t first) {
        edge_weights_into(edges, y, x, weight, weights.get() + first);
    });
    return weights;
}

EdgeResult with_edge_values(std::vector<EdgeList> parts, Series y, Series x, EdgeDirection direction,
                            std::optional<EdgeWeight> weight) {
    EdgeResult result{std::move(parts), nullptr};
    if (direction == EdgeDirection::TopToBottom) direct_top_to_bottom(result.parts, y);
    if (weight) result.weights = edge_weights(result.parts, y, x, *weight);
    return result;
}

}  // namespace kaltrope
