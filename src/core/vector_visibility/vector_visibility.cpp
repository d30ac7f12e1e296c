#include "core/vector_visibility/vector_visibility.hpp"

#include <algorithm>
#include <type_traits>

#include "core/vector_visibility/projected_tests.hpp"
#include "core/vector_visibility/scaling.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"
#include "support/cpu_features.hpp"

namespace kaltrope::vector {
namespace {

// The edges of rows [begin, end), in order: compiled once for any x86-64
// and once for processors with AVX2, which test four rows per instruction.
template <std::size_t Dim, class Positions>
void natural_rows_plain(RowMatrix x, const Prepared& prepared, Positions positions, std::size_t begin, std::size_t end,
                        EdgeList& edges) {
    for (std::size_t a = begin; a < end; ++a) natural_row_edges<Dim, false>(x, prepared, positions, a, edges);
}

template <std::size_t Dim>
void horizontal_rows_plain(RowMatrix x, const Prepared& prepared, std::size_t begin, std::size_t end, EdgeList& edges) {
    for (std::size_t a = begin; a < end; ++a) horizontal_row_edges<Dim, false>(x, prepared, a, edges);
}

#ifdef KALTROPE_X86_SIMD
template <std::size_t Dim, class Positions>
__attribute__((target("avx2"))) void natural_rows_avx2(RowMatrix x, const Prepared& prepared, Positions positions,
                                                       std::size_t begin, std::size_t end, EdgeList& edges) {
    for (std::size_t a = begin; a < end; ++a) natural_row_edges<Dim, true>(x, prepared, positions, a, edges);
}

template <std::size_t Dim>
__attribute__((target("avx2"))) void horizontal_rows_avx2(RowMatrix x, const Prepared& prepared, std::size_t begin,
                                                          std::size_t end, EdgeList& edges) {
    for (std::size_t a = begin; a < end; ++a) horizontal_row_edges<Dim, true>(x, prepared, a, edges);
}
#endif

template <std::size_t Dim, class Positions>
void natural_rows(RowMatrix x, const Prepared& prepared, Positions positions, std::size_t begin, std::size_t end,
                  EdgeList& edges) {
#ifdef KALTROPE_X86_SIMD
    if (simd::has_avx2()) return natural_rows_avx2<Dim>(x, prepared, positions, begin, end, edges);
#endif
    natural_rows_plain<Dim>(x, prepared, positions, begin, end, edges);
}

template <std::size_t Dim>
void horizontal_rows(RowMatrix x, const Prepared& prepared, std::size_t begin, std::size_t end, EdgeList& edges) {
#ifdef KALTROPE_X86_SIMD
    if (simd::has_avx2()) return horizontal_rows_avx2<Dim>(x, prepared, begin, end, edges);
#endif
    horizontal_rows_plain<Dim>(x, prepared, begin, end, edges);
}

// Runs rows_edges(begin, end, edges) over all rows: one pass, or chunks of
// consecutive rows on the worker pool, each into its own part.
template <class RowsEdges>
std::vector<EdgeList> run(std::size_t rows, bool parallel, RowsEdges&& all_rows_edges) {
    // Rows in slices, polling for interruption between them.
    auto rows_edges = [&](std::size_t begin, std::size_t end, EdgeList& edges) {
        constexpr std::size_t kPollRows = 64;
        for (std::size_t first = begin; first < end; first += kPollRows) {
            interruption::poll();
            all_rows_edges(first, std::min(end, first + kPollRows), edges);
        }
    };
    if (!parallel || rows < kParallelMinRows) {
        std::vector<EdgeList> parts(1);
        parts[0].reserve(4 * rows);
        rows_edges(0, rows, parts[0]);
        return parts;
    }
    const std::size_t chunk = chunk_rows(rows, parallel::thread_count());
    std::vector<EdgeList> parts((rows + chunk - 1) / chunk);
    parallel::for_each_range(parts.size(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t part = first; part < last; ++part) {
            rows_edges(part * chunk, std::min(rows, (part + 1) * chunk), parts[part]);
        }
    });
    return parts;
}

// body(features) with the feature count as a compile-time constant when it
// is small, or 0 for "read it from the matrix".
template <class Body>
std::vector<EdgeList> with_features(std::size_t dim, Body&& body) {
    switch (dim) {
        case 1: return body(std::integral_constant<std::size_t, 1>{});
        case 2: return body(std::integral_constant<std::size_t, 2>{});
        case 3: return body(std::integral_constant<std::size_t, 3>{});
        case 4: return body(std::integral_constant<std::size_t, 4>{});
        default: return body(std::integral_constant<std::size_t, 0>{});
    }
}

template <class Positions>
std::vector<EdgeList> natural_parts_of_safe(RowMatrix x, Positions positions, bool parallel) {
    const Prepared prepared = prepare(x);
    return with_features(x.dim, [&](auto features) {
        return run(x.rows(), parallel, [&](std::size_t begin, std::size_t end, EdgeList& edges) {
            natural_rows<features()>(x, prepared, positions, begin, end, edges);
        });
    });
}

template <class Positions>
std::vector<EdgeList> natural_parts(RowMatrix given, Positions positions, bool parallel) {
    const SafeValues values(given.data, given.len);
    RowMatrix x = given;
    x.data = values.data();
    if constexpr (std::is_same_v<Positions, ExplicitPositions>) {
        // Explicit positions likewise; uniform ones are whole numbers below 2^32.
        const SafeValues safe_positions(positions.x, x.rows());
        return natural_parts_of_safe(x, ExplicitPositions{safe_positions.data()}, parallel);
    } else {
        return natural_parts_of_safe(x, positions, parallel);
    }
}

std::vector<EdgeList> horizontal_parts(RowMatrix given, bool parallel) {
    const SafeValues values(given.data, given.len);
    RowMatrix x = given;
    x.data = values.data();
    const Prepared prepared = prepare(x);
    return with_features(x.dim, [&](auto features) {
        return run(x.rows(), parallel, [&](std::size_t begin, std::size_t end, EdgeList& edges) {
            horizontal_rows<features()>(x, prepared, begin, end, edges);
        });
    });
}

template <class WindowEdges>
VectorBatch run_batch(std::span<const RowMatrix> windows, WindowEdges&& window_edges) {
    std::vector<EdgeList> results(windows.size());
    if (std::ranges::all_of(windows, [](const RowMatrix& window) { return window.len == 0; })) return results;
    for (const RowMatrix& window : windows) {
        if (auto valid = validate_matrix(window); !valid) return std::unexpected(valid.error());
    }
    parallel::for_each_index(windows.size(), [&](std::size_t k) { results[k] = join_parts(window_edges(windows[k])); });
    return results;
}

}  // namespace

std::size_t chunk_rows(std::size_t rows, std::size_t threads) {
    return std::max(kMinChunkRows, rows / (16 * std::max<std::size_t>(threads, 1)));
}

std::vector<EdgeList> natural_vector_edge_parts(RowMatrix x, UniformPositions positions, bool parallel) {
    return natural_parts(x, positions, parallel);
}

std::vector<EdgeList> natural_vector_edge_parts(RowMatrix x, ExplicitPositions positions, bool parallel) {
    return natural_parts(x, positions, parallel);
}

std::vector<EdgeList> horizontal_vector_edge_parts(RowMatrix x, bool parallel) { return horizontal_parts(x, parallel); }

EdgeList natural_vector_edges(RowMatrix x, UniformPositions positions, bool parallel) {
    return join_parts(natural_parts(x, positions, parallel));
}

EdgeList natural_vector_edges(RowMatrix x, ExplicitPositions positions, bool parallel) {
    return join_parts(natural_parts(x, positions, parallel));
}

EdgeList horizontal_vector_edges(RowMatrix x, bool parallel) {
    return join_parts(horizontal_vector_edge_parts(x, parallel));
}

VectorBatch natural_vector_batch(std::span<const RowMatrix> windows) {
    return run_batch(windows, [](RowMatrix window) { return natural_parts(window, UniformPositions{}, false); });
}

VectorBatch horizontal_vector_batch(std::span<const RowMatrix> windows) {
    return run_batch(windows, [](RowMatrix window) { return horizontal_vector_edge_parts(window, false); });
}

}  // namespace kaltrope::vector
