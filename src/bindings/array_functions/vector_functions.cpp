// natural_vector_visibility_edges, horizontal_vector_visibility_edges,
// natural_vector_visibility_batch and horizontal_vector_visibility_batch.

#include <algorithm>
#include <optional>
#include <vector>

#include "core/vector_visibility/vector_visibility.hpp"
#include "core/vector_visibility/weights.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/array_functions/register.hpp"
#include "bindings/common/array_results.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope::python_fast {
namespace {

using vector::RowMatrix;

// The caller's values, copied, so that nothing can change them while the
// interpreter lock is released.
struct OwnedValues {
    std::vector<double> values;
    std::vector<std::size_t> shape;
};

// numpy.ascontiguousarray(object, "float64") with one of the accepted numbers
// of dimensions, copied; nullopt with the error set.
std::optional<OwnedValues> owned_array(PyObject* object, std::initializer_list<int> dimensions,
                                       const char* shape_error) {
    if (!python::ensure_numpy()) return std::nullopt;
    python::PyRef converted = as_contiguous_f64(object);
    if (!converted) return std::nullopt;
    auto* array = reinterpret_cast<PyArrayObject*>(converted.get());
    if (!PyArray_Check(converted.get()) || PyArray_TYPE(array) != NPY_DOUBLE ||
        std::find(dimensions.begin(), dimensions.end(), PyArray_NDIM(array)) == dimensions.end()) {
        python::to_value_error(shape_error);
        return std::nullopt;
    }
    OwnedValues owned;
    for (int axis = 0; axis < PyArray_NDIM(array); ++axis) {
        owned.shape.push_back(static_cast<std::size_t>(PyArray_DIM(array, axis)));
    }
    const auto* data = static_cast<const double*>(PyArray_DATA(array));
    owned.values.assign(data, data + PyArray_SIZE(array));
    return owned;
}

struct VectorEdges {
    EdgeBuffer edges;
    Float64Buffer weights;
};

// Validation, edges and weights, without the interpreter lock.
std::expected<VectorEdges, InputError> compute_vector_edges(bool natural, RowMatrix x,
                                                            const std::optional<std::vector<double>>& t,
                                                            std::optional<vector::VectorWeight> weight) {
    const std::optional<Series> positions = t ? std::optional(Series(*t)) : std::nullopt;
    if (auto valid = vector::validate_matrix(x, positions); !valid) return std::unexpected(valid.error());
    std::vector<EdgeList> parts;
    if (!natural) {
        parts = vector::horizontal_vector_edge_parts(x, true);
    } else if (positions) {
        parts = vector::natural_vector_edge_parts(x, ExplicitPositions{positions->data()}, true);
    } else {
        parts = vector::natural_vector_edge_parts(x, UniformPositions{}, true);
    }
    VectorEdges result;
    if (weight) {
        std::vector<std::size_t> first(parts.size() + 1, 0);
        for (std::size_t part = 0; part < parts.size(); ++part) first[part + 1] = first[part] + parts[part].size();
        result.weights = memory::allocate_large_buffer<double>(first.back());
        parallel::for_each_index(parts.size(), [&](std::size_t part) {
            vector::vector_weights_into(parts[part], x, positions, *weight, result.weights.get() + first[part]);
        });
    }
    result.edges = widen(parts);
    return result;
}

PyObject* vector_edges_entry(bool natural, PyObject* x_argument, PyObject* t_argument, const char* weight_text) {
    auto x = owned_array(x_argument, {1, 2}, "expected a 1-D or 2-D array of shape (time, features)");
    if (!x) return nullptr;
    // A one-dimensional series is T rows of one feature.
    const RowMatrix matrix{x->values.data(), x->values.size(), x->shape.size() == 1 ? 1 : x->shape[1]};
    std::optional<std::vector<double>> t;
    if (t_argument != nullptr && t_argument != Py_None) {
        auto converted = to_f64(t_argument);
        if (!converted) return nullptr;
        t.emplace(converted->values().begin(), converted->values().end());
    }
    std::optional<vector::VectorWeight> weight;
    if (weight_text != nullptr) {
        auto parsed = vector::parse_weight(weight_text);
        if (!parsed) return python::to_value_error(parsed.error());
        weight = *parsed;
    }
    std::expected<VectorEdges, InputError> result;
    {
        python::ThreadsReleased unlocked;
        result = compute_vector_edges(natural, matrix, t, weight);
    }
    if (!result) return python::to_value_error(result.error().message());
    const std::size_t count = result->edges.count;
    python::PyRef edges = python::PyRef::steal(edges_to_numpy(std::move(result->edges)));
    if (!edges || !weight) return edges.release();
    python::PyRef weights = python::PyRef::steal(float64_to_numpy(std::move(result->weights), count));
    if (!weights) return nullptr;
    return PyTuple_Pack(2, edges.get(), weights.get());
}

PyObject* natural_vector_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"x", "t", "weight", nullptr};
        PyObject* x = nullptr;
        PyObject* t = nullptr;
        const char* weight = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|Oz:natural_vector_visibility_edges",
                                         const_cast<char**>(keywords), &x, &t, &weight)) {
            return nullptr;
        }
        return vector_edges_entry(true, x, t, weight);
    });
}

PyObject* horizontal_vector_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"x", "weight", nullptr};
        PyObject* x = nullptr;
        const char* weight = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|z:horizontal_vector_visibility_edges",
                                         const_cast<char**>(keywords), &x, &weight)) {
            return nullptr;
        }
        return vector_edges_entry(false, x, nullptr, weight);
    });
}

using VectorBatchEngine = vector::VectorBatch (*)(std::span<const RowMatrix> windows);

PyObject* vector_batch_entry(PyObject* windows_argument, VectorBatchEngine engine) {
    auto windows = owned_array(windows_argument, {3}, "expected a 3-D array of shape (windows, time, features)");
    if (!windows) return nullptr;
    const std::size_t count = windows->shape[0];
    const std::size_t length = windows->shape[1] * windows->shape[2];
    std::vector<RowMatrix> views(count);
    for (std::size_t k = 0; k < count; ++k) views[k] = {windows->values.data() + k * length, length, windows->shape[2]};
    std::expected<BatchBuffer, InputError> result;
    {
        python::ThreadsReleased unlocked;
        if (auto edges = engine(views); !edges) {
            result = std::unexpected(edges.error());
        } else {
            result = widen_batch(*edges);
        }
    }
    if (!result) return python::to_value_error(result.error().message());
    return batch_to_numpy(std::move(*result));
}

PyObject* natural_vector_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"windows", nullptr};
        PyObject* windows = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:natural_vector_visibility_batch",
                                         const_cast<char**>(keywords), &windows)) {
            return nullptr;
        }
        return vector_batch_entry(windows, vector::natural_vector_batch);
    });
}

PyObject* horizontal_vector_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"windows", nullptr};
        PyObject* windows = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:horizontal_vector_visibility_batch",
                                         const_cast<char**>(keywords), &windows)) {
            return nullptr;
        }
        return vector_batch_entry(windows, vector::horizontal_vector_batch);
    });
}

}  // namespace

const PyMethodDef natural_vector_edges_method = {
    "natural_vector_visibility_edges",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(natural_vector_visibility_edges)),
    METH_VARARGS | METH_KEYWORDS,
    "natural_vector_visibility_edges(x, t=None, weight=None)\n--\n\n"
    "natural_vector_visibility_edges(X, t=None, weight=None)\n"
    "\n"
    "Natural vector visibility graph of a multivariate series `X` of shape\n"
    "(time, features); a 1-D `X` is one feature. Row b is visible from an\n"
    "earlier row a through the projections of the rows onto X_a. `t` are\n"
    "optional strictly increasing sample positions. Returns an (E, 2) int64\n"
    "array of edges `(a, b)`, a < b, sorted, or the pair `(edges, weights)`\n"
    "with one float64 weight per edge when `weight` is one of\n"
    "\"cosine_similarity\", \"time_diff_cosine_similarity\",\n"
    "\"euclidean_distance\", \"time_diff_euclidean_distance\",\n"
    "\"normalized_euclidean_distance\" or\n"
    "\"time_diff_normalized_euclidean_distance\".",
};

const PyMethodDef horizontal_vector_edges_method = {
    "horizontal_vector_visibility_edges",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(horizontal_vector_visibility_edges)),
    METH_VARARGS | METH_KEYWORDS,
    "horizontal_vector_visibility_edges(x, weight=None)\n--\n\n"
    "horizontal_vector_visibility_edges(X, weight=None)",
};

const PyMethodDef natural_vector_batch_method = {
    "natural_vector_visibility_batch",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(natural_vector_visibility_batch)),
    METH_VARARGS | METH_KEYWORDS,
    "natural_vector_visibility_batch(windows)\n--\n\n"
    "natural_vector_visibility_batch(W) -> (edges (E, 2) int64, offsets (B+1,) int64)\n"
    "\n"
    "Natural VVGs of many windows `W` of shape (windows, time, features), in\n"
    "parallel. Edges of window k are `edges[offsets[k]:offsets[k+1]]`.",
};

const PyMethodDef horizontal_vector_batch_method = {
    "horizontal_vector_visibility_batch",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(horizontal_vector_visibility_batch)),
    METH_VARARGS | METH_KEYWORDS,
    "horizontal_vector_visibility_batch(windows)\n--\n\n"
    "horizontal_vector_visibility_batch(W) -> (edges, offsets)",
};

}  // namespace kaltrope::python_fast
