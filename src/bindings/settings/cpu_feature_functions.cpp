// cpu_features(): the instruction sets the kernels use.

#include "bindings/settings/cpu_feature_functions.hpp"

#include <string>
#include <utility>
#include <vector>

#include "bindings/common/py_ref.hpp"
#include "support/cpu_features.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* cpu_features(PyObject*, PyObject*) {
    PyRef features = PyRef::steal(PyDict_New());
    if (!features) return nullptr;
    const std::pair<const char*, bool> entries[] = {{"avx2", simd::has_avx2()}, {"avx512", simd::has_avx512()}};
    for (const auto& [name, used] : entries) {
        if (PyDict_SetItemString(features.get(), name, used ? Py_True : Py_False) < 0) return nullptr;
    }
    return features.release();
}

PyMethodDef functions[] = {
    {"cpu_features", cpu_features, METH_NOARGS,
     "cpu_features()\n--\n\n"
     "The wider instruction sets kaltrope's kernels use in this process.\n"
     "\n"
     "A kernel written for an instruction set runs where the processor\n"
     "offers it, and gives the same results as the portable kernel. Naming\n"
     "sets in the environment variable ``KALTROPE_DISABLE_CPU_FEATURES``\n"
     "before the import (``avx512``, or ``avx2``, which disables the AVX-512\n"
     "kernels too; separated by commas or blanks) keeps the kernels from\n"
     "them, as NumPy's ``NPY_DISABLE_CPU_FEATURES`` does. Unknown names\n"
     "are ignored with a RuntimeWarning at import.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "dict of str to bool\n"
     "    ``{\"avx2\": ..., \"avx512\": ...}``: whether the kernels use AVX2,\n"
     "    and AVX-512. Both are False on processors other than x86-64.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> sorted(kt.cpu_features())\n"
     "['avx2', 'avx512']\n"},
    {nullptr, nullptr, 0, nullptr},
};

// The names as Python shows os.environ's values, for the warning.
int warn_about_unknown_features(const std::vector<std::string>& names) {
    PyRef shown = PyRef::steal(PyList_New(0));
    if (!shown) return -1;
    for (const std::string& name : names) {
        PyRef item = PyRef::steal(PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
        if (!item || PyList_Append(shown.get(), item.get()) < 0) return -1;
    }
    return PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                            "KALTROPE_DISABLE_CPU_FEATURES names %R, which disable nothing and are ignored; "
                            "the names are 'avx2' and 'avx512'",
                            shown.get());
}

}  // namespace

int add_cpu_feature_functions(PyObject* module) {
    if (PyModule_AddFunctions(module, functions) < 0) return -1;
    const auto& unknown = simd::unknown_disabled_features();
    return unknown.empty() ? 0 : warn_about_unknown_features(unknown);
}

}  // namespace kaltrope::bindings
