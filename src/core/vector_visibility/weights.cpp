#include "core/vector_visibility/weights.hpp"

#include <cmath>

namespace kaltrope::vector {
namespace {

constexpr Spelling<VectorWeight> kWeightSpellings[] = {
    {"cosine_similarity", VectorWeight::CosineSimilarity},
    {"time_diff_cosine_similarity", VectorWeight::TimeDiffCosineSimilarity},
    {"euclidean_distance", VectorWeight::EuclideanDistance},
    {"time_diff_euclidean_distance", VectorWeight::TimeDiffEuclideanDistance},
    {"normalized_euclidean_distance", VectorWeight::NormalizedEuclideanDistance},
    {"time_diff_normalized_euclidean_distance", VectorWeight::TimeDiffNormalizedEuclideanDistance},
};

bool divides_by_time(VectorWeight weight) {
    return weight == VectorWeight::TimeDiffCosineSimilarity || weight == VectorWeight::TimeDiffEuclideanDistance ||
           weight == VectorWeight::TimeDiffNormalizedEuclideanDistance;
}

}  // namespace

const NameTable<VectorWeight> kWeightNames{kWeightSpellings, LetterCase::Ignored, "unknown weight method '", "'"};

void vector_weights_into(std::span<const Edge> edges, RowMatrix x, std::optional<Series> positions, VectorWeight weight,
                         double* out) {
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
            case VectorWeight::TimeDiffCosineSimilarity: value = dot(xa, xb, dim) / (na * nb); break;
            case VectorWeight::EuclideanDistance:
            case VectorWeight::TimeDiffEuclideanDistance: value = std::sqrt(squared_distance(xa, xb, dim)); break;
            default: value = std::sqrt(squared_distance(xa, xb, dim)) / (na + nb); break;
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
