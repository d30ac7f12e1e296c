// FeatureSet: built up with add_builtin; computed on when a graph is built.

#include "bindings/objects/feature_set_object.hpp"

#include <utility>

#include "bindings/common/argument_conversion.hpp"
#include "bindings/objects/builtin_feature_object.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/state_conversion.hpp"
#include "core/features/feature_state.hpp"

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

// (version, names): the variant names of the features, in order.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const std::vector<BuiltinFeature> features = builtin_features(held<FeatureSet>(self));
        PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(features.size())));
        if (!tuple) return nullptr;
        for (std::size_t i = 0; i < features.size(); ++i) {
            const std::string_view name = variant_name(features[i]);
            PyObject* item = PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
            if (item == nullptr) return nullptr;
            PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), item);  // steals item
        }
        return reduce_with(self, kFeatureStateVersion, {tuple.release()});
    });
}

PyObject* restore(PyObject* type, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 2, "FeatureSet state");
        if (!items) return nullptr;
        if (!check_state_version((*items)[0], kFeatureStateVersion, "FeatureSet")) return nullptr;
        const auto name_items = state_tuple((*items)[1], -1, "names");
        if (!name_items) return nullptr;
        std::vector<std::string> names;
        for (PyObject* item : *name_items) {
            auto name = state_string(item, "a feature name");
            if (!name) return nullptr;
            names.push_back(std::move(*name));
        }
        auto set = restore_feature_set(names);
        if (!set) return raise_value_error(set.error());
        return wrap(reinterpret_cast<PyTypeObject*>(type), std::move(*set));
    });
}

PyMethodDef methods[] = {
    {"add_builtin", method_pointer(add_builtin), METH_VARARGS | METH_KEYWORDS,
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
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the feature set, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(FeatureSet._restore, state)``: the names of its features in order."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The feature set a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that describes no feature set.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc,
     const_cast<char*>("FeatureSet()\n--\n\n"
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
