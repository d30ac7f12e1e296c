#include "integrations/python_fast/results.hpp"

#include "integrations/python/numpy_api.hpp"
#include "integrations/python/py_ref.hpp"
#include "performance/parallel/worker_pool.hpp"

namespace kaltrope::python_fast {
namespace {

constexpr const char* kBufferCapsule = "kaltrope.int64_buffer";

void free_buffer(PyObject* capsule) {
    delete[] static_cast<std::int64_t*>(PyCapsule_GetPointer(capsule, kBufferCapsule));
}

// An int64 array over data, which it then owns (through a capsule as its base).
PyObject* owning_array(std::unique_ptr<std::int64_t[]> data, int dimensions, npy_intp* shape) {
    python::PyRef owner = python::PyRef::steal(PyCapsule_New(data.get(), kBufferCapsule, free_buffer));
    if (!owner) return nullptr;
    std::int64_t* raw = data.release();
    python::PyRef array = python::PyRef::steal(PyArray_SimpleNewFromData(dimensions, shape, NPY_INT64, raw));
    if (!array) return nullptr;
    if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array.get()), owner.release()) < 0) return nullptr;
    return array.release();
}

// Below this many edges, one thread copies everything.
constexpr std::size_t kParallelCopyEdges = 1 << 20;

}  // namespace

EdgeBuffer widen(std::span<const EdgeList> parts) {
    std::vector<std::size_t> starts(parts.size() + 1, 0);
    for (std::size_t k = 0; k < parts.size(); ++k) starts[k + 1] = starts[k] + parts[k].size();
    EdgeBuffer buffer{std::make_unique_for_overwrite<std::int64_t[]>(2 * starts.back()), starts.back()};
    auto copy_part = [&](std::size_t k) {
        std::int64_t* out = buffer.pairs.get() + 2 * starts[k];
        for (const Edge& edge : parts[k]) {
            *out++ = edge.a;
            *out++ = edge.b;
        }
    };
    if (buffer.count < kParallelCopyEdges) {
        for (std::size_t k = 0; k < parts.size(); ++k) copy_part(k);
    } else {
        parallel::for_each_index(parts.size(), copy_part);
    }
    return buffer;
}

BatchBuffer widen_batch(std::span<const EdgeList> series) {
    BatchBuffer batch{widen(series), std::make_unique_for_overwrite<std::int64_t[]>(series.size() + 1),
                      series.size()};
    batch.offsets[0] = 0;
    for (std::size_t k = 0; k < series.size(); ++k) {
        batch.offsets[k + 1] = batch.offsets[k] + static_cast<std::int64_t>(series[k].size());
    }
    return batch;
}

PyObject* edges_to_numpy(EdgeBuffer edges) {
    npy_intp shape[2] = {static_cast<npy_intp>(edges.count), 2};
    return owning_array(std::move(edges.pairs), 2, shape);
}

PyObject* batch_to_numpy(BatchBuffer batch) {
    python::PyRef edges = python::PyRef::steal(edges_to_numpy(std::move(batch.edges)));
    if (!edges) return nullptr;
    npy_intp shape[1] = {static_cast<npy_intp>(batch.series + 1)};
    python::PyRef offsets = python::PyRef::steal(owning_array(std::move(batch.offsets), 1, shape));
    if (!offsets) return nullptr;
    return PyTuple_Pack(2, edges.get(), offsets.get());
}

}  // namespace kaltrope::python_fast
