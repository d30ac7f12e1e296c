#include "bindings/common/array_results.hpp"

#include <algorithm>
#include <cstddef>

#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "support/large_buffer.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope::bindings {
namespace {

constexpr const char* kBufferCapsule = "kaltrope.result_buffer";

void free_buffer(PyObject* capsule) { memory::recycle_large(PyCapsule_GetPointer(capsule, kBufferCapsule)); }

// An array over data, which it then owns (through a capsule as its base).
template <class Value>
PyObject* owning_array(memory::LargeBuffer<Value> data, int type, int dimensions, npy_intp* shape) {
    if (!ensure_numpy()) return nullptr;
    PyRef owner = PyRef::steal(PyCapsule_New(data.get(), kBufferCapsule, free_buffer));
    if (!owner) return nullptr;
    Value* raw = data.release();
    PyRef array = PyRef::steal(PyArray_SimpleNewFromData(dimensions, shape, type, raw));
    if (!array) return nullptr;
    if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array.get()), owner.release()) < 0) return nullptr;
    return array.release();
}

// Large results are copied in blocks of this many edges, in parallel.
constexpr std::size_t kCopyBlock = std::size_t{1} << 18;

}  // namespace

EdgeBuffer widen(std::span<const EdgeList> parts) {
    // Blocks of at most kCopyBlock edges, none straddling two parts.
    struct Block {
        const Edge* from;
        std::size_t count;
        std::size_t first;  // index of the block's first edge in the result
    };
    std::vector<Block> blocks;
    std::size_t total = 0;
    for (const EdgeList& part : parts) {
        for (std::size_t begin = 0; begin < part.size(); begin += kCopyBlock) {
            blocks.push_back({part.data() + begin, std::min(kCopyBlock, part.size() - begin), total + begin});
        }
        total += part.size();
    }
    EdgeBuffer buffer{memory::allocate_large_buffer<std::int64_t>(2 * total), total};
    parallel::for_each_range(blocks.size(), 1, [&](std::size_t first, std::size_t last) {
        for (const Block& block : std::span(blocks).subspan(first, last - first)) {
            std::int64_t* out = buffer.pairs.get() + 2 * block.first;
            for (const Edge& edge : std::span(block.from, block.count)) {
                *out++ = edge.a;
                *out++ = edge.b;
            }
        }
    });
    return buffer;
}

BatchBuffer widen_batch(std::span<const EdgeList> series) {
    BatchBuffer batch{widen(series), memory::allocate_large_buffer<std::int64_t>(series.size() + 1), series.size()};
    batch.offsets[0] = 0;
    for (std::size_t k = 0; k < series.size(); ++k) {
        batch.offsets[k + 1] = batch.offsets[k] + static_cast<std::int64_t>(series[k].size());
    }
    return batch;
}

BatchBuffer widen_batch(const GroupedEdges& series) {
    BatchBuffer batch{widen(series.parts), memory::allocate_large_buffer<std::int64_t>(series.ends.size() + 1),
                      series.ends.size()};
    batch.offsets[0] = 0;
    for (std::size_t k = 0; k < series.ends.size(); ++k)
        batch.offsets[k + 1] = static_cast<std::int64_t>(series.ends[k]);
    return batch;
}

PyObject* vector_to_numpy(Int64Buffer data, std::size_t length) {
    npy_intp shape[1] = {static_cast<npy_intp>(length)};
    return owning_array(std::move(data), NPY_INT64, 1, shape);
}

PyObject* pairs_to_numpy(Int64Buffer pairs, std::size_t rows) {
    npy_intp shape[2] = {static_cast<npy_intp>(rows), 2};
    return owning_array(std::move(pairs), NPY_INT64, 2, shape);
}

PyObject* edges_to_numpy(EdgeBuffer edges) { return pairs_to_numpy(std::move(edges.pairs), edges.count); }

PyObject* batch_to_numpy(BatchBuffer batch) {
    PyRef edges = PyRef::steal(edges_to_numpy(std::move(batch.edges)));
    if (!edges) return nullptr;
    PyRef offsets = PyRef::steal(vector_to_numpy(std::move(batch.offsets), batch.series + 1));
    if (!offsets) return nullptr;
    return PyTuple_Pack(2, edges.get(), offsets.get());
}

PyObject* float64_to_numpy(Float64Buffer values, std::size_t count) {
    npy_intp shape[1] = {static_cast<npy_intp>(count)};
    return owning_array(std::move(values), NPY_DOUBLE, 1, shape);
}

PyObject* int64_matrix_to_numpy(Int64Buffer values, std::size_t rows, std::size_t columns) {
    npy_intp shape[2] = {static_cast<npy_intp>(rows), static_cast<npy_intp>(columns)};
    return owning_array(std::move(values), NPY_INT64, 2, shape);
}

PyObject* weighted_edges_to_numpy(EdgeBuffer edges, Float64Buffer weights) {
    const std::size_t count = edges.count;
    PyRef edge_array = PyRef::steal(edges_to_numpy(std::move(edges)));
    if (!edge_array || !weights) return edge_array.release();
    PyRef weight_array = PyRef::steal(float64_to_numpy(std::move(weights), count));
    if (!weight_array) return nullptr;
    return PyTuple_Pack(2, edge_array.get(), weight_array.get());
}

PyObject* weighted_batch_to_numpy(BatchBuffer batch, Float64Buffer weights) {
    const std::size_t count = batch.edges.count;
    PyRef pair = PyRef::steal(batch_to_numpy(std::move(batch)));
    if (!pair || !weights) return pair.release();
    PyRef weight_array = PyRef::steal(float64_to_numpy(std::move(weights), count));
    if (!weight_array) return nullptr;
    return PyTuple_Pack(3, PyTuple_GetItem(pair.get(), 0), PyTuple_GetItem(pair.get(), 1), weight_array.get());
}

}  // namespace kaltrope::bindings
