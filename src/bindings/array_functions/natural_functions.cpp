// natural_visibility_edges, natural_visibility_plan and natural_visibility_batch.

#include <optional>
#include <string>

#include "core/scalar_visibility/natural.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/array_functions/batch_driver.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/array_functions/register.hpp"
#include "bindings/common/array_results.hpp"

namespace kaltrope::python_fast {
namespace {

std::expected<EdgeBuffer, InputError> natural_edges(Series y, std::optional<Series> x, Algorithm algorithm) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    if (!x) return widen(natural_edge_parts(y, UniformPositions{}, algorithm));
    if (auto valid = validate_positions(y, *x); !valid) return std::unexpected(valid.error());
    return widen(natural_edge_parts(y, ExplicitPositions{x->data()}, algorithm));
}

PyObject* natural_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", "x", "algorithm", nullptr};
        PyObject* y_argument = nullptr;
        PyObject* x_argument = Py_None;
        const char* algorithm_text = "auto";
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|Os:natural_visibility_edges",
                                         const_cast<char**>(keywords), &y_argument, &x_argument,
                                         &algorithm_text)) {
            return nullptr;
        }
        const auto algorithm = algorithm_argument(algorithm_text);
        if (!algorithm) return nullptr;
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        std::optional<F64Vec> x;
        if (x_argument != Py_None) {
            x = to_f64(x_argument);
            if (!x) return nullptr;
        }
        std::expected<EdgeBuffer, InputError> result;
        {
            python::ThreadsReleased unlocked;
            result = natural_edges(y->values(), x ? std::optional(x->values()) : std::nullopt, *algorithm);
        }
        if (!result) return python::to_value_error(result.error().message());
        return edges_to_numpy(std::move(*result));
    });
}

PyObject* plan_to_dict(const Plan& plan, std::size_t n) {
    python::PyRef dict = python::PyRef::steal(PyDict_New());
    if (!dict) return nullptr;
    const std::string_view name = plan.algorithm == Algorithm::Hull ? "hull" : "scan";
    const std::pair<const char*, python::PyRef> items[] = {
        {"algorithm", python::PyRef::steal(PyUnicode_FromStringAndSize(name.data(), std::ssize(name)))},
        {"scan_work", python::PyRef::steal(PyLong_FromUnsignedLongLong(plan.scan_work))},
        {"parallel", python::PyRef::steal(PyBool_FromLong(plan.parallel))},
        {"n", python::PyRef::steal(PyLong_FromSize_t(n))},
    };
    for (const auto& [key, value] : items) {
        if (!value || PyDict_SetItemString(dict.get(), key, value.get()) < 0) return nullptr;
    }
    return dict.release();
}

PyObject* natural_visibility_plan(PyObject*, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", nullptr};
        PyObject* y_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:natural_visibility_plan", const_cast<char**>(keywords),
                                         &y_argument)) {
            return nullptr;
        }
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        if (auto valid = validate_series(y->values()); !valid) {
            return python::to_value_error(valid.error().message());
        }
        Plan plan;
        {
            python::ThreadsReleased unlocked;
            plan = plan_natural(y->values());
        }
        return plan_to_dict(plan, y->values().size());
    });
}

PyObject* natural_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return run_batch_entry(args, kwargs, "O:natural_visibility_batch", natural_batch);
}

}  // namespace

const PyMethodDef natural_edges_method = {
    "natural_visibility_edges",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(natural_visibility_edges)),
    METH_VARARGS | METH_KEYWORDS,
    "natural_visibility_edges(y, x=None, algorithm=\"auto\")\n--\n\n"
    "natural_visibility_edges(y, x=None) -> ndarray[int64] of shape (E, 2)\n"
    "\n"
    "Natural visibility graph edges `(a, b)`, a < b. `x` are optional strictly\n"
    "increasing sample positions (defaults to 0, 1, 2, \xe2\x80\xa6). Large series are\n"
    "processed in parallel; the GIL is released while computing.\n"
    "\n"
    "`algorithm`: \"auto\" (default) measures the exact scan cost and picks the\n"
    "cheaper engine; \"scan\" forces divide & conquer; \"hull\" forces the\n"
    "output-sensitive O((n + E) log\xc2\xb2 n) engine.",
};

const PyMethodDef natural_plan_method = {
    "natural_visibility_plan",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(natural_visibility_plan)),
    METH_VARARGS | METH_KEYWORDS,
    "natural_visibility_plan(y)\n--\n\n"
    "natural_visibility_plan(y) -> dict(algorithm, scan_work, parallel, n)\n"
    "\n"
    "Which engine `natural_visibility_edges(y)` would choose, and why (O(n)).",
};

const PyMethodDef natural_batch_method = {
    "natural_visibility_batch",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(natural_visibility_batch)),
    METH_VARARGS | METH_KEYWORDS,
    "natural_visibility_batch(rows)\n--\n\n"
    "natural_visibility_batch(Y) -> (edges (E, 2) int64, offsets (B+1,) int64)\n"
    "\n"
    "Natural visibility graphs of many independent series in one call, in\n"
    "parallel. `Y` is a (B, n) array or an iterable of 1-D arrays (ragged\n"
    "lengths allowed). Edges of series `k` are `edges[offsets[k]:offsets[k+1]]`\n"
    "with node indices local to that series.",
};

}  // namespace kaltrope::python_fast
