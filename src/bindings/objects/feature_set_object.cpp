// FeatureSet: built up with add_builtin; computed on when a graph is built.

#include "bindings/objects/feature_set_object.hpp"

#include <utility>

#include "bindings/common/argument_conversion.hpp"
#include "bindings/objects/builtin_feature_object.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* feature_set_type = nullptr;

PyObject* create(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {nullptr};
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, ":FeatureSet", const_cast<char**>(keywords))) return nullptr;
        return wrap(type, FeatureSet());
    });
}

PyObject* add_builtin(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"feature", nullptr};
        PyObject* feature_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:add_builtin", const_cast<char**>(keywords),
                                         &feature_argument)) {
            return nullptr;
        }
        const auto feature = builtin_feature_argument(feature_argument, "feature");
        if (!feature) return nullptr;
        held<FeatureSet>(self).add_builtin(*feature);
        Py_INCREF(self);
        return self;
    });
}

PyObject* represent(PyObject*) { return PyUnicode_FromString("FeatureSet(...)"); }

PyMethodDef methods[] = {
    {"add_builtin", method_pointer(add_builtin),
     METH_VARARGS | METH_KEYWORDS,
     "add_builtin($self, feature)\n--\n\n"
     "Add a builtin feature to the set (builder pattern - returns self)\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "feature : BuiltinFeature\n"
     "    The feature to add.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "FeatureSet\n"
     "    This feature set, so that calls chain.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `feature` is not a BuiltinFeature.\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>("FeatureSet()\n--\n\n"
                                  "The node features to compute when a graph is built.\n"
                                  "\n"
                                  "Filled with `add_builtin`, then handed to\n"
                                  "`TimeSeries.natural_visibility_with_features` or\n"
                                  "`TimeSeries.horizontal_visibility_with_features`, which empty it: a\n"
                                  "feature set serves one graph. The constructor takes no argument.\n"
                                  "\n"
                                  "Examples\n"
                                  "--------\n"
                                  ">>> import kaltrope as kt\n"
                                  ">>> features = (kt.FeatureSet()\n"
                                  "...             .add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
                                  "...             .add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.ZSCORE)))\n"
                                  ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).natural_visibility_with_features(features)\n"
                                  ">>> graph.feature_count()\n"
                                  "2\n")},
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<FeatureSet>)},
    {Py_tp_repr, reinterpret_cast<void*>(represent)},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"_kaltrope.FeatureSet", sizeof(Holder<FeatureSet>), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

int add_feature_set_class(PyObject* module) {
    feature_set_type = add_class(module, spec);
    return feature_set_type != nullptr ? 0 : -1;
}

std::optional<FeatureSet> take_feature_set(PyObject* object, const char* argument) {
    if (!has_type(object, feature_set_type, argument)) return std::nullopt;
    return std::exchange(held<FeatureSet>(object), FeatureSet());
}

}  // namespace kaltrope::bindings
