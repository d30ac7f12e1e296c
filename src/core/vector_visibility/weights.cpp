#include "core/vector_visibility/weights.hpp"

#include <array>
#include <cmath>

namespace kaltrope::vector {
namespace {

constexpr std::array<std::string_view, 6> kNames = {
    "cosine_similarity",
    "time_diff_cosine_similarity",
    "euclidean_distance",
    "time_diff_euclidean_distance",
    "normalized_euclidean_distance",
    "time_diff_normalized_euclidean_distance",
};

bool divides_by_time(VectorWeight weight) {
    return weight == VectorWeight::TimeDiffCosineSimilarity || weight == VectorWeight::TimeDiffEuclideanDistance ||
           weight == VectorWeight::TimeDiffNormalizedEuclideanDistance;
}

}  // namespace

std::string_view weight_name(VectorWeight weight) { return kNames[static_cast<std::size_t>(weight)]; }

std::expected<VectorWeight, std::string> parse_weight(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (lower == kNames[i]) return static_cast<VectorWeight>(i);
    }
    return std::unexpected("unknown weight method '" + lower + "'");
}

void vector_weights_into(std::span<const Edge> edges, RowMatrix x, std::optional<Series> positions,
                         VectorWeight weight, double* out) {
    const std::size_t dim = x.dim;
    const bool per_time = divides_by_time(weight);
    for (const Edge& edge : edges) {
        const double* xa = x.row(edge.a);
        const double* xb = x.row(edge.b);
        const double na = std::sqrt(dot(xa, xa, dim));
        const double nb = std::sqrt(dot(xb, xb, dim));
        double value;
        switch (weight) {
            case VectorWeight::CosineSimilarity:
            case VectorWeight::TimeDiffCosineSimilarity:
                value = dot(xa, xb, dim) / (na * nb);
                break;
            case VectorWeight::EuclideanDistance:
            case VectorWeight::TimeDiffEuclideanDistance:
                value = std::sqrt(squared_distance(xa, xb, dim));
                break;
            default:
                value = std::sqrt(squared_distance(xa, xb, dim)) / (na + nb);
                break;
        }
        if (per_time) {
            const double dt = positions ? std::abs((*positions)[edge.b] - (*positions)[edge.a])
                                        : std::abs(static_cast<double>(edge.b) - static_cast<double>(edge.a));
            value /= dt;
        }
        *out++ = value;
    }
}

std::vector<double> vector_weights(std::span<const Edge> edges, RowMatrix x, std::optional<Series> positions,
                                   VectorWeight weight) {
    std::vector<double> weights(edges.size());
    vector_weights_into(edges, x, positions, weight, weights.data());
    return weights;
}

}  // namespace kaltrope::vector
