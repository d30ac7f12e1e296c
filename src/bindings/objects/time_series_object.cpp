// TimeSeries: made from values, from values with gaps, or from CSV text or
// files; repaired by a MissingDataStrategy.

#include "bindings/objects/time_series_object.hpp"

#include <algorithm>

#include "core/time_series/time_series.hpp"
#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/objects/feature_set_object.hpp"
#include "bindings/objects/missing_data_strategy_object.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/objects/visibility_graph_object.hpp"
#include "io/import/csv_header.hpp"
#include "io/import/text_file.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* series_type = nullptr;

const TimeSeries& series_of(PyObject* self) { return held<TimeSeries>(self); }

PyObject* wrap_series(std::expected<TimeSeries, TimeSeriesError> series) {
    if (!series) return raise_error(series.error());
    return wrap(series_type, std::move(*series));
}

PyObject* create(PyTypeObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"values", nullptr};
        PyObject* values_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:TimeSeries", const_cast<char**>(keywords),
                                         &values_argument)) {
            return nullptr;
        }
        const auto values = float_sequence(values_argument, "values");
        if (!values) return nullptr;
        return wrap_series(TimeSeries::from_raw(*values));
    });
}

Py_ssize_t length(PyObject* self) { return static_cast<Py_ssize_t>(series_of(self).size()); }

PyObject* with_missing(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"timestamps", "values", nullptr};
        PyObject* timestamps_argument = nullptr;
        PyObject* values_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO:with_missing", const_cast<char**>(keywords),
                                         &timestamps_argument, &values_argument)) {
            return nullptr;
        }
        auto timestamps = float_sequence(timestamps_argument, "timestamps");
        if (!timestamps) return nullptr;
        auto values = sample_sequence(values_argument, "values");
        if (!values) return nullptr;
        return wrap_series(TimeSeries::create(std::move(*timestamps), std::move(*values)));
    });
}

// The import of text, its columns chosen by the names in its header line,
// without the interpreter lock. A line that cannot be read gives "Time series
// is empty", with the line and the reason as the exception's cause.
PyObject* import_by_header(std::string_view text, const std::string& time_column, const std::string& value_column) {
    std::expected<io::CsvImportOptions, std::string> options;
    std::optional<std::expected<TimeSeries, io::CsvImportError>> series;
    {
        const InterruptibleCall call;
        ThreadsReleased unlocked;
        options = io::options_by_header(text, time_column, value_column);
        if (options) series = io::from_csv_string(text, *options);
    }
    if (!options) return raise_value_error(options.error());
    if (!*series) return raise_error(series->error());
    return wrap(series_type, std::move(**series));
}

// The column names of from_csv_string and from_csv_file.
struct ColumnNames {
    std::string time;
    std::string value;
};

std::optional<ColumnNames> column_names(PyObject* time_argument, PyObject* value_argument) {
    auto time = utf8_string(time_argument, "time_col");
    if (!time) return std::nullopt;
    auto value = utf8_string(value_argument, "value_col");
    if (!value) return std::nullopt;
    return ColumnNames{std::move(*time), std::move(*value)};
}

PyObject* from_csv_string(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"csv", "time_col", "value_col", nullptr};
        PyObject* csv_argument = nullptr;
        PyObject* time_argument = nullptr;
        PyObject* value_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOO:from_csv_string", const_cast<char**>(keywords),
                                         &csv_argument, &time_argument, &value_argument)) {
            return nullptr;
        }
        const auto csv = utf8_string(csv_argument, "csv");
        if (!csv) return nullptr;
        const auto columns = column_names(time_argument, value_argument);
        if (!columns) return nullptr;
        return import_by_header(*csv, columns->time, columns->value);
    });
}

PyObject* from_csv_file(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"path", "time_col", "value_col", nullptr};
        PyObject* path_argument = nullptr;
        PyObject* time_argument = nullptr;
        PyObject* value_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOO:from_csv_file", const_cast<char**>(keywords),
                                         &path_argument, &time_argument, &value_argument)) {
            return nullptr;
        }
        const auto path = file_path(path_argument, "path");
        if (!path) return nullptr;
        const auto columns = column_names(time_argument, value_argument);
        if (!columns) return nullptr;
        std::optional<std::expected<io::TextFile, io::FileReadError>> file;
        {
            const InterruptibleCall call;
            ThreadsReleased unlocked;
            file = io::read_text_file(path->encoded);
        }
        if (!*file) return raise_error(file->error(), path->shown.get());
        return import_by_header((*file)->text(), columns->time, columns->value);
    });
}

PyObject* handle_missing(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"strategy", nullptr};
        PyObject* strategy_argument_object = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:handle_missing", const_cast<char**>(keywords),
                                         &strategy_argument_object)) {
            return nullptr;
        }
        const MissingDataStrategy* strategy = strategy_argument(strategy_argument_object, "strategy");
        if (strategy == nullptr) return nullptr;
        auto repaired = series_of(self).handle_missing(*strategy);
        if (!repaired) return raise_error(repaired.error());
        return wrap(series_type, std::move(*repaired));
    });
}

PyObject* to_numpy(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        if (!ensure_numpy()) return nullptr;
        const auto values = series_of(self).values();
        const auto present = std::ranges::count_if(values, [](const Sample& value) { return value.has_value(); });
        npy_intp shape[1] = {static_cast<npy_intp>(present)};
        PyObject* array = PyArray_SimpleNew(1, shape, NPY_DOUBLE);
        if (array == nullptr) return nullptr;
        auto* out = static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array)));
        for (const Sample& value : values) {
            if (value) *out++ = *value;
        }
        return array;
    });
}

PyObject* natural_visibility(PyObject* self, PyObject*) {
    return guarded([&] { return build_graph(series_of(self), std::nullopt, VisibilityKind::Natural); });
}

PyObject* horizontal_visibility(PyObject* self, PyObject*) {
    return guarded([&] { return build_graph(series_of(self), std::nullopt, VisibilityKind::Horizontal); });
}

// The features argument is emptied even when the graph cannot be built.
PyObject* graph_with_features(PyObject* self, PyObject* args, PyObject* kwargs, const char* format,
                              VisibilityKind kind) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"features", nullptr};
        PyObject* features_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &features_argument)) {
            return nullptr;
        }
        auto features = take_feature_set(features_argument, "features");
        if (!features) return nullptr;
        return build_graph(series_of(self), std::move(features), kind);
    });
}

PyObject* natural_visibility_with_features(PyObject* self, PyObject* args, PyObject* kwargs) {
    return graph_with_features(self, args, kwargs, "O:natural_visibility_with_features", VisibilityKind::Natural);
}

PyObject* horizontal_visibility_with_features(PyObject* self, PyObject* args, PyObject* kwargs) {
    return graph_with_features(self, args, kwargs, "O:horizontal_visibility_with_features",
                               VisibilityKind::Horizontal);
}

PyMethodDef methods[] = {
    {"with_missing", method_pointer(with_missing), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "with_missing(timestamps, values)\n--\n\n"
     "Create a time series from values with explicit missing data (None values)."},
    {"from_csv_string", method_pointer(from_csv_string), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_csv_string(csv, time_col, value_col)\n--\n\n"
     "Load a time series from CSV text, selecting columns by header name."},
    {"from_csv_file", method_pointer(from_csv_file), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_csv_file(path, time_col, value_col)\n--\n\n"
     "Load a time series from a CSV file, selecting columns by header name."},
    {"handle_missing", method_pointer(handle_missing), METH_VARARGS | METH_KEYWORDS,
     "handle_missing($self, strategy)\n--\n\nHandle missing data using the specified strategy."},
    {"to_numpy", to_numpy, METH_NOARGS, "to_numpy($self)\n--\n\nReturns the values as a NumPy array."},
    {"natural_visibility", natural_visibility, METH_NOARGS,
     "natural_visibility($self)\n--\n\nCreates a natural visibility graph."},
    {"horizontal_visibility", horizontal_visibility, METH_NOARGS,
     "horizontal_visibility($self)\n--\n\nCreates a horizontal visibility graph."},
    {"natural_visibility_with_features", method_pointer(natural_visibility_with_features),
     METH_VARARGS | METH_KEYWORDS,
     "natural_visibility_with_features($self, features)\n--\n\n"
     "Creates a natural visibility graph with features.\nNote: This takes ownership of the FeatureSet"},
    {"horizontal_visibility_with_features", method_pointer(horizontal_visibility_with_features),
     METH_VARARGS | METH_KEYWORDS,
     "horizontal_visibility_with_features($self, features)\n--\n\n"
     "Creates a horizontal visibility graph with features.\nNote: This takes ownership of the FeatureSet"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>("TimeSeries(values)\n--\n\nPython wrapper for TimeSeries.")},
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<TimeSeries>)},
    {Py_sq_length, reinterpret_cast<void*>(length)},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"_kaltrope.TimeSeries", sizeof(Holder<TimeSeries>), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

int add_time_series_class(PyObject* module) {
    series_type = add_class(module, spec);
    return series_type != nullptr ? 0 : -1;
}

}  // namespace kaltrope::bindings
