// The array functions of one series: natural_visibility_edges,
// natural_visibility_plan and horizontal_visibility_edges.

#include "bindings/array_functions/series_functions.hpp"

#include <optional>
#include <string>

#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/py_ref.hpp"
#include "core/scalar_visibility/checked_entries.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* natural_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", "x", "algorithm", nullptr};
        PyObject* y_argument = nullptr;
        PyObject* x_argument = Py_None;
        const char* algorithm_text = "auto";
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|Os:natural_visibility_edges",
                                         const_cast<char**>(keywords), &y_argument, &x_argument,
                                         &algorithm_text)) {
            return nullptr;
        }
        const auto algorithm = option_argument(kAlgorithmNames, algorithm_text);
        if (!algorithm) return nullptr;
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        std::optional<F64Vec> x;
        if (x_argument != Py_None) {
            x = to_f64(x_argument);
            if (!x) return nullptr;
        }
        auto parts = without_lock([&] {
            return checked_natural_edge_parts(y->values(), x ? std::optional(x->values()) : std::nullopt, *algorithm);
        });
        if (!parts) return raise_error(parts.error());
        return edges_to_numpy(without_lock([&] { return widen(*parts); }));
    });
}

PyObject* plan_to_dict(const Plan& plan, std::size_t n) {
    PyRef dict = PyRef::steal(PyDict_New());
    if (!dict) return nullptr;
    const std::string_view name = name_of(kAlgorithmNames, plan.algorithm);
    const std::pair<const char*, PyRef> items[] = {
        {"algorithm", PyRef::steal(PyUnicode_FromStringAndSize(name.data(), std::ssize(name)))},
        {"scan_work", PyRef::steal(PyLong_FromUnsignedLongLong(plan.scan_work))},
        {"parallel", PyRef::steal(PyBool_FromLong(plan.parallel))},
        {"n", PyRef::steal(PyLong_FromSize_t(n))},
    };
    for (const auto& [key, value] : items) {
        if (!value || PyDict_SetItemString(dict.get(), key, value.get()) < 0) return nullptr;
    }
    return dict.release();
}

PyObject* natural_visibility_plan(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", nullptr};
        PyObject* y_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:natural_visibility_plan", const_cast<char**>(keywords),
                                         &y_argument)) {
            return nullptr;
        }
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        const auto plan = without_lock([&] { return checked_natural_plan(y->values()); });
        if (!plan) return raise_error(plan.error());
        return plan_to_dict(*plan, y->values().size());
    });
}

PyObject* horizontal_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", nullptr};
        PyObject* y_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:horizontal_visibility_edges",
                                         const_cast<char**>(keywords), &y_argument)) {
            return nullptr;
        }
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        const auto edges = without_lock([&] { return checked_horizontal_edges(y->values()); });
        if (!edges) return raise_error(edges.error());
        return edges_to_numpy(without_lock([&] { return widen(std::span(&*edges, 1)); }));
    });
}

PyMethodDef series_functions[] = {
    {
    "natural_visibility_edges",
    method_pointer(natural_visibility_edges),
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
    },
    {
    "natural_visibility_plan",
    method_pointer(natural_visibility_plan),
    METH_VARARGS | METH_KEYWORDS,
    "natural_visibility_plan(y)\n--\n\n"
    "natural_visibility_plan(y) -> dict(algorithm, scan_work, parallel, n)\n"
    "\n"
    "Which engine `natural_visibility_edges(y)` would choose, and why (O(n)).",
    },
    {
    "horizontal_visibility_edges",
    method_pointer(horizontal_visibility_edges),
    METH_VARARGS | METH_KEYWORDS,
    "horizontal_visibility_edges(y)\n--\n\n"
    "horizontal_visibility_edges(y) -> ndarray[int64] of shape (E, 2)",
    },
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_series_functions(PyObject* module) { return PyModule_AddFunctions(module, series_functions); }

}  // namespace kaltrope::bindings
