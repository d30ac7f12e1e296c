#include "core/vector_visibility/row_matrix.hpp"

#include <algorithm>
#include <cmath>

namespace kaltrope::vector {

Prepared prepare(RowMatrix x) {
    const std::size_t t = x.rows();
    Prepared prepared;
    prepared.norms.resize(t);
    for (std::size_t j = 0; j < t; ++j) prepared.norms[j] = std::sqrt(dot(x.row(j), x.row(j), x.dim));
    prepared.suffix_max = prepared.norms;
    for (std::size_t j = t; j-- > 1;) {
        prepared.suffix_max[j - 1] = std::max(prepared.suffix_max[j - 1], prepared.suffix_max[j]);
    }
    for (std::size_t level = 0; level < kBlockLevels; ++level) {
        const unsigned shift = block_shift(level);
        std::vector<double>& blocks = prepared.block_max[level];
        blocks.assign((t + (std::size_t{1} << shift) - 1) >> shift, 0.0);
        for (std::size_t j = 0; j < t; ++j) blocks[j >> shift] = std::max(blocks[j >> shift], prepared.norms[j]);
    }
    if (x.dim > 1) {
        prepared.transposed.resize(x.len);
        for (std::size_t j = 0; j < t; ++j) {
            for (std::size_t k = 0; k < x.dim; ++k) prepared.transposed[k * t + j] = x.row(j)[k];
        }
    }
    return prepared;
}

Validated validate_matrix(RowMatrix x, std::optional<Series> positions) {
    using Kind = InputError::Kind;
    if (x.dim == 0) return std::unexpected(InputError{Kind::MismatchedLength});
    const std::size_t t = x.rows();
    if (t >= kMaxSamples) return std::unexpected(InputError{Kind::TooLong});
    for (std::size_t i = 0; i < x.len; ++i) {
        if (!is_finite(x.data[i])) return std::unexpected(InputError{Kind::NonFinite, i / x.dim});
    }
    if (!positions) return {};
    const Series p = *positions;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!is_finite(p[i])) return std::unexpected(InputError{Kind::BadPosition, i});
    }
    if (p.size() != t) return std::unexpected(InputError{Kind::MismatchedLength});
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (!(p[i - 1] < p[i])) return std::unexpected(InputError{Kind::BadPosition, i});
    }
    return {};
}

}  // namespace kaltrope::vector
