#pragma once
// Edge weights of vector visibility graphs.

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"
#include "core/vector_visibility/row_matrix.hpp"
#include "support/name_table.hpp"

namespace kaltrope::vector {

// Each weight is named by the text it is parsed from; dt is the time between
// the two rows, |b - a| or |t_b - t_a| with positions.
enum class VectorWeight {
    CosineSimilarity,                     // X_a . X_b / (|X_a| |X_b|)
    TimeDiffCosineSimilarity,             // the cosine similarity / dt
    EuclideanDistance,                    // |X_b - X_a|
    TimeDiffEuclideanDistance,            // |X_b - X_a| / dt
    NormalizedEuclideanDistance,          // |X_b - X_a| / (|X_a| + |X_b|)
    TimeDiffNormalizedEuclideanDistance,  // the normalized distance / dt
};

// The six names in snake case, in any letter case; an unknown name is
// reported lower-cased.
extern const NameTable<VectorWeight> kWeightNames;

// The weight of every edge, in edge order, into out[0 .. edges.size()).
// Zero rows are not guarded against: they give NaN where a norm divides.
void vector_weights_into(std::span<const Edge> edges, RowMatrix x, std::optional<Series> positions, VectorWeight weight,
                         double* out);

std::vector<double> vector_weights(std::span<const Edge> edges, RowMatrix x, std::optional<Series> positions,
                                   VectorWeight weight);

}  // namespace kaltrope::vector
