// The extension module _kaltrope: creation and registration, in a fixed order.

#include "integrations/python/builtin_feature_object.hpp"
#include "integrations/python/feature_set_object.hpp"
#include "integrations/python/graph_functions.hpp"
#include "integrations/python/graph_statistics_object.hpp"
#include "integrations/python/missing_data_strategy_object.hpp"
#include "integrations/python/motif_counts_object.hpp"
#include "integrations/python/python.hpp"
#include "integrations/python/thread_functions.hpp"
#include "integrations/python/time_series_object.hpp"
#include "integrations/python/visibility_graph_object.hpp"
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

using Registration = int (*)(PyObject* module);

// The module's public names appear in this order: the classes of the object
// interface (TimeSeries, VisibilityGraph, BuiltinFeature, FeatureSet,
// MissingDataStrategy, GraphStatistics, MotifCounts), the graph functions
// natural_visibility and horizontal_visibility, the array interface,
// VisibilityStream and visibility_motifs, then get_num_threads and
// set_num_threads.
constexpr Registration registrations[] = {
    kaltrope::python::add_time_series_class,
    kaltrope::python::add_visibility_graph_class,
    kaltrope::python::add_builtin_feature_class,
    kaltrope::python::add_feature_set_class,
    kaltrope::python::add_missing_data_strategy_class,
    kaltrope::python::add_graph_statistics_class,
    kaltrope::python::add_motif_counts_class,
    kaltrope::python::add_graph_functions,
    kaltrope::python_fast::register_functions,
    kaltrope::python_extra::register_functions,
    kaltrope::python::add_thread_functions,
};

}  // namespace

PyMODINIT_FUNC PyInit__kaltrope() {
    PyObject* module = PyModule_Create(&module_definition);
    if (module == nullptr) return nullptr;
    for (Registration registration : registrations) {
        if (registration(module) < 0) {
            Py_DECREF(module);
            return nullptr;
        }
    }
    return module;
}
