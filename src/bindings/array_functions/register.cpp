#include "bindings/array_functions/register.hpp"

namespace kaltrope::python_fast {

int register_functions(PyObject* module) {
    static PyMethodDef methods[] = {
        natural_edges_method,
        natural_plan_method,
        horizontal_edges_method,
        natural_batch_method,
        horizontal_batch_method,
        natural_vector_edges_method,
        horizontal_vector_edges_method,
        natural_vector_batch_method,
        horizontal_vector_batch_method,
        {nullptr, nullptr, 0, nullptr},
    };
    return PyModule_AddFunctions(module, methods);
}

}  // namespace kaltrope::python_fast
