#pragma once
// Sequential size-4 motifs: for every window of four consecutive samples, the
// visibility graph of those four alone. Its edges between neighbours are
// always there; the optional edges [0,2], [1,3] and [0,3] give the window's
// code [0,2] + 2*[1,3] + 4*[0,3], and a series' result is how many windows
// have each code. No graph is built: one pass, constant work per window
// (per window and feature for vector series).

#include <array>
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "core/series/input.hpp"
#include "core/series/series_kind.hpp"

namespace kaltrope::motifs {

using MotifHistogram = std::array<std::uint64_t, 8>;
using Counted = std::expected<MotifHistogram, InputError>;

// A scalar series: too long, then the first non-finite sample, are errors.
Counted count_scalar_motifs(Series row, bool horizontal);

// A series of row.size() / dim samples of dim features each (sample t at
// row[t * dim ..]). Under either rule, heights are projections onto the
// earlier sample of each pair. Errors: no features or a length that is not a
// whole number of samples, too many samples, the first non-finite value
// (reported by its sample).
Counted count_vector_motifs(Series row, std::size_t dim, bool horizontal);

// Every row on the worker pool, counts in row order; when rows fail, the
// error of the lowest failing row.
std::expected<std::vector<MotifHistogram>, InputError> count_motif_batch(std::span<const Series> rows, SeriesKind kind,
                                                                         std::size_t dim);

}  // namespace kaltrope::motifs
