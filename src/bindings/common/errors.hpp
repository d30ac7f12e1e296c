#pragma once
// Every core error becomes its Python exception here and nowhere else, and no
// C++ exception crosses into the interpreter.

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "bindings/common/python.hpp"
#include "core/graph/graph_error.hpp"
#include "core/series/input.hpp"
#include "core/time_series/time_series.hpp"
#include "io/export/text_file_output.hpp"
#include "io/import/csv_import.hpp"
#include "io/import/text_file.hpp"
#include "support/interruption.hpp"
#include "support/name_table.hpp"

namespace kaltrope::bindings {

// Each sets the exception and returns null, for `return raise_error(...)`.
PyObject* raise_error(const InputError& error);          // ValueError
PyObject* raise_error(const TimeSeriesError& error);     // ValueError
PyObject* raise_error(const io::CsvImportError& error);  // ValueError, the line as its cause
PyObject* raise_error(const GraphError& error);          // RuntimeError
PyObject* raise_error(const ImputationError& error);     // RuntimeError
// RuntimeError "{path}: {reason}".
PyObject* raise_error(const io::FileWriteError& error, PyObject* shown_path);
// OSError of the subclass Python uses for the error number: "{path}: {reason}".
PyObject* raise_error(const io::FileReadError& error, PyObject* shown_path);

// The exception a signal handler raised to stop a call.
PyObject* raise_interrupted();

// The binding's own checks of its arguments.
PyObject* raise_value_error(std::string_view message);
PyObject* raise_runtime_error(std::string_view message);

// The option named text in table; nothing with ValueError set (the table's
// message for an unknown name).
template <class Option>
std::optional<Option> option_argument(const NameTable<Option>& table, std::string_view text) {
    auto option = parse_name(table, text);
    if (!option) {
        raise_value_error(option.error());
        return std::nullopt;
    }
    return *option;
}

// Runs a binding body; an escaping C++ exception becomes a Python one
// (an allocation failure becomes MemoryError, an interruption the exception
// of the signal handler that stopped the call).
template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const interruption::Interrupted&) {
        return raise_interrupted();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& error) {
        return raise_runtime_error(error.what());
    } catch (...) {
        return raise_runtime_error("unexpected internal error");
    }
}

}  // namespace kaltrope::bindings
