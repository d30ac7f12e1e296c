#pragma once
// What the classes of the object interface share: objects that own one C++
// value, their registration in the module, and classes without a constructor.

#include <memory>
#include <utility>

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// The layout of an object owning one Value; the value is never null once the
// object is handed out.
template <class Value>
struct Holder {
    PyObject_HEAD Value* value;
};

template <class Value>
Value& held(PyObject* object) {
    return *reinterpret_cast<Holder<Value>*>(object)->value;
}

// A new object of type owning value; null with the error set.
template <class Value>
PyObject* wrap(PyTypeObject* type, Value value) {
    auto owned = std::make_unique<Value>(std::move(value));
    const auto allocate = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* object = allocate(type, 0);
    if (object == nullptr) return nullptr;
    reinterpret_cast<Holder<Value>*>(object)->value = owned.release();
    return object;
}

// The tp_dealloc of a Holder<Value> class.
template <class Value>
void release_holder(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    delete reinterpret_cast<Holder<Value>*>(object)->value;
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(object);
    Py_DECREF(type);
}

// Creates the class of spec and adds it to module under the part of its
// name after the last dot. Returns the class, kept alive for the process,
// or null with the error set.
PyTypeObject* add_class(PyObject* module, PyType_Spec& spec);

// The tp_new of a class that Python code cannot call: TypeError
// "No constructor defined for {class name}".
PyObject* no_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs);

}  // namespace kaltrope::bindings
