#pragma once
// Edge results as NumPy arrays that own the buffers filled for them.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/series/edge_list.hpp"
#include "support/large_buffer.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Edges widened to int64 pairs a0, b0, a1, b1, ...; filled without the
// interpreter lock, then handed to NumPy without a copy.
using Int64Buffer = memory::LargeBuffer<std::int64_t>;
using Float64Buffer = memory::LargeBuffer<double>;

struct EdgeBuffer {
    Int64Buffer pairs;
    std::size_t count = 0;
};

// All series of a batch end to end, with offsets[k] the first edge of series k.
struct BatchBuffer {
    EdgeBuffer edges;
    Int64Buffer offsets;
    std::size_t series = 0;
};

// Copies the parts end to end, in parallel for large results.
EdgeBuffer widen(std::span<const EdgeList> parts);

// Each series' edges as one part, with the offsets between them.
BatchBuffer widen_batch(std::span<const EdgeList> series);

// Series grouped into parts, with the offsets between them.
BatchBuffer widen_batch(const GroupedEdges& series);

// A 1-D int64 array of length values; null with the error set.
PyObject* vector_to_numpy(Int64Buffer data, std::size_t length);

// An (rows, 2) int64 array over pairs; null with the error set.
PyObject* pairs_to_numpy(Int64Buffer pairs, std::size_t rows);

// The (E, 2) int64 array; null with the error set.
PyObject* edges_to_numpy(EdgeBuffer edges);

// The tuple (edges (E, 2), offsets (B + 1,)); null with the error set.
PyObject* batch_to_numpy(BatchBuffer batch);

// A one-dimensional float64 array of count values over values; null with the
// error set.
PyObject* float64_to_numpy(Float64Buffer values, std::size_t count);

// A (rows, columns) int64 array over values; null with the error set.
PyObject* int64_matrix_to_numpy(Int64Buffer values, std::size_t rows, std::size_t columns);

// The edges, or the pair (edges, weights (E,)) when weights is not null.
PyObject* weighted_edges_to_numpy(EdgeBuffer edges, Float64Buffer weights);

// (edges, offsets), or (edges, offsets, weights) when weights is not null.
PyObject* weighted_batch_to_numpy(BatchBuffer batch, Float64Buffer weights);

}  // namespace kaltrope::bindings
