// TimeSeries: made from values, from values with gaps, or from CSV text or
// files; repaired by a MissingDataStrategy.

#include "bindings/objects/time_series_object.hpp"

#include <algorithm>

#include "core/time_series/time_series.hpp"
#include "core/time_series/time_series_state.hpp"
#include "bindings/common/state_conversion.hpp"
#include "bindings/common/variant_arguments.hpp"
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
        const TimeSeries& series = series_of(self);
        auto repaired = without_lock([&] { return series.handle_missing(*strategy); });
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

// The graph methods take the keywords of the graph variants.
PyObject* graph_of_series(PyObject* self, PyObject* args, PyObject* kwargs, const char* format, VisibilityKind kind) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"penetrable", "window", nullptr};
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &penetrable, &window)) {
            return nullptr;
        }
        const auto limits = limit_arguments(penetrable, window);
        if (!limits) return nullptr;
        return build_graph(series_of(self), std::nullopt, kind, *limits);
    });
}

PyObject* natural_visibility(PyObject* self, PyObject* args, PyObject* kwargs) {
    return graph_of_series(self, args, kwargs, "|$OO:natural_visibility", VisibilityKind::Natural);
}

PyObject* horizontal_visibility(PyObject* self, PyObject* args, PyObject* kwargs) {
    return graph_of_series(self, args, kwargs, "|$OO:horizontal_visibility", VisibilityKind::Horizontal);
}

// The features argument is emptied even when the graph cannot be built.
PyObject* graph_with_features(PyObject* self, PyObject* args, PyObject* kwargs, const char* format,
                              VisibilityKind kind) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"features", "penetrable", "window", nullptr};
        PyObject* features_argument = nullptr;
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &features_argument,
                                         &penetrable, &window)) {
            return nullptr;
        }
        // Refused limits leave the feature set as it was.
        const auto limits = limit_arguments(penetrable, window);
        if (!limits) return nullptr;
        auto features = take_feature_set(features_argument, "features");
        if (!features) return nullptr;
        return build_graph(series_of(self), std::move(features), kind, *limits);
    });
}

PyObject* natural_visibility_with_features(PyObject* self, PyObject* args, PyObject* kwargs) {
    return graph_with_features(self, args, kwargs, "O|$OO:natural_visibility_with_features", VisibilityKind::Natural);
}

PyObject* horizontal_visibility_with_features(PyObject* self, PyObject* args, PyObject* kwargs) {
    return graph_with_features(self, args, kwargs, "O|$OO:horizontal_visibility_with_features",
                               VisibilityKind::Horizontal);
}

// (version, timestamps, values, present): float64, float64 (0.0 where
// missing) and uint8 (1 where present) arrays.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const TimeSeries& series = series_of(self);
        const SampleColumns columns = sample_columns(series);
        return reduce_with(self, kTimeSeriesStateVersion,
                           {array_copy(series.timestamps()), array_copy<double>(columns.values),
                            array_copy<std::uint8_t>(columns.present)});
    });
}

PyObject* restore(PyObject*, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 4, "TimeSeries state");
        if (!items) return nullptr;
        const auto& item = *items;
        if (!check_state_version(item[0], kTimeSeriesStateVersion, "TimeSeries")) return nullptr;
        const auto timestamps = state_array<double>(item[1], "timestamps");
        if (!timestamps) return nullptr;
        const auto values = state_array<double>(item[2], "values");
        if (!values) return nullptr;
        const auto present = state_array<std::uint8_t>(item[3], "present");
        if (!present) return nullptr;
        auto series =
            without_lock([&] { return restore_time_series(timestamps->values, values->values, present->values); });
        if (!series) return raise_value_error(series.error());
        return wrap(series_type, std::move(*series));
    });
}

PyMethodDef methods[] = {
    {"with_missing", method_pointer(with_missing), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "with_missing(timestamps, values)\n--\n\n"
     "Create a time series from values with explicit missing data (None values).\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "timestamps : sequence of float\n"
     "    One timestamp per sample, taken as given (neither order nor\n"
     "    uniqueness is checked).\n"
     "values : sequence of float or None\n"
     "    One value per sample; None marks a missing sample, NaN is present.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "TimeSeries\n"
     "    The series.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If the lengths differ (\"Length mismatch: 2 timestamps but 3\n"
     "    values\") or both are empty (\"Time series is empty\").\n"
     "TypeError\n"
     "    If an argument is a str or holds something else than numbers (and\n"
     "    None in `values`).\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> series = kt.TimeSeries.with_missing([0.0, 1.0, 2.0], [1.0, None, 3.0])\n"
     ">>> len(series), series.to_numpy()\n"
     "(3, array([1., 3.]))\n"},
    {"from_csv_string", method_pointer(from_csv_string), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_csv_string(csv, time_col, value_col)\n--\n\n"
     "Load a time series from CSV text, selecting columns by header name.\n"
     "\n"
     "Comma-separated text without quoting, UTF-8, with a header line; the\n"
     "two columns are chosen by their header names. Time cells are read as\n"
     "they stand, value cells trimmed of white space; numbers are read\n"
     "correctly rounded, and an empty value cell is a missing sample.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "csv : str\n"
     "    The text.\n"
     "time_col : str\n"
     "    The header name of the timestamp column.\n"
     "value_col : str\n"
     "    The header name of the value column.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "TimeSeries\n"
     "    One sample per data row, in the order of the rows.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `csv` or a column name is not in the header, or if the text has no data\n"
     "    row or a line that cannot be read: \"Time series is empty\", whose\n"
     "    ``__cause__`` names the line and the cell.\n"
     "TypeError\n"
     "    If `csv` or a column name is not a str.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> series = kt.TimeSeries.from_csv_string(\"time,value\\n0,1.5\\n1,\\n2,3\\n\", \"time\", \"value\")\n"
     ">>> len(series), series.to_numpy()\n"
     "(3, array([1.5, 3. ]))\n"},
    {"from_csv_file", method_pointer(from_csv_file), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_csv_file(path, time_col, value_col)\n--\n\n"
     "Load a time series from a CSV file, selecting columns by header name.\n"
     "\n"
     "Comma-separated text without quoting, UTF-8, with a header line; the\n"
     "two columns are chosen by their header names. Time cells are read as\n"
     "they stand, value cells trimmed of white space; numbers are read\n"
     "correctly rounded, and an empty value cell is a missing sample. The file is read without the interpreter lock.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "path : str, bytes or os.PathLike\n"
     "    The file.\n"
     "time_col : str\n"
     "    The header name of the timestamp column.\n"
     "value_col : str\n"
     "    The header name of the value column.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "TimeSeries\n"
     "    One sample per data row, in the order of the rows.\n"
     "\n"
     "Raises\n"
     "------\n"
     "OSError\n"
     "    If the file cannot be read, as the subclass for the error number\n"
     "    (e.g. FileNotFoundError), with the path and the system's message.\n"
     "ValueError\n"
     "    If `path` is not a path or a column name is not in the header, or if the text has no data\n"
     "    row or a line that cannot be read: \"Time series is empty\", whose\n"
     "    ``__cause__`` names the line and the cell.\n"
     "TypeError\n"
     "    If `path` is not a path or a column name is not a str.\n"},
    {"handle_missing", method_pointer(handle_missing), METH_VARARGS | METH_KEYWORDS,
     "handle_missing($self, strategy)\n--\n\n"
     "Handle missing data using the specified strategy.\n"
     "\n"
     "Every missing sample is filled by `strategy`, which always sees this\n"
     "series' own values, never the ones filled so far; present values are\n"
     "copied as they are. This series is not changed.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "strategy : MissingDataStrategy\n"
     "    How to fill a missing sample.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "TimeSeries\n"
     "    A new series with the same timestamps and every value present.\n"
     "\n"
     "Raises\n"
     "------\n"
     "RuntimeError\n"
     "    If the strategy (and all its fallbacks) cannot fill a sample: \"All\n"
     "    imputation strategies failed at index 3\".\n"
     "TypeError\n"
     "    If `strategy` is not a MissingDataStrategy.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> series = kt.TimeSeries.with_missing([0.0, 1.0, 2.0], [1.0, None, 3.0])\n"
     ">>> series.handle_missing(kt.MissingDataStrategy.forward_fill()).to_numpy()\n"
     "array([1., 1., 3.])\n"},
    {"to_numpy", to_numpy, METH_NOARGS,
     "to_numpy($self)\n--\n\n"
     "Returns the values as a NumPy array.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "ndarray of float64, shape (m,)\n"
     "    A new array of the present values, in order: missing samples are\n"
     "    left out, so m can be less than ``len(self)``.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.TimeSeries.with_missing([0.0, 1.0], [None, 2.0]).to_numpy()\n"
     "array([2.])\n"},
    {"natural_visibility", method_pointer(natural_visibility), METH_VARARGS | METH_KEYWORDS,
     "natural_visibility($self, *, penetrable=0, window=None)\n--\n\n"
     "Creates a natural visibility graph.\n"
     "\n"
     "One node per sample; every edge weighs 1.0. Missing, NaN and infinite\n"
     "samples are isolated nodes that neither see nor block others, so a gap\n"
     "never cuts the graph.\n"
     "The samples stand at their timestamps when those are all finite and\n"
     "strictly increasing, else at their indices.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "penetrable : int, optional\n"
     "    How many samples between a pair may fail the visibility test (default\n"
     "    0); missing samples never count.\n"
     "window : int, optional\n"
     "    Only pairs at most this many sample indices apart (default None: all).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "VisibilityGraph\n"
     "    The graph, without features.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `penetrable` is not a non-negative int (\"penetrable must be a\n"
     "    non-negative int, got -1\") or `window` is not a positive int or None.\n"
     "MemoryError\n"
     "    If the graph does not fit in memory.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> series = kt.TimeSeries.with_missing([0.0, 1.0, 2.0], [1.0, None, 3.0])\n"
     ">>> series.natural_visibility().edges()\n"
     "[(0, 2, 1.0)]\n"},
    {"horizontal_visibility", method_pointer(horizontal_visibility), METH_VARARGS | METH_KEYWORDS,
     "horizontal_visibility($self, *, penetrable=0, window=None)\n--\n\n"
     "Creates a horizontal visibility graph.\n"
     "\n"
     "One node per sample; every edge weighs 1.0. Missing, NaN and infinite\n"
     "samples are isolated nodes that neither see nor block others, so a gap\n"
     "never cuts the graph. Timestamps are not used.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "penetrable : int, optional\n"
     "    How many samples between a pair may fail the visibility test (default\n"
     "    0); missing samples never count.\n"
     "window : int, optional\n"
     "    Only pairs at most this many sample indices apart (default None: all).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "VisibilityGraph\n"
     "    The graph, without features.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `penetrable` is not a non-negative int (\"penetrable must be a\n"
     "    non-negative int, got -1\") or `window` is not a positive int or None.\n"
     "MemoryError\n"
     "    If the graph does not fit in memory.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.TimeSeries([1.0, 3.0, 2.0, 4.0]).horizontal_visibility().edge_count()\n"
     "4\n"},
    {"natural_visibility_with_features", method_pointer(natural_visibility_with_features), METH_VARARGS | METH_KEYWORDS,
     "natural_visibility_with_features($self, features, *, penetrable=0, window=None)\n--\n\n"
     "Creates a natural visibility graph with features.\n"
     "Note: This takes ownership of the FeatureSet\n"
     "\n"
     "The graph is that of `natural_visibility`, with the features of\n"
     "`features` computed for every node (missing samples count as 0.0).\n"
     "`features` is emptied by the call, even when building the graph fails:\n"
     "a FeatureSet serves one graph.\n"
     "One node per sample; every edge weighs 1.0. Missing, NaN and infinite\n"
     "samples are isolated nodes that neither see nor block others, so a gap\n"
     "never cuts the graph.\n"
     "The samples stand at their timestamps when those are all finite and\n"
     "strictly increasing, else at their indices.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "features : FeatureSet\n"
     "    The features to compute.\n"
     "penetrable : int, optional\n"
     "    How many samples between a pair may fail the visibility test (default\n"
     "    0); missing samples never count.\n"
     "window : int, optional\n"
     "    Only pairs at most this many sample indices apart (default None: all).\n"
     "\n"

     "Returns\n"
     "-------\n"
     "VisibilityGraph\n"
     "    The graph, with its node features.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `features` is not a FeatureSet.\n"
     "ValueError\n"
     "    If `penetrable` is not a non-negative int or `window` is not a\n"
     "    positive int or None; `features` is then left as it was.\n"
     "MemoryError\n"
     "    If the graph does not fit in memory.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
     ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).natural_visibility_with_features(features)\n"
     ">>> graph.get_node_features(0)\n"
     "{'delta_forward': 2.0}\n"},
    {"horizontal_visibility_with_features", method_pointer(horizontal_visibility_with_features),
     METH_VARARGS | METH_KEYWORDS,
     "horizontal_visibility_with_features($self, features, *, penetrable=0, window=None)\n--\n\n"
     "Creates a horizontal visibility graph with features.\n"
     "Note: This takes ownership of the FeatureSet\n"
     "\n"
     "The graph is that of `horizontal_visibility`, with the features of\n"
     "`features` computed for every node (missing samples count as 0.0).\n"
     "`features` is emptied by the call, even when building the graph fails:\n"
     "a FeatureSet serves one graph.\n"
     "One node per sample; every edge weighs 1.0. Missing, NaN and infinite\n"
     "samples are isolated nodes that neither see nor block others, so a gap\n"
     "never cuts the graph. Timestamps are not used.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "features : FeatureSet\n"
     "    The features to compute.\n"
     "penetrable : int, optional\n"
     "    How many samples between a pair may fail the visibility test (default\n"
     "    0); missing samples never count.\n"
     "window : int, optional\n"
     "    Only pairs at most this many sample indices apart (default None: all).\n"
     "\n"

     "Returns\n"
     "-------\n"
     "VisibilityGraph\n"
     "    The graph, with its node features.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `features` is not a FeatureSet.\n"
     "ValueError\n"
     "    If `penetrable` is not a non-negative int or `window` is not a\n"
     "    positive int or None; `features` is then left as it was.\n"
     "MemoryError\n"
     "    If the graph does not fit in memory.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
     ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).horizontal_visibility_with_features(features)\n"
     ">>> graph.get_node_features(0)\n"
     "{'delta_forward': 2.0}\n"},
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the series, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(TimeSeries._restore, state)``: its timestamps, values and presence marks as NumPy\n"
     "    arrays."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The series a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that describes no series.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>("TimeSeries(values)\n--\n\n"
                                  "A time series: one timestamp and one value per sample, a value possibly\n"
                                  "missing.\n"
                                  "\n"
                                  "TimeSeries(values) makes a series of present values at timestamps\n"
                                  "0, 1, ..., n-1 (NaN is a present value); `with_missing`,\n"
                                  "`from_csv_string` and `from_csv_file` make series with explicit\n"
                                  "timestamps and missing samples. A series is never changed: repairs and\n"
                                  "graphs are new objects. ``len(series)`` counts every sample, missing\n"
                                  "ones included.\n"
                                  "\n"
                                  "Parameters\n"
                                  "----------\n"
                                  "values : sequence of float\n"
                                  "    The values (list, tuple, NumPy array, ...), at least one; None is\n"
                                  "    refused: use `with_missing` for gaps.\n"
                                  "\n"
                                  "Raises\n"
                                  "------\n"
                                  "TypeError\n"
                                  "    If `values` is a str or holds something that is not a number.\n"
                                  "ValueError\n"
                                  "    If `values` is empty (\"Time series is empty\").\n"
                                  "\n"
                                  "Examples\n"
                                  "--------\n"
                                  ">>> import kaltrope as kt\n"
                                  ">>> series = kt.TimeSeries([1.0, 3.0, 2.0])\n"
                                  ">>> len(series)\n"
                                  "3\n"
                                  ">>> series.natural_visibility().edge_count()\n"
                                  "2\n")},
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
