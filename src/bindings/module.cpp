// The extension module _kaltrope: creation and registration, in a fixed order.

#include "bindings/array_functions/batch_functions.hpp"
#include "bindings/array_functions/degree_functions.hpp"
#include "bindings/array_functions/motif_functions.hpp"
#include "bindings/array_functions/series_functions.hpp"
#include "bindings/array_functions/vector_functions.hpp"
#include "bindings/common/interruptible.hpp"
#include "bindings/common/python.hpp"
#include "bindings/objects/builtin_feature_object.hpp"
#include "bindings/objects/feature_set_object.hpp"
#include "bindings/objects/graph_functions.hpp"
#include "bindings/objects/graph_statistics_object.hpp"
#include "bindings/objects/missing_data_strategy_object.hpp"
#include "bindings/objects/motif_counts_object.hpp"
#include "bindings/objects/time_series_object.hpp"
#include "bindings/objects/visibility_graph_object.hpp"
#include "bindings/settings/cpu_feature_functions.hpp"
#include "bindings/settings/thread_functions.hpp"
#include "bindings/stream/visibility_stream_object.hpp"

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
// VisibilityStream and visibility_motifs, then get_num_threads,
// set_num_threads and cpu_features.
constexpr Registration registrations[] = {
    kaltrope::bindings::add_time_series_class,
    kaltrope::bindings::add_visibility_graph_class,
    kaltrope::bindings::add_builtin_feature_class,
    kaltrope::bindings::add_feature_set_class,
    kaltrope::bindings::add_missing_data_strategy_class,
    kaltrope::bindings::add_graph_statistics_class,
    kaltrope::bindings::add_motif_counts_class,
    kaltrope::bindings::add_graph_functions,
    kaltrope::bindings::add_series_functions,
    kaltrope::bindings::add_batch_functions,
    kaltrope::bindings::add_degree_functions,
    kaltrope::bindings::add_vector_functions,
    kaltrope::bindings::add_visibility_stream_class,
    kaltrope::bindings::add_motif_functions,
    kaltrope::bindings::add_thread_functions,
    kaltrope::bindings::add_cpu_feature_functions,
};

}  // namespace

PyMODINIT_FUNC PyInit__kaltrope() {
    if (kaltrope::bindings::find_main_thread() < 0) return nullptr;
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
