// The extension module _kaltrope: creation and registration, in a fixed order.

#include "integrations/python/python.hpp"
#include "integrations/python_extra/register.hpp"
#include "integrations/python_fast/register.hpp"

namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_kaltrope",
    "Visibility graphs of time series: exact, output-sensitive and parallel.",
    -1,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__kaltrope() {
    PyObject* module = PyModule_Create(&module_definition);
    if (module == nullptr) return nullptr;
    if (kaltrope::python_fast::register_functions(module) < 0 ||
        kaltrope::python_extra::register_functions(module) < 0) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}
