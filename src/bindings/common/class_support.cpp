#include "bindings/common/class_support.hpp"

#include <cstring>

#include "bindings/common/py_ref.hpp"

namespace kaltrope::bindings {

PyTypeObject* add_class(PyObject* module, PyType_Spec& spec) {
    PyRef type = PyRef::steal(PyType_FromSpec(&spec));
    if (!type) return nullptr;
    const char* dot = std::strrchr(spec.name, '.');
    const char* name = dot != nullptr ? dot + 1 : spec.name;
    // PyModule_AddObject takes a reference only when it succeeds.
    Py_INCREF(type.get());
    if (PyModule_AddObject(module, name, type.get()) < 0) {
        Py_DECREF(type.get());
        return nullptr;
    }
    return reinterpret_cast<PyTypeObject*>(type.release());
}

PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
    PyRef name = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
    if (!name) return nullptr;
    return PyErr_Format(PyExc_TypeError, "No constructor defined for %U", name.get());
}

}  // namespace kaltrope::bindings
