#pragma once
// Method tables: each binding file owns the table of the functions it
// defines, built with the one cast every entry needs.

#include <initializer_list>
#include <span>
#include <vector>

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// A function taking keywords, or any other, as the PyCFunction of a table.
template <class Function>
PyCFunction method_pointer(Function function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// The entries of several tables (each without its end marker) in order,
// ended by the marker: one class's methods defined in several files.
inline std::vector<PyMethodDef> joined_methods(std::initializer_list<std::span<const PyMethodDef>> tables) {
    std::vector<PyMethodDef> methods;
    for (std::span<const PyMethodDef> table : tables) methods.insert(methods.end(), table.begin(), table.end());
    methods.push_back({nullptr, nullptr, 0, nullptr});
    return methods;
}

}  // namespace kaltrope::bindings
