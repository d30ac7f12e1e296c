// BuiltinFeature: made from a variant name, which its class constants hold.

#include "bindings/objects/builtin_feature_object.hpp"

#include <string>

#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/state_conversion.hpp"
#include "core/features/feature_state.hpp"
#include "bindings/common/py_ref.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* feature_type = nullptr;

// The class constants, in the order of the variants; each holds the name
// that the constructor takes.
constexpr const char* kConstantNames[] = {
    "DELTA_FORWARD", "DELTA_BACKWARD", "DELTA_SYMMETRIC", "LOCAL_SLOPE",  "ACCELERATION",
    "LOCAL_MEAN",    "LOCAL_VARIANCE", "IS_LOCAL_MAX",    "IS_LOCAL_MIN", "ZSCORE",
};
static_assert(std::size(kConstantNames) == kBuiltinFeatures.size());

PyObject* create(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"name", nullptr};
        PyObject* name_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:BuiltinFeature", const_cast<char**>(keywords),
                                         &name_argument)) {
            return nullptr;
        }
        const auto name = utf8_string(name_argument, "name");
        if (!name) return nullptr;
        const auto feature = builtin_feature_named(*name);
        if (!feature) return raise_value_error("Unknown feature: " + *name);
        return wrap(type, *feature);
    });
}

PyObject* represent(PyObject* self) {
    return guarded([&] {
        const std::string text = "BuiltinFeature(" + std::string(variant_name(held<BuiltinFeature>(self))) + ")";
        return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    });
}

// (version, name): the variant name the constructor takes.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const std::string_view name = variant_name(held<BuiltinFeature>(self));
        return reduce_with(self, kFeatureStateVersion,
                           {PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()))});
    });
}

PyObject* restore(PyObject* type, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 2, "BuiltinFeature state");
        if (!items) return nullptr;
        if (!check_state_version((*items)[0], kFeatureStateVersion, "BuiltinFeature")) return nullptr;
        const auto name = state_string((*items)[1], "name");
        if (!name) return nullptr;
        const auto feature = restore_builtin_feature(*name);
        if (!feature) return raise_value_error(feature.error());
        return wrap(reinterpret_cast<PyTypeObject*>(type), *feature);
    });
}

PyMethodDef methods[] = {
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the feature, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(BuiltinFeature._restore, state)``: its variant name."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The feature a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that describes no feature.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>("BuiltinFeature(name)\n--\n\n"
                                  "A node feature that a FeatureSet can compute, named by a class\n"
                                  "constant.\n"
                                  "\n"
                                  "The constants DELTA_FORWARD, DELTA_BACKWARD, DELTA_SYMMETRIC,\n"
                                  "LOCAL_SLOPE, ACCELERATION, LOCAL_MEAN, LOCAL_VARIANCE, IS_LOCAL_MAX,\n"
                                  "IS_LOCAL_MIN and ZSCORE hold the names the constructor takes\n"
                                  "(\"DeltaForward\", ..., \"ZScore\"); the features appear in a graph as\n"
                                  "\"delta_forward\", ..., \"z_score\".\n"
                                  "\n"
                                  "Parameters\n"
                                  "----------\n"
                                  "name : str\n"
                                  "    A feature name, best given as one of the class constants.\n"
                                  "\n"
                                  "Raises\n"
                                  "------\n"
                                  "ValueError\n"
                                  "    If `name` names no feature (\"Unknown feature: x\").\n"
                                  "TypeError\n"
                                  "    If `name` is not a str.\n"
                                  "\n"
                                  "Examples\n"
                                  "--------\n"
                                  ">>> import kaltrope as kt\n"
                                  ">>> kt.BuiltinFeature(kt.BuiltinFeature.ZSCORE)\n"
                                  "BuiltinFeature(ZScore)\n")},
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<BuiltinFeature>)},
    {Py_tp_repr, reinterpret_cast<void*>(represent)},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"_kaltrope.BuiltinFeature", sizeof(Holder<BuiltinFeature>), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

int add_builtin_feature_class(PyObject* module) {
    PyTypeObject* type = add_class(module, spec);
    if (type == nullptr) return -1;
    for (std::size_t k = 0; k < kBuiltinFeatures.size(); ++k) {
        const std::string_view name = variant_name(kBuiltinFeatures[k]);
        PyRef value = PyRef::steal(PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
        if (!value || PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), kConstantNames[k], value.get()) < 0) {
            return -1;
        }
    }
    feature_type = type;
    return 0;
}

std::optional<BuiltinFeature> builtin_feature_argument(PyObject* object, const char* argument) {
    if (!has_type(object, feature_type, argument)) return std::nullopt;
    return held<BuiltinFeature>(object);
}

}  // namespace kaltrope::bindings
