// horizontal_visibility_edges and horizontal_visibility_batch.

#include "core/scalar_visibility/horizontal.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/array_functions/batch_driver.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/array_functions/register.hpp"
#include "bindings/common/array_results.hpp"

namespace kaltrope::python_fast {
namespace {

PyObject* horizontal_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", nullptr};
        PyObject* y_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:horizontal_visibility_edges",
                                         const_cast<char**>(keywords), &y_argument)) {
            return nullptr;
        }
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        std::expected<EdgeBuffer, InputError> result;
        {
            python::ThreadsReleased unlocked;
            if (auto valid = validate_series(y->values()); !valid) {
                result = std::unexpected(valid.error());
            } else {
                const EdgeList edges = horizontal_edges(y->values());
                result = widen(std::span(&edges, 1));
            }
        }
        if (!result) return python::to_value_error(result.error().message());
        return edges_to_numpy(std::move(*result));
    });
}

PyObject* horizontal_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return run_batch_entry(args, kwargs, "O:horizontal_visibility_batch", horizontal_batch);
}

}  // namespace

const PyMethodDef horizontal_edges_method = {
    "horizontal_visibility_edges",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(horizontal_visibility_edges)),
    METH_VARARGS | METH_KEYWORDS,
    "horizontal_visibility_edges(y)\n--\n\n"
    "horizontal_visibility_edges(y) -> ndarray[int64] of shape (E, 2)",
};

const PyMethodDef horizontal_batch_method = {
    "horizontal_visibility_batch",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(horizontal_visibility_batch)),
    METH_VARARGS | METH_KEYWORDS,
    "horizontal_visibility_batch(rows)\n--\n\n"
    "horizontal_visibility_batch(Y) -> (edges (E, 2) int64, offsets (B+1,) int64)",
};

}  // namespace kaltrope::python_fast
