// visibility_motifs.

#include "bindings/array_functions/motif_functions.hpp"

#include <cstring>
#include <string>
#include <vector>

#include "bindings/common/array_conversion.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "core/sequence_motifs/sequential_motifs.hpp"

namespace kaltrope::bindings {
namespace {

using motifs::MotifHistogram;

// Rows of n * d values: B of them for a batch, one for a single series.
struct MotifInput {
    std::size_t rows = 1;
    std::size_t samples = 0;
    std::size_t dim = 1;
    bool batch = false;
};

std::optional<MotifInput> motif_input(const std::vector<std::size_t>& shape, SeriesKind kind) {
    const std::size_t single = is_vector(kind) ? 2 : 1;
    if (shape.size() != single && shape.size() != single + 1) return std::nullopt;
    MotifInput input;
    input.batch = shape.size() == single + 1;
    const std::size_t first = input.batch ? 1 : 0;
    if (input.batch) input.rows = shape[0];
    input.samples = shape[first];
    if (is_vector(kind)) input.dim = shape[first + 1];
    return input;
}

PyObject* counts_to_numpy(const std::vector<MotifHistogram>& counts, bool batch) {
    npy_intp shape[2] = {static_cast<npy_intp>(counts.size()), 8};
    PyRef array = PyRef::steal(PyArray_SimpleNew(2, shape, NPY_UINT64));
    if (!array) return nullptr;
    if (!counts.empty()) {
        std::memcpy(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array.get())), counts.data(),
                    counts.size() * sizeof(MotifHistogram));
    }
    if (batch) return array.release();
    return PySequence_GetItem(array.get(), 0);
}

PyObject* visibility_motifs(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"x", "kind", nullptr};
        PyObject* x = nullptr;
        const char* kind_text = "natural";
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|s:visibility_motifs", const_cast<char**>(keywords), &x,
                                         &kind_text)) {
            return nullptr;
        }
        const auto kind = option_argument(kSeriesKindNames, kind_text);
        if (!kind) return nullptr;
        if (!ensure_numpy()) return nullptr;
        PyRef converted = as_contiguous_f64(x);
        if (!converted) return nullptr;
        if (!PyArray_Check(converted.get())) return raise_value_error("expected a NumPy array");
        auto* array = reinterpret_cast<PyArrayObject*>(converted.get());
        std::vector<std::size_t> shape;
        for (int axis = 0; axis < PyArray_NDIM(array); ++axis) {
            shape.push_back(static_cast<std::size_t>(PyArray_DIM(array, axis)));
        }
        const auto input = motif_input(shape, *kind);
        if (!input) {
            return raise_value_error(
                "expected (n,) or (B, n) for univariate kinds, (n, d) or (B, n, d) for vector kinds");
        }
        // The contiguous float64 array is read in place: it is the caller's
        // own array or NumPy's fresh copy, kept alive by `converted`.
        const auto* data = static_cast<const double*>(PyArray_DATA(array));
        const std::size_t length = input->samples * input->dim;
        std::vector<Series> rows(input->rows);
        for (std::size_t k = 0; k < rows.size(); ++k)
            rows[k] = Series(length == 0 ? nullptr : data + k * length, length);
        const auto counts = without_lock([&] { return motifs::count_motif_batch(rows, *kind, input->dim); });
        if (!counts) return raise_error(counts.error());
        return counts_to_numpy(*counts, input->batch);
    });
}

PyMethodDef motif_functions[] = {
    {
        "visibility_motifs",
        method_pointer(visibility_motifs),
        METH_VARARGS | METH_KEYWORDS,
        "visibility_motifs(x, kind=\"natural\")\n--\n\n"
        "visibility_motifs(x, kind=\"natural\") -> ndarray[uint64] of shape (8,) or (B, 8)\n"
        "\n"
        "Sequential size-4 visibility-graph motif counts.\n"
        "Code = [0,2] + 2\xc2\xb7[1,3] + 4\xc2\xb7[0,3] for the optional edges among 4\n"
        "consecutive samples. Accepts one series (n,) / (n, d) for vector kinds, or a\n"
        "batch (B, n) / (B, n, d), processed in parallel. O(n), no graph is built.\n"
        "\n"
        "For every four consecutive samples, the visibility graph of those four\n"
        "alone is built and its optional edges coded; the counts of the codes\n"
        "form a histogram of 8 bins. A series of fewer than 4 samples has none.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "x : array_like of float\n"
        "    One series of shape (n,), or (n, d) for the vector kinds, or a\n"
        "    batch of shape (B, n), or (B, n, d) for the vector kinds.\n"
        "kind : {\"natural\", \"horizontal\", \"vector_natural\", \"vector_horizontal\"}, optional\n"
        "    The visibility. Default \"natural\".\n"
        "\n"
        "Returns\n"
        "-------\n"
        "ndarray of uint64, shape (8,) or (B, 8)\n"
        "    Bin k counts the windows of code k; one row per series of a batch.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `kind` is unknown, if `x` has another number of dimensions, or\n"
        "    if it has a non-finite value.\n"
        "TypeError\n"
        "    If `kind` is not a str.\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.visibility_motifs([1.0, 3.0, 2.0, 4.0, 1.0, 5.0])\n"
        "array([0, 1, 2, 0, 0, 0, 0, 0], dtype=uint64)\n"
        ">>> kt.visibility_motifs([[1.0, 3.0, 2.0, 4.0]], kind=\"horizontal\").shape\n"
        "(1, 8)\n",
    },
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_motif_functions(PyObject* module) { return PyModule_AddFunctions(module, motif_functions); }

}  // namespace kaltrope::bindings
