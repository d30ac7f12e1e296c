#include "integrations/python_fast/results.hpp"

#include "integrations/python/numpy_api.hpp"
#include "integrations/python/py_ref.hpp"

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

void write_pairs(const EdgeList& edges, std::int64_t* out) {
    for (const Edge& edge : edges) {
        *out++ = edge.a;
        *out++ = edge.b;
    }
}

}  // namespace

EdgeBuffer widen(const EdgeList& edges) {
    EdgeBuffer buffer{std::make_unique_for_overwrite<std::int64_t[]>(2 * edges.size()), edges.size()};
    write_pairs(edges, buffer.pairs.get());
    return buffer;
}

BatchBuffer widen(const std::vector<EdgeList>& series) {
    std::size_t total = 0;
    for (const EdgeList& edges : series) total += edges.size();
    BatchBuffer batch{{std::make_unique_for_overwrite<std::int64_t[]>(2 * total), total},
                      std::make_unique_for_overwrite<std::int64_t[]>(series.size() + 1),
                      series.size()};
    std::int64_t* pairs = batch.edges.pairs.get();
    std::int64_t written = 0;
    batch.offsets[0] = 0;
    for (std::size_t k = 0; k < series.size(); ++k) {
        write_pairs(series[k], pairs + 2 * written);
        written += static_cast<std::int64_t>(series[k].size());
        batch.offsets[k + 1] = written;
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
