#pragma once
// Multivariate series as row-major matrices of samples, the sums every vector
// test is built from, and the checks such a series must pass.

#include <array>
#include <cstddef>
#include <expected>
#include <optional>
#include <vector>

#include "core/series/input.hpp"

namespace kaltrope::vector {

// T samples of d features each, row j at data[j * d .. (j + 1) * d). A batch
// window is the same view over its own slice of the batch.
struct RowMatrix {
    const double* data = nullptr;
    std::size_t len = 0;  // T * d
    std::size_t dim = 0;  // d, at least 1 once validated

    std::size_t rows() const { return dim == 0 ? 0 : len / dim; }
    const double* row(std::size_t j) const { return data + j * dim; }
};

// Sums over features are accumulated in feature order starting from -0.0,
// so every result is reproducible to the last bit.
inline double dot(const double* a, const double* b, std::size_t dim) {
    double sum = -0.0;
    for (std::size_t k = 0; k < dim; ++k) sum += a[k] * b[k];
    return sum;
}

inline double squared_distance(const double* a, const double* b, std::size_t dim) {
    double sum = -0.0;
    for (std::size_t k = 0; k < dim; ++k) {
        const double difference = b[k] - a[k];
        sum += difference * difference;
    }
    return sum;
}

// Rows are grouped into aligned blocks of 64, 256 and 1024 rows (the last
// block of a level may be shorter).
inline constexpr std::size_t kBlockLevels = 3;
inline constexpr unsigned block_shift(std::size_t level) { return 6 + 2 * static_cast<unsigned>(level); }

// Row norms and their suffix maxima, the Cauchy-Schwarz bound on every
// projection still ahead of a row; the norms' maxima over each block, which
// bound the projections of a whole block at once; and the matrix feature by
// feature, for projecting several consecutive rows at once.
struct Prepared {
    std::vector<double> norms;                                // norms[j] = |X_j|
    std::vector<double> suffix_max;                           // max(norms[j], ..., norms[T - 1])
    std::array<std::vector<double>, kBlockLevels> block_max;  // [level][j >> block_shift(level)]
    std::vector<double> transposed;  // feature k of row j at [k * T + j]; empty for one feature

    // Feature k of every row, one after the other.
    const double* column(RowMatrix x, std::size_t k) const {
        return x.dim == 1 ? x.data : transposed.data() + k * x.rows();
    }
};

Prepared prepare(RowMatrix x);

// In this order, the first failure winning: no features, too many rows, the
// first non-finite value (by its row), then, with positions, the first
// non-finite position, a length that differs from T, and the first position
// not above its predecessor.
Validated validate_matrix(RowMatrix x, std::optional<Series> positions = std::nullopt);

}  // namespace kaltrope::vector
