#include "bindings/stream/register.hpp"

#include "bindings/stream/visibility_stream_object.hpp"

namespace kaltrope::python_extra {
namespace {

int add_functions(PyObject* module) {
    static PyMethodDef methods[] = {
        visibility_motifs_method,
        {nullptr, nullptr, 0, nullptr},
    };
    return PyModule_AddFunctions(module, methods);
}

// Registration steps in order: the classes (VisibilityStream) first, each a
// step of its own, then the functions.
using Step = int (*)(PyObject* module);
constexpr Step kSteps[] = {
    add_visibility_stream,
    add_functions,
};

}  // namespace

int register_functions(PyObject* module) {
    for (Step step : kSteps) {
        if (step(module) < 0) return -1;
    }
    return 0;
}

}  // namespace kaltrope::python_extra
